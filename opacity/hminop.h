// hminop — H-minus bound-free and free-free absorption.
#pragma once

namespace atmotab {

struct Run;

// AHMIN(J) [cm^2 g^-1], stimulated emission included, and its source function SHMIN(J) [units of
// BNU] for J = 1..NRHOX at the current frequency, with the H-minus departure coefficient BMIN(J)
// and the hydrogen ground-level coefficient BHYD(J,1). SHMIN keeps the 0 of the opacity driver
// where AHMIN <= 0. Switch HMINUS, IFOP(3).
void hminop(Run& run);

// H-minus photodetachment cross-section [1e-18 cm^2] at frequency FREQ [Hz]: the 85-point table
// interpolated with map1 at the wavelength 2.99792458e17/FREQ [nm]; 0 at and below 1.82365e14 Hz
// (the threshold, 1643.91 nm) and wherever the interpolation falls below 0.
double hminop_bf(double FREQ);

}  // namespace atmotab
