// nmolec — molecular equilibrium: number densities of every species of the molecule list at every
// depth, with conservation of particles, nuclei and charge.
#pragma once

#include "common/state.h"

namespace atmotab {

constexpr int NMOLEC_MAXPASS = 1000;  // Newton passes per depth before the run gives up

// Solves the chemical and ionization equilibrium of the molecule list (IFEQUA, XNMOL records) at
// depths 1..NRHOX in order, each starting from the previous one's solution scaled by the pressure
// ratio, and writes XNMOL and XNFPMOL of every entry, XNATOM, RHO and, when the list has an
// electron equation, XNE. Prints the state and population tables when NUMITS <= ITER. Leaves
// IFNLTE at 0. Throws atmo_error (status 1, after a line on the listing) when no molecule list is
// in force, when a depth does not converge within MAXPASS Newton passes, when the Newton matrix
// has no non-zero pivot, or when an equilibrium constant overflows; pfsaha's checks of the depth
// apply.
void nmolec(Run& run, int maxpass = NMOLEC_MAXPASS);

}  // namespace atmotab
