// Electron-density iteration: agreement with an independent Saha solution on a solar-like layer,
// the state it leaves (XNATOM, RHO), its printed table and its failure path.
#include "populations/nelect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "fortio/error.h"
#include "model_fixture.h"
#include "populations/pfsaha.h"

namespace atmotab {
namespace {

using testing::PopsRun;

// Electron density of a layer at T, P from charge conservation over the ten donors, each with
// three stages, by bisection in ln ne; partition functions U(Z, stage) from pfsaha (mode 13) at
// the state already in depth 1, ionization energies from POTION without lowering.
double independent_ne(Run& r, double t, double p) {
  const double kt = 1.38054e-16 * t, tev = 8.6171e-5 * t;
  double u[NELECT_DONORS][3], chi[NELECT_DONORS][2];
  for (int i = 0; i < NELECT_DONORS; ++i) {
    Arr<double, MAXD, 3> a;
    const int n = std::min(3, pfsaha_nions(NELEMZ[i]));
    pfsaha(r, 1, NELEMZ[i], n, 13, a.data());
    for (int s = 0; s < 3; ++s) u[i][s] = s < n ? a(1, s + 1) : 0;
    for (int s = 0; s < 2; ++s) chi[i][s] = pfsaha_ip(r, NELEMZ[i], s + 1);
  }
  auto excess = [&](double ne) {
    double sum = 0;
    for (int i = 0; i < NELECT_DONORS; ++i) {
      const double q = 2.4148e15 * std::pow(t, 1.5) * 2 / ne;
      const double r1 = q * u[i][1] / u[i][0] * std::exp(-chi[i][0] / tev);
      const double r2 = u[i][2] > 0 ? q * u[i][2] / u[i][1] * std::exp(-chi[i][1] / tev) : 0;
      const double n0 = 1 / (1 + r1 + r1 * r2);
      sum += r.ELEM.XABUND(NELEMZ[i]) * (n0 * r1 + 2 * n0 * r1 * r2);
    }
    return ne - sum * (p / kt - ne);
  };
  double lo = std::log(1.0), hi = std::log(p / kt);
  for (int k = 0; k < 200; ++k) {
    const double mid = 0.5 * (lo + hi);
    (excess(std::exp(mid)) > 0 ? hi : lo) = mid;
  }
  return std::exp(0.5 * (lo + hi));
}

TEST(nelect, solar_layer_matches_independent_saha) {
  struct Case {
    double t, p;
  };
  const Case cases[] = {{5800.0, 1.2e5}, {4500.0, 1e4}, {6500.0, 1.2e5}, {9000.0, 1e3}};
  for (const Case& c : cases) {
    PopsRun p;
    p.set_depth(1, c.t, c.p, 1.0);
    p.r.ITER.NUMITS = 2;  // no printing
    p.r.ITER.ITER = 1;
    nelect(p.r);
    const double ne = p.r.STATE.XNE(1);
    const double ref = independent_ne(p.r, c.t, c.p);
    EXPECT_NEAR(ne, ref, 0.10 * ref) << "T = " << c.t << " P = " << c.p;
    if (c.t == 5800.0) {
      EXPECT_NEAR(std::log10(ne), 13.4, 0.5);  // photospheric ne ~ 1e13..1e14
    }
  }
}

TEST(nelect, leaves_consistent_state_on_every_depth) {
  PopsRun p;
  const double ts[5] = {4200, 5000, 5800, 7000, 9500};
  for (int j = 1; j <= 5; ++j) p.set_depth(j, ts[j - 1], 1e3 * std::pow(4.0, j), 1.0);
  nelect(p.r);
  for (int j = 1; j <= 5; ++j) {
    const double xntot = p.r.STATE.P(j) / p.r.TEMP.TK(j);
    EXPECT_DOUBLE_EQ(p.r.STATE.XNATOM(j), xntot - p.r.STATE.XNE(j)) << j;
    // Atomic mass unit 1.66e-24 g as a single-precision constant.
    EXPECT_EQ(p.r.STATE.RHO(j), p.r.ELEM.WTMOLE * 1.660000002856575e-24 * p.r.STATE.XNATOM(j)) << j;
    EXPECT_GT(p.r.STATE.XNE(j), 0);
    if (j > 1) {
      EXPECT_GT(p.r.STATE.XNE(j), p.r.STATE.XNE(j - 1));  // hotter and denser
    }
  }
}

TEST(nelect, electron_table_printed_only_when_numits_reached) {
  PopsRun p;
  for (int j = 1; j <= 3; ++j) p.set_depth(j, 5000.0 + 500 * j, 1e4 * j, 1.0);
  p.r.ITER.NUMITS = 1;
  p.r.ITER.ITER = 1;
  nelect(p.r);
  const std::string out = p.listing.str();
  EXPECT_EQ(out.rfind("1\n\n\n\n" + std::string(50, ' ') + "ELECTRON CONTRIBUTIONS\n", 0), 0u)
      << out;
  // 2X, then 4X and the first two characters of each donor symbol.
  EXPECT_NE(out.find("\n      H     HE    C     NA    MG    AL    SI    K     CA    FE\n"),
            std::string::npos)
      << out;
  // One line per depth: I3 and twenty F6.3; the fractions of the ten donors add up to 1.
  std::istringstream lines(out);
  std::string line;
  int depth_lines = 0;
  while (std::getline(lines, line)) {
    if (line.size() != 123 || line.find("ELECTRON") != std::string::npos) continue;
    ++depth_lines;
    EXPECT_EQ(std::stoi(line.substr(0, 3)), depth_lines);
    double sum = 0;
    for (int i = 0; i < 10; ++i) sum += std::stod(line.substr(3 + 6 * i, 6));
    EXPECT_NEAR(sum, 1.0, 0.006) << line;  // ten values rounded to 0.001
  }
  EXPECT_EQ(depth_lines, 3);

  PopsRun q;
  q.set_depth(1, 5000.0, 1e4, 1.0);
  q.r.ITER.NUMITS = 2;
  q.r.ITER.ITER = 1;
  nelect(q.r);
  EXPECT_EQ(q.listing.str(), "");
}

TEST(nelect, donors_are_dropped_only_below_the_first_depth) {
  // A cool layer (3000 K, 1e4 dyn cm^-2) has ne ~ 1e-7 of the particles. Starting from P/2kT, the
  // first pass finds every donor far below 1e-5 of the damped XNENEW (~P/4kT); at the first
  // depth no donor is dropped, so the iteration walks down to the answer.
  PopsRun a;
  a.set_depth(1, 3000.0, 1e4, 1.0);
  nelect(a.r);
  const double xntot = 1e4 / a.r.TEMP.TK(1);
  EXPECT_LT(a.r.STATE.XNE(1), 1e-5 * xntot);
  EXPECT_GT(a.r.STATE.XNE(1), 0.0);

  // The same layer below a hot one (20000 K, nearly half the particles free electrons): the
  // starting guess XNE(1) P(2)/P(1) is again ~1e6 times the answer, but at depth 2 the first pass
  // drops every donor, none is evaluated again, and XNENEW only halves: no convergence.
  PopsRun b;
  b.set_depth(1, 20000.0, 1e4, 1.0);
  b.set_depth(2, 3000.0, 1e4, 1.0);
  try {
    nelect(b.r);
    ADD_FAILURE() << "no exception";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_NE(std::string(e.what()).find("depth J = 2"), std::string::npos) << e.what();
  }
  EXPECT_GT(b.r.STATE.XNE(1), 0.4 * 1e4 / b.r.TEMP.TK(1));
}

TEST(nelect, no_convergence_stops_with_status_1) {
  PopsRun p;
  p.set_depth(1, 5800.0, 1.2e5, 1.0);
  p.r.ITER.NUMITS = 2;
  p.r.ITER.ITER = 1;
  try {
    nelect(p.r, 2);  // two damped steps cannot bring P/2kT down to the solar value
    ADD_FAILURE() << "no exception";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.where(), "nelect");
    EXPECT_NE(std::string(e.what()).find("depth J = 1"), std::string::npos);
  }
  EXPECT_EQ(p.listing.str(), " XNE DOES NOT CONVERGE\n");
}

}  // namespace
}  // namespace atmotab
