// The private state of he1op (opacity/he1op.cpp): per-model tables, formed at the first call of a
// model from the temperatures, the populations and (EQUALB) the departure coefficients as they
// are then. They make the Boltzmann factors of the levels cost one exponential per level and
// depth per model instead of per frequency; each value is the one the source would otherwise
// compute at every frequency. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); He I level
// K = 1..29.
#pragma once

#include "common/elements.h"
#include "common/model_key.h"
#include "common/per_frequency.h"

namespace atmotab {

struct Run;

struct He1opRec {
  DepK<29> BOLTZ;  // BOLTZ(J,K)  exp(-E_K HCKT(J)) of He I level K (1 for the ground level)
  Dep EXLIM;       // EXLIM(J)    exp(-198310.77 HCKT(J)), at the He I ionization limit
  Dep EXHIGH;      // EXHIGH(J)   exp(-195262.919 HCKT(J)), at the n = 6 start of the merged levels
  Dep HCKTRY;      // HCKTRY(J)   HCKT(J) x 109722.27 [1], hc/kT times the Rydberg constant of He
  Dep SQRTT;       // SQRTT(J)    sqrt(T(J)) [K^1/2]
  bool EQUALB = false;  // EQUALB  every BHE1(J,K) equals BHE2(J,1), which is finite and not 0
  ModelKey MODEL;       // MODEL   model of the tables (common/model_key.h)
  PerFrequency<29> W;   // W       per frequency of the set: VAL(K) the cross-section factor of
                        //         level K = KMIN..29 (he1op_w), 0 below KMIN
};

He1opRec& he1op_cache(Run& run);

}  // namespace atmotab
