// setfreq — the radiation quantities of one frequency that every opacity source reads.
// Sources: Planck's law B_nu = (2 h nu^3 / c^2) / (exp(h nu / kT) - 1), written as
//          2h/c^2 x 1e45 x (nu/1e15)^3 x EHVKT / STIM with EHVKT = exp(-h nu/kT); the coefficient
//          1.47439e-2 = 2 x 6.6256e-27 / 2.99792458e10^2 x 1e45 uses the same h as HKT.
// Inputs:  nu [Hz]; HKT(J) = h/kT [s] of the TEMP record, J = 1..NRHOX.
// Output:  FREQ, IFREQ, FREQLG, EHVKT(J), STIM(J), BNU(J) [erg s^-1 cm^-2 Hz^-1 sr^-1],
//          WAVENO [cm^-1].
// Valid:   any nu > 0 (STIM underflows to 0 only for h nu / kT below ~1e-16, far outside use).
// Deviations from the source: none.
#include "opacity/setfreq.h"

#include <cmath>

#include "common/constants.h"
#include "common/state.h"
#include "common/vector_clones.h"

namespace atmotab {
namespace {

// STIM = 1 - EHVKT and BNU = C EHVKT / STIM at the N depths: no library call, so the loop runs in
// vector instructions (element by element the same operations).
ATMOTAB_KERNEL void setfreq_planck(const double* __restrict EHVKT, double C, int n,
                                   double* __restrict STIM, double* __restrict BNU) {
  for (int k = 0; k < n; ++k) {
    STIM[k] = 1.0 - EHVKT[k];
    BNU[k] = C * EHVKT[k] / STIM[k];
  }
}

}  // namespace

void setfreq(Run& run, double nu, int I) {
  Run::FreqRec& f = run.FREQ;
  const Run::TempRec& t = run.TEMP;
  const int n = run.RHOX.NRHOX;
  f.FREQ = nu;
  f.IFREQ = I;
  f.FREQLG = std::log(nu);
  const double FREQ15 = nu / 1e15;
  const double FREQ15_3 = FREQ15 * FREQ15 * FREQ15;
  for (int j = 1; j <= n; ++j) f.EHVKT(j) = std::exp(-nu * t.HKT(j));
  vectorised<setfreq_planck>(run.VECTORS, f.EHVKT.data(), 1.47439e-2 * FREQ15_3, n, f.STIM.data(),
                             f.BNU.data());
  const double WAVE = CLIGHT_NM / nu;  // wavelength [nm]
  f.WAVENO = NM_PER_CM / WAVE;
}

}  // namespace atmotab
