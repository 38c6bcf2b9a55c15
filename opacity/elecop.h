// elecop — Thomson scattering by free electrons.
#pragma once

namespace atmotab {

struct Run;

// SIGEL(J) = XNE(J) x 6.653e-25 / RHO(J) [cm^2 g^-1] for J = 1..NRHOX; frequency independent.
// Switch ELECTRON, IFOP(12).
void elecop(Run& run);

}  // namespace atmotab
