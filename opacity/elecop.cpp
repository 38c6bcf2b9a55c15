// elecop — electron scattering: Thomson scattering by free electrons, per gram of stellar matter.
// Sources: Thomson cross-section sigma_T = (8 pi / 3) r_e^2, entering as SIGMA_THOMSON = 6.653e-25
//          cm^2 (common/constants.h; hydrogen Rayleigh scattering uses the rounding 6.65e-25).
// Inputs:  XNE(J) [cm^-3], RHO(J) [g cm^-3], J = 1..NRHOX.
// Output:  SIGEL(J) [cm^2 g^-1], a pure scattering coefficient (no stimulated-emission factor, no
//          source function).
// Valid:   non-relativistic electrons (h nu << m_e c^2), i.e. everywhere in this program.
// Deviations from the source: none.
#include "opacity/elecop.h"

#include "common/constants.h"
#include "common/state.h"

namespace atmotab {

void elecop(Run& run) {
  const Run::StateRec& s = run.STATE;
  Dep& SIGEL = run.OPS.SIGEL;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) SIGEL(j) = s.XNE(j) * SIGMA_THOMSON / s.RHO(j);
}

}  // namespace atmotab
