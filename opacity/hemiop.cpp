// hemiop — He-minus free-free continuous opacity.
// Physics: absorption by an electron during a collision with a neutral helium atom in its ground
//          state; no bound state of He-minus is involved, so the absorption is in LTE and
//          proportional to n_e n(He I).
// Sources: a fit in nu and T to the free-free coefficients of John 1994 (MNRAS 269, 871):
//          K = A(nu) T + B(nu) + C(nu) / T with A, B, C quadratics in 1/nu, so that the absorption
//          per gram is K x 1e-45 XNE n(He I) / RHO [cm^2 g^-1]. Against John's table (kappa =
//          1e-26 K_John P_e per He atom, stimulated emission included) the fit agrees within 7 %
//          from 1.5 to 15 um at all his temperatures (1400..10080 K), within 10 % from 1.1 um,
//          and within 13 % down to 0.5 um above 5040 K (tests).
// Inputs:  FREQ [Hz]; T(J) [K]; XNE(J) [cm^-3]; XNFPHE(J,1) = n/U of He I [cm^-3] (U = 1);
//          RHO(J) [g cm^-3].
// Output:  AHEMIN(J) [cm^2 g^-1]. No stimulated-emission factor is applied: John's coefficients
//          include it. The driver pairs AHEMIN with BNU as source function.
// Valid:   John's table covers 0.5..15 um and 1400..10080 K; the fit is used at every
//          frequency. It goes negative below 693 K: at 690 K between 2.9 and 5.4 um, at 600 K
//          at every wavelength beyond 1.4 um.
// Deviations from the source: where the fit goes negative, K is held at 0 (an absorption
//          coefficient cannot be negative); elsewhere as fitted.
#include "opacity/hemiop.h"

#include "common/state.h"

namespace atmotab {
namespace {

struct Coefficients {
  double A, B, C;  // [cm^5 K^-1], [cm^5], [cm^5 K]
};

Coefficients hemiop_abc(double nu) {
  return {(7.039e30 / nu - 5.216e14) / nu + 0.3397, (8.135e34 / nu + 1.067e19) / nu - 4116,
          (-8.724e22 - 5.659e37 / nu) / nu + 5.081e8};
}

double hemiop_k(const Coefficients& c, double T) {
  const double K = c.A * T + c.B + c.C / T;
  return K > 0.0 ? K : 0.0;
}

}  // namespace

double hemiop_k(double nu, double T) { return hemiop_k(hemiop_abc(nu), T); }

void hemiop(Run& run) {
  const Coefficients c = hemiop_abc(run.FREQ.FREQ);
  const Run::StateRec& s = run.STATE;
  const BheRec& he = run.BHE;
  Dep& AHEMIN = run.BHE.AHEMIN;
  // The three factors 1e-15 interleaved with XNE and n(He I) keep the products within range.
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    AHEMIN(j) =
        hemiop_k(c, run.TEMP.T(j)) * 1e-15 * s.XNE(j) * 1e-15 * he.XNFPHE(j, 1) * 1e-15 / s.RHO(j);
}

}  // namespace atmotab
