#include "input/card_input.h"

#include <algorithm>
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
  try {
    if (in == nullptr || !read_card(*in, card, &beyond)) return false;
  } catch (const atmo_error& e) {
    // Named here, where the card's number is known: a card of the control cards stops the run
    // as a card error (status 1), one of the edge list as a file error (status 2).
    Card numbered;
    numbered.file = file;
    numbered.number = count + 1;
    throw atmo_error(file == CardFile::EdgeList ? EXIT_IO : EXIT_FAILURE_REPORTED, "readin",
                     card_label(numbered) + ": " + e.what());
  }
  card.file = file;
  card.number = ++count;
  card.warned = 0;
  if (!beyond.empty())
    card_warning(run, card, 81,
                 "the text beyond column 80 is not read: '" + printable(beyond.substr(0, 40)) +
                     (beyond.size() > 40 ? "...'" : "'") +
                     " (a card has 80 columns; an item running past column 80 is cut there)");
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

atmo_error card_error(const atmo_error& e, const Card& card) {
  if (card.number == 0) return e;
  const int col = e.column();
  std::string message = card_label(card) +
                        (col > 0 ? ", column " + std::to_string(col) : std::string()) + ": " +
                        e.what() + card_hints(card);
  std::string text = card_columns(card, 1, 80);
  text.erase(text.find_last_not_of(' ') + 1);
  message += "\n  " + text;
  if (col > 0 && col <= 81)
    message += "\n  " + std::string(static_cast<std::size_t>(col - 1), ' ') + "^";
  return atmo_error(e.status(), e.where(), message, col);
}

}  // namespace atmotab
