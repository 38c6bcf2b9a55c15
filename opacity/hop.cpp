// hop — neutral-hydrogen continuous absorption: photoionization of levels n = 1..15, the
// quasi-continuum of the levels above n = 15, and free-free absorption of electrons on protons.
// Sources: level cross-sections from the exact bound-free matrix elements (Karzas & Latter 1961,
//          ApJS 6, 167; table data/xnk.txt, see data/PROVENANCE.md) through xkarsas; above n = 15
//          the levels merge into a continuum with the Kramers cross-section 2.815e29/(n^5 nu^3)
//          and Gaunt factor 1, whose sum over n becomes an integral over the level energy
//          (Kramers 1923, Phil. Mag. 46, 836); free-free: Kramers' 3.6919e8 / (sqrt(T) nu^3) per
//          electron and proton [cm^5] with the Gaunt factor of coulff (Karzas & Latter 1961).
// Inputs:  FREQ, WAVENO, EHVKT(J), STIM(J), BNU(J); T(J), HCKT(J) [cm]; XNE(J), RHO(J);
//          BHYD(J,1..6) departure coefficients of levels 1..6; XNFPH(J,1) n/U of H I, XNFPH(J,2)
//          protons [cm^-3].
// Output:  AHYD(J) [cm^2 g^-1]; SHYD(J) [units of BNU]: levels with departure coefficient b carry
//          the correction (b - EHVKT) and the source function BNU STIM / (b - EHVKT), all others
//          STIM and BNU.
// Valid:   any frequency. Level energies E_n and thresholds are the hydrogen term values in
//          single precision (E_n = 109678.77 (1 - 1/n^2) cm^-1).
// Deviations from the source: none.
#include "opacity/hop.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "common/array.h"
#include "common/constants.h"
#include "common/embedded_data.h"
#include "common/state.h"
#include "common/table_reader.h"
#include "common/vector_clones.h"
#include "opacity/coulff.h"
#include "opacity/coulff_cache.h"
#include "opacity/hop_cache.h"

namespace atmotab {
namespace {

constexpr int NLEV = 15;
// Level n = 1..15: excitation energy above the ground level [cm^-1] and the lowest wavenumber
// that ionizes it [cm^-1], single-precision constants.
constexpr double E_N[NLEV] = {sp(0.0f),       sp(82259.1f),   sp(97492.305f),  sp(102823.89f),
                              sp(105291.65f), sp(106632.16f), sp(107440.445f), sp(107965.055f),
                              sp(108324.72f), sp(108581.99f), sp(108772.336f), sp(108917.12f),
                              sp(109029.79f), sp(109119.19f), sp(109191.31f)};
constexpr double THRESHOLD[NLEV] = {sp(109678.766f), sp(27419.658f), sp(12186.462f), sp(6854.871f),
                                    sp(4387.113f),   sp(3046.604f),  sp(2238.32f),   sp(1713.713f),
                                    sp(1354.044f),   sp(1096.776f),  sp(906.426f),   sp(761.649f),
                                    sp(648.98f),     sp(559.579f),   sp(487.456f)};
constexpr int NBLEV = 6;  // levels 1..6 carry departure coefficients

// Photoelectron energy of grid point I above the level threshold [Rydberg], decreasing.
constexpr float EKARSAS[29] = {
    10000.0f, 4444.0f, 2500.0f, 1111.0f,  400.0f, 204.1f,    100.0f,  44.44f,    25.0f,   16.0f,
    11.11f,   6.25f,   4.0f,    2.778f,   2.041f, 1.562f,    1.235f,  1.0f,      0.6944f, 0.4444f,
    0.25f,    0.1111f, 0.04f,   0.02041f, 0.01f,  0.004444f, 0.0025f, 0.001111f, 0.0f};

// Quasi-continuum: ionization limit [cm^-1] (its upper end), the fixed lower end (about the
// binding of n = 16, 428.43 cm^-1 below the limit) and the Rydberg constant of the Kramers sum.
constexpr double QC_LIMIT = 109678.766;
constexpr double QC_LOW = 109250.336;
constexpr double QC_WAVENO = 109678.764;  // ELOW = QC_WAVENO - WAVENO below 428.428 cm^-1
constexpr double QC_RYD = 109677.58;

// The per-model factors, formed at the first call of a model.
void hop_prepare(Run& run) {
  HopRec& c = hop_cache(run);
  if (c.MODEL == model_key(run)) return;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double K = run.TEMP.HCKT(j);
    for (int n = 2; n <= NLEV; ++n) c.BOLT(j, n) = std::exp(-E_N[n - 1] * K);
    c.EXPLIM(j) = std::exp(-QC_LIMIT * K);
    c.EXPQC(j) = std::exp(-QC_LOW * K);
    c.QCDEN(j) = K * QC_RYD;
    c.FFCON(j) = 3.6919e8 / std::sqrt(run.TEMP.T(j));
  }
  c.MODEL = model_key(run);
}

// The interval of level N's grid that holds FREQLG (xkarsas_cell). FREQN(2..28,N) does not rise
// (checked when the table is converted), so the grid points with !(FREQN < FREQLG) come first and
// a bisection finds the first of the others.
inline int xkarsas_interval(const XkarsasRec& t, float FREQLG, int N) {
  const float* first = &t.FREQN(2, N);
  const float* cell =
      std::partition_point(first, first + 27, [FREQLG](float v) { return !(v < FREQLG); });
  return 2 + static_cast<int>(cell - first);
}

// The table of level N at FREQLG = log10(FREQ/ZEFF2) in single precision: log10 sigma, or 0 with
// BELOW set below the threshold.
float xkarsas_log(const XkarsasRec& t, float FREQLG, int N, bool& below) {
  below = FREQLG < t.FREQN(29, N);
  if (below) return 0.0f;
  const int i = xkarsas_interval(t, FREQLG, N);
  return t.XNK(i, N) + (FREQLG - t.FREQN(i, N)) / (t.FREQN(i - 1, N) - t.FREQN(i, N)) *
                           (t.XNK(i - 1, N) - t.XNK(i, N));
}

}  // namespace

double hop_level_energy(int N) { return E_N[N - 1]; }
double hop_threshold(int N) { return THRESHOLD[N - 1]; }

double xkarsas_threshold(Run& run, int N) {
  xkarsas_load(run);
  return std::exp(static_cast<double>(xkarsas_cache(run).XNK(29, N)) * 2.30258509299405);
}

int xkarsas_cell(const XkarsasRec& t, float FREQLG, int N) {
  return xkarsas_interval(t, FREQLG, N);
}

void xkarsas_load(Run& run) {
  XkarsasRec& t = xkarsas_cache(run);
  if (t.LOADED) return;
  TableReader r(embedded_data("xnk.txt"), "xnk.txt", "xkarsas");
  r.expect_format("atmotab-xnk");
  const std::vector<std::string_view> c = r.row(4);
  if (c[0] != "energies" || c[1] != "29" || c[2] != "levels" || c[3] != "15")
    r.fail("count line is not 'energies 29 levels 15'");
  for (int n = 1; n <= NLEV; ++n) {
    const std::vector<std::string_view> f = r.row(30);
    r.expect(r.integer(f[0]), n, "level");
    for (int i = 1; i <= 29; ++i) t.XNK(i, n) = r.real(f[i]);
  }
  r.expect_end();
  // log10 nu = log10((EKARSAS + 1/n^2) x R_H x c), the sum and the product with the Rydberg
  // constant 109677.58 cm^-1 in single precision.
  for (int lev = 1; lev <= NLEV; ++lev) {
    const float inv = 1.0f / static_cast<float>(lev * lev);
    for (int i = 1; i <= 29; ++i) {
      const float x = (EKARSAS[i - 1] + inv) * 109677.58f;
      t.FREQN(i, lev) = static_cast<float>(std::log10(x * CLIGHT));
      if (i > 1 && t.FREQN(i, lev) > t.FREQN(i - 1, lev))
        r.fail("frequency grid of level " + std::to_string(lev) + " rises at point " +
               std::to_string(i));
    }
  }
  t.LOADED = true;
}

double xkarsas(Run& run, double FREQ, double ZEFF2, int N) {
  xkarsas_load(run);
  const float FREQLG = static_cast<float>(std::log10(FREQ / ZEFF2));
  bool below = false;
  const float V = xkarsas_log(xkarsas_cache(run), FREQLG, N, below);
  return below ? 0.0 : std::exp(V * 2.30258509299405) / ZEFF2;
}

// The sums run level by level over all depths (each depth's sum keeps its order: quasi-continuum,
// n = 15, 14, ..., 1), with the temperature-only factors of hop_prepare; the loops have no branches
// so that they vectorize, and give the numbers of the depth-by-depth evaluation to the bit.
// The whole routine in the version of the run's instruction set (the depth loops are spread
// through it).
ATMOTAB_KERNEL void hop_vectorised(Run& run) {
  hop_prepare(run);
  const Run::FreqRec& f = run.FREQ;
  HopRec& c = hop_cache(run);
  BhydRec& h = run.BHYD;
  const int nrhox = run.RHOX.NRHOX;
  const double FREQ = f.FREQ;
  const double FREQ3 = 2.815e29 / FREQ / FREQ / FREQ;
  const double* STIM = f.STIM.data();
  const double* BNU = f.BNU.data();
  const double* EHVKT = f.EHVKT.data();

  // Levels reached at this wavenumber: n = 15 down to NLOW (none when NLOW = 16).
  int NLOW = NLEV + 1;
  while (NLOW > 1 && f.WAVENO >= THRESHOLD[NLOW - 2]) --NLOW;
  // Their cross-sections: xkarsas with ZEFF2 = 1, log10 nu once for all levels.
  // They depend on the frequency alone: formed at a frequency's first call of the run.
  double X[NLEV + 1] = {};
  const double* XN = c.XN.values(f.IFREQ, FREQ, X + 1, [&](double* v) {
    XkarsasRec& t = xkarsas_cache(run);
    if (!t.LOADED) xkarsas_load(run);
    const float FREQLG10 = static_cast<float>(std::log10(FREQ));
    for (int n = 1; n <= NLEV; ++n) {
      bool below = true;
      const float V = n >= NLOW ? xkarsas_log(t, FREQLG10, n, below) : 0.0f;
      v[n - 1] = below ? 0.0 : std::exp(V * 2.30258509299405);
    }
  });
  for (int n = 1; n <= NLEV; ++n) X[n] = XN[n - 1];

  // SA: absorption per H I n/U [cm^2], SS: its emission in units of BNU.
  double SA[NDEPTH], SS[NDEPTH];
  const double ELOW = std::max(QC_LOW, QC_WAVENO - f.WAVENO);
  if (ELOW == QC_LOW) {
    for (int j = 0; j < nrhox; ++j) {
      const double QC =
          (c.EXPQC.data()[j] - c.EXPLIM.data()[j]) * FREQ3 / c.QCDEN.data()[j] * STIM[j];
      SA[j] = QC;
      SS[j] = QC * BNU[j];
    }
  } else {
    for (int j = 0; j < nrhox; ++j) {
      const double elow = std::exp(-ELOW * run.TEMP.HCKT.data()[j]);
      const double QC = (elow - c.EXPLIM.data()[j]) * FREQ3 / c.QCDEN.data()[j] * STIM[j];
      SA[j] = QC;
      SS[j] = QC * BNU[j];
    }
  }
  // The levels in LTE, four per pass over the depths (SA and SS held in registers between them,
  // the additions in level order).
  const int NLTE = std::max(NLOW, NBLEV + 1);
  int k = NLEV;
  for (; k - 3 >= NLTE; k -= 4) {
    const double g0 = 2 * k * k, g1 = 2 * (k - 1) * (k - 1), g2 = 2 * (k - 2) * (k - 2),
                 g3 = 2 * (k - 3) * (k - 3);
    const double X0 = X[k], X1 = X[k - 1], X2 = X[k - 2], X3 = X[k - 3];
    const double *B0 = &c.BOLT(1, k), *B1 = &c.BOLT(1, k - 1), *B2 = &c.BOLT(1, k - 2),
                 *B3 = &c.BOLT(1, k - 3);
    for (int j = 0; j < nrhox; ++j) {
      double sa = SA[j], ss = SS[j];
      auto add = [&](double g, double Xn, const double* BOLT) {
        const double TERM = STIM[j] * g * Xn * BOLT[j];
        sa = sa + TERM;
        ss = ss + TERM * BNU[j];
      };
      add(g0, X0, B0);
      add(g1, X1, B1);
      add(g2, X2, B2);
      add(g3, X3, B3);
      SA[j] = sa;
      SS[j] = ss;
    }
  }
  for (; k >= NLTE; --k) {
    const double g = 2 * k * k;
    const double* BOLT = &c.BOLT(1, k);
    for (int j = 0; j < nrhox; ++j) {
      const double TERM = STIM[j] * g * X[k] * BOLT[j];
      SA[j] = SA[j] + TERM;
      SS[j] = SS[j] + TERM * BNU[j];
    }
  }
  // Levels with departure coefficients; one in equilibrium with the radiation (D = 0) adds nothing:
  // its weight W is 0 and its divisor replaced by 1 (the selection in a loop of its own, so that
  // the sums vectorize).
  double DIV[NDEPTH], W[NDEPTH];
  for (int n = std::min(NBLEV, NLEV); n >= NLOW; --n) {
    const double* B = &h.BHYD(1, n);
    for (int j = 0; j < nrhox; ++j) {
      const double D = B[j] - EHVKT[j];
      DIV[j] = D == 0 ? 1.0 : D;
      W[j] = D == 0 ? 0.0 : 1.0;
    }
    if (n == 1) {
      for (int j = 0; j < nrhox; ++j) {
        const double TERM = 2 * X[1] * (B[j] - EHVKT[j]);
        SS[j] = SS[j] + W[j] * (BNU[j] * STIM[j] * TERM / DIV[j]);
        SA[j] = SA[j] + W[j] * TERM;
      }
    } else {
      const double g = 2 * n * n;
      const double* BOLT = &c.BOLT(1, n);
      for (int j = 0; j < nrhox; ++j) {
        const double TERM = (B[j] - EHVKT[j]) * g * X[n] * BOLT[j];
        SS[j] = SS[j] + W[j] * (BNU[j] * STIM[j] * TERM / DIV[j]);
        SA[j] = SA[j] + W[j] * TERM;
      }
    }
  }

  // Free-free, with the Gaunt factor of coulff (kept for he1op at this frequency).
  const double* G = coulff_columns(run).G1.data();
  double FFA[NDEPTH];
  const double* RHO = run.STATE.RHO.data();
  const double* XNE = run.STATE.XNE.data();
  const double* XNFPH1 = &h.XNFPH(1, 1);
  const double* XNFPH2 = &h.XNFPH(1, 2);
  const double* FFCON = c.FFCON.data();
  double* AHYD = h.AHYD.data();
  double* SHYD = h.SHYD.data();
  for (int j = 0; j < nrhox; ++j) {
    const double FF =
        STIM[j] * ((((FFCON[j] * G[j] / FREQ * XNE[j]) / FREQ * XNFPH2[j]) / FREQ)) / RHO[j];
    const double A = SA[j] * XNFPH1[j] / RHO[j] + FF;
    AHYD[j] = A;
    FFA[j] = FF;
    DIV[j] = A > 0 ? A : 1.0;
  }
  // The source function where AHYD > 0; elsewhere it keeps the driver's 0.
  for (int j = 0; j < nrhox; ++j) SHYD[j] = (XNFPH1[j] * SS[j] / RHO[j] + FFA[j] * BNU[j]) / DIV[j];
  for (int j = 0; j < nrhox; ++j) SHYD[j] = AHYD[j] > 0 ? SHYD[j] : 0.0;
}

void hop(Run& run) { vectorised<hop_vectorised>(run.VECTORS, run); }

}  // namespace atmotab
