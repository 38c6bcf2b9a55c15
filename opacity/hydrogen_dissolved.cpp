// hydrogen_dissolved — the absorption of hydrogen levels n = 1..8 below their edges, from upper
// states that the plasma has dissolved (level dissolution in the occupation-probability picture).
// Sources: occupation probability w of a state of effective quantum number n*: neutral perturbers
//          as hard spheres, w_neutral = exp(-4 pi/3 sum_k N_k (r_n + r_k)^3) (Hummer & Mihalas
//          1988, ApJ 331, 794, eq. 4.71), with r_n the rms radius of the hydrogenic s state,
//          <r^2> = (n^2 a0^2 / 2)(5 n^2 + 1) (Bethe & Salpeter 1957, sect. 3), r = sqrt(3) a0 for
//          ground-state H I and 1.02 a0 for He I (hard-sphere radii of the ground-state atoms);
//          charged perturbers by the fit w_charged = f / (1 + f), f = 0.1402 x beta^3 / (1 +
//          0.1285 x beta^1.5), x = (1 + a)^3.15, a = 0.09 N_e^(1/6) T^(-1/2), beta = 8.3e14
//          N_e^(-2/3) K_n / n^4, K_n = 1 for n <= 3, else (16/3)(n/(n+1))^2 (n + 7/6) / (n^2 + n +
//          1/2) (Hubeny, Hummer & Lanz 1994, A&A 282, 151, Appendix A; K_n from Hummer & Mihalas
//          1988, eq. 4.24). The dissolved fraction of level n at frequency nu is D = 1 - w(n*) /
//          w(n), n* = (1/n^2 - h nu / I_H)^(-1/2) (Daeppen, Anderson & Mihalas 1987, ApJ 319,
//          195), and its cross-section D sigma_n(nu), sigma_n continued below the edge from its
//          threshold value as nu^-3 (Kramers 1923).
// Inputs:  FREQ, STIM(J); T(J), HCKT(J); XNE(J), RHO(J); XNFPH(J,1) n/U of H I, XNFH(J) and
//          XNFHE(J,1) number densities of H I and He I [cm^-3].
// Output:  adds the LTE absorption [cm^2 g^-1] to the caller's array; source function BNU.
// Valid:   any frequency; each level's part lies between its alpha line and its edge, tapered to
//          0 at the alpha line (the states between n + 1 and n + 2 belong to the alpha line's
//          wing, which the line opacity counts). Levels above 8 have no dissolved part here:
//          their edges lie beyond 7.4 um, where the free-free absorption of H I alone is more
//          than ten times the bound-free absorption of any one of them (Unsoeld's hydrogenic sum
//          at 7000-9000 K), and each of their ranges overlaps those of several others. The level
//          populations and the partition function stay the Saha-Boltzmann ones, without
//          occupation probabilities.
// Deviations from the source: the threshold cross-section is hop's table value at the edge, so
//          that the dissolved part continues hop's absorption at each edge.
#include "opacity/hydrogen_dissolved.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "common/constants.h"
#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/hop.h"
#include "opacity/hydrogen_dissolved_cache.h"

namespace atmotab {
namespace {

constexpr double A0 = 5.29177210903e-9;          // Bohr radius [cm], CODATA 2018
constexpr double R_H = 1.7320508075688772 * A0;  // rms radius of H I 1s, sqrt(3) a0 [cm]
constexpr double R_HE = 1.02 * A0;               // hard-sphere radius of He I [cm]
constexpr double FOUR_PI_3 = 4.0 * M_PI / 3.0;

// exp(X) for X <= 709, no library call: X = k ln 2 + r, |r| <= ln 2 / 2 (k rounded by the
// shifter 1.5 x 2^52; ln 2 split in two so that k ln2_hi is exact: Cody & Waite 1980, the split
// of fdlibm's e_exp.c); exp(r) by its Taylor series to r^11 (remainder below 7e-15, far inside
// what the occupation probabilities need); 2^k written into the exponent bits. 0 below -708.
inline double hdiss_exp(double X) {
  constexpr double SHIFT = 6755399441055744.0;  // 1.5 x 2^52
  constexpr double LOG2E = 1.4426950408889634;
  constexpr double LN2_HI = 6.93147180369123816490e-01, LN2_LO = 1.90821492927058770002e-10;
  const double x = X < -708.0 ? -708.0 : X;
  const double t = x * LOG2E + SHIFT;
  const double k = t - SHIFT;
  const double r = (x - k * LN2_HI) - k * LN2_LO;
  // Horner from 1/11! down to 1/0!.
  double p = 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  const std::int64_t kb = std::bit_cast<std::int64_t>(t) - std::bit_cast<std::int64_t>(SHIFT);
  const double scale = std::bit_cast<double>((kb + 1023) << 52);
  const double e = p * scale;
  return X < -708.0 ? 0.0 : e;
}

// The frequency-only factors of a state of effective quantum number NSTAR: the hard-sphere
// volumes (without 4 pi/3) against H I and He I [cm^3], and h = NSTAR^4 / K, with h^3 and h^1.5,
// by which the charged perturbers enter.
struct State {
  double VOLH, VOLHE, H3, H15;
};
State hdiss_state(double NSTAR) {
  const double n2 = NSTAR * NSTAR;
  const double r = A0 * std::sqrt(2.5 * n2 * n2 + 0.5 * n2);
  const double K = NSTAR <= 3.0 ? 1.0
                                : 16.0 / 3.0 * (NSTAR / (NSTAR + 1.0)) * (NSTAR / (NSTAR + 1.0)) *
                                      (NSTAR + 7.0 / 6.0) / (n2 + NSTAR + 0.5);
  const double h = n2 * n2 / K;
  const double rh = r + R_H, rhe = r + R_HE;
  return {rh * rh * rh, rhe * rhe * rhe, h * h * h, h * std::sqrt(h)};
}

// The plasma factors of one layer: the neutral weights 4 pi/3 N(H I), 4 pi/3 N(He I) [cm^-3] and
// the coefficients C3, C15 of 1/w_charged = 1 + C3 h^3 + C15 h^1.5. With u = 1/beta = U0 h,
// U0 = N_e^(2/3) / 8.3e14, 1/f = u^3 / (0.1402 x) + 0.1285 x u^1.5 / (0.1402 x); N_e = 0 gives
// w_charged = 1.
struct Layer {
  double VH, VHE, C3, C15;
};
Layer hdiss_layer(double T, double XNE, double XNH, double XNHE) {
  const double a = 0.09 * std::cbrt(std::sqrt(XNE)) / std::sqrt(T);
  const double x = std::pow(1.0 + a, 3.15);
  const double U0 = std::cbrt(XNE * XNE) / 8.3e14;
  const double XA = 0.1402 * x, XB = 0.1285 * x;
  return {FOUR_PI_3 * XNH, FOUR_PI_3 * XNHE, U0 * U0 * U0 / XA, XB * U0 * std::sqrt(U0) / XA};
}

// -ln w_neutral and 1 / w_charged of state S in layer L.
double hdiss_lnw(const Layer& L, const State& S) { return L.VH * S.VOLH + L.VHE * S.VOLHE; }
double hdiss_wcinv(const Layer& L, const State& S) { return 1.0 + L.C3 * S.H3 + L.C15 * S.H15; }

// 1/n*^2 of level N at WAVENO (<= 0 at or above the threshold).
double hdiss_s(int N, double WAVENO) { return (hop_threshold(N) - WAVENO) / hop_threshold(1); }

// The per-model factors: perturber weights, and for each level its -ln w_neutral, 1/w_charged
// and LTE population per gram. The one freshness test of the cache.
void hdiss_prepare(Run& run) {
  HdissRec& c = hydrogen_dissolved_cache(run);
  const int nrhox = run.RHOX.NRHOX;
  if (!c.LOADED) {
    for (int n = 1; n <= NHDISS; ++n) c.SIGTHR(n) = xkarsas_threshold(run, n);
    c.LOADED = true;
  }
  if (c.MODEL == model_key(run)) return;
  State levels[NHDISS];
  for (int n = 1; n <= NHDISS; ++n) levels[n - 1] = hdiss_state(n);
  for (int j = 1; j <= nrhox; ++j) {
    const Layer L =
        hdiss_layer(run.TEMP.T(j), run.STATE.XNE(j), run.BHYD.XNFH(j), run.BHE.XNFHE(j, 1));
    c.VH(j) = L.VH;
    c.VHE(j) = L.VHE;
    c.C3(j) = L.C3;
    c.C15(j) = L.C15;
    const double NPERG = run.BHYD.XNFPH(j, 1) / run.STATE.RHO(j);
    for (int n = 1; n <= NHDISS; ++n) {
      c.LNW(j, n) = hdiss_lnw(L, levels[n - 1]);
      c.WCINV(j, n) = hdiss_wcinv(L, levels[n - 1]);
      const double BOLT = n == 1 ? 1.0 : std::exp(-hop_level_energy(n) * run.TEMP.HCKT(j));
      c.POP(j, n) = 2.0 * n * n * BOLT * NPERG;
    }
  }
  c.MODEL = model_key(run);
}

// A(J) += STIM(J) POP(J) SIG D(J) at the N depths for the state S reached:
// D = max(0, 1 - exp(-(ln w(n*) - ln w(n))_neutral) x w_charged(n*) / w_charged(n)).
ATMOTAB_KERNEL void hdiss_add(const HdissRec& c, int N, const State& S, double SIG,
                              const double* __restrict STIM, int n, double* __restrict A) {
  const double* __restrict VH = c.VH.data();
  const double* __restrict VHE = c.VHE.data();
  const double* __restrict C3 = c.C3.data();
  const double* __restrict C15 = c.C15.data();
  const double* __restrict LNW = &c.LNW(1, N);
  const double* __restrict WCINV = &c.WCINV(1, N);
  const double* __restrict POP = &c.POP(1, N);
  for (int j = 0; j < n; ++j) {
    const double neutral = hdiss_exp(LNW[j] - (VH[j] * S.VOLH + VHE[j] * S.VOLHE));
    const double ratio = neutral * WCINV[j] / (1.0 + C3[j] * S.H3 + C15[j] * S.H15);
    const double D = 1.0 - ratio > 0.0 ? 1.0 - ratio : 0.0;
    A[j] = A[j] + STIM[j] * POP[j] * SIG * D;
  }
}

}  // namespace

double hydrogen_dissolved_exp(double X) { return hdiss_exp(X); }

double hydrogen_dissolved_nstar(int N, double WAVENO) {
  const double s = hdiss_s(N, WAVENO);
  return s > 0.0 ? 1.0 / std::sqrt(s) : 0.0;
}

double hydrogen_dissolved_w(double NSTAR, double T, double XNE, double XNH, double XNHE) {
  const Layer L = hdiss_layer(T, XNE, XNH, XNHE);
  const State S = hdiss_state(NSTAR);
  return std::exp(-hdiss_lnw(L, S)) / hdiss_wcinv(L, S);
}

double hydrogen_dissolved_taper(int N, double NSTAR) {
  const double alpha = 1.0 / ((N + 1.0) * (N + 1.0)), beta = 1.0 / ((N + 2.0) * (N + 2.0));
  const double s = 1.0 / (NSTAR * NSTAR);
  return std::clamp((alpha - s) / (alpha - beta), 0.0, 1.0);
}

double hydrogen_dissolved_fraction(int N, double WAVENO, double T, double XNE, double XNH,
                                   double XNHE) {
  const double ns = hydrogen_dissolved_nstar(N, WAVENO);
  if (!(ns > N + 1.0)) return 0.0;
  const double ratio =
      hydrogen_dissolved_w(ns, T, XNE, XNH, XNHE) / hydrogen_dissolved_w(N, T, XNE, XNH, XNHE);
  return hydrogen_dissolved_taper(N, ns) * std::max(0.0, 1.0 - ratio);
}

double hydrogen_dissolved_sigma(int N, double SIGTHR, double WAVENO, double T, double XNE,
                                double XNH, double XNHE) {
  const double D = hydrogen_dissolved_fraction(N, WAVENO, T, XNE, XNH, XNHE);
  if (D == 0.0) return 0.0;
  const double q = hop_threshold(N) / WAVENO;
  return D * SIGTHR * q * q * q;
}

void add_dissolved_hydrogen(Run& run, Dep& A) {
  hdiss_prepare(run);
  const HdissRec& c = hydrogen_dissolved_cache(run);
  const double WAVENO = run.FREQ.FREQ / CLIGHT;
  for (int n = 1; n <= NHDISS; ++n) {
    const double s = hdiss_s(n, WAVENO);
    if (!(s > 0.0 && s < 1.0 / ((n + 1.0) * (n + 1.0)))) continue;  // edge .. alpha line
    const double ns = 1.0 / std::sqrt(s);
    const double q = hop_threshold(n) / WAVENO;
    const double SIG = hydrogen_dissolved_taper(n, ns) * c.SIGTHR(n) * q * q * q;
    vectorised<hdiss_add>(run.VECTORS, c, n, hdiss_state(ns), SIG, run.FREQ.STIM.data(),
                          c.MODEL.NRHOX, A.data());
  }
}

}  // namespace atmotab
