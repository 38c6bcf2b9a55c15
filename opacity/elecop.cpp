// elecop — electron scattering: Thomson scattering by free electrons, per gram of stellar matter.
// Sources: Thomson cross-section sigma_T = (8 pi / 3) r_e^2, entering as SIGMA_THOMSON = 6.653e-25
//          cm^2 (common/constants.h; hydrogen Rayleigh scattering uses the rounding 6.65e-25).
// Inputs:  XNE(J) [cm^-3], RHO(J) [g cm^-3], J = 1..NRHOX.
// Output:  SIGEL(J) [cm^2 g^-1], a pure scattering coefficient (no stimulated-emission factor, no
//          source function).
// Valid:   non-relativistic electrons (h nu << m_e c^2), i.e. everywhere in this program.
// Deviations from the source: none.
#include "opacity/elecop.h"

#include <algorithm>

#include "common/constants.h"
#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/elecop_cache.h"

namespace atmotab {
namespace {

// SIGEL = XNE SIGMA_THOMSON / RHO at the N depths (a loop of vector instructions).
ATMOTAB_VECTOR_CLONES void elecop_sigma(const double* __restrict XNE, const double* __restrict RHO,
                                        int n, double* __restrict SIGEL) {
  for (int k = 0; k < n; ++k) SIGEL[k] = XNE[k] * SIGMA_THOMSON / RHO[k];
}

}  // namespace

// The coefficient does not depend on frequency: formed at the first call of a model and copied
// at every other call.
void elecop(Run& run) {
  ElecopRec& c = elecop_cache(run);
  const int n = run.RHOX.NRHOX;
  if (c.MODEL != model_key(run)) {
    elecop_sigma(run.STATE.XNE.data(), run.STATE.RHO.data(), n, c.SIGEL.data());
    c.MODEL = model_key(run);
  }
  std::copy_n(c.SIGEL.data(), n, run.OPS.SIGEL.data());
}

}  // namespace atmotab
