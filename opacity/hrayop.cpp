// hrayop — Rayleigh scattering by neutral hydrogen atoms in the ground level (1s).
// Sources: M. Gavrila 1967, Phys. Rev. 163, 147 ("Elastic scattering of photons by a hydrogen
// atom"):
//          the nonrelativistic Kramers-Heisenberg amplitude of the 1s state, tabulated as the
//          dimensionless amplitude G (cross-section = sigma_T G^2) below the Lyman limit nu_L and
//          as the ratio sigma / sigma_T above it. The four tables below nu_L are uniform grids in
//          nu: GAVRILAM from 0.01 to 0.74 nu_L, and three grids between the Lyman lines
//          (alpha-beta, beta-gamma, gamma-delta); FGAVRILALYMANCONT / GAVRILALYMANCONT run from
//          nu_L to 50 nu_L. Low-frequency check: sigma / sigma_T -> 1.26537 x^4 + 3.73766 x^6 + ...
//          (x = nu/nu_L), the Dalgarno-Williams expansion (Lee 2005, MNRAS 358, 1472).
// Inputs:  FREQ [Hz]; XNFPH(J,1) n/U of H I [cm^-3] (the ground level holds 2 n/U: statistical
//          weight 2 over U), BHYD(J,1) departure coefficient of the ground level, RHO(J) [g cm^-3].
// Output:  SIGH(J) [cm^2 g^-1], pure scattering (no stimulated-emission factor, no source
// function). Valid:   all nu > 0. Below 0.01 nu_L the nu^4 law from the first node; in the windows
//          2.4190611e15 Hz < nu < 0.77 nu_L, 0.885-0.89, 0.936-0.938 and 0.959-0.961 nu_L around
//          Lyman alpha, beta, gamma and delta the cross-section is set to 0 (the resonances belong
//          to the line opacity); between 0.961 nu_L and nu_L the value at nu_L; beyond 50 nu_L
//          linear extrapolation of the ratio, held at its Thomson limit 1 from x = 75.6 on.
// Constants: sigma_T enters as 6.65e-25 cm^2 (electron scattering uses its own 6.653e-25);
//          nu_L = 3.288051e15 Hz. The band limits are single-precision fractions of nu_L times
//          nu_L in double precision; the tables are single-precision values.
// Deviations from the source: the linear extrapolation of the ratio beyond x = 50 falls through
//          its physical limit 1 at x = 75.6 (2.5e17 Hz) and turns negative at x = 8240 (0.011 nm),
//          which made SIGH negative and the table's logarithm NaN; the ratio is held at 1 there.
#include "opacity/hrayop.h"

#include <algorithm>

#include "common/array.h"
#include "common/constants.h"
#include "common/map1.h"
#include "common/state.h"
#include "common/vector_clones.h"

namespace atmotab {
namespace {

// Amplitude G at node k (k = 1..74) of nu = k x 0.01 nu_L.
constexpr double GAVRILAM[74] = {
    sp(-0.000113f), sp(-0.00045f),   sp(-0.001014f), sp(-0.001804f), sp(-0.002823f), sp(-0.004072f),
    sp(-0.005553f), sp(-0.007269f),  sp(-0.009223f), sp(-0.011419f), sp(-0.013861f), sp(-0.016553f),
    sp(-0.0195f),   sp(-0.022709f),  sp(-0.026185f), sp(-0.029936f), sp(-0.033968f), sp(-0.038291f),
    sp(-0.042913f), sp(-0.047843f),  sp(-0.053093f), sp(-0.058674f), sp(-0.064599f), sp(-0.070882f),
    sp(-0.077537f), sp(-0.084581f),  sp(-0.092031f), sp(-0.099907f), sp(-0.10823f),  sp(-0.117022f),
    sp(-0.126308f), sp(-0.136117f),  sp(-0.146477f), sp(-0.157422f), sp(-0.168987f), sp(-0.181213f),
    sp(-0.194143f), sp(-0.207825f),  sp(-0.222313f), sp(-0.237667f), sp(-0.253953f), sp(-0.271245f),
    sp(-0.289626f), sp(-0.309189f),  sp(-0.330041f), sp(-0.3523f),   sp(-0.376103f), sp(-0.401605f),
    sp(-0.428985f), sp(-0.458448f),  sp(-0.490235f), sp(-0.524625f), sp(-0.561947f), sp(-0.602591f),
    sp(-0.647023f), sp(-0.695805f),  sp(-0.749619f), sp(-0.809306f), sp(-0.87591f),  sp(-0.95075f),
    sp(-1.035515f), sp(-1.132403f),  sp(-1.244337f), sp(-1.375285f), sp(-1.530787f), sp(-1.718821f),
    sp(-1.95132f),  sp(-2.246993f),  sp(-2.63696f),  sp(-3.177142f), sp(-3.979234f), sp(-5.303624f),
    sp(-7.930999f), sp(-15.763602f),
};
// Amplitude G, alpha-beta window: node k at 0.755 nu_L + (k-1) x 1.644026e13 Hz, k = 1..27.
constexpr double GAVRILAMAB[27] = {
    sp(31.008833f), sp(15.382871f), sp(10.160646f), sp(7.538338f),  sp(5.955062f),  sp(4.890397f),
    sp(4.121176f),  sp(3.535672f),  sp(3.071659f),  sp(2.691623f),  sp(2.371483f),  sp(2.094936f),
    sp(1.850395f),  sp(1.629203f),  sp(1.424526f),  sp(1.230596f),  sp(1.042127f),  sp(0.853766f),
    sp(0.65946f),   sp(0.451533f),  sp(0.219115f),  sp(-0.054939f), sp(-0.400868f), sp(-0.879559f),
    sp(-1.637857f), sp(-3.150374f), sp(-8.326078f),
};
// Amplitude G, beta-gamma window: node k at 0.89 nu_L + (k-1) x 6.5761e12 Hz, k = 1..24.
constexpr double GAVRILAMBC[24] = {
    sp(32.260387f), sp(11.880702f), sp(7.418436f),  sp(5.442077f),  sp(4.313409f),  sp(3.573504f),
    sp(3.043218f),  sp(2.637983f),  sp(2.312466f),  sp(2.039959f),  sp(1.803441f),  sp(1.591244f),
    sp(1.394717f),  sp(1.206823f),  sp(1.021148f),  sp(0.83102f),   sp(0.628449f),  sp(0.402484f),
    sp(0.136127f),  sp(-0.200462f), sp(-0.667435f), sp(-1.410661f), sp(-2.906862f), sp(-8.169314f),
};
// Amplitude G, gamma-delta window: node k at 0.938 nu_L + (k-1) x 3.288051e12 Hz, k = 1..22.
constexpr double GAVRILAMCD[22] = {
    sp(27.981405f), sp(9.816495f),  sp(6.145775f), sp(4.544224f),  sp(3.630968f), sp(3.029081f),
    sp(2.593248f),  sp(2.255265f),  sp(1.978565f), sp(1.741426f),  sp(1.529699f), sp(1.33324f),
    sp(1.143898f),  sp(0.954154f),  sp(0.755875f), sp(0.53876f),   sp(0.287687f), sp(-0.022759f),
    sp(-0.441666f), sp(-1.081712f), sp(-2.27853f), sp(-5.705843f),
};
// Above the Lyman limit: abscissae x = nu/nu_L and the ratio sigma / sigma_T there.
constexpr double FGAVRILALYMANCONT[64] = {
    sp(1.0f),  sp(1.05f), sp(1.1f),  sp(1.15f), sp(1.2f),  sp(1.25f), sp(1.3f),  sp(1.35f),
    sp(1.4f),  sp(1.45f), sp(1.5f),  sp(1.6f),  sp(1.7f),  sp(1.8f),  sp(1.9f),  sp(2.0f),
    sp(2.1f),  sp(2.2f),  sp(2.3f),  sp(2.4f),  sp(2.5f),  sp(2.6f),  sp(2.7f),  sp(2.8f),
    sp(2.9f),  sp(3.0f),  sp(3.1f),  sp(3.2f),  sp(3.3f),  sp(3.4f),  sp(3.5f),  sp(3.6f),
    sp(3.7f),  sp(3.8f),  sp(3.9f),  sp(4.0f),  sp(4.4f),  sp(4.8f),  sp(5.2f),  sp(5.6f),
    sp(6.0f),  sp(6.4f),  sp(6.8f),  sp(7.2f),  sp(7.6f),  sp(8.0f),  sp(8.4f),  sp(8.8f),
    sp(9.2f),  sp(9.6f),  sp(10.0f), sp(12.0f), sp(14.0f), sp(16.0f), sp(18.0f), sp(20.0f),
    sp(24.0f), sp(28.0f), sp(32.0f), sp(36.0f), sp(40.0f), sp(44.0f), sp(48.0f), sp(50.0f),
};
constexpr double GAVRILALYMANCONT[64] = {
    sp(2.667783f), sp(2.526696f), sp(2.40897f),  sp(2.30897f),  sp(2.222736f), sp(2.147415f),
    sp(2.080913f), sp(2.021653f), sp(1.968431f), sp(1.920304f), sp(1.876527f), sp(1.799739f),
    sp(1.734455f), sp(1.67818f),  sp(1.629118f), sp(1.585943f), sp(1.547643f), sp(1.513435f),
    sp(1.4827f),   sp(1.454941f), sp(1.429751f), sp(1.406798f), sp(1.385804f), sp(1.366536f),
    sp(1.348797f), sp(1.332419f), sp(1.317257f), sp(1.303187f), sp(1.2901f),   sp(1.277901f),
    sp(1.266509f), sp(1.255848f), sp(1.245856f), sp(1.236474f), sp(1.227652f), sp(1.219344f),
    sp(1.190492f), sp(1.167227f), sp(1.148153f), sp(1.132293f), sp(1.118945f), sp(1.107593f),
    sp(1.097848f), sp(1.089413f), sp(1.082059f), sp(1.075606f), sp(1.069908f), sp(1.06485f),
    sp(1.060338f), sp(1.056294f), sp(1.052655f), sp(1.038936f), sp(1.030042f), sp(1.023928f),
    sp(1.019536f), sp(1.016269f), sp(1.011814f), sp(1.008986f), sp(1.007074f), sp(1.00572f),
    sp(1.004724f), sp(1.00397f),  sp(1.003385f), sp(1.00314f),
};

// Linear interpolation on a uniform table T(1..n) of node spacing s [Hz] whose node 1 lies at
// nu0 [Hz]: I = int((nu - nu0)/s) + 2 capped at n, G = T(I-1) + (T(I) - T(I-1)) x frac.
double hrayop_band(const double* table, int n, double nu, double nu0, double s) {
  int I = static_cast<int>((nu - nu0) / s) + 2;
  if (I > n) I = n;
  const double T1 = table[I - 2];  // T(I-1)
  const double T2 = table[I - 1];  // T(I)
  return T1 + (T2 - T1) * ((nu - nu0) - (I - 2) * s) / s;
}

}  // namespace

double hrayop_xsect(double nu) {
  constexpr double S01 = 3.288051e13;  // 0.01 nu_L, node spacing of GAVRILAM [Hz]
  if (nu < S01) {
    const double x = nu / S01;
    const double x2 = x * x;
    return SIGMA_THOMSON_3D * (GAVRILAM[0] * GAVRILAM[0]) * (x2 * x2);
  }
  if (nu <= 2.4190611e15) {
    int I = static_cast<int>(nu / S01) + 1;
    if (I > 74) I = 74;
    const double T1 = GAVRILAM[I - 2];  // T(I-1)
    const double T2 = GAVRILAM[I - 1];  // T(I)
    const double G = T1 + (T2 - T1) * (nu - (I - 1) * S01) / S01;
    return SIGMA_THOMSON_3D * (G * G);
  }
  if (nu < sp(0.77f) * FREQ_LYMAN) return 0.0;  // Lyman alpha window
  if (nu <= sp(0.885f) * FREQ_LYMAN) {
    const double G = hrayop_band(GAVRILAMAB, 27, nu, sp(0.755f) * FREQ_LYMAN, 1.644026e13);
    return SIGMA_THOMSON_3D * (G * G);
  }
  if (nu < sp(0.89f) * FREQ_LYMAN) return 0.0;  // Lyman beta window
  if (nu <= sp(0.936f) * FREQ_LYMAN) {
    const double G = hrayop_band(GAVRILAMBC, 24, nu, sp(0.89f) * FREQ_LYMAN, 6.5761e12);
    return SIGMA_THOMSON_3D * (G * G);
  }
  if (nu < sp(0.938f) * FREQ_LYMAN) return 0.0;  // Lyman gamma window
  if (nu <= sp(0.959f) * FREQ_LYMAN) {
    const double G = hrayop_band(GAVRILAMCD, 22, nu, sp(0.938f) * FREQ_LYMAN, 3.288051e12);
    return SIGMA_THOMSON_3D * (G * G);
  }
  if (nu < sp(0.961f) * FREQ_LYMAN) return 0.0;  // Lyman delta window
  if (nu <= FREQ_LYMAN) return SIGMA_THOMSON_3D * GAVRILALYMANCONT[0];
  // Above the limit the tabulated ratio is used as it stands (not squared). Far above the limit
  // the electron scatters as a free one: the ratio tends to 1 from above, so the straight line
  // beyond x = 50, which crosses 1 at x = 75.6 and 0 at x = 8240, is held at 1 from there on.
  const double x = nu / FREQ_LYMAN;
  double G = 0.0;
  map1(FGAVRILALYMANCONT, GAVRILALYMANCONT, 64, &x, &G, 1);
  return SIGMA_THOMSON_3D * std::max(G, 1.0);
}

namespace {

// SIGH = XNFPH XSECT 2 BHYD / RHO at the N depths, left to right as written (a loop of vector
// instructions: no library call, no branch).
ATMOTAB_KERNEL void hrayop_depths(const double* __restrict XNFPH, const double* __restrict BHYD,
                                  const double* __restrict RHO, double XSECT, int n,
                                  double* __restrict SIGH) {
  for (int k = 0; k < n; ++k) SIGH[k] = XNFPH[k] * XSECT * 2.0 * BHYD[k] / RHO[k];
}

}  // namespace

void hrayop(Run& run) {
  const double XSECT = hrayop_xsect(run.FREQ.FREQ);
  BhydRec& h = run.BHYD;
  // Column 1 (the ground level) of XNFPH and BHYD.
  vectorised<hrayop_depths>(run.VECTORS, &h.XNFPH(1, 1), &h.BHYD(1, 1), run.STATE.RHO.data(), XSECT,
                            run.RHOX.NRHOX, h.SIGH.data());
}

}  // namespace atmotab
