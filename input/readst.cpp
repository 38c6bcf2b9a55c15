// readst — starting model (READ START) and the pressure start of models given as temperature
// against Rosseland optical depth.
// Sources: radiation pressure a T^4 / 3 with a/3 = 2.521e-15 erg cm^-3 K^-4; hydrostatic
//          pressures from ttaup.
// Inputs:  cards "TAUROS T"; TEFF [K], GRAV [cm s^-2] of earlier cards.
// Output:  NRHOX, TAUROS, T, XNE = VTURB = PTURB = 0, PRAD, PRADK, PZERO, PCON, PRADK0, PTURB0,
//          P, ABROSS, PTOTAL [dyn cm^-2], RHOX [g cm^-2].
// Deviations from the source: none; fewer than two depths and a missing gravity are refused.
#include "input/readst.h"

#include <algorithm>
#include <string>

#include "common/constants.h"
#include "fortio/error.h"
#include "input/card_input.h"
#include "input/cards.h"
#include "input/freeff.h"
#include "input/ttaup.h"

namespace atmotab {

void pressure_start(Run& run, const char* card_name) {
  const int n = run.RHOX.NRHOX;
  if (n <= 0) return;
  if (!(run.TEFF.GRAV > 0))
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     std::string(card_name) +
                         " card: GRAVITY is not set; the pressure integration needs it "
                         "(put the GRAVITY card before this card)");
  Run::TempRec& TP = run.TEMP;
  Run::PzeroRec& Z = run.PZERO;
  const double teff = run.TEFF.TEFF;
  const double teff4_half = 0.5 * ((teff * teff) * (teff * teff));
  for (int j = 1; j <= n; ++j) {
    const double t = TP.T(j);
    run.STATE.XNE(j) = 0;
    run.TURBPR.VTURB(j) = 0;
    run.TURBPR.PTURB(j) = 0;
    Z.PRADK(j) = RADCON_THIRD * std::max((t * t) * (t * t), teff4_half);
  }
  Z.PRADK0 = Z.PRADK(1);
  Z.PCON = 0;
  Z.PTURB0 = 0;
  Z.PZERO = Z.PRADK(1);
  for (int j = 1; j <= n; ++j) run.RAD.PRAD(j) = Z.PRADK(j) - Z.PRADK(1);
  hydrostatic_pressures(run);
}

void hydrostatic_pressures(Run& run) {
  const int n = run.RHOX.NRHOX;
  ttaup(run, run.TEMP.T, run.ABROSS.TAUROS, run.ABROSS.ABROSS, run.STATE.PTOTAL, run.STATE.P,
        run.RAD.PRAD, run.TURBPR.PTURB, run.TEFF.GRAV, n);
  for (int j = 1; j <= n; ++j) {
    run.RHOX.RHOX(j) = run.STATE.PTOTAL(j) / run.TEFF.GRAV;
    run.STATE.PTOTAL(j) = run.STATE.PTOTAL(j) + run.PZERO.PZERO;
  }
}

void readst(Run& run, Card& card) {
  const int n = card_int(freeff(run, card));
  card_check("READ START", "number of depths NRHOX (at least two)", n, 2, MAXD);
  run.RHOX.NRHOX = n;
  Depth& TAUROS = run.ABROSS.TAUROS;
  for (int j = 1; j <= n; ++j) {
    card_next(run, card, "READ START");
    TAUROS(j) = freeff(run, card);
    run.TEMP.T(j) = freeff(run, card);
    // The interpretation goes on behind the numbers of the last card.
    card_depth_numbers(run, card, "READ START", "TAUROS T", j, 2, 2, j == n);
  }
  if (TAUROS(1) <= 0)
    for (int j = 1; j <= n; ++j) TAUROS(j) = card_pow10(TAUROS(j));
  pressure_start(run, "READ START");
}

CardEnd card_read_start(Run& run, Card& card) {
  run.FREE.NCOL = run.FREE.NCOLW;
  readst(run, card);
  return CardEnd::Continue;
}

}  // namespace atmotab
