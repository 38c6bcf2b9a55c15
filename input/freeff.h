// Free-format card scanner: numbers and words read column by column from an 81-column card buffer
// (80 card columns and a permanent blank column 81), with the scan position kept in the FREE
// record of the run, so that callers take items one after another and learn through IFEND when a
// card is used up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

#include "common/state.h"

namespace atmotab {

// Next number of CARD from column NCOL. On success IFEND = 0 and NCOL is the column after the
// separator; when no complete number is left, IFEND = 1, NCOL = LASTCOL + 1 and the result is 0,
// and with IFNEXT < 1 the run stops ("FREEFF HAS READ OFF THE END").
double freeff(Run& run, Card& card);

// As freeff; START receives the column where the number read begins (the column of its sign,
// first digit or decimal point).
double freeff_at(Run& run, Card& card, int& start);

// Next word of CARD from column NCOLW, as its base-37 code of the first six characters (A = 1 ..
// Z = 26, 0 = 27 .. 9 = 36); WORD holds those characters. Returns 0 with IFEND = 1 when no word is
// left; with IFNEXT < 1 the run stops ("IWORDF HAS READ OFF THE END").
std::int32_t iwordf(Run& run, Card& card);

// As freeff, but with IFNEXT = 1 and, when the card is used up, the next card read from the
// control cards (unit 5) and scanned from column 1.
double freefr(Run& run, Card& card);

// As freefr, reading the next card from the edge list (unit 17).
double xfreef(Run& run, Card& card);

// The longest line a card file (control cards, edge list, molecule list) may hold [characters]:
// far beyond any card, small enough that a file without line ends does not fill the memory.
constexpr std::size_t CARD_LINE_CHARS = 4096;

// Reads one line of IN into LINE, without its line end; false at end of file (as std::getline).
// Throws atmo_error (status 2) after CARD_LINE_CHARS characters without a line end.
bool read_bounded_line(std::istream& in, std::string& line);

// Reads one 80-column card into columns 1..80 of CARD (shorter lines are blank-filled, a trailing
// carriage return is dropped, columns beyond 80 are ignored; BEYOND, when given, receives them,
// trailing blanks dropped). False at end of file. Throws atmo_error (status 2) for a line of more
// than CARD_LINE_CHARS characters.
bool read_card(std::istream& in, Card& card, std::string* beyond = nullptr);

// Class value of a word character: A..Z = 1..26, 0..9 = 27..36.
constexpr std::int32_t word_class(char c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 1 : c - '0' + 27;
}

// The word code of TEXT (its first six characters; upper-case letters and digits), base 37 of
// the class values, as iwordf computes it for a word on a card; usable in constant tables.
constexpr std::int32_t word_code(std::string_view text) {
  std::int32_t code = 0;
  for (std::size_t k = 0; k < text.size() && k < 6; ++k) code = 37 * code + word_class(text[k]);
  return code;
}

}  // namespace atmotab
