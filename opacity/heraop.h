// heraop — Rayleigh scattering by neutral helium atoms in the ground state.
#pragma once

namespace atmotab {

struct Run;

// SIGHE(J) = XNFPHE(J,1) x SIG / RHO(J) x BHE1(J,1) [cm^2 g^-1], J = 1..NRHOX, with SIG the
// cross-section per atom at the frequency of the FREQ record. Switch HERAY, IFOP(8).
void heraop(Run& run);

// The cross-section per ground-state He atom [cm^2] at frequency nu [Hz], held at its 5.15e15 Hz
// (58.2 nm) value above that frequency.
double heraop_xsect(double nu);

}  // namespace atmotab
