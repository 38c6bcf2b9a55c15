// readdeck — the model-table form of the read card: a model atmosphere given as a table of depth
// points, one card per depth, optionally with the radiative acceleration in place of the
// radiation pressure.
#pragma once

#include "common/state.h"

namespace atmotab {

// Which table the read card announces.
enum class DeckForm {
  Plain,      // READ DECK n:  RHOX T [P XNE ABROSS PRAD VTURB]
  Radiative,  // READ DECK6 n: RHOX T [P XNE ABROSS RAD VTURB], then one card with PRADK0
};

// Reads the depth count n from CARD (behind the sub-word: NCOL must point there), then n depth
// cards and, for the radiative form, the PRADK0 card, from the control cards. Sets NRHOX, RHOX
// (log10 values when the first is negative), T, P, XNE, ABROSS, PRAD, VTURB; PCON = PRADK0 = 0,
// PTURB0 = PTURB(1) as left by the previous model; radiative form: RAD, PRADK0, PRAD (running
// integral of RAD over RHOX from RAD(1) RHOX(1)) and PRADK = PRAD + PRADK0. n outside 0..99 stops
// the run (status 1); missing RHOX or T, or a missing PRADK0, stop it through the scanner.
void readdeck(Run& run, Card& card, DeckForm form);

}  // namespace atmotab
