// hotop — bound-free absorption of C I-IV, N I-V, O I-VI and Ne I-VI for hot atmospheres.
// Sources: photoionization cross-sections of Henry 1970 (ApJ 161, 1153, "Photoionization cross
//          sections for atoms and ions of carbon, nitrogen, oxygen, and neon"): per level the
//          threshold value s0 and the shape s0 (a x^s + (1 - a) x^(s+1)), here written
//          s0 (a + x - a x) sqrt(x^m), x = nu0 / nu, with 2s = m; 60 levels in order of rising
//          threshold, each with its weight g and excitation energy E.
// Inputs:  FREQ [Hz], STIM(J); TKEV(J) [eV]; RHO(J) [g cm^-3]; n/U of the 21 ion stages
//          from the population driver (codes 6.03, 7.04, 8.05, 10.05 in mode 11).
// Output:  AHOT(J) [cm^2 g^-1], LTE (source function BNU), stimulated emission included.
// Method:  for each level with nu0 <= FREQ in table order, XX = n/U(ion) g XSECT; where
//          AHOT(J)/100 < XX, AHOT(J) += XX exp(-E/kT), else the level is skipped at that depth
//          (its term, at most XX, is below 1 % of the running sum). The test compares the value
//          before the Boltzmann factor with the Boltzmann-weighted sum, so the result depends on
//          the row order; the first contributing level always passes (0 < XX), a level of an
//          ion with n/U = 0 never does.
// Valid:   FREQ >= 4.149945e15 Hz (72.2 nm); below it AHOT = 0. Above every threshold the fits
//          fall as x^(m/2) and stay positive.
// Constants: nu0 double; s0, a, g, E single precision; m an integer.
#include "opacity/hotop.h"

#include <cmath>

#include "common/state.h"
#include "opacity/common_powers.h"
#include "opacity/hotop_cache.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

struct Level {
  double nu0;  // threshold frequency [Hz]
  float s0;    // threshold cross-section [cm^2]
  float a;     // shape parameter
  int m;       // frequency factor sqrt(x^m)
  float g;     // statistical weight
  float E;     // excitation energy [eV]
  int id;      // ion: 1-4 C I-IV, 5-9 N I-V, 10-15 O I-VI, 16-21 Ne I-VI
};

constexpr Level LEVELS[NHOTROW] = {
    {4.149945e15, 6.9e-18f, 1.0f, 6, 6.0f, 13.71f, 2},      // C II
    {4.574341e15, 2.5e-18f, 1.0f, 4, 2.0f, 11.96f, 2},      // C II
    {5.22077e15, 1.08e-17f, 1.0f, 4, 10.0f, 9.28f, 2},      // C II
    {5.222307e15, 5.35e-18f, 3.769f, 2, 1.0f, 0.0f, 16},    // Ne I
    {5.892577e15, 4.6e-18f, 1.95f, 6, 6.0f, 0.0f, 2},       // C II
    {6.177022e15, 3.5e-18f, 1.0f, 4, 12.0f, 5.33f, 2},      // C II
    {6.181062e15, 6.75e-18f, 3.101f, 5, 1.0f, 4.05f, 6},    // N II
    {6.701879e15, 6.65e-18f, 2.789f, 5, 5.0f, 1.9f, 6},     // N II
    {7.158382e15, 6.65e-18f, 2.86f, 6, 9.0f, 0.0f, 6},      // N II
    {7.284488e15, 3.43e-18f, 4.174f, 5, 6.0f, 5.02f, 11},   // O II
    {7.693612e15, 3.53e-18f, 3.808f, 5, 10.0f, 3.33f, 11},  // O II
    {7.885955e15, 2.32e-18f, 3.11f, 5, 6.0f, 5.02f, 11},    // O II
    {8.295079e15, 3.97e-18f, 3.033f, 5, 10.0f, 3.33f, 11},  // O II
    {8.497686e15, 7.32e-18f, 3.837f, 5, 4.0f, 0.0f, 11},    // O II
    {8.509966e15, 2e-18f, 1.75f, 7, 3.0f, 12.69f, 3},       // C III
    {8.572854e15, 1.68e-18f, 3.751f, 5, 6.0f, 5.02f, 11},   // O II
    {9.90637e15, 4.16e-18f, 2.717f, 3, 6.0f, 0.0f, 17},     // Ne II
    {1.000693e16, 2.4e-18f, 1.75f, 7, 9.0f, 6.5f, 3},       // C III
    {1.046078e16, 4.8e-18f, 1.0f, 4, 10.0f, 12.53f, 7},     // N III
    {1.067157e16, 2.71e-18f, 2.148f, 3, 6.0f, 0.0f, 17},    // Ne II
    {1.146734e16, 2.06e-18f, 1.626f, 6, 6.0f, 0.0f, 7},     // N III
    {1.156813e16, 5.2e-19f, 2.126f, 3, 6.0f, 0.0f, 17},     // Ne II
    {1.15784e16, 9.1e-19f, 4.75f, 4, 1.0f, 0.0f, 3},        // C III
    {1.17722e16, 5.3e-18f, 1.0f, 4, 12.0f, 7.1f, 7},        // N III
    {1.198813e16, 3.97e-18f, 2.78f, 6, 1.0f, 5.35f, 12},    // O III
    {1.32592e16, 3.79e-18f, 2.777f, 6, 5.0f, 2.51f, 12},    // O III
    {1.327649e16, 3.65e-18f, 2.014f, 6, 9.0f, 0.0f, 12},    // O III
    {1.361466e16, 7e-18f, 1.0f, 2, 5.0f, 7.48f, 12},        // O III
    {1.365932e16, 9.3e-19f, 1.5f, 7, 6.0f, 8.0f, 4},        // C IV
    {1.481487e16, 1.1e-18f, 1.75f, 7, 3.0f, 16.2f, 8},      // N IV
    {1.490032e16, 5.49e-18f, 3.0f, 5, 1.0f, 6.91f, 18},     // Ne III
    {1.533389e16, 1.8e-18f, 2.277f, 4, 9.0f, 0.0f, 18},     // Ne III
    {1.559452e16, 8.7e-19f, 3.0f, 6, 2.0f, 0.0f, 4},        // C IV
    {1.579688e16, 4.17e-18f, 2.074f, 4, 5.0f, 3.2f, 18},    // Ne III
    {1.643205e16, 1.39e-18f, 2.792f, 5, 5.0f, 3.2f, 18},    // Ne III
    {1.656208e16, 2.5e-18f, 2.346f, 5, 9.0f, 0.0f, 18},     // Ne III
    {1.671401e16, 1.3e-18f, 1.75f, 7, 9.0f, 8.35f, 8},      // N IV
    {1.719725e16, 1.48e-18f, 2.225f, 5, 9.0f, 0.0f, 18},    // Ne III
    {1.737839e16, 2.7e-18f, 1.0f, 4, 10.0f, 15.74f, 13},    // O IV
    {1.871079e16, 1.27e-18f, 0.831f, 6, 6.0f, 0.0f, 13},    // O IV
    {1.873298e16, 9.1e-19f, 3.0f, 4, 1.0f, 0.0f, 8},        // N IV
    {1.903597e16, 2.9e-18f, 1.0f, 4, 12.0f, 8.88f, 13},     // O IV
    {2.060738e16, 4.6e-18f, 1.0f, 3, 12.0f, 22.84f, 19},    // Ne IV
    {2.125492e16, 5.9e-19f, 1.0f, 6, 6.0f, 9.99f, 9},       // N V
    {2.16261e16, 1.69e-18f, 1.937f, 5, 6.0f, 7.71f, 19},    // Ne IV
    {2.226127e16, 1.69e-18f, 1.841f, 5, 10.0f, 5.08f, 19},  // Ne IV
    {2.251163e16, 9.3e-19f, 2.455f, 6, 6.0f, 7.71f, 19},    // Ne IV
    {2.278001e16, 7.9e-19f, 1.0f, 6, 9.0f, 10.2f, 14},      // O V
    {2.317678e16, 1.65e-18f, 2.277f, 6, 10.0f, 5.08f, 19},  // Ne IV
    {2.348946e16, 3.11e-18f, 1.963f, 6, 4.0f, 0.0f, 19},    // Ne IV
    {2.351911e16, 7.3e-19f, 1.486f, 5, 6.0f, 7.71f, 19},    // Ne IV
    {2.366973e16, 5e-19f, 1.0f, 4, 2.0f, 0.0f, 9},          // N V
    {2.507544e16, 6.9e-19f, 1.0f, 6, 3.0f, 19.69f, 14},     // O V
    {2.754065e16, 7.6e-19f, 1.0f, 2, 1.0f, 0.0f, 14},       // O V
    {2.86485e16, 1.54e-18f, 2.104f, 6, 1.0f, 7.92f, 20},    // Ne V
    {2.965598e16, 1.53e-18f, 2.021f, 6, 5.0f, 3.76f, 20},   // Ne V
    {3.054151e16, 1.4e-18f, 1.471f, 6, 9.0f, 0.0f, 20},     // Ne V
    {3.085141e16, 2.8e-18f, 1.0f, 4, 5.0f, 11.01f, 20},     // Ne V
    {3.339687e16, 3.6e-19f, 1.0f, 6, 2.0f, 0.0f, 15},       // O VI
    {3.818757e16, 4.9e-19f, 1.145f, 6, 6.0f, 0.0f, 21},     // Ne VI
};

}  // namespace

double hotop_nu0(int i) { return LEVELS[i - 1].nu0; }

double hotop_xsect(int i, double FREQ) {
  const Level& l = LEVELS[i - 1];
  const double x = l.nu0 / FREQ;
  const double a = sp(l.a);
  return sp(l.s0) * (a + x - a * x) * std::sqrt(ipow(x, l.m));
}

void hotop(Run& run) {
  HotopRec& h = hotop_cache(run);
  const int n = run.RHOX.NRHOX;
  if (h.MODEL != model_key(run)) {
    pops(run, 6.03, 11, &h.XNFPHOT(1, 1));
    pops(run, 7.04, 11, &h.XNFPHOT(1, 5));
    pops(run, 8.05, 11, &h.XNFPHOT(1, 10));
    pops(run, 10.05, 11, &h.XNFPHOT(1, 16));
    for (int i = 1; i <= NHOTROW; ++i)
      for (int j = 1; j <= n; ++j)
        h.BOLTHOT(j, i) = std::exp(-sp(LEVELS[i - 1].E) / run.TEMP.TKEV(j));
    h.MODEL = model_key(run);
  }
  const double FREQ = run.FREQ.FREQ;
  Dep& AHOT = run.OPS.AHOT;
  for (int i = 1; i <= NHOTROW && LEVELS[i - 1].nu0 <= FREQ; ++i) {
    const Level& l = LEVELS[i - 1];
    const double XSECT = hotop_xsect(i, FREQ);
    for (int j = 1; j <= n; ++j) {
      const double XX = h.XNFPHOT(j, l.id) * sp(l.g) * XSECT;
      if (AHOT(j) / 100.0 < XX) AHOT(j) += XX * h.BOLTHOT(j, i);
    }
  }
  for (int j = 1; j <= n; ++j) AHOT(j) = AHOT(j) * run.FREQ.STIM(j) / run.STATE.RHO(j);
}

}  // namespace atmotab
