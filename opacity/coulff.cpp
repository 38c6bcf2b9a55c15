// coulff — free-free Gaunt factor of an electron in the field of a hydrogenic ion of charge Z.
// Sources: the non-relativistic Coulomb free-free Gaunt factors of Karzas & Latter 1961 (ApJS 6,
//          167), tabulated as A(G,H) on the half-decade grid G = 2 log10 gamma^2 = -6..4 and
//          H = 2 log10 u = -8..3, gamma^2 = Z^2 Ry/kT, u = h nu/kT (single-precision values).
//          In the program's units G = 10.39638 - 2 log10 T + log10 Z^4 (10.39638 = 2 log10 of
//          Ry/k, about 1.58e5 K) and H = 2 log10(nu/T) - 20.63764 (20.63764 = 2 log10(k/h)).
// Inputs:  TLOG(J) = ln T [K], FREQLG = ln nu [Hz]; ion charge NZ = 1..6.
// Output:  the Gaunt factor (dimensionless), used by the hydrogen (NZ = 1) and helium (NZ = 1, 2)
//          free-free opacities.
// Valid:   the table spans 1.6e3 K <= T/Z^2 <= 1.6e8 K (G), 1e-4 <= h nu/kT <= 31.6 (H). Outside
//          it the edge cell is extrapolated linearly in G and H (the cell indices are clamped, the
//          fractions P and Q are not), by definition of the routine.
// Deviations from the source: none.
#include "opacity/coulff.h"

#include <algorithm>

#include "common/array.h"
#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/coulff_cache.h"

namespace atmotab {
namespace {

// A(I,K): Gaunt factor at G = I - 7 (I = 1..11, fastest) and H = K - 9 (K = 1..12); one line per
// H = -8 .. 3.
constexpr double A[12][11] = {
    {sp(5.53f), sp(5.49f), sp(5.46f), sp(5.43f), sp(5.4f), sp(5.25f), sp(5.0f), sp(4.69f),
     sp(4.48f), sp(4.16f), sp(3.85f)},
    {sp(4.91f), sp(4.87f), sp(4.84f), sp(4.8f), sp(4.77f), sp(4.63f), sp(4.4f), sp(4.13f),
     sp(3.87f), sp(3.52f), sp(3.27f)},
    {sp(4.29f), sp(4.25f), sp(4.22f), sp(4.18f), sp(4.15f), sp(4.02f), sp(3.8f), sp(3.57f),
     sp(3.27f), sp(2.98f), sp(2.7f)},
    {sp(3.64f), sp(3.61f), sp(3.59f), sp(3.56f), sp(3.54f), sp(3.41f), sp(3.22f), sp(2.97f),
     sp(2.7f), sp(2.45f), sp(2.2f)},
    {sp(3.0f), sp(2.98f), sp(2.97f), sp(2.95f), sp(2.94f), sp(2.81f), sp(2.65f), sp(2.44f),
     sp(2.21f), sp(2.01f), sp(1.81f)},
    {sp(2.41f), sp(2.41f), sp(2.41f), sp(2.41f), sp(2.41f), sp(2.32f), sp(2.19f), sp(2.02f),
     sp(1.84f), sp(1.67f), sp(1.5f)},
    {sp(1.87f), sp(1.89f), sp(1.91f), sp(1.93f), sp(1.95f), sp(1.9f), sp(1.8f), sp(1.68f),
     sp(1.52f), sp(1.41f), sp(1.3f)},
    {sp(1.33f), sp(1.39f), sp(1.44f), sp(1.49f), sp(1.55f), sp(1.56f), sp(1.51f), sp(1.42f),
     sp(1.33f), sp(1.25f), sp(1.17f)},
    {sp(0.9f), sp(0.95f), sp(1.0f), sp(1.08f), sp(1.17f), sp(1.3f), sp(1.32f), sp(1.3f), sp(1.2f),
     sp(1.15f), sp(1.11f)},
    {sp(0.55f), sp(0.58f), sp(0.62f), sp(0.7f), sp(0.85f), sp(1.01f), sp(1.15f), sp(1.18f),
     sp(1.15f), sp(1.11f), sp(1.08f)},
    {sp(0.33f), sp(0.36f), sp(0.39f), sp(0.46f), sp(0.59f), sp(0.76f), sp(0.97f), sp(1.09f),
     sp(1.13f), sp(1.1f), sp(1.08f)},
    {sp(0.19f), sp(0.21f), sp(0.24f), sp(0.28f), sp(0.38f), sp(0.53f), sp(0.76f), sp(0.96f),
     sp(1.08f), sp(1.09f), sp(1.09f)},
};

// The cell index int(x) (truncated toward zero) clamped to lo..hi. Clamping x to lo..hi before the
// truncation gives the same index and keeps the conversion in range for every x.
inline int coulff_cell(double x, int lo, int hi) {
  return static_cast<int>(std::clamp(x, double(lo), double(hi)));
}

// Bilinear interpolation at fractions P, Q of the cell with corner values A11 = A(IGAM,IHVKT),
// A12 = A(IGAM,IHVKT+1), A21 = A(IGAM+1,IHVKT), A22 = A(IGAM+1,IHVKT+1).
inline double coulff_bilinear(double P, double Q, double A11, double A12, double A21, double A22) {
  return (1 - P) * ((1 - Q) * A11 + Q * A12) + P * ((1 - Q) * A21 + Q * A22);
}

}  // namespace

double coulff_at(double GAMLOG, double HVKTLG) {
  const int IGAM = coulff_cell(GAMLOG + 7, 1, 10);
  const int IHVKT = coulff_cell(HVKTLG + 9, 1, 11);
  const double P = GAMLOG - (IGAM - 7);
  const double Q = HVKTLG - (IHVKT - 9);
  auto a = [](int i, int k) { return A[k - 1][i - 1]; };
  return coulff_bilinear(P, Q, a(IGAM, IHVKT), a(IGAM, IHVKT + 1), a(IGAM + 1, IHVKT),
                         a(IGAM + 1, IHVKT + 1));
}

// Three passes over the points: cells and fractions (vectorised), the four table values of each
// cell, the interpolation (vectorised); the same arithmetic as the single point.
ATMOTAB_VECTOR_CLONES void coulff_at(const double* GAMLOG, const double* HVKTLG, double* G, int N) {
  const double* a = &A[0][0];  // A(I,K) = a[(I - 1) + 11 (K - 1)]
  int CELL[NDEPTH];            // offset of A(IGAM,IHVKT) in a
  double P[NDEPTH], Q[NDEPTH], A11[NDEPTH], A12[NDEPTH], A21[NDEPTH], A22[NDEPTH];
  for (int start = 0; start < N; start += NDEPTH) {
    const int n = std::min(N - start, NDEPTH);
    const double *gam = GAMLOG + start, *hvkt = HVKTLG + start;
    for (int i = 0; i < n; ++i) {
      const int IGAM = coulff_cell(gam[i] + 7, 1, 10);
      const int IHVKT = coulff_cell(hvkt[i] + 9, 1, 11);
      CELL[i] = (IGAM - 1) + 11 * (IHVKT - 1);
      P[i] = gam[i] - (IGAM - 7);
      Q[i] = hvkt[i] - (IHVKT - 9);
    }
    for (int i = 0; i < n; ++i) {
      const double* cell = a + CELL[i];
      A11[i] = cell[0];
      A12[i] = cell[11];
      A21[i] = cell[1];
      A22[i] = cell[12];
    }
    for (int i = 0; i < n; ++i)
      G[start + i] = coulff_bilinear(P[i], Q[i], A11[i], A12[i], A21[i], A22[i]);
  }
}

ATMOTAB_VECTOR_CLONES const CoulffRec& coulff_columns(Run& run) {
  CoulffRec& c = coulff_cache(run);
  const int n = run.RHOX.NRHOX;
  const double* TLOG = run.TEMP.TLOG.data();
  if (c.MODEL != model_key(run)) {
    c.CURRENT = false;
    for (int j = 0; j < n; ++j) c.GAMLOG1.data()[j] = coulff_gamlog(TLOG[j], 1);
    c.MODEL = model_key(run);
  }
  const double FREQLG = run.FREQ.FREQLG;
  if (c.CURRENT && c.FREQLG == FREQLG) return c;
  for (int j = 0; j < n; ++j) c.HVKTLG.data()[j] = coulff_hvktlg(FREQLG, TLOG[j]);
  coulff_at(c.GAMLOG1.data(), c.HVKTLG.data(), c.G1.data(), n);
  c.FREQLG = FREQLG;
  c.CURRENT = true;
  return c;
}

double coulff(const Run& run, int J, int NZ) {
  const double TLOG = run.TEMP.TLOG(J);
  return coulff_at(coulff_gamlog(TLOG, NZ), coulff_hvktlg(run.FREQ.FREQLG, TLOG));
}

}  // namespace atmotab
