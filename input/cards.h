// Control cards: the pieces the card interpreter (readin) and its handlers share. Each card kind is
// a handler that interprets the card from the scanner's current position and says how the card
// loop goes on; readin dispatches on the keyword's word code through a table of handlers, so a
// card family lives in its own file (cards_*.cpp, readdeck.cpp) and can be replaced there alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/state.h"
#include "input/freeff.h"

namespace atmotab {

// How the card loop goes on after a handler.
enum class CardEnd {
  Continue,  // read the next keyword on the same card (a new card when none is left)
  NewCard,   // ignore the rest of the card
  Begin,     // complete the model and return it to the driver
  End,       // end of the run
};

using CardHandler = CardEnd (*)(Run& run, Card& card);

// One entry of a keyword or sub-word table: the word code (word_code, input/freeff.h) and its
// handler.
struct CardWord {
  std::int32_t code;
  CardHandler handler;
};

// Prints " I DO NOT UNDERSTAND " with the 80 columns of CARD and stops the run (status 1).
[[noreturn]] void card_not_understood(Run& run, const Card& card);

// Reads the sub-word behind the keyword (required) and runs its handler from TABLE; a sub-word
// that is not in the table stops the run as card_not_understood.
template <std::size_t N>
CardEnd card_subword(Run& run, Card& card, const CardWord (&table)[N]);

// Reads the next card of the control cards into columns 1..80 of CARD and scans it from column
// 1 with running off the end fatal (NCOL = NCOLW = 1, IFNEXT = 0). End of the control cards stops
// the run with status 2, naming WHO (the card that wanted more cards).
void card_next(Run& run, Card& card, const std::string& who);

// A number read from a card truncated toward zero, as an integer count or index. Values beyond
// the integer range become the nearest representable integer, so that bound checks catch them.
int card_int(double x);

// Nominal flux sigma TEFF^4 / (4 pi) [erg s^-1 cm^-2 sr^-1] of the effective temperature TEFF [K],
// TEFF^4 formed as (TEFF^2)^2.
double nominal_flux(double teff);

// 10^x for a value read from a card, evaluated as exp(x * ln 10) with ln 10 rounded to single
// precision (2.3025851249694824).
double card_pow10(double x);

// Stops the run (status 1) unless LO <= VALUE <= HI, naming the card kind, the quantity and the
// table limit (readin adds the card's number and text).
void card_check(const char* card_name, const char* quantity, int value, int lo, int hi);

// Card handlers, one per keyword (cards_params.cpp, cards_read.cpp, cards_begin.cpp).
CardEnd card_teff(Run& run, Card& card);
CardEnd card_gravity(Run& run, Card& card);
CardEnd card_opacity(Run& run, Card& card);
CardEnd card_iterations(Run& run, Card& card);
CardEnd card_print(Run& run, Card& card);
CardEnd card_punch(Run& run, Card& card);
CardEnd card_molecules(Run& run, Card& card);
CardEnd card_scattering(Run& run, Card& card);
CardEnd card_pressure(Run& run, Card& card);
CardEnd card_correction(Run& run, Card& card);
CardEnd card_convection(Run& run, Card& card);
CardEnd card_turbulence(Run& run, Card& card);
CardEnd card_surface(Run& run, Card& card);
CardEnd card_lte(Run& run, Card& card);
CardEnd card_nlte(Run& run, Card& card);
CardEnd card_abundance(Run& run, Card& card);
CardEnd card_title(Run& run, Card& card);
CardEnd card_wavelengths(Run& run, Card& card);
CardEnd card_read(Run& run, Card& card);
CardEnd card_nothing(Run& run, Card& card);
CardEnd card_begin(Run& run, Card& card);
CardEnd card_end(Run& run, Card& card);

// Read-card forms (cards_read.cpp, readdeck.cpp).
CardEnd card_read_frequencies(Run& run, Card& card);
CardEnd card_read_departures(Run& run, Card& card);
CardEnd card_read_deck(Run& run, Card& card);
CardEnd card_read_deck6(Run& run, Card& card);

// Model cards: READ START (readst.cpp), GREY (grey.cpp), SCALE and RHOX (regrid.cpp), and READ
// MOLECULES (cards_read.cpp, reader in readmol.cpp).
CardEnd card_read_start(Run& run, Card& card);
CardEnd card_read_molecules(Run& run, Card& card);
CardEnd card_grey(Run& run, Card& card);
CardEnd card_scale(Run& run, Card& card);
CardEnd card_rhox(Run& run, Card& card);

template <std::size_t N>
CardEnd card_subword(Run& run, Card& card, const CardWord (&table)[N]) {
  const std::int32_t code = iwordf(run, card);
  for (const CardWord& w : table)
    if (w.code == code) return w.handler(run, card);
  card_not_understood(run, card);
}

}  // namespace atmotab
