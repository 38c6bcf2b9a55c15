// he2op — He II bound-free and free-free continuous opacity.
// Physics: photoionization of the hydrogenic (Z = 2) He II levels n = 1..9 into He III, the levels
//          n >= 10 merged into an integral over level energy, and free-free absorption of
//          electrons in the field of He III nuclei.
// Sources: Kramers 1923 (Phil. Mag. 46, 836): 2.815e29 Z^4 g_n / (n^5 nu^3) per ion in level n
//          (FREQ3 = 2.815e29 / nu^3), so that level n of weight 2 n^2 has W_n = 32 FREQ3 g_n / n^3.
//          The bound-free Gaunt factors g_1..g_6 are polynomial fits in 1/nu to hydrogen's, which
//          follow the exact hydrogen values (Karzas & Latter 1961, ApJS 6, 167; Nahar 2021, Atoms
//          9, 73) within 1 % at threshold and 2 % up to four times the threshold frequency; a
//          hydrogenic ion of charge Z has g_Z(nu) = g_H(nu / Z^2). Levels n >= 7 take g = 1. The
//          merged levels sum 2 n^2 x 16 FREQ3 / n^5 over n as 16 FREQ3 / (hc/kT 4 R_He)
//          (exp(-E_low hc/kT) - exp(-I hc/kT)), 4 R_He = 438889.06 cm^-1. Free-free: Kramers'
//          law with the Gaunt factor coulff (charge 2), 1.47676e9 = Z^2 x 3.6919e8. Level
//          energies as listed with the levels, within 3 cm^-1 of NIST ASD.
// Inputs:  FREQ record; T, TLOG, HCKT; XNE, RHO; BHE2(J,1..6) departure coefficients of levels
//          1..6 (levels 7..9 and He III in LTE); XNFPHE(J,2) = n/U of He II and XNFPHE(J,3) = n of
//          He III [cm^-3].
// Output:  AHE2(J) [cm^2 g^-1], stimulated emission included as STIM (levels 7..9, merged
//          levels, free-free) or (b_n - EHVKT); SHE2(J) in units of BNU: levels 1..6 add their
//          absorption times BNU STIM / (b_n - EHVKT), the rest times BNU; BNU where AHE2 is not
//          positive.
// Valid:   all nu > 0. Level n contributes from its threshold WAVENO = 438908.85 - E_n upwards;
//          the merged levels start at n = 10, or at the level the photon can just ionize once
//          WAVENO < 4388.891 cm^-1. The Gaunt polynomials stay between 0.79 and 1.11 at every
//          frequency above their thresholds. The free-free Gaunt factor is held at 0 where its
//          linear extrapolation goes negative (charge 2: beyond 6e20 Hz above about 2e5 K).
// Cost:    the Boltzmann factors, the He II density per gram and the temperature part of the
//          Gaunt factor are kept per model (HE2OP).
// Deviations from the source: the polynomials g_1..g_6 are evaluated at nu / Z^2 = nu / 4. The
//          level list they come with evaluates them at nu, which puts the He II ground-state
//          cross-section at threshold 23 % above the exact hydrogenic value (1.94e-18 against
//          1.58e-18 cm^2) and level 2 18 % above; at nu / 4 both are within 1 % (tests).
#include "opacity/he2op.h"

#include <algorithm>
#include <cmath>

#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/common_helium.h"
#include "opacity/he2op_cache.h"

namespace atmotab {
namespace {

constexpr int NLEV = 9;
constexpr int NNLTE = 6;  // levels 1..6 carry departure coefficients BHE2(J,N)

// Level N = 1..9: energy above the He II ground state and threshold 438908.85 - E [cm^-1], both
// single precision; W_N = ((PRE x FREQ3) / DIV) x POST x g_N, the form in which it is evaluated.
struct Level {
  double E, threshold, PRE, DIV, POST;
};
constexpr Level LEVELS[NLEV] = {
    {sp(0.0f), sp(438908.84f), 32, 1, 1},  // 2 x 16 FREQ3 g_1
    {sp(329182.3f), sp(109726.53f), 4, 1, 1},
    {sp(390142.34f), sp(48766.492f), 16, 243, 18},  // 3^5 = 243, 2 x 3^2 = 18
    {sp(411477.94f), sp(27430.926f), 0.5, 1, 1},
    {sp(421353.12f), sp(17555.715f), 16, 3125, 50},
    {sp(426717.4f), sp(12191.437f), 16, 7776, 72},
    {sp(429951.9f), sp(8956.95f), 16, 16807, 98},
    {sp(432051.2f), sp(6857.66f), 0.0625, 1, 1},
    {sp(433490.47f), sp(5418.39f), 1, 59049, 2592},  // 3^10 = 59049, 16 x 2 x 9^2 = 2592
};

// Gaunt polynomials a + b/nu + c/nu^2 of hydrogen levels n = 1..6 (a single precision).
struct Gaunt {
  double a, b, c;
};
constexpr Gaunt GAUNT[NNLTE] = {
    {sp(0.9916f), 2.719e13, -2.268e30}, {sp(1.105f), -2.375e14, 4.077e28},
    {sp(1.101f), -9.863e13, 1.035e28},  {sp(1.101f), -5.765e13, 4.593e27},
    {sp(1.102f), -3.909e13, 2.371e27},  {sp(1.0986f), -2.704e13, 1.229e27},
};

constexpr double RYDHE4 = 438889.06;  // 4 x 109722.27, Z^2 times the Rydberg constant of He
constexpr double ELIMIT = 438908.85;  // He II ionization limit of the merged levels [cm^-1]
constexpr double EHIGH = 434519.959;  // ELIMIT - RYDHE4 / 100: the n = 10 level [cm^-1]
constexpr double FFCOEF = 1.47676e9;  // free-free coefficient, Z^2 = 4 times hydrogen's 3.6919e8

void he2op_tables(Run& run) {
  He2opRec& c = he2op_cache(run);
  const Run::TempRec& t = run.TEMP;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double HCKT = t.HCKT(j);
    c.BOLTZ(j, 1) = 1.0;
    for (int n = 2; n <= NLEV; ++n) c.BOLTZ(j, n) = std::exp(-LEVELS[n - 1].E * HCKT);
    c.EXLIM(j) = std::exp(-sp(438908.84f) * HCKT);  // the limit as level 1's threshold
    c.EXHIGH(j) = std::exp(-EHIGH * HCKT);
    c.HCKTRY(j) = HCKT * RYDHE4;
    c.SQRTT(j) = std::sqrt(t.T(j));
    c.GAMLOG(j) = coulff_gamlog(t.TLOG(j), 2);
    c.XPERG(j) = run.BHE.XNFPHE(j, 2) / run.STATE.RHO(j);
  }
  c.MODEL = model_key(run);
}

}  // namespace

double he2op_gaunt(int n, double nu) {
  const Gaunt& g = GAUNT[n - 1];
  const double NUH = nu / 4.0;  // hydrogen-equivalent frequency nu / Z^2 [Hz], exact
  return g.a + g.b / NUH + g.c / (NUH * NUH);
}

ATMOTAB_VECTOR_CLONES void he2op(Run& run) {
  He2opRec& c = he2op_cache(run);
  if (c.MODEL != model_key(run)) he2op_tables(run);
  const Run::FreqRec& f = run.FREQ;
  const Run::StateRec& s = run.STATE;
  BheRec& he = run.BHE;
  const int n = run.RHOX.NRHOX;

  const double FREQ = f.FREQ;
  const double FREQ3 = 2.815e29 / FREQ / FREQ / FREQ;
  const double FREQ3X16 = 16.0 * FREQ3;
  const double NU3 = FREQ * FREQ * FREQ;
  // Levels NMIN..9 are ionized: the threshold chain stops at the first level the photon cannot
  // ionize (thresholds rise from level 9 to level 1).
  const int nmin = helium_lowest_open(f.WAVENO, LEVELS);
  double W[NLEV + 1];
  for (int l = nmin; l <= NLEV; ++l) {
    const Level& L = LEVELS[l - 1];
    W[l] = L.PRE * FREQ3 / L.DIV * L.POST;
    if (l <= NNLTE) W[l] = W[l] * he2op_gaunt(l, FREQ);
  }
  // The merged levels start at n = 10 or at the lowest level the photon can ionize.
  const double ELOW = std::max(EHIGH, ELIMIT - f.WAVENO);

  // X(J) He II atoms (n/U) per gram; A(J), S(J) absorption and emission per gram.
  const double* X = c.XPERG.data();
  double EXELOW[MAXD], A[MAXD], S[MAXD];
  const double* EXLOW = helium_exlow(run, ELOW, EHIGH, c.EXHIGH, EXELOW);
  for (int j = 1; j <= n; ++j) {
    const double M = FREQ3X16 / c.HCKTRY(j) * (EXLOW[j - 1] - c.EXLIM(j)) * f.STIM(j) * X[j - 1];
    A[j - 1] = M;
    S[j - 1] = f.BNU(j) * M;
  }
  // Levels 9, 8, 7 in LTE (source function BNU).
  for (int l = NLEV; l >= std::max(nmin, NNLTE + 1); --l) {
    const double* B = &c.BOLTZ(1, l);
    for (int i = 0; i < n; ++i) {
      const double term = f.STIM.data()[i] * W[l] * X[i] * B[i];
      A[i] += term;
      S[i] += term * f.BNU.data()[i];
    }
  }
  // Levels 6..1 with departure coefficients; He III is taken with departure coefficient 1. Where
  // levels NMIN..6 have one departure coefficient at every depth, they share (b - EHVKT) and the
  // source function BNU STIM / (b - EHVKT) of the depth.
  if (nmin <= NNLTE) {
    int differ = 0;
    for (int l = nmin; l < NNLTE; ++l) {
      const double *bl = &he.BHE2(1, l), *b6 = &he.BHE2(1, NNLTE);
      for (int i = 0; i < n; ++i) differ += bl[i] != b6[i];
    }
    double D[MAXD], R[MAXD];
    for (int l = NNLTE; l >= nmin; --l) {
      const double *B = &c.BOLTZ(1, l), *b = &he.BHE2(1, l);
      if (l == NNLTE || differ)
        for (int i = 0; i < n; ++i) {
          D[i] = b[i] - f.EHVKT.data()[i];
          R[i] = f.BNU.data()[i] * f.STIM.data()[i] / D[i];
        }
      for (int i = 0; i < n; ++i) {
        const double term = W[l] * D[i] * X[i] * B[i];
        A[i] += term;
        S[i] += term * R[i];
      }
    }
  }
  // Free-free, and the totals; where AHE2 is not positive SHE2 is BNU.
  double G[MAXD];
  helium_gaunt(run, c.GAMLOG, G);
  for (int j = 1; j <= n; ++j) {
    const double F =
        f.STIM(j) * FFCOEF * G[j - 1] * s.XNE(j) * he.XNFPHE(j, 3) / (NU3 * c.SQRTT(j) * s.RHO(j));
    he.AHE2(j) = A[j - 1] + F;
    he.SHE2(j) = (S[j - 1] + f.BNU(j) * F) / he.AHE2(j);
  }
  helium_planck_where_no_absorption(run, he.AHE2, he.SHE2);
}

}  // namespace atmotab
