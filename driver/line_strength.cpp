// Line-strength maxima of the per-model tables: about 22 million candidates per 99-depth model
// with 377 edges, each defined as four successive double-precision divisions rounded to single
// precision. The divisions dominate the run time, so each candidate is first formed as
// y = A * (1/(((NU*RHO)*CMIN)*NORM)), which lies within 9 units in the last place (2^-53
// relative) of the chain of divisions x (four roundings for x, five for y). Rounding is monotone,
// so when y (1 - 2^-46) and y (1 + 2^-46), an interval that contains x, round to the same single,
// that single is float(x) exactly; the rare candidates near a single-precision rounding boundary
// are computed by the chain.
// The error bound needs every rounding to be relative: the partial products NU RHO, NU RHO CMIN,
// NU RHO CMIN NORM and the reciprocal must be normal, and the quotients A/NU, A/NU/RHO,
// A/NU/RHO/CMIN must not leave the normal range unless the result is beyond single precision
// anyway. Quotient k times the divisors still to come (RHO CMIN NORM, CMIN NORM, NORM) is the
// result, so when those lie within 2^-800..2^800 a subnormal quotient means a result below
// 2^-222 (a single 0) and an overflowing one a result above 2^223 (a single infinity), for the
// chain and for y alike. The guard below checks exactly these conditions; otherwise the whole
// interval takes the chain.
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
// Kept out of line: inlined into the guard below, the loop is no longer vectorised.
[[gnu::noinline]] int bracketed(const double* __restrict a, int n, double recip,
                                float* __restrict v) {
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
  const double p1 = nu * rho;
  const double p2 = p1 * cmin;
  const double p3 = p2 * norm;
  const double recip = 1 / p3;
  auto moderate = [](double r) { return r >= 0x1p-800 && r <= 0x1p800; };
  const double after_rho = cmin * norm;  // divisors after A/NU/RHO
  const bool normal = nu > 0 && rho > 0 && cmin > 0 && norm > 0 && std::isnormal(nu) &&
                      std::isnormal(rho) && std::isnormal(cmin) && std::isnormal(norm) &&
                      std::isnormal(p1) && std::isnormal(p2) && std::isnormal(p3) &&
                      std::isnormal(recip) && moderate(norm) && moderate(after_rho) &&
                      moderate(rho * after_rho);
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
    // The smallest of the three defined values: a NaN (an undefined log10 opacity) is passed over
    // wherever it stands, which the Fortran MIN intrinsic leaves to the processor.
    const double cmin =
        std::pow(10.0, std::fmin(std::fmin(TB.CONTINALL(3 * m - 2, j), TB.CONTINALL(3 * m - 1, j)),
                                 TB.CONTINALL(3 * m, j)));
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
