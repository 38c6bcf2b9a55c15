// pfiron — partition functions of the iron-group elements Ca..Ni (Z = 20..28), stages I..X, by
// interpolation in a table of temperature and ionization-potential lowering.
// Sources: FEGRPF built from NIST ASD levels with a hydrogenic completion of incomplete level
//          lists (data/fegrpf.txt, tools/make_atomic_tables.py).
// Inputs:  TLOG(J) = ln T, the lowering POTLO of the stage [eV].
// Output:  partition function, computed in single precision; no high-level tail is added (the
//          lowering columns already cut the series).
// Valid:   the table spans log10 T = 3.32..5.30 and lowerings 500..32000 cm^-1. Outside it the
//          two end rows are extrapolated linearly in log T; a lowering below 500 cm^-1 uses the
//          first column, one of 32000 cm^-1 or more the last. Downwards the extrapolation of some
//          stages turns negative (Ca VII below 661 K): pfiron_lowest_temperature gives that
//          limit, below which pfsaha refuses a model.
// Deviations from the source: none.
#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "populations/pfsaha.h"

namespace atmotab {
namespace {

constexpr float LN10 = 2.3025851f;  // ln 10 (single precision)
// Lowering of the table columns [cm^-1] and their log10.
constexpr float POTLO_COL[7] = {500.f, 1000.f, 2000.f, 4000.f, 8000.f, 16000.f, 32000.f};
constexpr float POTLOLOG[7] = {2.69897f, 3.f, 3.30103f, 3.60206f, 3.90309f, 4.20412f, 4.50515f};
constexpr float LOG2 = 0.30103f;  // log10 2, the spacing of the columns

// Rows 1 and 2 of the table: log10 T = 3.32 and 3.34.
constexpr float TLOG_ROW1 = 3.32f;
constexpr float TLOG_STEP_LOW = 0.02f;

}  // namespace

double pfiron_lowest_temperature(const Run& run) {
  // Below the first row every column is continued as the straight line through rows 1 and 2 in
  // log T; where it falls towards low temperatures it reaches 0 at log T = 3.32 - 0.02 U1/(U2 -
  // U1).
  const Arr<float, 7, 56, 90>& tab = run.PFTAB.FEGRPF;
  double tlog = -1e300;
  for (int k = 1; k <= 90; ++k)
    for (int l = 1; l <= 7; ++l) {
      const double u1 = tab(l, 1, k), u2 = tab(l, 2, k);
      if (u2 > u1) tlog = std::max(tlog, TLOG_ROW1 - TLOG_STEP_LOW * u1 / (u2 - u1));
    }
  return std::pow(10.0, tlog);
}

float pfiron(const Run& run, int j, int iz, int ion, double potlo) {
  const Arr<float, 7, 56, 90>& tab = run.PFTAB.FEGRPF;
  const int k = ion + 10 * (iz - 20);
  const float tl = static_cast<float>(run.TEMP.TLOG(j)) / LN10;
  const float pl = static_cast<float>(potlo) * EV_TO_CM_FLOAT;
  // Rows: log10 T = 3.32 + 0.02 (r - 1) up to 3.70 (r = 20), then steps of 0.03 to 4.00 (r = 30),
  // then steps of 0.05 to 5.30 (r = 56).
  int it;
  float f;
  if (tl <= 4.0f && tl >= 3.7f) {
    it = static_cast<int>((tl - 3.7f) / 0.03f + 21);
    f = ((tl - 3.7f) - (it - 21) * 0.03f) / 0.03f;
  } else if (tl < 3.7f) {
    it = std::max(static_cast<int>((tl - TLOG_ROW1) / TLOG_STEP_LOW + 2), 2);
    f = ((tl - TLOG_ROW1) - (it - 2) * TLOG_STEP_LOW) / TLOG_STEP_LOW;
  } else {
    it = std::min(static_cast<int>((tl - 4.0f) / 0.05f + 31), 56);
    f = ((tl - 4.0f) - (it - 31) * 0.05f) / 0.05f;
  }
  auto column = [&](int l) { return (1 - f) * tab(l, it - 1, k) + f * tab(l, it, k); };
  if (pl < POTLO_COL[0]) return column(1);
  if (pl >= POTLO_COL[6]) return column(7);
  int l = 2;
  while (pl >= POTLO_COL[l - 1]) ++l;
  const float p = (std::log10(pl) - POTLOLOG[l - 2]) / LOG2;
  return (1 - p) * column(l - 1) + p * column(l);
}

}  // namespace atmotab
