// Private state of the helium opacity sources (opacity/he1op, he2op): per-model tables keyed by
// the model counter ITEMP, which the driver increases once per model. A source rebuilds its tables
// at its first call after ITEMP changed, from the temperatures, the populations and (EQUALB) the
// departure coefficients as they are then; the remembered ITEMP starts at -1, so the first call of
// a run always rebuilds. The tables make the Boltzmann factors of the levels cost one exponential
// per level and depth per model instead of per frequency; each value is the one the source would
// otherwise compute at every frequency.
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); He I level
// K = 1..29, He II level N = 1..9.
#pragma once

#include "common/elements.h"
#include "common/per_frequency.h"

namespace atmotab {

// he1op: He I.
struct He1opRec {
  DepK<29> BOLTZ;  // BOLTZ(J,K)  exp(-E_K HCKT(J)) of He I level K (1 for the ground level)
  Dep EXLIM;       // EXLIM(J)    exp(-198310.77 HCKT(J)), at the He I ionization limit
  Dep EXHIGH;      // EXHIGH(J)   exp(-195262.919 HCKT(J)), at the n = 6 start of the merged levels
  Dep HCKTRY;      // HCKTRY(J)   HCKT(J) x 109722.27 [1], hc/kT times the Rydberg constant of He
  Dep SQRTT;       // SQRTT(J)    sqrt(T(J)) [K^1/2]
  bool EQUALB = false;  // EQUALB  every BHE1(J,K) equals BHE2(J,1), which is finite and not 0
  int ITEMP = -1;       // ITEMP   model counter of the tables (-1: none yet)
  PerFrequency<29> W;   // W       per frequency of the set: VAL(K) the cross-section factor of
                        //         level K = KMIN..29 (he1op_w), 0 below KMIN
};

// he2op: He II.
struct He2opRec {
  DepK<9> BOLTZ;   // BOLTZ(J,N)  exp(-E_N HCKT(J)) of He II level N (1 for N = 1)
  Dep EXLIM;       // EXLIM(J)    exp(-438908.84 HCKT(J)), at the He II ionization limit
  Dep EXHIGH;      // EXHIGH(J)   exp(-434519.959 HCKT(J)), at the n = 10 start of the merged levels
  Dep HCKTRY;      // HCKTRY(J)   HCKT(J) x 438889.06 [1], hc/kT times 4 Rydberg constants of He
  Dep SQRTT;       // SQRTT(J)    sqrt(T(J)) [K^1/2]
  Dep GAMLOG;      // GAMLOG(J)   2 log10 gamma^2 of the free-free Gaunt factor, Z = 2
  Dep XPERG;       // XPERG(J)    XNFPHE(J,2) / RHO(J), He II n/U per gram [g^-1]
  int ITEMP = -1;  // ITEMP       model counter of the tables (-1: none yet)
};

}  // namespace atmotab
