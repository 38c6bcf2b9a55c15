// h2plop — H2+ absorption; h2raop — Rayleigh scattering by H2; and the H2 number density in
// equilibrium with neutral hydrogen that h2raop and the collision-induced absorption use.
#pragma once

namespace atmotab {

struct Run;

// AH2P(J) [cm^2 g^-1], stimulated emission included (an LTE absorber with source function BNU),
// for J = 1..NRHOX; nothing is written above 3.28805e15 Hz. Switch H2PLUS, IFOP(2).
void h2plop(Run& run);

// SIGH2(J) [cm^2 g^-1], pure scattering, for J = 1..NRHOX; above 2.922e15 Hz (102.6 nm) the
// cross-section of 2.922e15 Hz. Switch H2RAY, IFOP(13).
void h2raop(Run& run);

// The H2 dissociation equilibrium constant n(H2) / n(H I)^2 [cm^3] at depth J (a fit in T with
// the dissociation energy 4.478 eV).
double eqh2(const Run& run, int J);

// NH2(J) = (2 XNFPH(J,1) BHYD(J,1))^2 EQH2(J): the H2 number density [cm^-3] in equilibrium with
// the ground-level hydrogen atoms of depth J.
double nh2(const Run& run, int J);

}  // namespace atmotab
