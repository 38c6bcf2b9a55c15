// readin — the control-card interpreter. Cards are read one at a time into an 81-column buffer;
// the first word of a card selects its handler through a table of keyword codes (first six
// characters, base 37). A handler that "continues" lets several keywords share one card: the next
// word is looked up on the same card and its numbers are read on from where the previous
// keyword's numbers ended (the number reader skips the letters of a keyword by itself).
//
// Keywords: TEFF GRAVITY OPACITY ITERATIONS PRINT PUNCH MOLECULES SCATTERING PRESSURE CORRECTION
// CONVECTION TURBULENCE SURFACE LTE NLTE ABUNDANCE TITLE WAVELENGTHS READ GREY SCALE RHOX NOTHING
// BEGIN END (docs/cards.md). Words of six or more characters are recognised by their first six.
#include "input/readin.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/constants.h"
#include "fortio/error.h"
#include "input/card_input.h"
#include "input/cards.h"
#include "input/freeff.h"

namespace atmotab {
namespace {

constexpr CardWord KEYWORDS[] = {
    {word_code("TEFF"), card_teff},
    {word_code("GRAVITY"), card_gravity},
    {word_code("OPACITY"), card_opacity},
    {word_code("ITERATIONS"), card_iterations},
    {word_code("PRINT"), card_print},
    {word_code("PUNCH"), card_punch},
    {word_code("MOLECULES"), card_molecules},
    {word_code("SCATTERING"), card_scattering},
    {word_code("PRESSURE"), card_pressure},
    {word_code("CORRECTION"), card_correction},
    {word_code("CONVECTION"), card_convection},
    {word_code("TURBULENCE"), card_turbulence},
    {word_code("SURFACE"), card_surface},
    {word_code("LTE"), card_lte},
    {word_code("NLTE"), card_nlte},
    {word_code("ABUNDANCE"), card_abundance},
    {word_code("TITLE"), card_title},
    {word_code("WAVELENGTHS"), card_wavelengths},
    {word_code("READ"), card_read},
    {word_code("GREY"), card_grey},
    {word_code("SCALE"), card_scale},
    {word_code("RHOX"), card_rhox},
    {word_code("NOTHING"), card_nothing},
    {word_code("BEGIN"), card_begin},
    {word_code("END"), card_end},
};

CardEnd dispatch(Run& run, Card& card, std::int32_t code) {
  for (const CardWord& w : KEYWORDS)
    if (w.code == code) return w.handler(run, card);
  card_not_understood(run, card);
}

// The card loop of one model: cards until a begin card (true) or an end card (false).
bool interpret_cards(Run& run, Card& card) {
  Run::FreeRec& F = run.FREE;
  for (;;) {
    // A new card: its first word is required.
    card_next(run, card, "readin");
    std::int32_t code = iwordf(run, card);
    F.NCOL = F.NCOLW;
    for (;;) {
      const CardEnd next = dispatch(run, card, code);
      if (next == CardEnd::Begin) return true;
      if (next == CardEnd::End) return false;
      if (next == CardEnd::NewCard) break;
      // Continue: the next keyword on this card, if any.
      F.IFNEXT = 1;
      F.NCOLW = std::max(F.NCOL, F.NCOLW);
      code = iwordf(run, card);
      if (F.IFEND == 1) break;
      F.IFNEXT = 0;
    }
  }
}

}  // namespace

bool readin(Run& run) {
  Run::FreeRec& F = run.FREE;
  F.LASTCOL = 81;
  F.MAXPOW = 38;
  Card card;
  try {
    return interpret_cards(run, card);
  } catch (const atmo_error& e) {
    // An input error names the card it stands on (the end of the input says where it came).
    if (e.status() == EXIT_FAILURE_REPORTED) throw card_error(e, card, first_card_hint(run, card));
    throw;
  }
}

void card_not_understood(Run& run, const Card& card) {
  // The word just read ends before its separator, at NCOLW - 2.
  const int end = std::min(run.FREE.NCOLW - 2, 80);
  int start = end;
  while (start > 1 && card(start - 1) != ' ' && card(start - 1) != ',' && card(start - 1) != '=')
    --start;
  std::vector<FItem> items;
  append_chars(items, card.data(), 80);
  run.LISTING.print("(' I DO NOT UNDERSTAND ',80A1)", items);
  const bool found = end >= 1 && end >= start;
  throw atmo_error(
      EXIT_FAILURE_REPORTED, "readin",
      "I DO NOT UNDERSTAND '" +
          (found ? std::string(&card(start), static_cast<std::size_t>(end - start + 1)) : "") + "'",
      found ? start : 0);
}

void card_next(Run& run, Card& card, const std::string& who) {
  if (!next_card(run, card, CardFile::Control))
    throw atmo_error(EXIT_IO, who,
                     "end of the control cards (standard input) after card " +
                         std::to_string(run.UNITS.cards_read) + ", before the END card");
  run.FREE.NCOL = 1;
  run.FREE.NCOLW = 1;
  run.FREE.IFNEXT = 0;
}

int card_int(double x) {
  constexpr double LO = std::numeric_limits<int>::min();
  constexpr double HI = std::numeric_limits<int>::max();
  if (std::isnan(x)) return std::numeric_limits<int>::min();
  if (x <= LO) return std::numeric_limits<int>::min();
  if (x >= HI) return std::numeric_limits<int>::max();
  return static_cast<int>(x);  // truncation toward zero
}

double nominal_flux(double teff) { return SIGMA_4PI * ((teff * teff) * (teff * teff)); }

double card_pow10(double x) { return std::exp(x * 2.3025851249694824); }

void card_check(const char* card_name, const char* quantity, int value, int lo, int hi) {
  if (value >= lo && value <= hi) return;
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                   std::string(card_name) + " card: " + quantity + " = " + std::to_string(value) +
                       " outside the table limit " + std::to_string(lo) + ".." +
                       std::to_string(hi));
}

}  // namespace atmotab
