// heraop — Rayleigh scattering by neutral helium.
// Physics: elastic scattering of photons far below the first resonance of He I (58.4 nm) by the
//          ground-state atom: sigma = 5.484e-14 / lambda^4 (1 + 2.44e5 / lambda^2 + 5.94e10 /
//          (lambda^2 (lambda^2 - 2.9e5)))^2 cm^2, lambda in Angstrom (the dispersion-formula
//          expansion of the polarizability); the same formula as Colgan et al. 2016 (ApJ 817,
//          116, eq. 7), which it matches within 1.2 % from 130 nm to 5 um (tests).
// Inputs:  FREQ [Hz]; XNFPHE(J,1) = n/U of He I [cm^-3] (U = 1: the ground-state density);
//          BHE1(J,1) departure coefficient of the ground state; RHO(J) [g cm^-3].
// Output:  SIGHE(J) [cm^2 g^-1], pure scattering (no stimulated-emission factor, no source
//          function).
// Valid:   longward of the 58.4 nm resonance; the formula has a pole at lambda^2 = 2.9e5 A^2
//          (53.9 nm), so above 5.15e15 Hz (58.2 nm) the cross-section of 5.15e15 Hz is used.
// Deviations from the source: none.
#include "opacity/heraop.h"

#include <algorithm>

#include "common/constants.h"
#include "common/state.h"

namespace atmotab {

double heraop_xsect(double nu) {
  // Wavelength [A], c [A s^-1] = 1e8 c [cm s^-1]; at least 582.12 A.
  const double WAVE = CLIGHT * 1e8 / std::min(nu, 5.15e15);
  const double WW = WAVE * WAVE;
  const double X = 1.0 + (2.44e5 + 5.94e10 / (WW - 2.9e5)) / WW;
  return 5.484e-14 / (WW * WW) * (X * X);
}

void heraop(Run& run) {
  const double SIG = heraop_xsect(run.FREQ.FREQ);
  const BheRec& he = run.BHE;
  const Depth& RHO = run.STATE.RHO;
  Dep& SIGHE = run.BHE.SIGHE;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    SIGHE(j) = he.XNFPHE(j, 1) * SIG / RHO(j) * he.BHE1(j, 1);
}

}  // namespace atmotab
