// Input errors a person can act on: the card number, its text and the column in every input error,
// on standard error and on the listing; tabs, lower-case keywords and blank cards named; warnings
// for text beyond column 80, for a number dropped for its exponent and for an edge-list item that
// is no number; model cards whose numbers do not fit the deck.
#include "input/card_input.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input/freeff.h"
#include "input/readin_support.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::DeckRun;
using testing::Program;

Card card_of(const std::string& text) {
  Card c;
  for (std::size_t k = 0; k < text.size() && k < 80; ++k) c(static_cast<int>(k) + 1) = text[k];
  c.number = 7;
  return c;
}

TEST(card_numbers, count_and_the_first_item_that_is_no_number) {
  struct Case {
    const char* card;
    int count;
    const char* bad;
    int column;
  };
  const Case cases[] = {
      {" 1.0 2.5E-3 -4 5.", 4, "", 0},
      {"1.,2.,,3.", 3, "", 0},
      {" 1.0 5000. NaN 1.E10", 3, "NaN", 12},
      {" 1.0 Inf 5.", 2, "Inf", 6},
      {" 1E5 2.", 2, "1E5", 2},      // read as 5
      {" 12X7", 1, "12X7", 2},       // read as 7
      {" 1.0e5", 1, "1.0e5", 2},     // read as 5
      {" 2.5E 3 7.", 2, "", 0},      // a blank after the E stands for the sign: 2500
      {" 1.E39 4.", 1, "1.E39", 2},  // the exponent reaches MAXPOW = 38: read as 9
      {" - 5", 1, "-", 2},
      {"", 0, "", 0},
  };
  std::ostringstream listing;
  auto run = make_run(listing);
  run->FREE.MAXPOW = 38;
  run->FREE.NCOL = 17;  // the scanner state is left as it was
  for (const Case& c : cases) {
    const CardNumbers n = card_numbers(*run, card_of(c.card), 1);
    EXPECT_EQ(n.count, c.count) << c.card;
    EXPECT_EQ(n.bad, c.bad) << c.card;
    EXPECT_EQ(n.bad_column, c.column) << c.card;
  }
  EXPECT_EQ(run->FREE.NCOL, 17);
  EXPECT_EQ(card_numbers(*run, card_of("TEFF 5777."), 6).count, 1);
}

TEST(card_error, names_the_card_the_column_and_what_may_have_caused_it) {
  struct Case {
    const char* card;
    int column;
    const char* message;
  };
  const Case cases[] = {
      {"TEFF 5777. FOO", 12, "control card 7, column 12: X\n  TEFF 5777. FOO\n             ^"},
      {"ITERATIONS 99", 0, "control card 7: X\n  ITERATIONS 99"},
      {"TEFF\t5777.", 1,  // the tab shows as ? so that the mark stays under its column
       "control card 7, column 1: X; column 5 holds a tab, which the cards do not read as a "
       "blank: separate the items by blanks or commas\n  TEFF?5777.\n  ^"},
      {"teff 5777.", 1,
       "control card 7, column 1: X; 'teff' is in lower case: the cards are read in capitals only "
       "(keywords, and the E of an exponent)\n  teff 5777.\n  ^"},
      {"", 1,
       "control card 7, column 1: X; the card is blank: a control card starts with a keyword (an "
       "empty card is written NOTHING)\n  \n  ^"},
  };
  for (const Case& c : cases) {
    const atmo_error e = card_error(atmo_error(1, "readin", "X", c.column), card_of(c.card));
    EXPECT_EQ(std::string(e.what()), c.message);
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.where(), "readin");
  }
}

TEST(card_error, every_input_error_names_its_card_on_standard_error_and_the_listing) {
  struct Case {
    const char* deck;
    int status;
    const char* message;  // the message as on standard error, after "atmotab: "
  };
  const Case cases[] = {
      {"TITLE T\nTEFF 5777. FOO\n", 1,
       "readin: control card 2, column 12: I DO NOT UNDERSTAND 'FOO'\n"
       "  TEFF 5777. FOO\n"
       "             ^\n"},
      {"NOTHING\nTEFF\n", 1,
       "freeff: control card 2, column 6: FREEFF HAS READ OFF THE END: a number is missing (none "
       "from column 6 on)\n"
       "  TEFF\n"
       "       ^\n"},
      {"TEFF\t5777.\n", 1,
       "iwordf: control card 1, column 1: IWORDF HAS READ OFF THE END: a word is missing (none "
       "from column 1 on); column 5 holds a tab, which the cards do not read as a blank: separate "
       "the items by blanks or commas\n"
       "  TEFF?5777.\n"
       "  ^\n"},
      {"teff 5777.\n", 1, "'teff' is in lower case: the cards are read in capitals only"},
      {"TEFF 5777.\n\n", 1,
       "control card 2, column 1: IWORDF HAS READ OFF THE END: a word is "
       "missing (none from column 1 on); the card is blank"},
      {"GRAVITY 4.4 OPACITY OFF HRAY MAYBE\n", 1,
       "control card 1, column 30: I DO NOT UNDERSTAND 'MAYBE'"},
      {"NOTHING\nITERATIONS 99\n", 1,
       "readin: control card 2: ITERATIONS card: NUMITS = 99 outside the table limit 1..15\n"
       "  ITERATIONS 99\n"},
      {"TEFF 5777. GRAVITY 4.44 ITERATIONS 1\nREAD DECK 2\n 1.0 5000. NaN 1.E10 0.1\n", 1,
       "readin: control card 3, column 12: READ DECK card, depth 1: 'NaN' is not a number; the "
       "numbers behind it would move one column to the left (RHOX T P XNE ABROSS PRAD VTURB)"},
      {"TEFF 5777. GRAVITY 4.44 ITERATIONS 1\nREAD DECK 2\n 1.0 5000. 1.E5 1.E10 0.1\n"
       " 2.0 5100. 1.E5 1.E10 0.1 0. 1.E5 8.\n",
       1,
       "control card 4: READ DECK card, depth 2 holds 8 numbers; a depth card gives 2 to 7 (RHOX "
       "T P XNE ABROSS PRAD VTURB)"},
      {"TEFF 5777.\n", 2,
       "readin: end of the control cards (standard input) after card 1, before the END card\n"},
  };
  for (const Case& c : cases) {
    Program p(c.deck);
    SCOPED_TRACE(c.deck);
    EXPECT_EQ(p.status, c.status);
    EXPECT_NE(p.errors.str().find(c.message), std::string::npos) << p.errors.str();
    // The listing ends with the same lines, each after a blank carriage-control column.
    std::string on_listing, line;
    std::istringstream lines(p.errors.str().substr(9));
    while (std::getline(lines, line)) on_listing += " " + line + "\n";
    EXPECT_NE(p.listing.str().find(" atmotab: "), std::string::npos);
    EXPECT_EQ(p.listing.str().substr(p.listing.str().rfind(" atmotab: ") + 10),
              on_listing.substr(1))
        << p.listing.str();
  }
}

TEST(card_warning, what_the_cards_do_not_read_is_named_with_the_card) {
  struct Case {
    std::string deck;
    std::string edges;
    const char* warning;
  };
  const std::string model = testing::complete_with("") + "END\n";
  const Case cases[] = {
      // 1.0000E+05 from column 75 is cut to 1.0000 at column 80.
      {"TEFF" + std::string(70, ' ') + "1.0000E+05\n" + model, "400.\n500.\n0\n",
       "atmotab: warning: control card 1, column 81: the text beyond column 80 is not read: "
       "'E+05' (a card has 80 columns; an item running past column 80 is cut there)\n"},
      {"TEFF 1.E999 GRAVITY 4.0\n" + model, "400.\n500.\n0\n",
       "atmotab: warning: control card 1, column 6: the number '1.E999' is dropped: its exponent "
       "is not below 38, the limit of the control cards; the digits from there on are read as a "
       "new number\n"},
      {model, "400. 4.E99 500.\n0\n",
       "atmotab: warning: edge-list card 1, column 6: the number '4.E99' is dropped: its exponent "
       "is not below 99, the limit of the edge list;"},
      {model, "400.\n1E5 500.\nNaN\n0\n",
       "atmotab: warning: edge-list card 2, column 1: '1E5' is not read as one number: the scanner "
       "skips it or reads only a part"},
      {model, "400.\n1E5 500.\nNaN\n0\n",
       "atmotab: warning: edge-list card 3, column 1: 'NaN' is "
       "not read as one number"},
      // An exponent without a decimal point: GRAVITY 27E3 would be log g 3, TEFF 6E3 3 K.
      {"GRAVITY 27E3\n" + model, "400.\n500.\n0\n",
       "atmotab: warning: control card 1, column 9: '27E3' is read as 3: an exponent is read only "
       "after a decimal point (write 27.E3)\n"},
      {"TEFF -6E+3 TEFF 6E3\n" + model, "400.\n500.\n0\n",
       "control card 1, column 6: '-6E+3' is read as 3: an exponent"},
      {"TEFF -6E+3 TEFF 6E3\n" + model, "400.\n500.\n0\n",
       "control card 1, column 17: '6E3' is read as 3:"},
  };
  for (const Case& c : cases) {
    Program p(c.deck, c.edges);
    SCOPED_TRACE(c.deck.substr(0, 40) + " / " + c.edges);
    EXPECT_EQ(p.status, 0) << p.errors.str();
    EXPECT_NE(p.errors.str().find(c.warning), std::string::npos) << p.errors.str();
  }
  // The values the scanner makes of them, as before: 1.0 from the cut card, 9 from 1.E999.
  DeckRun cut("TEFF" + std::string(70, ' ') + "1.0000E+05\n");
  cut.read();
  EXPECT_EQ(cut.run->TEFF.TEFF, 1.0);
  EXPECT_NE(cut.errors.str().find("control card 1, column 81"), std::string::npos);
  DeckRun big("TEFF 1.E999\n");
  big.read();
  EXPECT_EQ(big.run->TEFF.TEFF, 9.0);
  // The warning comes once, although the scanner may pass the number twice.
  EXPECT_EQ(big.errors.str().find("dropped"), big.errors.str().rfind("dropped"));
}

TEST(card_warning, none_for_numbers_with_a_point_nor_for_title_text) {
  Program p("TITLE 1E5 STARS 2E3\nTEFF 5.E3 GRAVITY 4.4 ABUNDANCE CHANGE 26 3.2E-5\n" +
            testing::complete_with("") + "END\n");
  EXPECT_EQ(p.status, 0) << p.errors.str();
  EXPECT_EQ(p.errors.str(), "");
}

TEST(comment_card, is_listed_counted_and_otherwise_ignored) {
  const std::string model = testing::complete_with("") + "END\n";
  std::string with_notes = "# a note\n" + model;
  with_notes.insert(with_notes.find("ITERATIONS"), "  #2\n");
  Program plain(model), commented(with_notes);
  ASSERT_EQ(commented.status, 0) << commented.errors.str();
  // The same tables; the listing with the comment lines taken out is the same listing.
  EXPECT_EQ(testing::read_file(commented.dir / "t10"), testing::read_file(plain.dir / "t10"));
  EXPECT_EQ(testing::read_file(commented.dir / "t11"), testing::read_file(plain.dir / "t11"));
  std::string listing = commented.listing.str();
  for (const std::string line : {" # a note\n", "   #2\n"}) {
    const std::size_t at = listing.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    listing.erase(at, line.size());
  }
  EXPECT_EQ(listing, plain.listing.str());
  // Comment cards count in the card numbers of messages, which so match the lines of the file.
  Program bad("# note\nTEFF 5777. FOO\n");
  EXPECT_NE(bad.errors.str().find("control card 2, column 12"), std::string::npos)
      << bad.errors.str();
}

TEST(card_error, standard_input_that_is_no_deck_is_named) {
  struct Case {
    const char* input;
    const char* hint;
  };
  const Case cases[] = {
      {"sun\n  5777.      Teff [K].         Last iteration; yyyymmdd=20080519\n",
       "looks like a MARCS model (.mod), not control cards: convert it with tools/marcs2deck.py"},
      {"50.4259312 50.859255 52.22\n58.23 59.51\n",
       "holds numbers only, as an edge list does: the edge list is named with --edges FILE"},
  };
  for (const Case& c : cases) {
    Program p(c.input);
    EXPECT_EQ(p.status, 1);
    EXPECT_NE(p.errors.str().find(c.hint), std::string::npos) << p.errors.str();
  }
}

TEST(card_depth_numbers, model_cards_whose_numbers_do_not_fit_the_deck) {
  struct Case {
    std::string deck;
    const char* message;
  };
  const std::string head = "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\n";
  const Case cases[] = {
      {head + "READ DECK 2\n 1. 5000. 1.E5 1.E12 0.1 0. 2.E5\n 2. 5100. Inf 1.E12 0.1 0. 2.E5\n",
       "READ DECK card, depth 2: 'Inf' is not a number"},
      {head + "READ DECK6 1\n 1. 5000. 1.E5 1.E12 0.1 0. 2.E5 9.\nPRADK 1.\n",
       "READ DECK6 card, depth 1 holds 8 numbers; a depth card gives 2 to 7 (RHOX T P XNE ABROSS "
       "RAD VTURB)"},
      {head + "READ START 2\n -2. 5000.\n -1. 5100. 1.E5\n",
       "READ START card, depth 2 holds 3 numbers; a depth card gives 2 (TAUROS T)"},
      {head + "READ START 2\n -2. 1E4\n -1. 5100.\n", "READ START card, depth 1: '1E4' is not a"},
      {head + "READ DEPARTURES 1\n 1 1. 1. 1. 1. 1. 1. 1. 1.\n",
       "READ DEPARTURES card, depth 1 holds 9 numbers; a depth card gives 8 (depth BHYD(1..6) "
       "BMIN)"},
  };
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    EXPECT_EQ(d.status, 1) << c.deck;
    EXPECT_NE(d.message.find(c.message), std::string::npos) << d.message;
  }
  // What the card language allows stays: a deck card may give RHOX and T only, and the last card
  // of a starting model may go on with keywords.
  DeckRun shorter(head + "READ DECK 2\n 1. 5000. 1.E5 1.E12 0.1 0. 2.E5\n 2. 5100.\nBEGIN\n");
  shorter.read();
  EXPECT_TRUE(shorter.model) << shorter.message;
  DeckRun start(head + "READ START 2\n -2. 5000.\n -1. 5100. TEFF 5200.\nBEGIN\n");
  start.read();
  EXPECT_TRUE(start.model) << start.message;
  EXPECT_EQ(start.run->TEFF.TEFF, 5200.0);
}

}  // namespace
}  // namespace atmotab
