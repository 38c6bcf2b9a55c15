// nelect — electron-density iteration: at each depth the free electrons of the ten main donors,
// from the Saha balance of each (pfsaha, mode 4), are summed and averaged with the previous value
// until the relative change is below 5e-4.
// Sources: charge conservation n_e = sum_Z n_Z <electrons per atom of Z>, with
//          n_atoms = P/kT - n_e; the averaging halves each step, which damps the oscillation the
//          undamped fixed point shows when hydrogen ionizes.
// Inputs:  P, T (via TK) per depth; XABUND; WTMOLE; NUMITS, ITER (printing).
// Output:  XNE(J), XNATOM(J), RHO(J) for J = 1..NRHOX; the electron-contribution table.
// Valid:   any model pfsaha accepts; donors supplying less than 1e-5 of the electrons (1e-4
//          once within 5 %) are dropped at a depth after the first to save work.
// Deviations from the source: none.
#include "populations/nelect.h"

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "common/constants.h"
#include "fortio/error.h"
#include "populations/pfsaha.h"

namespace atmotab {
namespace {

constexpr double CONVERGED = sp(0.0005f);  // relative change that ends the iteration
constexpr double NEAR = sp(0.05f);         // relative change below which donors drop at 1e-4
constexpr double DROP_FAR = sp(1e-5f);     // donor threshold while the change is large
constexpr double DROP_NEAR = 1e-4;         // donor threshold once the change is below NEAR

constexpr const char* HEADING_FORMAT = "('1',/,/,/,/,50X,'ELECTRON CONTRIBUTIONS',/,2X,20(4X,A2))";
constexpr const char* DEPTH_FORMAT = "(I3,20F6.3)";

void print_heading(Run& run) {
  std::vector<FItem> items;
  for (int z : NELEMZ) items.emplace_back(std::string_view(run.ELEM.ELEMSYM(z).data(), 2));
  run.LISTING.print(HEADING_FORMAT, items);
}

}  // namespace

void nelect(Run& run, int maxit) {
  Run::StateRec& S = run.STATE;
  const Run::TempRec& T = run.TEMP;
  const bool print = run.ITER.NUMITS <= run.ITER.ITER;
  if (print) print_heading(run);

  double x[NELECT_DONORS] = {};  // electrons supplied by each donor [cm^-3]
  double e[NELECT_DONORS] = {};  // electrons per atom of each donor
  Depth elec;                    // pfsaha's answer
  const int nrhox = run.RHOX.NRHOX;
  pfsaha_forget_levels(run);
  if (nrhox >= 1) S.XNE(1) = S.P(1) / T.TK(1) / 2;
  for (int j = 1; j <= nrhox; ++j) {
    const double xntot = S.P(j) / T.TK(j);
    bool mask[NELECT_DONORS];
    for (bool& m : mask) m = true;
    bool converged = false;
    for (int l = 1; l <= maxit && !converged; ++l) {
      S.XNATOM(j) = xntot - S.XNE(j);
      double xnenew = 0;
      for (int i = 0; i < NELECT_DONORS; ++i) {
        if (!mask[i]) continue;
        pfsaha_iteration(run, j, NELEMZ[i], NIONZ[i], 4, elec.data());
        e[i] = elec(j);
        x[i] = elec(j) * S.XNATOM(j) * run.ELEM.XABUND(NELEMZ[i]);
        xnenew += x[i];
      }
      xnenew = (xnenew + S.XNE(j)) / 2;
      const double error = std::fabs((S.XNE(j) - xnenew) / xnenew);
      S.XNE(j) = xnenew;
      if (error < CONVERGED) {
        S.XNATOM(j) = xntot - xnenew;
        converged = true;
      } else if (j > 1) {
        const double x1 = error < NEAR ? DROP_NEAR * xnenew : DROP_FAR * xnenew;
        for (int i = 0; i < NELECT_DONORS; ++i)
          if (x[i] < x1) mask[i] = false;
      }
    }
    if (!converged) {
      run.LISTING.print("(' XNE DOES NOT CONVERGE')", {});
      throw atmo_error(EXIT_FAILURE_REPORTED, "nelect",
                       "XNE DOES NOT CONVERGE at depth J = " + std::to_string(j) + " within " +
                           std::to_string(maxit) + " iterations");
    }
    S.RHO(j) = run.ELEM.WTMOLE * AMU_SP * S.XNATOM(j);
    if (print) {
      std::vector<FItem> items{j};
      for (double& xi : x) xi = xi / S.XNE(j);
      for (double xi : x) items.emplace_back(xi);
      for (double ei : e) items.emplace_back(ei);
      run.LISTING.print(DEPTH_FORMAT, items);
    }
    if (j < nrhox) S.XNE(j + 1) = S.XNE(j) * S.P(j + 1) / S.P(j);
  }
}

}  // namespace atmotab
