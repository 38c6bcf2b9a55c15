// hrayop — Rayleigh scattering by neutral hydrogen in its ground level.
#pragma once

namespace atmotab {

struct Run;

// SIGH(J) = XNFPH(J,1) x XSECT x 2 x BHYD(J,1) / RHO(J) [cm^2 g^-1] for J = 1..NRHOX, with XSECT
// the cross-section per ground-level atom at FREQ. Switch HRAY, IFOP(4).
void hrayop(Run& run);

// The cross-section per hydrogen atom in the ground level [cm^2] at frequency nu [Hz]. It is 0 in
// the four windows that bracket Lyman alpha, beta, gamma and delta; above the Lyman limit it is
// extrapolated linearly beyond the last tabulated point (nu = 50 nu_L) until it reaches the
// Thomson cross-section, and is the Thomson cross-section from there on (nu >= 75.6 nu_L).
double hrayop_xsect(double nu);

}  // namespace atmotab
