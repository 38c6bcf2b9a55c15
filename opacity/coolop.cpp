// coolop — the cool-metal block: the neutral metals with their departure coefficients, Fe I, the
// H2 collision-induced absorption and the CH and OH photodissociation, added into ACOOL.
// Sources: see opacity/cool_atoms.cpp (C I, Mg I, Al I, Si I, Fe I) and opacity/choh.cpp (CH, OH).
// Inputs:  the FREQ, TEMP and STATE records, the element records BC, BMG, BAL, BSI, BFE and CHOH.
// Output:  AC1/SC1 ... AFE1/SFE1 [cm^2 g^-1; units of BNU]; ACOOL(J), the sum of the metal
//          absorptions [cm^2 g^-1] and the CH and OH terms [cm^-1] as they stand: a diagnostic
//          that no total reads (the continuum takes the five metal arrays one by one).
// Valid:   any frequency; with molecules off XNFPCH = XNFPOH = 0 and the CH and OH terms vanish.
#include "opacity/coolop.h"

#include "common/state.h"
#include "opacity/choh.h"
#include "opacity/cool_atoms.h"

namespace atmotab {

void coolop(Run& run) {
  c1op(run);
  mg1op(run);
  al1op(run);
  si1op(run);
  fe1op(run);
  const Dep& AH2COLL = run.COOLOP.AH2COLL;
  Dep& ACOOL = run.OPS.ACOOL;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    ACOOL(j) = run.BC.AC1(j) + run.BMG.AMG1(j) + run.BAL.AAL1(j) + run.BSI.ASI1(j) +
               run.BFE.AFE1(j) + AH2COLL(j) + chop(run, j) * run.CHOH.XNFPCH(j) +
               ohop(run, j) * run.CHOH.XNFPOH(j);
}

}  // namespace atmotab
