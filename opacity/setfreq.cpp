// setfreq — the radiation quantities of one frequency that every opacity source reads.
// Sources: Planck's law B_nu = (2 h nu^3 / c^2) / (exp(h nu / kT) - 1), written as
//          2h/c^2 x 1e45 x (nu/1e15)^3 x EHVKT / STIM with EHVKT = exp(-h nu/kT); the coefficient
//          1.47439e-2 = 2 x 6.6256e-27 / 2.99792458e10^2 x 1e45 uses the same h as HKT.
// Inputs:  nu [Hz]; HKT(J) = h/kT [s] of the TEMP record, J = 1..NRHOX.
// Output:  FREQ, FREQLG, EHVKT(J), STIM(J), BNU(J) [erg s^-1 cm^-2 Hz^-1 sr^-1], WAVENO [cm^-1].
// Valid:   any nu > 0 (STIM underflows to 0 only for h nu / kT below ~1e-16, far outside use).
// Deviations from the source: none.
#include "opacity/setfreq.h"

#include <cmath>

#include "common/constants.h"
#include "common/state.h"

namespace atmotab {

void setfreq(Run& run, double nu) {
  Run::FreqRec& f = run.FREQ;
  const Run::TempRec& t = run.TEMP;
  f.FREQ = nu;
  f.FREQLG = std::log(nu);
  const double FREQ15 = nu / 1e15;
  const double FREQ15_3 = FREQ15 * FREQ15 * FREQ15;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    f.EHVKT(j) = std::exp(-nu * t.HKT(j));
    f.STIM(j) = 1.0 - f.EHVKT(j);
    f.BNU(j) = 1.47439e-2 * FREQ15_3 * f.EHVKT(j) / f.STIM(j);
  }
  const double WAVE = CLIGHT_NM / nu;  // wavelength [nm]
  f.WAVENO = NM_PER_CM / WAVE;
}

}  // namespace atmotab
