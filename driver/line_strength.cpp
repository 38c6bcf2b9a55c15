// Line-strength maxima of the per-model tables: about 22 million candidates per 99-depth model
// with 377 edges, each defined as four successive double-precision divisions rounded to single
// precision. The divisions dominate the run time, so each candidate is first formed as
// y = A * (1/(((NU*RHO)*CMIN)*NORM)), which lies within 9 units in the last place (2^-53
// relative) of the chain of divisions x (four roundings each way). Rounding is monotone, so when
// y (1 - 2^-46) and y (1 + 2^-46), an interval that contains x, round to the same single, that
// single is float(x) exactly; the rare candidates near a single-precision rounding boundary are
// computed by the chain. The check holds wherever the divisors and their product are normal
// doubles and the chain's intermediates cannot be subnormal unless the result rounds to zero,
// which the guard below ensures; otherwise the whole interval takes the chain.
// This file is compiled with the vectoriser's dynamic cost model (CMakeLists.txt): vector
// instructions give the same IEEE results as scalar ones.
#include "driver/line_strength.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace atmotab {
namespace {

constexpr int NSZ = 6 * 99;  // stage slots times elements
constexpr double BELOW = 1 - 0x1p-46;
constexpr double ABOVE = 1 + 0x1p-46;

float chain(double a, double nu, double rho, double cmin, double norm) {
  return static_cast<float>(a / nu / rho / cmin / norm);
}

// Number of candidates whose bracket rounds to two different singles; V holds the lower one.
int bracketed(const double* __restrict a, int n, double recip, float* __restrict v) {
  int undecided = 0;
  for (int k = 0; k < n; ++k) {
    const double y = a[k] * recip;
    const float lo = static_cast<float>(y * BELOW);
    const float hi = static_cast<float>(y * ABOVE);
    v[k] = lo;
    undecided += lo != hi;
  }
  return undecided;
}

}  // namespace

void line_strengths(const double* a, int n, double nu, double rho, double cmin, double norm,
                    float* v) {
  const double growth = rho * cmin * norm;
  const double product = nu * growth;
  const double recip = 1 / (((nu * rho) * cmin) * norm);
  const bool normal = std::isnormal(nu) && std::isnormal(rho) && std::isnormal(cmin) &&
                      std::isnormal(norm) && std::isnormal(product) && std::isnormal(recip) &&
                      nu > 0 && growth >= 0x1p-800;
  if (normal && bracketed(a, n, recip, v) == 0) return;
  for (int k = 0; k < n; ++k) {
    if (normal) {
      const double y = a[k] * recip;
      if (static_cast<float>(y * BELOW) == static_cast<float>(y * ABOVE)) continue;
    }
    v[k] = chain(a[k], nu, rho, cmin, norm);
  }
}

void begin_line_strength_maxima(Run& run) {
  TablesRec& TB = run.TABLES;
  TB.NLSACTIVE = 0;
  for (int z = 1; z <= 99; ++z)
    for (int s = 1; s <= 6; ++s) {
      bool populated = false;
      for (int j = 1; j <= run.RHOX.NRHOX && !populated; ++j) populated = TB.XNFP(j, s, z) != 0;
      if (populated) TB.LSACTIVE(++TB.NLSACTIVE) = s + 6 * (z - 1);
    }
  TB.LSMAX.fill(0);
}

void update_line_strength_maxima(Run& run, int j) {
  TablesRec& TB = run.TABLES;
  const int nint = (run.FRESET.NUMNU + 2) / 3;
  const int nact = TB.NLSACTIVE;
  const double rho = run.STATE.RHO(j);
  const double norm = sp(0.001f);
  // XNFPEL/DOPPLE does not depend on the interval: the first division once per depth. Slots
  // without a population at any depth give 0 and leave their maxima at 0.
  std::array<double, NSZ> a;
  for (int i = 1; i <= nact; ++i) {
    const int k = TB.LSACTIVE(i);
    a[static_cast<std::size_t>(i - 1)] = TB.XNFPEL(k) / TB.DOPPLE(k);
  }
  std::array<float, NSZ> v;
  for (int m = 1; m <= nint; ++m) {
    const double cmin = std::pow(
        10.0,
        std::min({TB.CONTINALL(3 * m - 2, j), TB.CONTINALL(3 * m - 1, j), TB.CONTINALL(3 * m, j)}));
    line_strengths(a.data(), nact, run.EDGE.FREQSET(3 * m - 1), rho, cmin, norm, v.data());
    float* __restrict acc = &TB.LSMAX(1, m);
    for (int i = 0; i < nact; ++i) acc[i] = std::max(acc[i], v[static_cast<std::size_t>(i)]);
  }
}

void end_line_strength_maxima(Run& run) {
  TablesRec& TB = run.TABLES;
  TB.XNFDOPMAX.fill(0);
  for (int i = 1; i <= TB.NLSACTIVE; ++i)
    for (int m = 1; m <= NTAB_EDGE; ++m) TB.XNFDOPMAX(m, TB.LSACTIVE(i)) = TB.LSMAX(i, m);
}

}  // namespace atmotab
