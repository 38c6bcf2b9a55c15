// readin — the control-card interpreter: reads the cards of one model from the control cards
// (unit 5), interprets their keywords, and at the begin card completes and prints the model.
#pragma once

#include "common/state.h"

namespace atmotab {

// Reads cards until a begin card (returns true: the model is complete and printed) or an end card
// (returns false: the run is over). Input errors throw atmo_error: status 1 for a card the
// interpreter does not understand, a missing required number, a table limit exceeded or an
// incomplete model (each printed on the listing first), status 2 for the end of the control cards.
bool readin(Run& run);

}  // namespace atmotab
