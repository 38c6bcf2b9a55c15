// h2plop — H2+ absorption (photodissociation H2+ + photon -> H + H+ and the free-free absorption
// of H + H+ collisions), an LTE absorber; h2raop — Rayleigh scattering by molecular hydrogen.
// Sources: H2+: fits in ln nu to the combined H2+ absorption of Bates 1952 (MNRAS 112, 40,
//          Table II): FR = ln of the absorption per H atom and proton [cm^5] and ES [eV], an energy
//          in its Boltzmann factor exp(-ES/kT). The fits lie 7 to 10 % below Bates's table at 4000
//          to 26000 cm^-1 and 4000 to 12000 K (with his temperature and wavenumber dependence to 2
//          %). H2 Rayleigh: Dalgarno & Williams 1962 (ApJ 136, 690), sigma = 8.14e-13/lambda^4 +
//          1.28e-6/lambda^6 + 1.61/lambda^8 cm^2, lambda in Angstrom, held at 1026 Angstrom
//          (2.922e15 Hz) towards shorter wavelengths, where the series stops converging near
//          the Lyman bands. H2 density: the dissociation equilibrium with D0 = 4.478 eV and a fit
//          in T of the partition functions, within 0.03 dex of Barklem & Collet 2016 (A&A 588, A96)
//          from 2000 to 8000 K.
// Inputs:  FREQ, FREQLG = ln FREQ, STIM(J); T(J), TKEV(J), TLOG(J); RHO(J); BHYD(J,1) departure
//          coefficient of the hydrogen ground level, XNFPH(J,1) n/U of H I and XNFPH(J,2)
//          protons [cm^-3].
// Output:  AH2P(J) and SIGH2(J) [cm^2 g^-1].
// Valid:   H2+: written at FREQ <= 3.28805e15 Hz (the Lyman limit: above it nothing); the fits
//          hold in the optical and infrared and fall away steeply outside. H2 Rayleigh: longward
//          of about 100 nm.
// Deviations from the source: none.
#include "opacity/h2op.h"

#include <algorithm>
#include <cmath>

#include "common/array.h"
#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/h2op_cache.h"

namespace atmotab {
namespace {

constexpr double H2PLUS_MAX = 3.28805e15;   // [Hz] H2+ absorbs up to here (the Lyman limit)
constexpr double H2RAY_MAX = 2.922e15;      // [Hz] H2 Rayleigh cross-section held above (102.6 nm)
constexpr double CLIGHT_A = 2.99792458e18;  // c [Angstrom s^-1]

}  // namespace

double eqh2(const Run& run, int J) {
  const double T = run.TEMP.T(J);
  return std::exp(
      sp(4.478f) / run.TEMP.TKEV(J) - 46.4584 +
      (1.6366e-3 +
       (-4.93992e-7 + (1.11822e-10 + (-1.49567e-14 + (1.06206e-18 - 3.0872e-23 * T) * T) * T) * T) *
           T) *
          T -
      1.5 * run.TEMP.TLOG(J));
}

double nh2(const Run& run, int J) {
  const double x = 2 * run.BHYD.XNFPH(J, 1) * run.BHYD.BHYD(J, 1);
  return x * x * eqh2(run, J);
}

ATMOTAB_VECTOR_CLONES void h2plop(Run& run) {
  const Run::FreqRec& f = run.FREQ;
  if (f.FREQ > H2PLUS_MAX) return;
  H2opRec& c = h2op_cache(run);
  BhydRec& h = run.BHYD;
  if (c.MODELP != model_key(run)) {
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) c.XNFPHLN(j) = std::log(h.XNFPH(j, 1));
    c.MODELP = model_key(run);
  }
  const double FREQ15 = f.FREQ / 1e15;
  const double x = f.FREQLG;
  const double FR = -3023.3 + x * (377.97 + x * (-18.2496 + x * (0.39207 - 0.0031672 * x)));
  const double ES =
      -0.007342 +
      FREQ15 *
          (-2.409 + FREQ15 * (1.028 + FREQ15 * (-0.423 + FREQ15 * (0.1224 - 0.01351 * FREQ15))));
  // The exponent, the exponential and the products in separate loops, so that all but the
  // exponential vectorize.
  const int nrhox = run.RHOX.NRHOX;
  double E[NDEPTH];
  for (int j = 0; j < nrhox; ++j) E[j] = c.XNFPHLN.data()[j] + FR - ES / run.TEMP.TKEV.data()[j];
  for (int j = 0; j < nrhox; ++j) E[j] = std::exp(E[j]);
  const double* B1 = &h.BHYD(1, 1);
  const double* XNFPH2 = &h.XNFPH(1, 2);
  const double* RHO = run.STATE.RHO.data();
  const double* STIM = f.STIM.data();
  double* AH2P = h.AH2P.data();
  for (int j = 0; j < nrhox; ++j) AH2P[j] = E[j] * 2 * B1[j] * XNFPH2[j] / RHO[j] * STIM[j];
}

void h2raop(Run& run) {
  H2opRec& c = h2op_cache(run);
  if (c.MODELR != model_key(run)) {
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) c.XNH2R(j) = nh2(run, j) / run.STATE.RHO(j);
    c.MODELR = model_key(run);
  }
  const double WAVE = CLIGHT_A / std::min(run.FREQ.FREQ, H2RAY_MAX);  // [Angstrom]
  const double WW = WAVE * WAVE;
  const double SIG = (1.28e-6 / WW + 8.14e-13 + sp(1.61f) / (WW * WW)) / (WW * WW);
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) run.BHYD.SIGH2(j) = c.XNH2R(j) * SIG;
}

}  // namespace atmotab
