// Line-strength maxima of the per-model tables: about 11 million candidates per 99-depth model
// with 377 edges (the populated stage slots times the intervals times the depths), each defined
// as four successive double-precision divisions rounded to single precision, and the maximum of
// those singles over the depths.
//
// One candidate. It is first formed as y = A * (1/(((NU*RHO)*CMIN)*NORM)), which lies within 9
// units in the last place (2^-53 relative) of the chain of divisions x (four roundings for x,
// five for y). Rounding is monotone, so when y (1 - 2^-46) and y (1 + 2^-46), an interval that
// contains x, round to the same single, that single is float(x) exactly; the rare candidates near
// a single-precision rounding boundary are computed by the chain.
// The error bound needs every rounding to be relative: the partial products NU RHO, NU RHO CMIN,
// NU RHO CMIN NORM and the reciprocal must be normal, and the quotients A/NU, A/NU/RHO,
// A/NU/RHO/CMIN must not leave the normal range unless the result is beyond single precision
// anyway. Quotient k times the divisors still to come (RHO CMIN NORM, CMIN NORM, NORM) is the
// result, so when those lie within 2^-800..2^800 a subnormal quotient means a result below
// 2^-222 (a single 0) and an overflowing one a result above 2^223 (a single infinity), for the
// chain and for y alike. reciprocal() checks exactly these conditions; where they fail, the
// candidates of that depth and interval take the chain.
//
// The maximum. Rounding to single precision is monotone, so the largest single over the depths is
// the single of the largest x. With Y the largest y of slot I in interval M over the depths, every
// x lies below Y (1 + 2^-46) and the x of the depth that gave Y lies above Y (1 - 2^-46): when
// both ends round to the same single, that is the maximum, and the chain is needed only for the
// rare maxima whose bracket straddles a rounding boundary. The search for Y is one product and one
// comparison per candidate, done in register tiles of 8 slots x 2 to 8 intervals that run over
// all depths: the tile's products stay in registers, the slots' column of A (8 x 99 doubles) in
// the first-level cache, and each reciprocal is read once per tile. On processors with AVX2 or
// AVX-512 the tiles use four- or eight-double vector instructions (chosen at run time); the
// products and comparisons are exact IEEE operations, so every processor gives the same bits.
#include "driver/line_strength.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "common/state.h"
#include "common/vector_clones.h"
#include "driver/line_strength_cache.h"

namespace atmotab {
namespace {

constexpr double BELOW = 1 - 0x1p-46;
constexpr double ABOVE = 1 + 0x1p-46;

float chain(double a, double nu, double rho, double cmin, double norm) {
  return static_cast<float>(a / nu / rho / cmin / norm);
}

// RECIP = 1/(((NU RHO) CMIN) NORM) when the product y = A RECIP is within the error bound above
// for every A; false otherwise.
inline bool reciprocal(double nu, double rho, double cmin, double norm, double& recip) {
  const double p1 = nu * rho;
  const double p2 = p1 * cmin;
  const double p3 = p2 * norm;
  recip = 1 / p3;
  // Positive and normal (false for NaN); the products and the reciprocal of positive numbers are
  // positive, so for them this is the normality alone.
  auto normal = [](double r) { return (r >= DBL_MIN) & (r <= DBL_MAX); };
  auto moderate = [](double r) { return (r >= 0x1p-800) & (r <= 0x1p800); };
  const double after_rho = cmin * norm;  // divisors after A/NU/RHO
  return normal(nu) & normal(rho) & normal(cmin) & normal(norm) & normal(p1) & normal(p2) &
         normal(p3) & normal(recip) & moderate(norm) & moderate(after_rho) &
         moderate(rho * after_rho);
}

// R(M) = 1/(((NU(M) RHO) CMIN) NORM) with CMIN = R(M) on entry, or 0 where the product y is not
// within the error bound, M < N.
ATMOTAB_VECTOR_CLONES void reciprocals(const double* __restrict nu, double* __restrict r, int n,
                                       double rho, double norm) {
  for (int m = 0; m < n; ++m) {
    double recip = 0;
    const bool ok = reciprocal(nu[m], rho, r[m], norm, recip);
    r[m] = ok ? recip : 0;
  }
}

// The single that every value between Y (1 - 2^-46) and Y (1 + 2^-46) rounds to, if there is one.
bool decided(double y, float& v) {
  v = static_cast<float>(y * BELOW);
  return v == static_cast<float>(y * ABOVE);
}

// Number of candidates whose bracket rounds to two different singles; V holds the lower one.
// Out of line, as every function with clones is (called through the processor's choice; inlined
// into the caller, the loop is no longer vectorised). Clang refuses noinline beside the clones.
ATMOTAB_VECTOR_CLONES int bracketed(const double* __restrict a, int n, double recip,
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

// The smallest continuum opacity of interval M at depth J. The smallest of the three defined
// values: a NaN (an undefined log10 opacity) is passed over wherever it stands, which the Fortran
// MIN intrinsic leaves to the processor.
double smallest_opacity(const TablesRec& TB, int m, int j) {
  return std::pow(10.0, std::fmin(std::fmin(TB.CONTINALL(3 * m - 2, j), TB.CONTINALL(3 * m - 1, j)),
                                  TB.CONTINALL(3 * m, j)));
}

double norm() { return sp(0.001f); }

// Y(M,II) = max(+0, max over J < NJ of A(II,J) R(M,J)) for the LS_TILE slots II of one tile and
// the intervals M < NM (a multiple of MB; the comparison keeps the larger, passing over a NaN
// product). A(II,J) = A[II + LS_SLOTS J], R(M,J) = R[M + LS_INTERVALS J], Y(M,II) = Y[II + LS_TILE
// M]. V is a vector of doubles; the tile holds MB x LS_TILE / (doubles per V) accumulators.
template <class V, int MB>
[[gnu::always_inline]] inline void max_products(const double* a, const double* r, int nj, int nm,
                                                double* y) {
  constexpr int W = sizeof(V) / sizeof(double);
  constexpr int NV = LineStrengthRec::LS_TILE / W;
  for (int m0 = 0; m0 < nm; m0 += MB) {
    V acc[MB][NV] = {};
    for (int j = 0; j < nj; ++j) {
      V av[NV];
#pragma GCC unroll 8
      for (int v = 0; v < NV; ++v)
        std::memcpy(&av[v], a + j * LineStrengthRec::LS_SLOTS + v * W, sizeof(V));
      const double* rj = r + j * LineStrengthRec::LS_INTERVALS + m0;
#pragma GCC unroll 8
      for (int mm = 0; mm < MB; ++mm)
#pragma GCC unroll 8
        for (int v = 0; v < NV; ++v) {
          const V p = av[v] * rj[mm];
          acc[mm][v] = acc[mm][v] < p ? p : acc[mm][v];
        }
    }
#pragma GCC unroll 8
    for (int mm = 0; mm < MB; ++mm)
#pragma GCC unroll 8
      for (int v = 0; v < NV; ++v)
        std::memcpy(y + (m0 + mm) * LineStrengthRec::LS_TILE + v * W, &acc[mm][v], sizeof(V));
  }
}

using V2 = double __attribute__((vector_size(16)));
// Intervals per tile of each version; the intervals are taken in blocks of LS_BLOCK, a multiple of
// every one of them, so that the zero padding of R covers the last block.
constexpr int MB_BASE = 2, MB_AVX2 = 4, MB_AVX512 = 8;
static_assert(LS_BLOCK % MB_BASE == 0 && LS_BLOCK % MB_AVX2 == 0 && LS_BLOCK % MB_AVX512 == 0);
static_assert(LineStrengthRec::LS_INTERVALS % LS_BLOCK == 0 &&
              LineStrengthRec::LS_INTERVALS >= NTAB_EDGE);
static_assert(LineStrengthRec::LS_SLOTS % LineStrengthRec::LS_TILE == 0 &&
              LineStrengthRec::LS_SLOTS >= 6 * 99);

void max_products_base(const double* a, const double* r, int nj, int nm, double* y) {
  max_products<V2, MB_BASE>(a, r, nj, nm, y);
}

#if ATMOTAB_X86_VECTORS
using V4 = double __attribute__((vector_size(32)));
[[gnu::target("avx2")]] void max_products_avx2(const double* a, const double* r, int nj, int nm,
                                               double* y) {
  max_products<V4, MB_AVX2>(a, r, nj, nm, y);
}
// One 8-double vector per row of the tile, eight intervals: 8 accumulators.
using V8 = double __attribute__((vector_size(64)));
[[gnu::target("avx512f")]] void max_products_avx512(const double* a, const double* r, int nj,
                                                    int nm, double* y) {
  max_products<V8, MB_AVX512>(a, r, nj, nm, y);
}
#endif

}  // namespace

void line_strength_tile(const double* a, const double* r, int nj, int nm, double* y,
                        VectorSet version) {
#if ATMOTAB_X86_VECTORS
  if (version == VECTORS_AVX512) return max_products_avx512(a, r, nj, nm, y);
  if (version == VECTORS_AVX2) return max_products_avx2(a, r, nj, nm, y);
#endif
  (void)version;
  max_products_base(a, r, nj, nm, y);
}

namespace {

// The maximum of slot I (0-based row of LSA) in interval M from the depths whose divisors allow
// the product, by the chain.
float chain_maximum(const Run& run, const LineStrengthRec& L, int i, int m) {
  const TablesRec& TB = run.TABLES;
  const double nu = run.EDGE.FREQSET(3 * m - 1);
  float best = 0;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    if (L.LSR(m, j) == 0) continue;  // a depth of the chain: folded in apart
    const float v =
        chain(L.LSA(i + 1, j), nu, run.STATE.RHO(j), smallest_opacity(TB, m, j), norm());
    best = std::max(best, v);
  }
  return best;
}

// XNFDOPMAX 0 but for intervals 1..NINT of the slots listed in LSACTIVE, which the caller
// writes: only what the last model left there is cleared (a new run's table is all 0).
void clear_maxima(TablesRec& TB, LineStrengthRec& L, int nint) {
  std::array<bool, 6 * 99 + 1> listed{};
  if (nint > 0)
    for (int i = 1; i <= L.NLSACTIVE; ++i) listed[static_cast<std::size_t>(L.LSACTIVE(i))] = true;
  for (int k = 1; k <= 6 * 99; ++k) {
    const int kept = listed[static_cast<std::size_t>(k)] ? nint : 0;
    float* max = &TB.XNFDOPMAX(1, k);
    for (int m = kept + 1; m <= L.NDOPMAX(k); ++m) max[m - 1] = 0;
    L.NDOPMAX(k) = kept;
  }
}

}  // namespace

void line_strengths(const double* a, int n, double nu, double rho, double cmin, double norm,
                    float* v) {
  double recip = 0;
  const bool normal = reciprocal(nu, rho, cmin, norm, recip);
  if (normal && bracketed(a, n, recip, v) == 0) return;
  for (int k = 0; k < n; ++k) {
    if (normal && decided(a[k] * recip, v[k])) continue;
    v[k] = chain(a[k], nu, rho, cmin, norm);
  }
}

void begin_line_strength_maxima(Run& run) {
  const TablesRec& TB = run.TABLES;
  LineStrengthRec& L = line_strength_cache(run);
  L.NLSACTIVE = 0;
  for (int z = 1; z <= 99; ++z)
    for (int s = 1; s <= 6; ++s) {
      bool populated = false;
      for (int j = 1; j <= run.RHOX.NRHOX && !populated; ++j) populated = TB.XNFP(j, s, z) != 0;
      if (populated) L.LSACTIVE(++L.NLSACTIVE) = s + 6 * (z - 1);
    }
}

void update_line_strength_maxima(Run& run, int j) {
  const TablesRec& TB = run.TABLES;
  LineStrengthRec& L = line_strength_cache(run);
  const int nint = (run.FRESET.NUMNU + 2) / 3;
  const int nact = L.NLSACTIVE;
  const double rho = run.STATE.RHO(j);
  // XNFPEL/DOPPLE does not depend on the interval: the first division once per depth. The rows of
  // the last tile beyond the listed slots hold 0.
  for (int i = 1; i <= nact; ++i) {
    const int k = L.LSACTIVE(i);
    L.LSA(i, j) = TB.XNFPEL(k) / TB.DOPPLE(k);
  }
  const int rows =
      (nact + LineStrengthRec::LS_TILE - 1) / LineStrengthRec::LS_TILE * LineStrengthRec::LS_TILE;
  for (int i = nact + 1; i <= rows; ++i) L.LSA(i, j) = 0;
  // The reciprocal of the divisors per interval, or 0 where the chain must be taken; 0 beyond the
  // intervals.
  double nu[NTAB_EDGE];
  for (int m = 1; m <= nint; ++m) {
    nu[m - 1] = run.EDGE.FREQSET(3 * m - 1);
    L.LSR(m, j) = smallest_opacity(TB, m, j);
  }
  reciprocals(nu, &L.LSR(1, j), nint, rho, norm());
  for (int m = nint + 1; m <= LineStrengthRec::LS_INTERVALS; ++m) L.LSR(m, j) = 0;
}

void end_line_strength_maxima(Run& run) {
  TablesRec& TB = run.TABLES;
  LineStrengthRec& L = line_strength_cache(run);
  const int nint = (run.FRESET.NUMNU + 2) / 3;
  const int nrhox = run.RHOX.NRHOX;
  const int nact = L.NLSACTIVE;
  clear_maxima(TB, L, nint);
  if (nint == 0) return;
  const VectorSet version = widest_vector_set();
  const int nm = (nint + LS_BLOCK - 1) / LS_BLOCK * LS_BLOCK;
  std::array<float, LineStrengthRec::LS_TILE * LineStrengthRec::LS_INTERVALS> lower;
  for (int i0 = 0; i0 < nact; i0 += LineStrengthRec::LS_TILE) {
    line_strength_tile(&L.LSA(i0 + 1, 1), L.LSR.data(), nrhox, nm, L.LSTILE.data(), version);
    // The brackets of the whole tile at once (Y = Y x 1 exactly); the chain where one straddles.
    const bool straddles =
        bracketed(L.LSTILE.data(), LineStrengthRec::LS_TILE * nint, 1.0, lower.data()) > 0;
    const int nii = std::min(LineStrengthRec::LS_TILE, nact - i0);
    for (int ii = 0; ii < nii; ++ii) {
      float* max = &TB.XNFDOPMAX(1, L.LSACTIVE(i0 + ii + 1));  // intervals 1..nint
      for (int m = 1; m <= nint; ++m)
        max[m - 1] = lower[static_cast<std::size_t>(ii + LineStrengthRec::LS_TILE * (m - 1))];
      if (straddles)
        for (int m = 1; m <= nint; ++m)
          if (!decided(L.LSTILE(ii + 1, m), max[m - 1]))
            max[m - 1] = chain_maximum(run, L, i0 + ii, m);
    }
  }
  // The depths and intervals whose divisors leave the range of the product (LSR 0): candidate by
  // candidate, exactly.
  float v[6 * 99];
  for (int j = 1; j <= nrhox; ++j)
    for (int m = 1; m <= nint; ++m) {
      if (L.LSR(m, j) != 0) continue;
      line_strengths(&L.LSA(1, j), nact, run.EDGE.FREQSET(3 * m - 1), run.STATE.RHO(j),
                     smallest_opacity(TB, m, j), norm(), v);
      for (int i = 1; i <= nact; ++i) {
        float& max = TB.XNFDOPMAX(m, L.LSACTIVE(i));
        max = std::max(max, v[i - 1]);
      }
    }
}

}  // namespace atmotab
