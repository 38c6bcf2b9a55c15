// hotop — bound-free absorption of the ions of carbon, nitrogen, oxygen and neon (switch HOT), in
// LTE, from 60 levels.
#pragma once

namespace atmotab {

struct Run;

// Adds to AHOT(J) (cleared by the opacity driver) the Boltzmann-weighted level absorptions in
// table order, skipping at each depth a level whose value before its Boltzmann factor is not
// above 1 % of the running sum, then converts to AHOT(J) STIM / RHO [cm^2 g^-1], J = 1..NRHOX.
// The 21 ion populations come from the population driver once per model.
void hotop(Run& run);

// Cross-section [cm^2] of level I = 1..60 at FREQ >= its threshold, s0 (a + x - a x) sqrt(x^m),
// x = nu0 / FREQ.
double hotop_xsect(int i, double FREQ);

// Threshold frequency nu0 [Hz] of level I = 1..60 (rising with I).
double hotop_nu0(int i);

}  // namespace atmotab
