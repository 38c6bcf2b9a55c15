// nelect — electron density of every depth of the model, iterated to consistency with the
// ionization of the ten main electron donors.
#pragma once

#include "common/state.h"

namespace atmotab {

constexpr int NELECT_DONORS = 10;  // electron donors of the iteration
constexpr int NELECT_MAXIT = 200;  // iterations per depth before giving up

// Electron donors in the order they are summed (H, He, C, Na, Mg, Al, Si, K, Ca, Fe) and the
// stage passed to pfsaha for each (the balance then includes two stages more).
constexpr int NELEMZ[NELECT_DONORS] = {1, 2, 6, 11, 12, 13, 14, 19, 20, 26};
constexpr int NIONZ[NELECT_DONORS] = {1, 2, 2, 2, 2, 2, 2, 2, 2, 2};

// Iterates XNE(J) for J = 1..NRHOX from the starting guess P/(2 kT) at the first depth and the
// pressure-scaled previous value below; sets XNATOM and RHO. Prints the electron-contribution
// table when NUMITS <= ITER. Throws atmo_error (status 1) after " XNE DOES NOT CONVERGE" when a
// depth needs more than MAXIT iterations (tests lower it to reach that path).
void nelect(Run& run, int maxit = NELECT_MAXIT);

}  // namespace atmotab
