// Reading cards for the scanner: each card numbered in its file, warnings about what a card holds
// that the card language does not read (text beyond column 80, an exponent too large, an item
// that is no number in the edge list), the numbers written on a card, and errors that name the
// card, its column and what may have caused them.
#pragma once

#include <string>

#include "common/state.h"
#include "fortio/error.h"

namespace atmotab {

// The next card of FILE (the control cards, UNITS.cards, or the edge list, UNITS.edges) into
// columns 1..80 of CARD, numbered in its file. Text beyond column 80 gives a warning naming the
// card, and so does, in the edge list, an item that the scanner does not read whole as one number
// (it is skipped or read in part), and on a control card a number with an exponent but no decimal
// point ('27E3', read as 3). A control card whose first non-blank character is '#' is a comment:
// it is printed on the listing and passed over. False at end of file.
bool next_card(Run& run, Card& card, CardFile file);

// Columns A..B of CARD as text for a message, every character that does not print (a tab, a NUL,
// a byte of a multi-byte character) shown as "?", so that the columns stay in place.
std::string card_columns(const Card& card, int a, int b);

// "control card 12" or "edge-list card 3".
std::string card_label(const Card& card);

// A warning about CARD (at COLUMN, when not 0) on standard error (UNITS.errors). The listing
// stays as the cards make it.
void card_warning(Run& run, const Card& card, int column, const std::string& what);

// The numbers the scanner reads on a card, and the first item (text between blanks and commas)
// that is not wholly part of a number read: "NaN" (skipped), "1E5" (read as 5), "12X7" (read as 7).
struct CardNumbers {
  int count = 0;       // numbers read
  std::string bad;     // the first such item, "" when there is none
  int bad_column = 0;  // its first column
};

// The numbers of CARD from column FROM on. The scanner state (FREE) is left as it was.
CardNumbers card_numbers(Run& run, const Card& card, int from);

// Checks the numbers written on depth card J of a model deck (CARD_NAME; COLUMNS names the
// quantities it gives), after they were read: every item a number (a word such as NaN or Inf
// would move the numbers behind it one column to the left, 1E5 is read as 5) and LEAST to MOST of
// them. With KEYWORDS_FOLLOW the card may go on with keywords, from its first item that begins with
// a capital letter. Stops the run (status 1) naming the depth.
void card_depth_numbers(Run& run, const Card& card, const char* card_name, const char* columns,
                        int j, int least, int most, bool keywords_follow = false);

// The error E raised while CARD was interpreted, with the card named: its number, the column of the
// fault where known, what may have caused it (a tab, lower-case letters, a blank card), and the
// card text with a mark under that column.
// EXTRA is appended to the hints.
atmo_error card_error(const atmo_error& e, const Card& card, const std::string& extra = "");

// For an error on the first control card: a hint when the standard input looks like another kind
// of file than control cards, a MARCS model (its second line gives "Teff [K]"; that line is read
// from the cards to tell) or an edge list (the card holds numbers only); "" otherwise.
std::string first_card_hint(Run& run, const Card& card);

}  // namespace atmotab
