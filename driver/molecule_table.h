// The molecules of stage slot 6 of elements 40..99 in the output tables (IDMOL, MOMASS of the
// TABLES record).
#pragma once

#include "common/tables.h"

namespace atmotab {

// Sets IDMOL(1..60) and MOMASS(1..60) of TB: codes (the atomic numbers of the constituents, two
// digits each after the first; .01 for a singly ionised molecule, as a single-precision value) and
// masses [amu].
void fill_molecule_table(TablesRec& tb);

}  // namespace atmotab
