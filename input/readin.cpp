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
#include "input/cards.h"
#include "input/freeff.h"

namespace atmotab {
namespace {

constexpr CardWord KEYWORDS[] = {
    {keyword("TEFF"), card_teff},
    {keyword("GRAVITY"), card_gravity},
    {keyword("OPACITY"), card_opacity},
    {keyword("ITERATIONS"), card_iterations},
    {keyword("PRINT"), card_print},
    {keyword("PUNCH"), card_punch},
    {keyword("MOLECULES"), card_molecules},
    {keyword("SCATTERING"), card_scattering},
    {keyword("PRESSURE"), card_pressure},
    {keyword("CORRECTION"), card_correction},
    {keyword("CONVECTION"), card_convection},
    {keyword("TURBULENCE"), card_turbulence},
    {keyword("SURFACE"), card_surface},
    {keyword("LTE"), card_lte},
    {keyword("NLTE"), card_nlte},
    {keyword("ABUNDANCE"), card_abundance},
    {keyword("TITLE"), card_title},
    {keyword("WAVELENGTHS"), card_wavelengths},
    {keyword("READ"), card_read},
    {keyword("GREY"), card_grey},
    {keyword("SCALE"), card_scale},
    {keyword("RHOX"), card_rhox},
    {keyword("NOTHING"), card_nothing},
    {keyword("BEGIN"), card_begin},
    {keyword("END"), card_end},
};

CardEnd dispatch(Run& run, Card& card, std::int32_t code) {
  for (const CardWord& w : KEYWORDS)
    if (w.code == code) return w.handler(run, card);
  card_not_understood(run, card);
}

}  // namespace

bool readin(Run& run) {
  Run::FreeRec& F = run.FREE;
  F.LASTCOL = 81;
  F.MAXPOW = 38;
  Card card;
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

void card_not_understood(Run& run, const Card& card) {
  std::vector<FItem> items;
  append_chars(items, card.data(), 80);
  run.LISTING.print("(' I DO NOT UNDERSTAND ',80A1)", items);
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                   "I DO NOT UNDERSTAND '" + card_text(card) + "'");
}

void card_next(Run& run, Card& card, const std::string& who) {
  if (run.UNITS.cards == nullptr || !read_card(*run.UNITS.cards, card))
    throw atmo_error(EXIT_IO, who, "end of the control cards (standard input) before the END card");
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

void card_check(const Card& card, const char* card_name, const char* quantity, int value, int lo,
                int hi) {
  if (value >= lo && value <= hi) return;
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                   std::string(card_name) + " card: " + quantity + " = " + std::to_string(value) +
                       " outside the table limit " + std::to_string(lo) + ".." +
                       std::to_string(hi) + " (card '" + card_text(card) + "')");
}

std::string card_text(const Card& card) {
  std::string s(card.data(), 80);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

}  // namespace atmotab
