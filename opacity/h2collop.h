// h2collop — H2-H2 and H2-He collision-induced absorption.
#pragma once

#include "common/elements.h"

namespace atmotab {

struct Run;

// ACOLL(J) [cm^2 g^-1], stimulated emission included, for J = 1..NRHOX at the current frequency:
// the H2-H2 and H2-He collision-induced absorption of the H2 in equilibrium with neutral hydrogen
// and of neutral helium XNFHE(J,1). 0 above 20000 cm^-1. Called by the cool-metal block, which
// passes its scratch array.
void h2collop(Run& run, Dep& ACOLL);

// Converts data/tabh2h2.txt and data/tabh2he.txt into H2COLLOP, once per run.
void h2collop_load(Run& run);

}  // namespace atmotab
