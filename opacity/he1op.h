// he1op — continuous absorption of neutral helium: photoionization of 29 He I levels and of the
// merged levels n >= 6, and free-free absorption of electrons in the field of He II ions.
#pragma once

namespace atmotab {

struct Run;

// AHE1(J) [cm^2 g^-1], stimulated emission included, and its source function SHE1(J) [units of
// BNU] at the frequency of the FREQ record, J = 1..NRHOX. Reads BHE1, BHE2(J,1), XNFPHE(J,1),
// XNFHE(J,2), XNE, RHO and the temperatures; forms its per-model tables (HE1OP) at the first
// call of a model. Switch HE1, IFOP(5).
void he1op(Run& run);

// Level K = 1..29 of the He I level list: excitation energy above the ground level [cm^-1], the
// lowest WAVENO that ionizes it [cm^-1] and its statistical weight.
double he1op_level_energy(int k);
double he1op_level_threshold(int k);
double he1op_level_weight(int k);

}  // namespace atmotab
