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
#include <cmath>

#include "common/array.h"
#include "common/state.h"
#include "common/vector_clones.h"

namespace atmotab {
namespace {

// log10 Z^4 for Z = 1..6.
constexpr double Z4LOG[6] = {0.0, 1.20412, 1.90849, 2.40824, 2.79588, 3.11261};

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

// The cell index int(x) (truncated toward zero) clamped to lo..hi, clamped before the conversion
// so that no value of x can overflow it. Clamping x itself to [lo, hi] and truncating then gives
// the same index for every x (lo >= 0), and lets the depth loop of coulff_depths be vectorised.
inline int coulff_cell(double x, int lo, int hi) {
  return static_cast<int>(std::min(std::max(x, double(lo)), double(hi)));
}

// The temperature part of the table argument: G = 2 log10 gamma^2 from ln T and log10 Z^4.
inline double coulff_gamlog(double TLOG, double Z4) {
  return sp(10.39638f) - TLOG / sp(1.15129f) + Z4;
}

// The cell (IGAM, IHVKT) of the table and the fractions P, Q of the point (GAMLOG, HVKTLG), HVKTLG
// from ln T and ln nu; and the Gaunt factor from them.
struct Cell {
  int IGAM, IHVKT;
  double P, Q;
};
inline Cell coulff_locate(double GAMLOG, double TLOG, double FREQLG) {
  const double HVKTLG = (FREQLG - TLOG) / sp(1.15129f) - sp(20.63764f);
  const int IGAM = coulff_cell(GAMLOG + 7, 1, 10);
  const int IHVKT = coulff_cell(HVKTLG + 9, 1, 11);
  return {IGAM, IHVKT, GAMLOG - (IGAM - 7), HVKTLG - (IHVKT - 9)};
}
inline double coulff_interpolate(double P, double Q, double a11, double a12, double a21,
                                 double a22) {
  return (1 - P) * ((1 - Q) * a11 + Q * a12) + P * ((1 - Q) * a21 + Q * a22);
}
// A(I,K) of the table.
inline double coulff_a(int i, int k) { return A[k - 1][i - 1]; }

}  // namespace

double coulff(const Run& run, int J, int NZ) {
  const double TLOG = run.TEMP.TLOG(J);
  const Cell c = coulff_locate(coulff_gamlog(TLOG, Z4LOG[NZ - 1]), TLOG, run.FREQ.FREQLG);
  return coulff_interpolate(c.P, c.Q, coulff_a(c.IGAM, c.IHVKT), coulff_a(c.IGAM, c.IHVKT + 1),
                            coulff_a(c.IGAM + 1, c.IHVKT), coulff_a(c.IGAM + 1, c.IHVKT + 1));
}

void coulff_gamlog(const Run& run, int NZ, double* GAMLOG) {
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    GAMLOG[j - 1] = coulff_gamlog(run.TEMP.TLOG(j), Z4LOG[NZ - 1]);
}

// Three passes over the depths: cells and fractions (vectorised, with the division of HVKTLG),
// the four table values of each cell, the interpolation (vectorised).
ATMOTAB_VECTOR_CLONES void coulff_depths(const Run& run, const double* GAMLOG, double* G) {
  const int n = run.RHOX.NRHOX;
  const double FREQLG = run.FREQ.FREQLG;
  const double* TLOG = run.TEMP.TLOG.data();
  const double* a = &A[0][0];  // A(I,K) = a[(I - 1) + 11 (K - 1)]
  int CELL[MAXD];              // offset of A(IGAM,IHVKT) in a
  double P[MAXD], Q[MAXD], A11[MAXD], A12[MAXD], A21[MAXD], A22[MAXD];
  for (int i = 0; i < n; ++i) {
    const Cell c = coulff_locate(GAMLOG[i], TLOG[i], FREQLG);
    CELL[i] = (c.IGAM - 1) + 11 * (c.IHVKT - 1);
    P[i] = c.P;
    Q[i] = c.Q;
  }
  for (int i = 0; i < n; ++i) {
    const double* cell = a + CELL[i];
    A11[i] = cell[0];
    A12[i] = cell[11];
    A21[i] = cell[1];
    A22[i] = cell[12];
  }
  for (int i = 0; i < n; ++i) G[i] = coulff_interpolate(P[i], Q[i], A11[i], A12[i], A21[i], A22[i]);
}

}  // namespace atmotab
