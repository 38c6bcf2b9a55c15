// coolop — the cool-metal block: the neutral metals with their departure coefficients, Fe I, the
// H2 collision-induced absorption and the CH and OH photodissociation, added into ACOOL.
// Sources: see opacity/cool_atoms.cpp (C I, Mg I, Al I, Si I, Fe I), opacity/h2collop.cpp (H2-H2
//          and H2-He collision-induced absorption) and opacity/choh.cpp (CH, OH).
// Inputs:  the FREQ, TEMP and STATE records, the element records BC, BMG, BAL, BSI, BFE and CHOH,
//          and through h2collop the hydrogen and helium populations.
// Output:  AC1/SC1 ... AFE1/SFE1 [cm^2 g^-1; units of BNU]; AMOLEC(J), the H2 collision-induced
//          absorption plus the CH and OH terms per gram [cm^2 g^-1], which the continuum takes
//          with the LTE absorbers (source function BNU; the CH and OH cross-sections carry no
//          stimulated-emission factor, as tabulated); ACOOL(J), the sum of the metal absorptions
//          [cm^2 g^-1] and the CH and OH terms [cm^-1] as they stand: a diagnostic that no total
//          reads (the continuum takes the five metal arrays one by one).
// Valid:   any frequency; with molecules off XNFPCH = XNFPOH = 0 and the CH and OH terms vanish.
#include "opacity/coolop.h"

#include "common/state.h"
#include "opacity/choh.h"
#include "opacity/cool_atoms.h"
#include "opacity/coolop_cache.h"
#include "opacity/h2collop.h"
#include "opacity/xcont.h"

namespace atmotab {

void coolop(Run& run) {
  // With XCONT on, its tables carry these five atoms: their arrays keep kapp's 0.
  if (!xcont_covers_metals(run)) {
    c1op(run);
    mg1op(run);
    al1op(run);
    si1op(run);
    fe1op(run);
  }
  const int n = run.RHOX.NRHOX;
  if (n < 1) return;
  Dep& AH2COLL = coolop_cache(run).AH2COLL;
  h2collop(run, AH2COLL);
  // The CH and OH terms: where a molecule's n/U is 0 its product is +0 and adding it leaves the
  // sum as it is, so chop and ohop are evaluated only where they count (with molecules off,
  // nowhere). Their columns still follow the frequency, WAVENO with them.
  choh_frequency(run);
  const Dep& XNFPCH = run.CHOH.XNFPCH;
  const Dep& XNFPOH = run.CHOH.XNFPOH;
  Dep& ACOOL = run.OPS.ACOOL;
  Dep& AMOLEC = coolop_cache(run).AMOLEC;
  for (int j = 1; j <= n; ++j) {
    double a = run.BC.AC1(j) + run.BMG.AMG1(j) + run.BAL.AAL1(j) + run.BSI.ASI1(j) +
               run.BFE.AFE1(j) + AH2COLL(j);
    double m = AH2COLL(j);
    if (XNFPCH(j) != 0.0) {
      const double ch = chop(run, j) * XNFPCH(j);
      a += ch;
      m += ch / run.STATE.RHO(j);
    }
    if (XNFPOH(j) != 0.0) {
      const double oh = ohop(run, j) * XNFPOH(j);
      a += oh;
      m += oh / run.STATE.RHO(j);
    }
    ACOOL(j) = a;
    AMOLEC(j) = m;
  }
}

Dep& coolop_molecular(Run& run) { return coolop_cache(run).AMOLEC; }

}  // namespace atmotab
