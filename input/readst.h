// readst — a model started from temperatures alone: the starting-model form of the read card
// (READ START n, then n cards "TAUROS T") and the pressure start shared with the grey model.
#pragma once

#include "common/state.h"

namespace atmotab {

// Reads n from CARD (NCOL must point behind the sub-word), then n cards with TAUROS(j) and T(j)
// [K] (both required); a first TAUROS <= 0 means all are log10 values. Sets NRHOX = n and runs
// the pressure start. n outside 2..99 stops the run (status 1): the pressure integration needs
// two depths for its step.
void readst(Run& run, Card& card);

// The pressure start of a model known as T(1..NRHOX) on TAUROS(1..NRHOX): XNE = VTURB = PTURB = 0,
// PRADK(j) = 2.521e-15 max(T^4, TEFF^4 / 2) [dyn cm^-2] (a/3 T^4 with the temperature floored at
// 2^(-1/4) TEFF), PRADK0 = PZERO = PRADK(1), PCON = PTURB0 = 0,
// PRAD = PRADK - PRADK(1); then ttaup gives P, ABROSS and PTOTAL, and RHOX = PTOTAL/GRAV [g cm^-2],
// PTOTAL = PTOTAL + PZERO. CARD_NAME names the card in messages: GRAVITY must be set (status 1
// otherwise).
void pressure_start(Run& run, const char* card_name);

// ttaup on the model in the records (T on TAUROS at GRAV, with PRAD and PTURB) for P, ABROSS and
// PTOTAL at depths 1..NRHOX; then RHOX = PTOTAL/GRAV [g cm^-2] and PTOTAL = PTOTAL + PZERO.
void hydrostatic_pressures(Run& run);

}  // namespace atmotab
