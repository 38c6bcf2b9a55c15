// readdeck — model table of the read card (READ DECK n, READ DECK6 n). One card per depth:
// RHOX [g cm^-2] and T [K] (required), then P [dyn cm^-2], XNE [cm^-3], ABROSS [cm^2 g^-1], PRAD
// [dyn cm^-2] (or the radiative acceleration RAD [cm s^-2] in the DECK6 form) and VTURB [cm s^-1],
// each 0 when the card ends before it.
#include "input/readdeck.h"

#include "common/parcoe.h"
#include "input/card_input.h"
#include "input/cards.h"
#include "input/freeff.h"

namespace atmotab {

void readdeck(Run& run, Card& card, DeckForm form) {
  const char* name = form == DeckForm::Plain ? "READ DECK" : "READ DECK6";
  Run::FreeRec& F = run.FREE;
  const int n = card_int(freeff(run, card));
  card_check(name, "number of depths NRHOX", n, 0, MAXD);
  int& NRHOX = run.RHOX.NRHOX;
  NRHOX = n;
  Depth& RHOX = run.RHOX.RHOX;
  Depth& PRAD = run.RAD.PRAD;
  const char* columns =
      form == DeckForm::Plain ? "RHOX T P XNE ABROSS PRAD VTURB" : "RHOX T P XNE ABROSS RAD VTURB";
  for (int j = 1; j <= NRHOX; ++j) {
    card_next(run, card, name);
    RHOX(j) = freeff(run, card);
    run.TEMP.T(j) = freeff(run, card);
    F.IFNEXT = 1;
    run.STATE.P(j) = freeff(run, card);
    run.STATE.XNE(j) = freeff(run, card);
    run.ABROSS.ABROSS(j) = freeff(run, card);
    PRAD(j) = freeff(run, card);
    run.TURBPR.VTURB(j) = freeff(run, card);
    F.IFNEXT = 0;
    card_depth_numbers(run, card, name, columns, j, 2, 7);
  }
  if (RHOX(1) < 0)
    for (int j = 1; j <= NRHOX; ++j) RHOX(j) = card_pow10(RHOX(j));
  Run::PzeroRec& Z = run.PZERO;
  Z.PCON = 0;
  Z.PRADK0 = 0;
  Z.PTURB0 = run.TURBPR.PTURB(1);
  if (form == DeckForm::Radiative) {
    card_next(run, card, name);
    Z.PRADK0 = freeff(run, card);
    for (int j = 1; j <= NRHOX; ++j) run.RAD.RAD(j) = PRAD(j);
    if (NRHOX >= 1) {
      integ(RHOX.data(), run.RAD.RAD.data(), PRAD.data(), NRHOX, run.RAD.RAD(1) * RHOX(1));
    }
    for (int j = 1; j <= NRHOX; ++j) Z.PRADK(j) = PRAD(j) + Z.PRADK0;
  }
}

CardEnd card_read_deck(Run& run, Card& card) {
  run.FREE.NCOL = run.FREE.NCOLW;
  readdeck(run, card, DeckForm::Plain);
  return CardEnd::NewCard;
}

CardEnd card_read_deck6(Run& run, Card& card) {
  run.FREE.NCOL = run.FREE.NCOLW;
  readdeck(run, card, DeckForm::Radiative);
  return CardEnd::NewCard;
}

}  // namespace atmotab
