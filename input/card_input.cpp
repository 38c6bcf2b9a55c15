#include "input/card_input.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string_view>

#include "input/freeff.h"

namespace atmotab {
namespace {

bool separator(char c) { return c == ' ' || c == ','; }
bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool word_char(char c) {
  return (c >= 'A' && c <= 'Z') || lower(c) || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '+';
}

// TEXT with every character that does not print shown as "?".
std::string printable(std::string text) {
  for (char& c : text)
    if (c < ' ' || c > '~') c = '?';
  return text;
}

// The item (text between blanks and commas) of CARD that holds column COL.
std::string item_at(const Card& card, int col) {
  int a = col, b = col;
  while (a > 1 && !separator(card(a - 1))) --a;
  while (b < 80 && !separator(card(b + 1))) ++b;
  return card_columns(card, a, b);
}

// What may have caused an error on CARD: a tab, lower-case letters, a blank card.
std::string card_hints(const Card& card) {
  std::string hints;
  int col = 1;
  while (col <= 80 && card(col) == ' ') ++col;
  if (col > 80)
    return "; the card is blank: a control card starts with a keyword (an empty card "
           "is written NOTHING)";
  for (col = 1; col <= 80; ++col)
    if (card(col) == '\t') {
      hints += "; column " + std::to_string(col) +
               " holds a tab, which the cards do not read as a blank: separate the items by "
               "blanks or commas";
      break;
    }
  for (col = 1; col <= 80; ++col)
    if (lower(card(col))) {
      int a = col, b = col;
      while (a > 1 && word_char(card(a - 1))) --a;
      while (b < 80 && word_char(card(b + 1))) ++b;
      hints += "; '" + card_columns(card, a, b) +
               "' is in lower case: the cards are read in capitals only (keywords, and the E of "
               "an exponent)";
      break;
    }
  return hints;
}

// A comment card: its first non-blank character is '#'.
bool comment_card(const Card& card) {
  int col = 1;
  while (col <= 80 && card(col) == ' ') ++col;
  return col <= 80 && card(col) == '#';
}

// Whether C..C+LEN-1 of CARD hold an optionally signed integer followed directly by E, an
// optional sign and digits, with no decimal point: the number reader reads an exponent only
// after a decimal point, so such an item is not the number it looks like.
bool exponent_without_point(const Card& card, int a, int b) {
  int col = a;
  if (card(col) == '+' || card(col) == '-') ++col;
  const int digits = col;
  while (col <= b && card(col) >= '0' && card(col) <= '9') ++col;
  if (col == digits || col > b || card(col) != 'E') return false;
  ++col;
  if (col <= b && (card(col) == '+' || card(col) == '-')) ++col;
  const int exponent = col;
  while (col <= b && card(col) >= '0' && card(col) <= '9') ++col;
  return col > b && col > exponent;
}

// The value the number reader takes from columns A..B of CARD alone ("nothing" when it finds no
// number there); the scanner state is put back afterwards.
std::string value_read(Run& run, const Card& card, int a, int b) {
  const Run::FreeRec saved = run.FREE;
  Card copy;
  for (int col = a; col <= b; ++col) copy(col) = card(col);
  run.FREE.NCOL = a;
  run.FREE.LASTCOL = 81;
  run.FREE.IFNEXT = 1;
  int start = 0;
  const double v = freeff_at(run, copy, start);
  const bool found = run.FREE.IFEND == 0;
  run.FREE = saved;
  if (!found) return "nothing";
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

// Warns for every item of a control card that looks like a number with an exponent but has no
// decimal point ('27E3' is read as 3). The text of a TITLE card, and everything after the word
// TITLE, is left alone.
void warn_exponents_without_point(Run& run, const Card& card) {
  for (int a = 1; a <= 80; ++a) {
    if (separator(card(a)) || (a > 1 && !separator(card(a - 1)))) continue;
    int b = a;
    while (b < 80 && !separator(card(b + 1))) ++b;
    if (card_columns(card, a, std::min(b, a + 4)) == "TITLE") return;
    if (!exponent_without_point(card, a, b)) continue;
    const std::string item = card_columns(card, a, b);
    std::string meant = item;
    meant.insert(meant.find('E'), ".");
    card_warning(run, card, a,
                 "'" + item + "' is read as " + value_read(run, card, a, b) +
                     ": an exponent is read only after a decimal point (write " + meant + ")");
  }
}

}  // namespace

std::string card_columns(const Card& card, int a, int b) {
  std::string s;
  for (int col = a; col <= b; ++col) {
    const char c = card(col);
    s += c >= ' ' && c <= '~' ? c : '?';
  }
  return s;
}

std::string card_label(const Card& card) {
  return (card.file == CardFile::EdgeList ? "edge-list card " : "control card ") +
         std::to_string(card.number);
}

void card_warning(Run& run, const Card& card, int column, const std::string& what) {
  const std::string text = card_label(card) +
                           (column > 0 ? ", column " + std::to_string(column) : std::string()) +
                           ": " + what;
  if (run.UNITS.errors != nullptr) *run.UNITS.errors << "atmotab: warning: " << text << "\n";
}

bool next_card(Run& run, Card& card, CardFile file) {
  std::istream* in = file == CardFile::EdgeList ? run.UNITS.edges : run.UNITS.cards;
  std::string beyond;
  int& count = file == CardFile::EdgeList ? run.UNITS.edge_cards_read : run.UNITS.cards_read;
  for (;;) {
    if (in == nullptr || !read_card(*in, card, &beyond)) return false;
    card.file = file;
    card.number = ++count;
    card.warned = 0;
    // A comment card of the control cards is listed and otherwise passed over (it still counts
    // in the card numbers of messages, which so match the lines of the file).
    if (file != CardFile::Control || !comment_card(card)) break;
    std::string text = card_columns(card, 1, 80);
    text.erase(text.find_last_not_of(' ') + 1);
    run.LISTING.print("(1X,A)", {std::string_view(text)});
  }
  if (!beyond.empty())
    card_warning(run, card, 81,
                 "the text beyond column 80 is not read: '" + printable(beyond.substr(0, 40)) +
                     (beyond.size() > 40 ? "...'" : "'") +
                     " (a card has 80 columns; an item running past column 80 is cut there)");
  if (file == CardFile::Control) warn_exponents_without_point(run, card);
  if (file == CardFile::EdgeList) {
    const CardNumbers numbers = card_numbers(run, card, 1);
    if (!numbers.bad.empty())
      card_warning(run, card, numbers.bad_column,
                   "'" + numbers.bad +
                       "' is not read as one number: the scanner skips it or reads only a part "
                       "(a number has an optional sign, digits, a decimal point and, after the "
                       "point only, an exponent such as E-5)");
  }
  return true;
}

CardNumbers card_numbers(Run& run, const Card& card, int from) {
  // The numbers are read from a copy of the card (no warnings: it has no number) with the scanner
  // state put back afterwards; every column that is not a separator must lie in a number read.
  const Run::FreeRec saved = run.FREE;
  Card copy;
  for (int col = 1; col <= 80; ++col) copy(col) = card(col);
  Run::FreeRec& F = run.FREE;
  F.NCOL = from;
  F.LASTCOL = 81;
  F.IFNEXT = 1;
  CardNumbers out;
  int covered = from - 1;  // columns up to here are part of a number or separators
  for (;;) {
    int start = 0;
    freeff_at(run, copy, start);
    const int upto = F.IFEND == 1 ? 81 : start;
    for (int col = covered + 1; col < upto && out.bad.empty(); ++col)
      if (!separator(card(col))) {
        out.bad_column = col;
        while (out.bad_column > from && !separator(card(out.bad_column - 1))) --out.bad_column;
        out.bad = item_at(card, col);
      }
    if (F.IFEND == 1) break;
    ++out.count;
    covered = F.NCOL - 1;  // the separator after the number
  }
  run.FREE = saved;
  return out;
}

void card_depth_numbers(Run& run, const Card& card, const char* card_name, const char* columns,
                        int j, int least, int most, bool keywords_follow) {
  int last = 80;  // the numbers stand in columns 1..LAST
  if (keywords_follow)
    for (int col = 1; col <= 80; ++col)
      if (card(col) >= 'A' && card(col) <= 'Z' &&
          (col == 1 || card(col - 1) == ' ' || card(col - 1) == ',')) {
        last = col - 1;
        break;
      }
  Card numbers;
  for (int col = 1; col <= last; ++col) numbers(col) = card(col);
  const CardNumbers n = card_numbers(run, numbers, 1);
  const std::string depth = std::string(card_name) + " card, depth " + std::to_string(j);
  const std::string gives = " (" + std::string(columns) + ")";
  if (!n.bad.empty())
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     depth + ": '" + n.bad +
                         "' is not a number; the numbers behind it would move one column to the "
                         "left" +
                         gives,
                     n.bad_column);
  if (n.count < least || n.count > most)
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     depth + " holds " + std::to_string(n.count) +
                         (n.count == 1 ? " number" : " numbers") + "; a depth card gives " +
                         (least == most ? std::to_string(least)
                                        : std::to_string(least) + " to " + std::to_string(most)) +
                         gives);
}

std::string first_card_hint(Run& run, const Card& card) {
  if (card.number != 1 || card.file != CardFile::Control) return "";
  std::string second;
  if (run.UNITS.cards != nullptr && std::getline(*run.UNITS.cards, second) &&
      second.find("Teff [K]") != std::string::npos)
    return "; the standard input looks like a MARCS model (.mod), not control cards: convert it "
           "with tools/marcs2deck.py MODEL.mod -o MODEL.deck, then run atmotab --edges EDGES < "
           "MODEL.deck";
  const CardNumbers numbers = card_numbers(run, card, 1);
  if (numbers.count > 0 && numbers.bad.empty())
    return "; the first card holds numbers only, as an edge list does: the edge list is named "
           "with --edges FILE, and the control cards go on standard input";
  return "";
}

atmo_error card_error(const atmo_error& e, const Card& card, const std::string& extra) {
  if (card.number == 0) return e;
  const int col = e.column();
  std::string message = card_label(card) +
                        (col > 0 ? ", column " + std::to_string(col) : std::string()) + ": " +
                        e.what() + card_hints(card) + extra;
  std::string text = card_columns(card, 1, 80);
  text.erase(text.find_last_not_of(' ') + 1);
  message += "\n  " + text;
  if (col > 0 && col <= 81)
    message += "\n  " + std::string(static_cast<std::size_t>(col - 1), ' ') + "^";
  return atmo_error(e.status(), e.where(), message, col);
}

}  // namespace atmotab
