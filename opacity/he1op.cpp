// he1op — He I bound-free and free-free continuous opacity.
// Physics: photoionization of He I levels into the He II ground state, summed over 29 explicit
//          levels (every term with n <= 5, fine structure merged) and over the levels n >= 6 as
//          an integral over level energy; free-free absorption of electrons in the field of He II.
// Sources: level energies: He I term energies as listed with the levels, 0.1 cm^-1 above the NIST
//          ASD term means (Kramida et al.), 0.9 cm^-1 for 5g (tests). Ground level and n = 2, 3:
//          exponential fits in ln nu, as listed with the levels (their origin is not recorded
//          there); the ground-level fit exp(33.32 - 2 ln nu) is a nu^-2 law that agrees with
//          Verner et al. 1996 (ApJ 465, 487) within 1 % from 24 to 32 nm and within 10 %
//          shortward of 47 nm, and runs 12.5 % above it at the threshold, 50.43 nm (tests).
//          Levels n = 4, 5 and the merged levels: Kramers 1923 (Phil. Mag. 46, 836), hydrogenic
//          with Z = 1, g 2.815e29 / (n^5 nu^3) per level of statistical weight g; the merged
//          levels n >= 6 sum g_n = 4 n^2 over n as the integral 2 FREQ3 / (hc/kT R_He)
//          (exp(-E_low hc/kT) - exp(-I hc/kT)), R_He = 109722.27 cm^-1 the Rydberg constant of He.
//          Free-free: Kramers' law with the Gaunt factor coulff (charge 1) and the coefficient
//          3.619e8, 2 % below hydrogen's 3.6919e8, per He II ion (number density, not over U).
// Inputs:  FREQ record; T, TLOG, HCKT; XNE, RHO; departure coefficients BHE1(J,1..29) and
//          b_c = BHE2(J,1) of the He II ground state; XNFPHE(J,1) = n/U of He I and XNFHE(J,2) =
//          n of He II [cm^-3].
// Output:  AHE1(J) [cm^2 g^-1], stimulated emission included as (b_k - b_c EHVKT) for the levels
//          and STIM for the merged levels and free-free; SHE1(J) in units of BNU: each level adds
//          its absorption times its own source function BNU STIM / (b_k / b_c - EHVKT), the
//          merged levels and free-free times BNU; BNU where AHE1 is not positive.
// Valid:   all nu > 0. Level k contributes from its threshold WAVENO = 198310.76 - E_k upwards
//          (the chain stops at the first level the photon cannot ionize); the merged levels start
//          at n = 6, or at the level the photon can just ionize once WAVENO < 3047.841 cm^-1. The
//          fits stay positive and finite at every frequency above their thresholds. Outside its
//          table the Gaunt factor is extrapolated linearly and goes negative above about 40000 K
//          at hard X-ray frequencies (1.6e20 Hz at 50000 K): there the free-free term is held at 0.
// Cost:    the Boltzmann factors of the levels are kept per model (HE1OP); when every level has
//          b_k = b_c at every depth (LTE among the levels, the usual case) the levels share one
//          source function per depth, with the same arithmetic. Departure coefficients, like the
//          temperatures, are taken as they are at the first call of a model.
// Deviations from the source: level 25 (1s5f 3F) has the statistical weight 21 of a 3F term; the
//          level list it comes with gives 15 (that of a 3D term, as levels 9, 15 and 23).
#include "opacity/he1op.h"

#include <algorithm>
#include <cmath>

#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/common_helium.h"
#include "opacity/he1op_cache.h"

namespace atmotab {
namespace {

constexpr int NLEV = 29;

// Level K = 1..29: excitation energy E [cm^-1] and threshold 198310.76 - E [cm^-1], both single
// precision; statistical weight g. Levels 27 and 28 (1s5g 3G and 1G) share energy and threshold.
struct Level {
  double E, threshold, g;
};
constexpr Level LEVELS[NLEV] = {
    {sp(0.0f), sp(198310.77f), 1},        {sp(159856.06f), sp(38454.69f), 3},   // 1s2 1S, 2s 3S
    {sp(166277.55f), sp(32033.215f), 1},  {sp(169087.0f), sp(29223.754f), 9},   // 2s 1S, 2p 3P
    {sp(171135.0f), sp(27175.76f), 3},    {sp(183236.89f), sp(15073.868f), 3},  // 2p 1P, 3s 3S
    {sp(184864.94f), sp(13445.824f), 1},  {sp(185564.69f), sp(12746.066f), 9},  // 3s 1S, 3p 3P
    {sp(186101.66f), sp(12209.106f), 15}, {sp(186105.06f), sp(12205.695f), 5},  // 3d 3D, 3d 1D
    {sp(186209.47f), sp(12101.289f), 3},  {sp(190298.2f), sp(8012.55f), 3},     // 3p 1P, 4s 3S
    {sp(190940.33f), sp(7370.429f), 1},   {sp(191217.14f), sp(7093.62f), 9},    // 4s 1S, 4p 3P
    {sp(191444.6f), sp(6866.172f), 15},   {sp(191446.56f), sp(6864.201f), 5},   // 4d 3D, 4d 1D
    {sp(191451.8f), sp(6858.96f), 21},    {sp(191452.08f), sp(6858.68f), 7},    // 4f 3F, 4f 1F
    {sp(191492.81f), sp(6817.943f), 3},   {sp(193347.1f), sp(4963.671f), 3},    // 4p 1P, 5s 3S
    {sp(193663.62f), sp(4647.133f), 1},   {sp(193800.78f), sp(4509.98f), 9},    // 5s 1S, 5p 3P
    {sp(193917.25f), sp(4393.515f), 15},  {sp(193918.39f), sp(4392.369f), 5},   // 5d 3D, 5d 1D
    {sp(193921.31f), sp(4389.45f), 21},   {sp(193921.38f), sp(4389.39f), 7},    // 5f 3F, 5f 1F
    {sp(193922.5f), sp(4388.26f), 27},    {sp(193922.5f), sp(4388.26f), 9},     // 5g 3G, 5g 1G
    {sp(193942.56f), sp(4368.19f), 3},                                          // 5p 1P
};

// Fitted cross-sections of levels 1 and 3..11: W_K = g exp(A - B ln nu), single-precision A, B.
// (Level 2 has a quadratic exponent, see he1op_w.)
struct Fit {
  double A, B;
};
constexpr Fit FITS[11] = {
    {sp(33.32f), 2.0},       {0.0, 0.0},  // level 2: see he1op_w
    {sp(26.83f), sp(1.91f)}, {sp(61.21f), sp(2.9f)},
    {sp(81.35f), sp(3.5f)},  {sp(12.69f), sp(1.54f)},
    {sp(23.85f), sp(1.86f)}, {sp(49.3f), sp(2.6f)},
    {sp(85.2f), sp(3.69f)},  {sp(85.2f), sp(3.69f)},
    {sp(58.81f), sp(2.89f)},
};

constexpr double RYDHE = 109722.27;   // Rydberg constant of helium [cm^-1]
constexpr double ELIMIT = 198310.76;  // He I ionization limit of the merged levels [cm^-1]
constexpr double EHIGH = 195262.919;  // ELIMIT - RYDHE / 36: the n = 6 level [cm^-1]
constexpr double FFCOEF = 3.619e8;    // free-free coefficient (ion charge 1)

// The cross-section factors W(K), K = KMIN..29, of the current frequency: the hydrogenic n = 4
// (1024 = 4^5) and n = 5 (3125 = 5^5) levels and the ten fits of levels 1..11 (levels 9 and 10
// share one).
void he1op_w(int kmin, double FREQLG, double FREQ3, double* W) {
  for (int k = std::max(kmin, 12); k <= NLEV; ++k)
    W[k] = LEVELS[k - 1].g * FREQ3 / (k >= 20 ? 3125.0 : 1024.0);
  const double e9 = kmin <= 10 ? std::exp(FITS[8].A - FITS[8].B * FREQLG) : 0.0;
  for (int k = kmin; k <= 11; ++k) {
    double e;
    if (k == 2)
      e = std::exp((sp(21.035f) - sp(0.318f) * FREQLG) * FREQLG - sp(390.026f));
    else if (k == 9 || k == 10)
      e = e9;
    else
      e = std::exp(FITS[k - 1].A - FITS[k - 1].B * FREQLG);
    W[k] = LEVELS[k - 1].g * e;
  }
}

// The per-model tables: Boltzmann factors of the levels and of the ends of the merged levels,
// and whether every level has the departure coefficient b_c of the He II ground state, finite and
// not 0 (so that b_k / b_c = 1). Departure coefficients are model data like the temperatures:
// checking all 29 levels at every frequency would cost as much as the levels themselves.
void he1op_tables(Run& run) {
  He1opRec& c = he1op_cache(run);
  const Run::TempRec& t = run.TEMP;
  const BheRec& he = run.BHE;
  c.EQUALB = true;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double HCKT = t.HCKT(j);
    c.BOLTZ(j, 1) = 1.0;
    for (int k = 2; k <= NLEV; ++k) c.BOLTZ(j, k) = std::exp(-LEVELS[k - 1].E * HCKT);
    c.EXLIM(j) = std::exp(-sp(198310.77f) * HCKT);  // the limit as level 1's threshold
    c.EXHIGH(j) = std::exp(-EHIGH * HCKT);
    c.HCKTRY(j) = HCKT * RYDHE;
    c.SQRTT(j) = std::sqrt(t.T(j));
    const double bc = he.BHE2(j, 1);
    if (!std::isfinite(bc) || bc == 0.0) c.EQUALB = false;
    for (int k = 1; k <= NLEV; ++k)
      if (he.BHE1(j, k) != bc) c.EQUALB = false;
  }
  c.MODEL = model_key(run);
}

// Levels KHI down to KLO added to A(J) and S(J) for the case that every level has b_k = b_c:
// then (b_k - b_c EHVKT) is D(J) = b_c - b_c EHVKT and b_k / b_c = 1 exactly, so every level has
// the source function R(J) = BNU STIM / (1 - EHVKT), and each term is W_k D(J) BOLTZ(J,k). Four
// levels per pass over the depths, added in the order of the chain.
ATMOTAB_VECTOR_CLONES void he1op_equal_levels(const Run& run, const He1opRec& c, int khi, int klo,
                                              const double* W, const double* D, const double* R,
                                              double* A, double* S) {
  const DepK<NLEV>& B = c.BOLTZ;
  const int n = run.RHOX.NRHOX;
  int k = khi;
  for (; k - 3 >= klo; k -= 4) {
    const double W0 = W[k], W1 = W[k - 1], W2 = W[k - 2], W3 = W[k - 3];
    const double *B0 = &B(1, k), *B1 = &B(1, k - 1), *B2 = &B(1, k - 2), *B3 = &B(1, k - 3);
    for (int i = 0; i < n; ++i) {
      double a = A[i], s = S[i];
      auto add = [&](double Wk, const double* Bk) {
        const double term = Wk * D[i] * Bk[i];
        a += term;
        s += term * R[i];
      };
      add(W0, B0);
      add(W1, B1);
      add(W2, B2);
      add(W3, B3);
      A[i] = a;
      S[i] = s;
    }
  }
  for (; k >= klo; --k) {
    const double* Bk = &B(1, k);
    for (int i = 0; i < n; ++i) {
      const double term = W[k] * D[i] * Bk[i];
      A[i] += term;
      S[i] += term * R[i];
    }
  }
}

// The same for any departure coefficients: term = W_k (b_k - b_c EHVKT) BOLTZ(J,k), source
// function BNU STIM / (b_k / b_c - EHVKT).
void he1op_levels(const Run& run, const He1opRec& c, int khi, int klo, const double* W, double* A,
                  double* S) {
  const Run::FreqRec& f = run.FREQ;
  const BheRec& he = run.BHE;
  for (int k = khi; k >= klo; --k)
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
      const double b = he.BHE1(j, k), bc = he.BHE2(j, 1);
      const double term = W[k] * (b - bc * f.EHVKT(j)) * c.BOLTZ(j, k);
      A[j - 1] += term;
      S[j - 1] += term * (f.BNU(j) * f.STIM(j) / (b / bc - f.EHVKT(j)));
    }
}

}  // namespace

double he1op_level_energy(int k) { return LEVELS[k - 1].E; }
double he1op_level_threshold(int k) { return LEVELS[k - 1].threshold; }
double he1op_level_weight(int k) { return LEVELS[k - 1].g; }

ATMOTAB_VECTOR_CLONES void he1op(Run& run) {
  He1opRec& c = he1op_cache(run);
  if (c.MODEL != model_key(run)) he1op_tables(run);
  const Run::FreqRec& f = run.FREQ;
  const Run::StateRec& s = run.STATE;
  BheRec& he = run.BHE;
  const int n = run.RHOX.NRHOX;

  const double FREQ = f.FREQ;
  const double FREQ3 = 2.815e29 / FREQ / FREQ / FREQ;
  const double FREQ3X2 = 2.0 * FREQ3;
  const double NU3 = FREQ * FREQ * FREQ;
  // Levels KMIN..29 are ionized: the threshold chain stops at the first level the photon cannot
  // ionize (thresholds rise from level 29 to level 1).
  const int kmin = helium_lowest_open(f.WAVENO, LEVELS);
  // The cross-section factors depend on the frequency alone: formed at its first call of the run.
  double W[NLEV + 1] = {};
  const double* WF = c.W.values(f.IFREQ, FREQ, W + 1, [&](double* v) {
    double w[NLEV + 1] = {};
    he1op_w(kmin, f.FREQLG, FREQ3, w);
    for (int k = 1; k <= NLEV; ++k) v[k - 1] = w[k];
  });
  for (int k = 1; k <= NLEV; ++k) W[k] = WF[k - 1];
  // The merged levels start at n = 6 or at the lowest level the photon can ionize.
  const double ELOW = std::max(EHIGH, ELIMIT - f.WAVENO);

  // A(J), S(J): absorption and emission sums per He I atom (n/U), starting with the merged levels.
  double EXELOW[MAXD], A[MAXD], S[MAXD];
  const double* EXLOW = helium_exlow(run, ELOW, EHIGH, c.EXHIGH, EXELOW);
  for (int j = 1; j <= n; ++j) {
    const double M =
        FREQ3X2 / c.HCKTRY(j) * (EXLOW[j - 1] - c.EXLIM(j)) * f.STIM(j) * he.BHE2(j, 1);
    A[j - 1] = M;
    S[j - 1] = f.BNU(j) * M;
  }
  // The levels: for b_k = b_c (LTE among the levels, the usual case) each depth has one source
  // function for all of them; otherwise each level its own.
  if (c.EQUALB) {
    double D[MAXD], R[MAXD];
    for (int j = 1; j <= n; ++j) {
      const double bc = he.BHE2(j, 1);
      D[j - 1] = bc - bc * f.EHVKT(j);
      R[j - 1] = f.BNU(j) * f.STIM(j) / (1.0 - f.EHVKT(j));
    }
    he1op_equal_levels(run, c, NLEV, kmin, W, D, R, A, S);
  } else {
    he1op_levels(run, c, NLEV, kmin, W, A, S);
  }
  // Free-free, and the totals per gram; where AHE1 is not positive SHE1 is BNU.
  double G[MAXD];
  helium_gaunt_z1(run, G);
  for (int j = 1; j <= n; ++j) {
    const double F =
        f.STIM(j) * FFCOEF * G[j - 1] * s.XNE(j) * he.XNFHE(j, 2) / (NU3 * c.SQRTT(j) * s.RHO(j));
    const double AHE1 = A[j - 1] * he.XNFPHE(j, 1) / s.RHO(j) + F;
    he.AHE1(j) = AHE1;
    he.SHE1(j) = (f.BNU(j) * F + S[j - 1] * he.XNFPHE(j, 1) / s.RHO(j)) / AHE1;
  }
  helium_planck_where_no_absorption(run, he.AHE1, he.SHE1);
}

}  // namespace atmotab
