// Free-format card scanner. Numbers: optional "-", digits, optional "." and fraction digits, and
// after a decimal point an exponent written "E", "E-", "E+", "-" or "+" followed by digits. A
// number must end at a blank or a comma; a token that breaks these rules is discarded and the
// scan goes on behind it. A number is the nearest double to its decimal text, as any decimal
// reader rounds it (6.35E+29 is 6.35e29, not the product of 635 and a rounded power of ten).
// Words: a letter followed by letters and digits, ended by a blank, a comma or "=".
#include "input/freeff.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "fortio/error.h"
#include "input/card_input.h"

namespace atmotab {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return c >= 'A' && c <= 'Z'; }

// Prints the stop of a scanner that ran off the card, with the card through column 81; the
// message says what was looked for (ITEM) from column FROM on.
[[noreturn]] void read_off_the_end(Run& run, const Card& card, const char* who, const char* what,
                                   const char* item, int from) {
  std::vector<FItem> items;
  append_chars(items, card.data(), 81);
  run.LISTING.print(std::string("('1") + what + "',/,(1X,80A1))", items);
  const bool on_card = from >= 1 && from <= 80;
  throw atmo_error(EXIT_FAILURE_REPORTED, who,
                   std::string(what) + ": " + item + " is missing" +
                       (on_card ? " (none from column " + std::to_string(from) + " on)" : ""),
                   on_card ? from : 0);
}

// The token of the number reader under construction; its mantissa digits are kept apart (see
// Digits), so that starting a new token, which every blank column does, is cheap.
struct Token {
  int start = 0;    // column of its first character
  int state = 1;    // 1 integer part, 2 fraction, 3 just after "E", 4 exponent digits
  int ndigits = 0;  // digits of the mantissa
  int nfrac = 0;    // of them after the decimal point
  double sign = 1;
  int exponent = 0;
  int expsign = 1;
  bool expdigit = false;
};

// The mantissa digits of a token as read (a card has 80 columns); only the first NDIGITS of the
// token are ever read.
struct Digits {
  std::array<char, 81> text;

  void add(Token& t, char c) { text[static_cast<std::size_t>(t.ndigits++)] = c; }
  // The nearest double to sign x digits x 10^POWER, as a decimal reader rounds it: the digits
  // and the power of ten are converted together, with one rounding (at most 80 digits and
  // |POWER| < 180, far inside the range of a double). Without digits (".E5") the value is 0.
  double value(const Token& t, int power) const {
    char buffer[81 + 8];
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(t.ndigits));
    char* end = buffer + t.ndigits;
    *end++ = 'e';
    end = std::to_chars(end, buffer + sizeof buffer, power).ptr;
    double v = 0;
    std::from_chars(buffer, end, v);
    return t.sign * v;
  }
};

bool is_number_separator(char c) { return c == ' ' || c == ','; }

// Refill for freefr and xfreef: the next card of FILE into columns 1..LASTCOL-1, scanned from 1.
double refill_and_read(Run& run, Card& card, CardFile file, const char* who,
                       const std::string& source) {
  run.FREE.IFNEXT = 1;
  double v = freeff(run, card);
  if (run.FREE.IFEND != 1) return v;
  if (!next_card(run, card, file))
    throw atmo_error(EXIT_IO, who,
                     "end of " + source + " after its card " + std::to_string(card.number) +
                         ", while numbers were still to be read");
  run.FREE.NCOL = 1;
  return freeff(run, card);
}

// A number dropped because its exponent reached MAXPOW: the item from column START on.
void warn_exponent(Run& run, Card& card, int start) {
  if (card.number == 0 || card.warned == start) return;
  card.warned = start;
  int end = start;
  while (end < 80 && !is_number_separator(card(end + 1))) ++end;
  card_warning(run, card, start,
               "the number '" + card_columns(card, start, end) +
                   "' is dropped: its exponent is not below " + std::to_string(run.FREE.MAXPOW) +
                   ", the limit of " +
                   (card.file == CardFile::EdgeList ? "the edge list" : "the control cards") +
                   "; the digits from there on are read as a new number");
}

}  // namespace

bool read_bounded_line(std::istream& in, std::string& line) {
  line.clear();
  const std::istream::sentry ok(in, true);
  if (!ok) return false;
  std::streambuf* sb = in.rdbuf();
  for (bool any = false;; any = true) {
    const int c = sb->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
      return any;
    }
    if (c == '\n') return true;
    if (line.size() == CARD_LINE_CHARS)
      throw atmo_error(EXIT_IO, "readin",
                       "the line runs on for more than " + std::to_string(CARD_LINE_CHARS) +
                           " characters without an end of line (a card has 80 columns; is the "
                           "input a text file?)");
    line.push_back(static_cast<char>(c));
  }
}

bool read_card(std::istream& in, Card& card, std::string* beyond) {
  std::string line;
  if (!read_bounded_line(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  for (int k = 1; k <= 80; ++k)
    card(k) = k <= static_cast<int>(line.size()) ? line[static_cast<std::size_t>(k - 1)] : ' ';
  if (beyond != nullptr) {
    *beyond = line.size() > 80 ? line.substr(80) : std::string();
    beyond->erase(beyond->find_last_not_of(" \t") + 1);
  }
  return true;
}

double freeff(Run& run, Card& card) {
  int start = 0;
  return freeff_at(run, card, start);
}

double freeff_at(Run& run, Card& card, int& start) {
  Run::FreeRec& F = run.FREE;
  const int from = F.NCOL;
  Token t;
  Digits d;
  for (int col = F.NCOL; col <= F.LASTCOL; ++col) {
    const char c = card(col);
    if (t.start == 0 && is_number_separator(c)) {  // between tokens: nothing to reset
      start = 0;
      continue;
    }
    if (t.start == 0) t.start = col;
    start = t.start;
    bool restart = false;
    switch (t.state) {
      case 1:
        if (is_digit(c)) {
          d.add(t, c);
        } else if (is_number_separator(c)) {
          if (t.ndigits > 0) {
            F.IFEND = 0;
            F.NCOL = col + 1;
            return d.value(t, 0);
          }
          restart = true;
        } else if (c == '.') {
          t.state = 2;
        } else if (c == '-' && t.ndigits == 0) {
          t.sign = -1;
        } else {
          restart = true;
        }
        break;
      case 2:
        if (is_digit(c)) {
          d.add(t, c);
          ++t.nfrac;
        } else if (c == 'E') {
          t.state = 3;
        } else if (c == '-') {
          t.exponent = 0;
          t.expsign = -1;
          t.state = 4;
        } else if (c == '+') {
          t.exponent = 0;
          t.state = 4;
        } else if (is_number_separator(c) && t.ndigits > 0) {
          F.IFEND = 0;
          F.NCOL = col + 1;
          return d.value(t, -t.nfrac);
        } else {
          restart = true;
        }
        break;
      case 3:
        if (is_digit(c)) {
          t.exponent = c - '0';
          t.expdigit = true;
          t.state = 4;
        } else if (c == ' ' || c == '+') {
          t.exponent = 0;
          t.state = 4;
        } else if (c == '-') {
          t.exponent = 0;
          t.expsign = -1;
          t.state = 4;
        } else {
          restart = true;
        }
        break;
      default:  // state 4
        if (is_digit(c)) {
          t.exponent = 10 * t.exponent + (c - '0');
          t.expdigit = true;
          if (t.exponent >= F.MAXPOW) {
            warn_exponent(run, card, t.start);
            restart = true;
          }
        } else if (is_number_separator(c) && t.expdigit) {
          F.IFEND = 0;
          F.NCOL = col + 1;
          return d.value(t, t.expsign * t.exponent - t.nfrac);
        } else {
          restart = true;
        }
        break;
    }
    if (restart) t = Token{};
  }
  F.NCOL = F.LASTCOL + 1;
  F.IFEND = 1;
  if (F.IFNEXT < 1)
    read_off_the_end(run, card, "freeff", "FREEFF HAS READ OFF THE END", "a number", from);
  return 0.0;
}

std::int32_t iwordf(Run& run, Card& card) {
  Run::FreeRec& F = run.FREE;
  F.WORD.fill(' ');
  std::int32_t code = 0;
  int nchar = 0;  // characters of the word under construction, 0 outside a word
  const int from = F.NCOLW;
  for (int col = F.NCOLW; col <= F.LASTCOL; ++col) {
    const char c = card(col);
    if (nchar == 0) {
      if (!is_letter(c)) continue;
      // An "E" between a digit or "." and a digit or blank is the exponent of a number.
      const bool exponent_e = c == 'E' && col > 1 &&
                              (is_digit(card(col - 1)) || card(col - 1) == '.') && col < 81 &&
                              (is_digit(card(col + 1)) || card(col + 1) == ' ');
      if (exponent_e) continue;
      nchar = 1;
      code = word_class(c);
      F.WORD(1) = c;
    } else if (c == ' ' || c == ',' || c == '=') {
      F.IFEND = 0;
      F.NCOLW = col + 1;
      return code;
    } else if (is_letter(c) || is_digit(c)) {
      ++nchar;
      if (nchar <= 6) {
        code = 37 * code + word_class(c);
        F.WORD(nchar) = c;
      }
    } else {
      nchar = 0;
      code = 0;
      F.WORD.fill(' ');
    }
  }
  F.NCOLW = F.LASTCOL + 1;
  F.IFEND = 1;
  if (F.IFNEXT < 1)
    read_off_the_end(run, card, "iwordf", "IWORDF HAS READ OFF THE END", "a word", from);
  return 0;
}

double freefr(Run& run, Card& card) {
  return refill_and_read(run, card, CardFile::Control, "freefr",
                         "the control cards (standard input)");
}

double xfreef(Run& run, Card& card) {
  return refill_and_read(run, card, CardFile::EdgeList, "xfreef",
                         "the edge list '" + run.UNITS.edges_name +
                             "' (unit 17) before the terminating 0 or blank card");
}

}  // namespace atmotab
