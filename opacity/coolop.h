// coolop — the cool-metal block (switch COOL): C I, Mg I, Al I, Si I and Fe I bound-free
// absorption, H2 collision-induced absorption, CH and OH photodissociation.
#pragma once

#include "common/elements.h"

namespace atmotab {

struct Run;

// Runs c1op, mg1op, al1op, si1op and fe1op (each fills its own absorption and source function),
// the collision-induced absorption into AH2COLL, then for every depth J = 1..NRHOX
//   ACOOL(J) = AC1 + AMG1 + AAL1 + ASI1 + AFE1 + AH2COLL + chop(J) XNFPCH(J) + ohop(J) XNFPOH(J),
// summed in that order. The CH and OH products are per cm^3 (no division by RHO); ACOOL enters
// no continuum total. The molecular part per gram enters the continuum instead:
//   AMOLEC(J) = AH2COLL + chop(J) XNFPCH(J) / RHO(J) + ohop(J) XNFPOH(J) / RHO(J).
// On return WAVENO holds FREQ / 2.99792458e10 (when NRHOX >= 1).
void coolop(Run& run);

// AMOLEC(J) of the last coolop call [cm^2 g^-1]: an LTE absorber of the continuum (source
// function BNU), kept in the block's own cache.
Dep& coolop_molecular(Run& run);

}  // namespace atmotab
