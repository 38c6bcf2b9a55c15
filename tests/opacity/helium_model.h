// Layers with helium populations for the tests of the helium opacities: the temperature quantities
// as the model completion forms them (opacity_model.h), helium number densities per stage, and a
// new model counter so that the sources rebuild their per-model tables.
#pragma once

#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "common/state.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab::testing {

struct HeLayer {
  double T, XNE, RHO;    // [K], [cm^-3], [g cm^-3]
  double HE1, HE2, HE3;  // number densities of He I, He II, He III [cm^-3]
};

// Fills depths 1..N and starts a new model (ITEMP + 1). XNFPHE takes U(He I) = 1, U(He II) = 2,
// U(He III) = 1.
template <int N>
void fill_helium(Run& run, const HeLayer (&layers)[N]) {
  Layer plain[N];
  for (int j = 0; j < N; ++j) plain[j] = {layers[j].T, layers[j].XNE, layers[j].RHO, 0.0};
  fill_model(run, plain);
  for (int j = 1; j <= N; ++j) {
    const HeLayer& l = layers[j - 1];
    run.BHE.XNFPHE(j, 1) = l.HE1;
    run.BHE.XNFPHE(j, 2) = l.HE2 / 2.0;
    run.BHE.XNFPHE(j, 3) = l.HE3;
    run.BHE.XNFHE(j, 1) = l.HE1;
    run.BHE.XNFHE(j, 2) = l.HE2;
  }
  start_model(run);
}

// The FREQ record at wavenumber WAVENO [cm^-1].
inline void set_waveno(Run& run, double waveno) { setfreq(run, waveno * CLIGHT); }

// Wavenumbers just below and at a threshold: the FREQ record rounds nu = WAVENO c, so the
// wavenumber it gives back can differ from WAVENO in the last bits; step until the recomputed
// WAVENO lies strictly below (BELOW) or at or above (AT) the threshold.
inline double waveno_below(Run& run, double threshold) {
  double w = threshold;
  for (set_waveno(run, w); run.FREQ.WAVENO >= threshold; set_waveno(run, w))
    w = std::nextafter(w, 0.0);
  return run.FREQ.WAVENO;
}
inline double waveno_at(Run& run, double threshold) {
  double w = threshold;
  for (set_waveno(run, w); run.FREQ.WAVENO < threshold; set_waveno(run, w))
    w = std::nextafter(w, 2 * threshold);
  return run.FREQ.WAVENO;
}

}  // namespace atmotab::testing
