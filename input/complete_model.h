// complete_model — completion of a model at the begin card: the abundance-dependent quantities
// and the per-depth quantities derived from T, P, XNE and VTURB.
#pragma once

#include "common/state.h"

namespace atmotab {

// From the (normalised) abundances ABUND and XSCALE: XABUND(1..2) = ABUND(1..2) [number
// fraction], XABUND(k) = 10^ABUND(k) XSCALE for k = 3..99, WTMOLE = sum XABUND ATMASS [amu]. Then
// for j = 1..NRHOX: TK, HKT, HCKT, TKEV, TLOG from T; XNATOM = P/TK - XNE [cm^-3]; RHO =
// XNATOM WTMOLE 1.66e-24 [g cm^-3]; PTURB = 0.5 RHO VTURB^2 [dyn cm^-2].
void complete_model(Run& run);

}  // namespace atmotab
