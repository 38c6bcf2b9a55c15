// grey — grey starting model.
// Sources: Hopf function of the grey atmosphere approximated as q(tau) = 0.71 - 0.1331
//          exp(-3.4488 tau) (q(0) = 0.577, q(inf) = 0.71, against the exact 0.5774 and 0.7104;
//          Mihalas 1978, Stellar Atmospheres, 2nd ed., sec. 3-4); T^4 = 3/4 TEFF^4 (tau + q).
// Inputs:  GREY n tau1 dtau; TEFF [K], GRAV [cm s^-2] of earlier cards.
// Output:  NRHOX, TAUROS, T [K], then the pressure start (P, RHOX, ...; readst.h).
// Deviations from the source: none; fewer than two depths, a grid that does not go inwards and
//          a missing TEFF or GRAVITY are refused.
#include "input/grey.h"

#include <cmath>
#include <string>

#include "fortio/error.h"
#include "input/cards.h"
#include "input/freeff.h"
#include "input/readst.h"

namespace atmotab {

double grey_t(double teff, double tau) {
  return teff *
         std::pow(0.75 * (tau + sp(0.71f) - sp(0.1331f) * std::exp(-sp(3.4488f) * tau)), 0.25);
}

void grey(Run& run, Card& card) {
  const int n = card_int(freeff(run, card));
  const double tau1 = freeff(run, card);
  const double dtau = freeff(run, card);
  card_check("GREY", "number of depths NRHOX (at least two)", n, 2, MAXD);
  if (!(dtau > 0))
    throw atmo_error(
        EXIT_FAILURE_REPORTED, "readin",
        "GREY card: step dtau = " + std::to_string(dtau) + " in log10 TAUROS must be positive");
  if (!(run.TEFF.TEFF > 0) || !(run.TEFF.GRAV > 0))
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     std::string("GREY card: ") + (run.TEFF.TEFF > 0 ? "GRAVITY" : "TEFF") +
                         " is not set; the grey law and the pressure integration need TEFF and "
                         "GRAVITY (put their cards before this card)");
  run.RHOX.NRHOX = n;
  for (int j = 1; j <= n; ++j) {
    const double tau = card_pow10(tau1 + (j - 1) * dtau);
    run.ABROSS.TAUROS(j) = tau;
    run.TEMP.T(j) = grey_t(run.TEFF.TEFF, tau);
  }
  pressure_start(run, "GREY");
}

CardEnd card_grey(Run& run, Card& card) {
  grey(run, card);
  return CardEnd::Continue;
}

}  // namespace atmotab
