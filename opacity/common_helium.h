// Pieces that he1op and he2op share: the threshold chain, the lower end of the merged levels, the
// free-free Gaunt factors, and the Planck function as source function where nothing absorbs.
#pragma once

#include <algorithm>
#include <cmath>

#include "common/state.h"
#include "opacity/coulff.h"
#include "opacity/coulff_cache.h"

namespace atmotab {

// The lowest level the photon ionizes when LEVELS[0..N-1] (levels 1..N) have thresholds [cm^-1]
// rising from level N to level 1: the chain runs from level N down and stops at the first level
// whose threshold exceeds WAVENO. N + 1 when the photon ionizes none.
template <class Level, int N>
int helium_lowest_open(double WAVENO, const Level (&LEVELS)[N]) {
  int k = N + 1;
  while (k > 1 && WAVENO >= LEVELS[k - 2].threshold) --k;
  return k;
}

// exp(-ELOW HCKT(J)), J = 1..NRHOX, at the lower end ELOW [cm^-1] of the merged levels: the
// per-model EXHIGH while ELOW is at its highest value EHIGH, else computed into BUF.
inline const double* helium_exlow(const Run& run, double ELOW, double EHIGH, const Dep& EXHIGH,
                                  double* BUF) {
  if (ELOW == EHIGH) return EXHIGH.data();
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) BUF[j - 1] = std::exp(-ELOW * run.TEMP.HCKT(j));
  return BUF;
}

// The free-free Gaunt factors G[J - 1], J = 1..NRHOX, at the current frequency from the per-model
// temperature part GAMLOG, held at 0 where the table's linear extrapolation goes negative (above
// about 40000 K / Z^2 at hard X-ray frequencies). The frequency coordinate is coulff's column.
inline void helium_gaunt(Run& run, const Dep& GAMLOG, double* G) {
  const int n = run.RHOX.NRHOX;
  coulff_at(GAMLOG.data(), coulff_columns(run).HVKTLG.data(), G, n);
  for (int j = 1; j <= n; ++j) G[j - 1] = std::max(G[j - 1], 0.0);
}

// The same for charge 1, whose factors coulff keeps per frequency (hop takes them too).
inline void helium_gaunt_z1(Run& run, double* G) {
  const int n = run.RHOX.NRHOX;
  const double* G1 = coulff_columns(run).G1.data();
  for (int j = 1; j <= n; ++j) G[j - 1] = std::max(G1[j - 1], 0.0);
}

// S(J) = BNU(J) wherever A(J) is not positive, J = 1..NRHOX.
inline void helium_planck_where_no_absorption(Run& run, const Dep& A, Dep& S) {
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    if (!(A(j) > 0.0)) S(j) = run.FREQ.BNU(j);
}

}  // namespace atmotab
