// Models started from temperatures alone: the grey-model card, the starting-model form of the read
// card and the pressure start; their bad inputs; the bundled grey-model deck.
#include "input/grey.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "driver/atmotab.h"
#include "input/readin_support.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::DeckRun;

constexpr double LN10_SP = 2.3025851249694824;  // ln 10 rounded to single precision

TEST(grey, law_with_single_precision_constants) {
  // T at TAU = 1 for TEFF = 5000, worked in double arithmetic with the constants 0.71, 0.1331 and
  // 3.4488 widened from single precision (0.7099999785423279, 0.1331000030040741,
  // 3.4488000869750977) in Python: 5317.596871558233. With the double constants the value
  // would be 5317.596888069024, 1.7e-5 K higher.
  EXPECT_EQ(grey_t(5000, 1.0), 0x1.4c598cc930e86p+12);
  EXPECT_NE(grey_t(5000, 1.0), 5000 * std::pow(0.75 * (1.71 - 0.1331 * std::exp(-3.4488)), 0.25));
  // Limits: T(0) = TEFF (3/4 x 0.5769)^(1/4) = 0.8141 TEFF; deep in, T^4 -> 3/4 TEFF^4 (TAU +
  // 0.71).
  EXPECT_NEAR(grey_t(5000, 0.0), 5000 * std::pow(0.75 * 0.5769, 0.25), 1e-3);
  EXPECT_NEAR(grey_t(5000, 100.0), 5000 * std::pow(0.75 * 100.71, 0.25), 1e-3);
}

TEST(grey, card_three_depths_at_teff_5000) {
  DeckRun d("TEFF 5000. GRAVITY 4.0\nITERATIONS 1\nGREY 3 -2 1\nBEGIN\n");
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& r = *d.run;
  ASSERT_EQ(r.RHOX.NRHOX, 3);
  // TAUROS = 10^-2, 10^-1, 10^0 with ln 10 in single precision: 10^0 is exactly 1.
  EXPECT_EQ(r.ABROSS.TAUROS(1), std::exp(-2 * LN10_SP));
  EXPECT_EQ(r.ABROSS.TAUROS(2), std::exp(-1 * LN10_SP));
  EXPECT_EQ(r.ABROSS.TAUROS(3), 1.0);
  EXPECT_NEAR(r.ABROSS.TAUROS(1), 0.01, 1e-8);
  // T(3) to the last bit (see law_with_single_precision_constants); T(1) as the law gives it,
  // although ttaup took T(2) for the surface opacity.
  EXPECT_EQ(r.TEMP.T(3), 0x1.4c598cc930e86p+12);
  EXPECT_EQ(r.TEMP.T(1), grey_t(5000, r.ABROSS.TAUROS(1)));
  EXPECT_NE(r.TEMP.T(1), r.TEMP.T(2));
  // Pressure start: the radiation pressure floor a/3 x TEFF^4/2 holds at depth 1 (T^4 = 0.75 x
  // (0.72 - 0.1331 exp(-0.0345)) TEFF^4 = 0.444 TEFF^4 there, 0.537 TEFF^4 at depth 2), so
  // PRADK0 = 2.521e-15 x 5000^4 / 2 and PRAD = a/3 T^4 - PRADK0 below.
  const double pradk0 = 2.521e-15 * (0.5 * (25e6 * 25e6));
  EXPECT_EQ(r.PZERO.PRADK0, pradk0);
  EXPECT_EQ(r.PZERO.PZERO, pradk0);
  EXPECT_EQ(r.PZERO.PCON, 0.0);
  EXPECT_EQ(r.PZERO.PTURB0, 0.0);
  EXPECT_EQ(r.RAD.PRAD(1), 0.0);
  for (int j = 2; j <= 3; ++j) {
    const double t = r.TEMP.T(j);
    EXPECT_EQ(r.RAD.PRAD(j), 2.521e-15 * ((t * t) * (t * t)) - pradk0) << j;
    EXPECT_GT(r.RAD.PRAD(j), 0.0) << j;
  }
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(r.STATE.XNE(j), 0.0) << j;
    EXPECT_EQ(r.TURBPR.VTURB(j), 0.0) << j;
    EXPECT_GT(r.STATE.P(j), 0.0) << j;
    EXPECT_GT(r.ABROSS.ABROSS(j), 0.0) << j;
    // RHOX = PTOTAL/GRAV before the surface pressure was added to PTOTAL.
    EXPECT_NEAR(r.RHOX.RHOX(j) * r.TEFF.GRAV + pradk0, r.STATE.PTOTAL(j), 1e-13 * r.STATE.PTOTAL(j))
        << j;
    // The begin card completed the model from the integrated pressures (XNE = 0).
    EXPECT_NEAR(r.STATE.XNATOM(j), r.STATE.P(j) / r.TEMP.TK(j), 1e-13 * r.STATE.XNATOM(j)) << j;
  }
  EXPECT_GT(r.STATE.P(2), r.STATE.P(1));
  EXPECT_GT(r.STATE.P(3), r.STATE.P(2));
}

TEST(read_start, logarithmic_and_linear_depths) {
  // First TAUROS <= 0: all are log10 values; otherwise they are taken as they stand. Both decks
  // describe the same model, so the integration gives the same pressures.
  const std::string head = "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\n";
  DeckRun lg(head + "READ START 4\n -3. 4200.\n -2. 4300.\n -1. 4500.\n 0. 5000.\nBEGIN\n");
  DeckRun ln(head + "READ START 4\n 1.E-3 4200.\n 1.E-2 4300.\n 0.1 4500.\n 1. 5000.\nBEGIN\n");
  lg.read();
  ln.read();
  ASSERT_TRUE(lg.model) << lg.message;
  ASSERT_TRUE(ln.model) << ln.message;
  for (int j = 1; j <= 4; ++j) {
    const double tau = std::pow(10.0, j - 4.0);
    EXPECT_EQ(lg.run->ABROSS.TAUROS(j), std::exp((j - 4.0) * LN10_SP)) << j;
    EXPECT_NEAR(ln.run->ABROSS.TAUROS(j), tau, 1e-15 * tau) << j;
    EXPECT_NEAR(lg.run->STATE.P(j), ln.run->STATE.P(j), 1e-6 * ln.run->STATE.P(j)) << j;
  }
  EXPECT_EQ(lg.run->TEMP.T(1), 4200.0);  // restored after the integration
  // READ START continues on the card: a keyword behind the last depth card's numbers is read.
  DeckRun c(head + "READ START 2\n -3. 4200.\n -2. 4300. TEFF 4800.\nBEGIN\n");
  c.read();
  ASSERT_TRUE(c.model) << c.message;
  EXPECT_EQ(c.run->TEFF.TEFF, 4800.0);
}

TEST(starting_models, bad_input) {
  struct Case {
    const char* deck;
    int status;
    const char* message_part;
  };
  const Case cases[] = {
      {"TEFF 5000. GRAVITY 4.\nGREY 1 -2 1\n", 1,
       "GREY card: number of depths NRHOX (at least two) = 1 outside the table limit 2..99"},
      {"TEFF 5000. GRAVITY 4.\nGREY 0 -2 1\n", 1, "NRHOX (at least two) = 0 outside"},
      {"TEFF 5000. GRAVITY 4.\nGREY 100 -2 0.01\n", 1, "= 100 outside the table limit 2..99"},
      {"TEFF 5000. GRAVITY 4.\nGREY 3 -2 0\n", 1, "GREY card: step dtau = 0.000000"},
      {"TEFF 5000. GRAVITY 4.\nGREY 3 -2 -1\n", 1, "must be positive"},
      {"TEFF 5000. GRAVITY 4.\nGREY 3 -2\n", 1, "FREEFF"},
      {"GRAVITY 4.\nGREY 3 -2 1\n", 1, "GREY card: TEFF is not set"},
      {"TEFF 5000.\nGREY 3 -2 1\n", 1, "GREY card: GRAVITY is not set"},
      {"TEFF 5000. GRAVITY 4.\nREAD START 1\n 0.1 5000.\n", 1,
       "READ START card: number of depths NRHOX (at least two) = 1"},
      {"TEFF 5000.\nREAD START 2\n 0.1 5000.\n 0.2 5100.\n", 1,
       "READ START card: GRAVITY is not set"},
      {"TEFF 5000. GRAVITY 4.\nREAD START 3\n -2. 5000.\n -1. 5100.\n -1. 5200.\n", 1,
       "optical depths do not increase at depth 3"},
      {"TEFF 5000. GRAVITY 4.\nREAD START 2\n 0.1 5000.\n 0.01 5100.\n", 1,
       "optical depths do not increase at depth 2"},
      {"TEFF 5000. GRAVITY 4.\nREAD START 2\n 0.1 5000.\n", 2, "end of the control cards"},
      {"TEFF 5000. GRAVITY 4.\nREAD START 2\n 0.1\n", 1, "FREEFF"},
  };
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    EXPECT_EQ(d.status, c.status) << c.deck;
    EXPECT_NE(d.message.find(c.message_part), std::string::npos) << c.deck << "\n" << d.message;
    for (int j = 1; j <= 3; ++j) EXPECT_FALSE(std::isnan(d.run->STATE.P(j))) << c.deck;
  }
}

TEST(grey_deck, example_runs_to_the_begin_card) {
  using testing::read_file;
  const std::string root = ATMOTAB_SOURCE_DIR;
  std::istringstream cards(read_file(root + "/examples/grey.deck"));
  std::ostringstream listing, errors;
  const int status = atmotab_main(
      {"--edges", root + "/examples/edges.txt", "--table", "/dev/null", "--maxima", "/dev/null"},
      cards, listing, errors);
  EXPECT_EQ(status, 0) << errors.str();
  const std::string out = listing.str();
  EXPECT_NE(out.find("\n TEFF  5777.   LOG G  4.4400   LTE \n"), std::string::npos) << out;
  // The model table: 72 depths, T(1) and T(72) of the grey law (log tau -6.875 and 2).
  EXPECT_NE(out.find("\n  1 3.272"), std::string::npos);
  EXPECT_NE(out.find("   4685.4 "), std::string::npos);
  EXPECT_NE(out.find("\n 72 6.50"), std::string::npos);
  EXPECT_NE(out.find("  17030.8 "), std::string::npos);
  EXPECT_EQ(out.find("\n 73 "), std::string::npos);
}

}  // namespace
}  // namespace atmotab
