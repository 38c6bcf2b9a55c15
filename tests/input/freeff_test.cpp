// The free-format scanner against hand-worked cards: number rules, word codes, end-of-card
// handling and the refill from the next card.
#include "input/freeff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fortio/error.h"

namespace atmotab {
namespace {

Card card_of(const std::string& text) {
  Card c;
  for (std::size_t k = 0; k < text.size() && k < 80; ++k) c(static_cast<int>(k) + 1) = text[k];
  return c;
}

struct Scanner {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Card card;
  explicit Scanner(const std::string& text, int maxpow = 38) : card(card_of(text)) {
    run->FREE.LASTCOL = 81;
    run->FREE.MAXPOW = maxpow;
    run->FREE.NCOL = 1;
    run->FREE.NCOLW = 1;
    run->FREE.IFNEXT = 1;
  }
  // All numbers of the card, until the reader runs off the end.
  std::vector<double> numbers() {
    std::vector<double> out;
    for (;;) {
      const double v = freeff(*run, card);
      if (run->FREE.IFEND == 1) {
        EXPECT_EQ(v, 0.0);
        EXPECT_EQ(run->FREE.NCOL, 82);
        return out;
      }
      out.push_back(v);
    }
  }
};

TEST(freeff, number_rules) {
  struct Case {
    const char* card;
    std::vector<double> values;
    int maxpow;
  };
  const Case cases[] = {
      {"  12,3.5 -4", {12, 3.5, -4}, 38},
      {"2.5E-3", {0.0025}, 38},
      {"2.5-3", {0.0025}, 38},
      {"2.5+3", {2500}, 38},
      {"2.5E3", {2500}, 38},
      {"2.5E+3", {2500}, 38},
      {"2.5E 3", {2500}, 38},  // a blank after the E stands for an exponent sign
      {"25E3", {3}, 38},       // the 25 is discarded at the E
      {"1E5", {5}, 38},        // an exponent needs a decimal point
      {"1.E5 1.0E5", {100000, 100000}, 38},
      {"- 5", {5}, 38},  // a lone minus is discarded at the blank
      {"1.0E    ", {}, 38},
      {"12X 7", {7}, 38},
      {"1.E37 1.E39 4", {1e37, 4}, 38},
      {"1.E98 1.E99 6", {1e98, 6}, 99},
      {".5 -.25 7.", {0.5, -0.25, 7}, 38},
      {"3-", {}, 38},   // minus after digits restarts
      {"+3", {3}, 38},  // the plus restarts, the 3 stands alone
      {"1.5,,2.5", {1.5, 2.5}, 38},
      {"0 0.", {0, 0}, 38},
  };
  for (const Case& c : cases) {
    Scanner s(c.card, c.maxpow);
    const std::vector<double> got = s.numbers();
    ASSERT_EQ(got.size(), c.values.size()) << "card '" << c.card << "'";
    for (std::size_t k = 0; k < got.size(); ++k)
      EXPECT_EQ(got[k], c.values[k]) << "card '" << c.card << "' item " << k;
  }
}

TEST(freeff, numbers_are_the_nearest_double_to_their_decimal_text) {
  // Each text gives the double a C++ literal of the same decimal gives: one rounding of the exact
  // decimal value. Forming digits x 10^k with a rounded power of ten rounds twice and misses by one
  // unit in the last place in the first cases (6.350000E+29 became 6.350000000000001E+29).
  struct Case {
    const char* card;
    double value;
  };
  const Case cases[] = {
      {"6.350000E+29", 6.35e29},
      {"6.35E+29", 6.35e29},
      {"1.2345678E-30", 1.2345678e-30},
      {"9.87654321E+37", 9.87654321e37},
      {"2.99792458E+17", 2.99792458e17},
      {"0.1", 0.1},
      {"-7.5E-3", -7.5e-3},
      {"1.00000000000000000000000001", 1.0},  // 27 digits, beyond any integer a double holds
      {"123456789012345678901234567890", 123456789012345678901234567890.0},
      {"0.000000000000000000000000000000000000012345", 1.2345e-38},
      {"1.E98", 1e98},
  };
  for (const Case& c : cases) {
    Scanner s(c.card, 99);
    const std::vector<double> got = s.numbers();
    ASSERT_EQ(got.size(), 1u) << c.card;
    EXPECT_EQ(got[0], c.value) << c.card;
  }
  // The sign of a zero is kept.
  Scanner z("-0. -0.E5");
  for (double v : z.numbers()) EXPECT_TRUE(v == 0 && std::signbit(v));
}

TEST(freeff, column_pointer_after_each_number) {
  Scanner s("  12,3.5 -4");
  EXPECT_EQ(freeff(*s.run, s.card), 12);
  EXPECT_EQ(s.run->FREE.NCOL, 6);  // after the comma in column 5
  EXPECT_EQ(freeff(*s.run, s.card), 3.5);
  EXPECT_EQ(s.run->FREE.NCOL, 10);
  EXPECT_EQ(freeff(*s.run, s.card), -4);
  EXPECT_EQ(s.run->FREE.IFEND, 0);
}

TEST(freeff, number_in_column_80_ends_at_blank_column_81) {
  Scanner s(std::string(78, ' ') + "42");
  EXPECT_EQ(freeff(*s.run, s.card), 42);
  EXPECT_EQ(s.run->FREE.NCOL, 82);
  EXPECT_EQ(s.run->FREE.IFEND, 0);
}

TEST(freeff, running_off_the_end_is_fatal_without_ifnext) {
  Scanner s("ABC");
  s.run->FREE.IFNEXT = 0;
  try {
    freeff(*s.run, s.card);
    FAIL() << "no stop";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
    EXPECT_STREQ(e.what(),
                 "FREEFF HAS READ OFF THE END: a number is missing (none from column 1 on)");
    EXPECT_EQ(e.column(), 1);
  }
  const std::string expected =
      "1FREEFF HAS READ OFF THE END\n ABC" + std::string(77, ' ') + "\n  \n";
  EXPECT_EQ(s.listing.str(), expected);
}

TEST(iwordf, word_codes) {
  struct Case {
    const char* card;
    std::vector<std::int32_t> codes;
  };
  const Case cases[] = {
      {"ABC", {1446}},
      {"abc", {}},  // lower case is no letter
      {"ABCDEFGH ABCDEF", {word_code("ABCDEF"), word_code("ABCDEF")}},
      {"1.0E5 ABCDEFG", {word_code("ABCDEF")}},
      {"E5 X2E3", {word_code("E5"), word_code("X2E3")}},
      {"AB-CD EF", {word_code("CD"), word_code("EF")}},  // AB is discarded at the minus
      {"TEFF=5777,GRAVITY", {word_code("TEFF"), word_code("GRAVIT")}},
      {"Z9", {26 * 37 + 36}},
  };
  for (const Case& c : cases) {
    Scanner s(c.card);
    std::vector<std::int32_t> got;
    for (;;) {
      const std::int32_t code = iwordf(*s.run, s.card);
      if (s.run->FREE.IFEND == 1) break;
      got.push_back(code);
    }
    EXPECT_EQ(got, c.codes) << "card '" << c.card << "'";
  }
  // The largest code of six letters fits a 32-bit integer.
  EXPECT_EQ(word_code("ZZZZZZ"),
            26 * (37 * 37 * 37 * 37 * 37 + 37 * 37 * 37 * 37 + 37 * 37 * 37 + 37 * 37 + 37 + 1));
}

TEST(iwordf, word_then_number_after_equals) {
  Scanner s("ABC=5000");
  EXPECT_EQ(iwordf(*s.run, s.card), 1446);
  EXPECT_EQ(s.run->FREE.NCOLW, 5);
  EXPECT_EQ(std::string(s.run->FREE.WORD.data(), 6), "ABC   ");
  s.run->FREE.NCOL = s.run->FREE.NCOLW;
  EXPECT_EQ(freeff(*s.run, s.card), 5000);
}

TEST(iwordf, word_to_column_80_and_off_the_end) {
  Scanner s(std::string(74, ' ') + "ABCDEF");
  EXPECT_EQ(iwordf(*s.run, s.card), word_code("ABCDEF"));
  EXPECT_EQ(s.run->FREE.NCOLW, 82);
  EXPECT_EQ(iwordf(*s.run, s.card), 0);
  EXPECT_EQ(s.run->FREE.IFEND, 1);
  EXPECT_EQ(std::string(s.run->FREE.WORD.data(), 6), "      ");
  s.run->FREE.IFNEXT = 0;
  EXPECT_THROW(iwordf(*s.run, s.card), atmo_error);
  EXPECT_EQ(s.listing.str().substr(0, 29), "1IWORDF HAS READ OFF THE END\n");
}

TEST(freefr, refills_from_the_next_card) {
  std::istringstream cards("3.5 4.5\n\n7\n");
  Scanner s("1");
  s.run->UNITS.cards = &cards;
  EXPECT_EQ(freefr(*s.run, s.card), 1);
  EXPECT_EQ(freefr(*s.run, s.card), 3.5);  // card 1 used up: the next card is read
  EXPECT_EQ(freefr(*s.run, s.card), 4.5);
  EXPECT_EQ(freefr(*s.run, s.card), 0);  // a blank card gives no number
  EXPECT_EQ(s.run->FREE.IFEND, 1);
  EXPECT_EQ(s.run->FREE.IFNEXT, 1);
  EXPECT_EQ(freefr(*s.run, s.card), 7);
  // End of input during a refill is an I/O error.
  try {
    freefr(*s.run, s.card);
    FAIL() << "no error at end of input";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), EXIT_IO);
  }
}

TEST(read_card, blank_fills_and_truncates) {
  std::istringstream in("SHORT\r\n" + std::string(85, 'X') + "\n");
  Card c;
  ASSERT_TRUE(read_card(in, c));
  EXPECT_EQ(std::string(c.data(), 81), "SHORT" + std::string(76, ' '));
  ASSERT_TRUE(read_card(in, c));
  EXPECT_EQ(std::string(c.data(), 81), std::string(80, 'X') + " ");
  EXPECT_FALSE(read_card(in, c));
}

}  // namespace
}  // namespace atmotab
