// The read card: READ FREQUENCIES (a frequency set with integration weights), READ DEPARTURES
// (hydrogen and H-minus departure coefficients per depth), READ DECK / DECK6 (model table,
// readdeck.cpp), READ START (starting model) and READ MOLECULES (molecule list).
#include <algorithm>

#include "common/constants.h"
#include "fortio/error.h"
#include "input/card_input.h"
#include "input/cards.h"
#include "input/freeff.h"
#include "input/readmol.h"

namespace atmotab {
namespace {

// A wavenumber times 1e25 becomes a frequency: 1e-25 [cm] x 2.99792458e10 [cm s^-1].
constexpr double WAVENUMBER_E25_TO_HZ = 2.9979246592e-15;

constexpr CardWord READ_FORMS[] = {
    {word_code("FREQUENCIES"), card_read_frequencies},
    {word_code("DEPARTURES"), card_read_departures},
    {word_code("DECK"), card_read_deck},
    {word_code("DECK6"), card_read_deck6},
    {word_code("START"), card_read_start},
    {word_code("MOLECULES"), card_read_molecules},
};

}  // namespace

CardEnd card_read(Run& run, Card& card) { return card_subword(run, card, READ_FORMS); }

// READ FREQUENCIES n lo hi name, then n entries "k v w". k may stand on this card or on the
// following ones (read with refill); v and w must follow k on the same card.
CardEnd card_read_frequencies(Run& run, Card& card) {
  Run::FreeRec& F = run.FREE;
  Run::FresetRec& R = run.FRESET;
  F.NCOL = F.NCOLW;
  const int n = card_int(freeff(run, card));
  card_check("READ FREQUENCIES", "number of frequencies", n, 0, MAXFRESET);
  R.NUMNU = n;
  R.NULO = card_int(freeff(run, card));
  R.NUHI = card_int(freeff(run, card));
  F.NCOLW = std::max(F.NCOL, F.NCOLW);
  iwordf(run, card);
  for (int i = 1; i <= 6; ++i) run.JUNK.FREQID(i) = F.WORD(i);
  F.NCOL = std::max(F.NCOL, F.NCOLW);  // entries start behind the name
  for (int e = 1; e <= n; ++e) {
    const int k = card_int(freefr(run, card));
    F.IFNEXT = 0;  // v and w are required on the card of k
    card_check("READ FREQUENCIES", "frequency index", k, 1, MAXFRESET);
    double v = freeff(run, card);
    const double w = freeff(run, card);
    if (v < 1e7) v = CLIGHT_NM / v;
    R.FRESET(k) = v <= sp(1e20f) ? v : v * WAVENUMBER_E25_TO_HZ;
    R.RCOSET(k) = w;
  }
  return CardEnd::NewCard;
}

// READ DEPARTURES n, then n cards: depth number (ignored), BHYD(j,1..6), BMIN(j).
CardEnd card_read_departures(Run& run, Card& card) {
  run.FREE.NCOL = run.FREE.NCOLW;
  const int n = card_int(freeff(run, card));
  card_check("READ DEPARTURES", "number of depths NRHOX", n, 0, MAXD);
  run.RHOX.NRHOX = n;
  for (int j = 1; j <= n; ++j) {
    card_next(run, card, "READ DEPARTURES");
    freeff(run, card);
    for (int level = 1; level <= 6; ++level) run.BHYD.BHYD(j, level) = freeff(run, card);
    run.BHYD.BMIN(j) = freeff(run, card);
    card_depth_numbers(run, card, "READ DEPARTURES", "depth BHYD(1..6) BMIN", j, 8, 8);
  }
  run.JUNK.WLTE = {'N', 'L', 'T', 'E', ' ', ' ', ' ', ' '};
  run.IF.IFNLTE = 1;
  return CardEnd::NewCard;
}

// READ MOLECULES: the molecule list from unit 2.
CardEnd card_read_molecules(Run& run, Card&) {
  readmol_unit2(run);
  return CardEnd::NewCard;
}

}  // namespace atmotab
