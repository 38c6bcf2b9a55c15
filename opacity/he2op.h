// he2op — continuous absorption of singly ionized helium: photoionization of the hydrogenic He II
// levels n = 1..9 and of the merged levels n >= 10, and free-free absorption of electrons in the
// field of He III nuclei.
#pragma once

namespace atmotab {

struct Run;

// AHE2(J) [cm^2 g^-1], stimulated emission included, and its source function SHE2(J) [units of
// BNU] at the frequency of the FREQ record, J = 1..NRHOX. Reads BHE2(J,1..6), XNFPHE(J,2..3), XNE,
// RHO and the temperatures; forms its per-model tables (HE2OP) at the first call of a model. Switch
// HE2, IFOP(6).
void he2op(Run& run);

// Bound-free Gaunt factor of He II level N = 1..6 at frequency nu [Hz]: the hydrogen polynomial
// a + b/nu_H + c/nu_H^2 at the hydrogen-equivalent frequency nu_H = nu / Z^2 = nu / 4.
double he2op_gaunt(int n, double nu);

}  // namespace atmotab
