// readmol — the molecule list (unit 2): every species of the molecular equilibrium with the
// coefficients of its equilibrium constant, and the equation set-up of the equilibrium built from
// the species' components.
#pragma once

#include <istream>

#include "common/state.h"

namespace atmotab {

// Reads the molecule list from IN (unit 2, named run.UNITS.molecules_name in messages) until a
// card whose code is 0 (a blank card) or the end of the file, echoing it on the listing, and
// rebuilds CODEMOL, NUMMOL of XNMOL and the whole IFEQUA record: equation 1 for the particle
// count, one per element used in increasing Z, the electron's last; KCOMPS translated to equation
// numbers, NEQUA + 1 for a positive charge. Prints the usage summary.
// Throws atmo_error (status 1, after a line on the listing) for a code below 1 other than 0, a
// code of more than eight pairs, more than 200 entries or 600 component slots ("1TOO MANY
// MOLECULES"), more than 30 equations or a species listed twice (naming both cards); (status 2)
// for a field that is not a number or a line longer than CARD_LINE_CHARS.
void readmol(Run& run, std::istream& in);

// Opens unit 2 (run.UNITS.molecules_name) and reads it with readmol; a file that cannot be opened
// stops the run with status 2, a list in which no species carries a charge (no electron equation,
// so nothing would give a model its electron density) with status 1.
void readmol_unit2(Run& run);

}  // namespace atmotab
