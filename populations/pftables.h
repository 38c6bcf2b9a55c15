// Partition-function tables of the run: POTION, the packed table IPFTAB, the iron-group table
// FEGRPF and the ground-configuration level lists, filled once per run from the tables read at
// build time.
#pragma once

#include "common/array.h"
#include "common/state.h"

namespace atmotab {

// Fills run.POTION and run.PFTAB from data/potion.txt, ipftab.txt, fegrpf.txt and pfground.txt as
// read at build time (load_atomic_data_builtin) and sets PFTAB.LOADED.
void load_pf_tables(Run& run);

// The same into the individual arrays.
void pftables_load(Arr<double, 1000>& potion, Arr<int, 6, 365>& ipftab,
                   Arr<float, 7, 56, 90>& fegrpf, Arr<int, 337>& pfgloc, Arr<double, 336>& pfgw,
                   Arr<double, 600>& pfge, Arr<double, 600>& pfgg);

}  // namespace atmotab
