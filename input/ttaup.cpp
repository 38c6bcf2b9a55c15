// ttaup — hydrostatic pressure integration on a Rosseland optical-depth grid.
// Sources: Rosseland opacity table data/ttaup_kappa.txt (three reference rows and the start of a
//          fourth; the other entries provisional, see data/PROVENANCE.md); predictor-corrector
//          pair of Milne and Hamming (Hamming 1959, J. ACM 6, 37) in y = ln PTOTAL.
// Inputs:  T(J) [K], TAU(J) Rosseland optical depth, PRAD(J), PTURB(J) [dyn cm^-2], GRAV [cm s^-2].
// Output:  PTOTAL(J), P(J) [dyn cm^-2], ABSTD(J) [cm^2 g^-1].
// Valid:   table 3.5 <= log10 T <= 5, -2 <= log10 P <= 6; outside, map1 extrapolates linearly
//          from the end intervals (common/map1.h), without an error.
// Deviations from the source: none. Grids the step h cannot describe (fewer than two depths,
//          optical depths not positive and increasing) and zero gravity are refused up front.
#include "input/ttaup.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/embedded_data.h"
#include "common/map1.h"
#include "common/table_reader.h"
#include "common/w.h"
#include "fortio/error.h"

namespace atmotab {
namespace {

// log10 T nodes, single-precision decimals.
constexpr float TABT[TTAUP_NT] = {
    3.5f, 3.525f, 3.55f, 3.575f, 3.6f, 3.625f, 3.65f, 3.675f, 3.7f, 3.725f, 3.75f, 3.775f,
    3.8f, 3.825f, 3.85f, 3.875f, 3.9f, 3.925f, 3.95f, 3.975f, 4.0f, 4.05f,  4.1f,  4.15f,
    4.2f, 4.25f,  4.3f,  4.35f,  4.4f, 4.45f,  4.5f,  4.6f,   4.7f, 4.8f,   4.9f,  5.0f};
// log10 P nodes [dyn cm^-2].
constexpr double TABP[TTAUP_NP] = {-2.0, -1.5, -1.0, -0.5, 0.0, 0.5, 1.0, 1.25, 1.5, 1.75,
                                   2.0,  2.25, 2.5,  2.75, 3.0, 3.2, 3.4, 3.6,  3.8, 4.0,
                                   4.2,  4.4,  4.6,  4.8,  5.0, 5.2, 5.4, 5.6,  5.8, 6.0};

constexpr double LN10 = 2.30258509299405;  // ln 10 of the opacity powers of ten
constexpr int MAX_EVAL = 1000;             // evaluations allowed at one depth

// Stops the run with the labelled arrays of depths 1..J and the current ERROR on the listing.
[[noreturn]] void ttaup_fail(Run& run, int j, const Depth& P, const Depth& PTOTAL,
                             const Depth& PRAD, const Depth& PTURB, const Depth& ABSTD,
                             double error, const std::string& why) {
  const double depth = j;
  w(run, "J     ", &depth, 1);
  w(run, "P     ", P.data(), j);
  w(run, "PTOTAL", PTOTAL.data(), j);
  w(run, "PRAD  ", PRAD.data(), j);
  w(run, "PTURB ", PTURB.data(), j);
  w(run, "ABSTD ", ABSTD.data(), j);
  w(run, "ERROR ", &error, 1);
  throw atmo_error(EXIT_FAILURE_REPORTED, "ttaup",
                   "pressure integration failed at depth " + std::to_string(j) + ": " + why);
}

[[noreturn]] void ttaup_refuse(const std::string& why) {
  throw atmo_error(EXIT_FAILURE_REPORTED, "ttaup", "cannot integrate the pressure: " + why);
}

}  // namespace

double ttaup_tabt(int i) { return sp(TABT[i - 1]); }
double ttaup_tabp(int k) { return TABP[k - 1]; }

void ttaup_load(std::string_view text, Arr<double, TTAUP_NT, TTAUP_NP>& tabkap) {
  TableReader r(text, "ttaup_kappa.txt", "ttaup");
  r.expect_format("atmotab-ttaup_kappa");
  const std::vector<std::string_view> c = r.next();
  if (c.size() != 4 || c[0] != "temperatures" || c[1] != std::to_string(TTAUP_NT) ||
      c[2] != "pressures" || c[3] != std::to_string(TTAUP_NP))
    r.fail("count line is not 'temperatures 36 pressures 30'");
  for (int k = 1; k <= TTAUP_NP; ++k) {
    const std::vector<std::string_view> f = r.next();
    if (f.empty()) r.fail("table ends before pressure row " + std::to_string(k));
    if (f.size() != 3 + TTAUP_NT)
      r.fail("expected " + std::to_string(3 + TTAUP_NT) + " fields, found " +
             std::to_string(f.size()));
    if (r.number(f[0], "row number") != k)
      r.fail("row " + std::string(f[0]) + ", expected " + std::to_string(k));
    if (r.number(f[1], "log10 P") != TABP[k - 1])
      r.fail("log10 P " + std::string(f[1]) + " is not the pressure node of row " +
             std::to_string(k));
    for (int i = 1; i <= TTAUP_NT; ++i) {
      const double v = r.number(f[2 + i], "opacity");
      if (v != std::trunc(v)) r.fail("opacity '" + std::string(f[2 + i]) + "' is not an integer");
      tabkap(i, k) = v / 1000.0;
    }
  }
  r.expect_end();
}

void ttaup(Run& run, Depth& T, const Depth& TAU, Depth& ABSTD, Depth& PTOTAL, Depth& P,
           const Depth& PRAD, const Depth& PTURB, double GRAV, int N) {
  Run::TtaupRec& tab = run.TTAUP;
  if (tab.IFTAB == 0) {
    ttaup_load(embedded_data("ttaup_kappa.txt"), tab.TABKAP);
    tab.IFTAB = 1;
  }
  if (N < 1) return;
  if (N < 2) ttaup_refuse("the model has 1 depth; the step in ln TAU needs at least two");
  if (!(GRAV > 0)) ttaup_refuse("gravity GRAV = " + std::to_string(GRAV) + " is not positive");
  if (!(TAU(1) > 0))
    ttaup_refuse("first optical depth TAU(1) = " + std::to_string(TAU(1)) + " is not positive");
  for (int j = 1; j <= N; ++j)
    if (!(T(j) > 0))
      ttaup_refuse("temperature T(" + std::to_string(j) + ") = " + std::to_string(T(j)) +
                   " K is not positive");
  for (int j = 2; j <= N; ++j)
    if (!(TAU(j) > TAU(j - 1)))
      ttaup_refuse("optical depths do not increase at depth " + std::to_string(j) +
                   " (TAU = " + std::to_string(TAU(j - 1)) + ", " + std::to_string(TAU(j)) + ")");

  double tabt[TTAUP_NT];
  for (int i = 1; i <= TTAUP_NT; ++i) tabt[i - 1] = ttaup_tabt(i);

  const double h = std::log(TAU(2) / TAU(1));
  ABSTD(1) = PRAD(1) <= 0 ? sp(0.1f) : std::min(0.5 * GRAV * TAU(1) / PRAD(1), sp(0.1f));

  // The surface opacity is taken at the second temperature.
  const double t1 = T(1);
  T(1) = T(2);
  Depth Y;    // Y(J)  converged ln PTOTAL
  Depth DER;  // DER(J)  converged step derivative h GRAV TAU / (ABSTD PTOTAL)
  double pkap[TTAUP_NP];
  for (int j = 1; j <= N; ++j) {
    // The table at this depth's temperature, one value per pressure node.
    const double logt = std::log10(T(j));
    for (int k = 1; k <= TTAUP_NP; ++k)
      map1(tabt, &tab.TABKAP(1, k), TTAUP_NT, &logt, &pkap[k - 1], 1);

    double y = 0;
    double milne = 0;  // the K term of the modified Hamming corrector
    if (j == 1) {
      y = std::log(GRAV / ABSTD(1) * TAU(1));
    } else if (j <= 4) {
      y = Y(j - 1) + DER(j - 1);
    } else {
      y = (3 * Y(j - 4) + 8 * DER(j - 1) - 4 * DER(j - 2) + 8 * DER(j - 3)) / 3;
      milne = 126 * Y(j - 1) - 14 * Y(j - 3) + 108 * DER(j - 1) - 54 * DER(j - 2) + 9 * Y(j - 4) +
              24 * DER(j - 3);
    }
    double error = 1;
    for (int evals = 1;; ++evals) {
      PTOTAL(j) = std::exp(y);
      P(j) = PRAD(1) + PTOTAL(j) - PRAD(j) - PTURB(j);
      if (P(j) <= 0) {
        T(1) = t1;
        ttaup_fail(run, j, P, PTOTAL, PRAD, PTURB, ABSTD, error,
                   "gas pressure P = " + std::to_string(P(j)) + " is not positive");
      }
      const double logp = std::log10(P(j));
      double logkap = 0;
      map1(TABP, pkap, TTAUP_NP, &logp, &logkap, 1);
      ABSTD(j) = std::exp(logkap * LN10);
      const double d = h * GRAV * TAU(j) / (ABSTD(j) * PTOTAL(j));
      if (evals == MAX_EVAL) {
        T(1) = t1;
        ttaup_fail(run, j, P, PTOTAL, PRAD, PTURB, ABSTD, error,
                   "no convergence after " + std::to_string(MAX_EVAL) + " evaluations");
      }
      if (error <= sp(5e-5f)) {
        Y(j) = y;
        DER(j) = d;
        break;
      }
      double ynew = 0;
      if (j == 1)
        ynew = std::log(GRAV / ABSTD(1) * TAU(1));
      else if (j <= 4)
        ynew = (y + 2 * Y(j - 1) + DER(j - 1) + d) / 3;
      else
        ynew = (42 * d + milne) / 121;
      error = std::abs(ynew - y);
      y = (y + ynew) / 2;
    }
  }
  T(1) = t1;
}

}  // namespace atmotab
