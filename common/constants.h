// Physical constants of atmotab, in cgs units: one definition of each, used by every routine that
// needs it.
//
// The outputs are fixed to the bit, so each constant holds exactly the value the arithmetic uses.
// Several are older roundings than CODATA 2018 (Tiesinga et al. 2021, Rev. Mod. Phys. 93, 025010),
// whose value is given beside them for reference; changing one changes every table. Where two
// routines use different roundings of one quantity, each rounding has its own name, and a value
// written as a single-precision constant is kept as that single widened to double (sp(), see
// common/array.h). Coefficients that belong to one formula (the Saha constant, the Planck-function
// coefficient, fit coefficients) stay beside that formula.
#pragma once

#include "common/array.h"

namespace atmotab {

// Speed of light, exact since the 1983 definition of the metre.
constexpr double CLIGHT = 2.99792458e10;  // c [cm s^-1]
constexpr double CLIGHT_NM =
    2.99792458e17;                 // c [nm s^-1]: frequency [Hz] = CLIGHT_NM / wavelength [nm]
constexpr double NM_PER_CM = 1e7;  // wavenumber [cm^-1] = NM_PER_CM / wavelength [nm]

// Boltzmann and Planck constants, and the quantities derived from them.
constexpr double KBOLTZ = 1.38054e-16;   // k [erg K^-1]; CODATA 2018: 1.380649e-16 (exact)
constexpr double KBOLTZ_EV = 8.6171e-5;  // k [eV K^-1]; CODATA 2018: 8.617333262e-5
constexpr double HPLANCK = 6.6256e-27;   // h [erg s]; CODATA 2018: 6.62607015e-27 (exact)
// hc/k [cm K], the second radiation constant: HPLANCK CLIGHT / KBOLTZ to eight digits; CODATA
// 2018: 1.438776877.
constexpr double HC_K = 1.4387884;
// Wavenumber of one electronvolt, 1 eV / hc [cm^-1]; CODATA 2018: 8065.543937. The iron-group
// partition functions work in single precision with the same decimal rounded to a float.
constexpr double EV_TO_CM = 8065.479;
constexpr float EV_TO_CM_FLOAT = 8065.479f;
// Radiation constant over three, a/3 = 4 sigma / (3 c) [erg cm^-3 K^-4]; CODATA 2018: 2.521911e-15.
constexpr double RADCON_THIRD = 2.521e-15;
// Stefan-Boltzmann constant over 4 pi, sigma / (4 pi) [erg s^-1 cm^-2 K^-4 sr^-1] (sigma =
// 5.669687e-5); CODATA 2018: 4.512341e-6.
constexpr double SIGMA_4PI = 4.511793506554121e-6;

// Atomic mass unit [g]; CODATA 2018: 1.66053906660e-24. The electron-density solution (nelect)
// uses the single-precision constant, 1.660000002856575e-24 in double.
constexpr double AMU = 1.66e-24;
constexpr double AMU_SP = sp(1.66e-24f);

// Thomson cross-section sigma_T = (8 pi / 3) r_e^2 [cm^2]; CODATA 2018: 6.6524587e-25. Electron
// scattering uses four digits, hydrogen Rayleigh scattering (Gavrila's ratio sigma / sigma_T)
// three.
constexpr double SIGMA_THOMSON = 6.653e-25;
constexpr double SIGMA_THOMSON_3D = 6.65e-25;

// Ionization frequency of the hydrogen ground level, the Lyman limit nu_L [Hz] (Rydberg
// frequency times m_p / (m_p + m_e)); CODATA 2018: 3.2880512e15.
constexpr double FREQ_LYMAN = 3.288051e15;

}  // namespace atmotab
