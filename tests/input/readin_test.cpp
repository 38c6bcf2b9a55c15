// Control-card interpreter: record values set by every card kind, several keywords on one card,
// the stops of the interpreter (unknown word, missing number, incomplete model), the table limits
// and the end of the control cards.
#include "input/readin.h"

#include <gtest/gtest.h>

#include <cmath>

#include "input/readin_support.h"

namespace atmotab {
namespace {

using testing::complete_with;
using testing::DeckRun;

constexpr double LN10_SP = 2.3025851249694824;  // ln 10 rounded to single precision

TEST(readin, teff_and_gravity_on_one_card) {
  DeckRun d("TEFF   5777.  GRAVITY 4.44\nITERATIONS 1\nREAD DECK 1\n 1. 5777.\nBEGIN\n");
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  EXPECT_EQ(d.run->TEFF.TEFF, 5777.0);
  EXPECT_NEAR(d.run->FLUX.FLUX, 5.02526e9, 1e4);  // sigma T^4 / (4 pi) [erg s^-1 cm^-2 sr^-1]
  EXPECT_EQ(d.run->FLUX.FLUX,
            4.511793506554121e-6 * (33373729.0 * 33373729.0));  // 5777^2 = 33373729
  EXPECT_NEAR(d.run->TEFF.GRAV, 27542.290943586326, 1e-9);
  // log10 of exp(4.44 x ln 10 in single precision) = 4.44 (1 + 3.2e-8 / ln 10 ...) = 4.4400000617
  EXPECT_NEAR(d.run->TEFF.GLOG, 4.440000061657196, 1e-12);
  // The header line prints them: TEFF F7.0, LOG G F8.4, LTE.
  EXPECT_NE(d.listing.str().find(" TEFF  5777.   LOG G  4.4400   LTE \n"), std::string::npos);
}

TEST(readin, gravity_of_ten_and_more_is_linear) {
  struct Case {
    const char* card;
    double grav;
  };
  const Case cases[] = {{"GRAVITY 27400", 27400.0},
                        {"GRAVITY 10", 10.0},
                        {"GRAVITY 2.", 100.00000639508755}};  // 10^2 with ln 10 in single precision
  for (const Case& c : cases) {
    DeckRun d(complete_with(std::string(c.card) + "\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    EXPECT_NEAR(d.run->TEFF.GRAV, c.grav, 1e-12 * c.grav) << c.card;
    EXPECT_NEAR(d.run->TEFF.GLOG, std::log10(c.grav), 1e-12) << c.card;
  }
}

TEST(readin, opacity_switch_forms) {
  {
    DeckRun d(complete_with("OPACITY OFF HMINUS HRAY\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    const int expected[20] = {1, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(d.run->IF.IFOP(k), expected[k - 1]) << k;
  }
  {
    DeckRun d(complete_with("OPACITY ON LUKE HOT XSCAT HLINES\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    const int expected[20] = {1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 1};
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(d.run->IF.IFOP(k), expected[k - 1]) << k;
  }
  {
    DeckRun d(complete_with(" OPACITY IFOP 1 1 1 1 1 1 1 1 1 1 1 1 1 0 1 0 0 0 0 7.9\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    EXPECT_EQ(d.run->IF.IFOP(14), 0);
    EXPECT_EQ(d.run->IF.IFOP(15), 1);
    EXPECT_EQ(d.run->IF.IFOP(20), 7);  // truncated toward zero
    EXPECT_NE(d.listing.str().find("\n HOT 1 ELECTRON 1 H2RAY 1 HLINES 0 LINES 1 LINESCAT 0 "
                                   "XLINES 0 XLSCAT 0 XCONT 0 XSCAT 7\n"),
              std::string::npos);
  }
  {
    DeckRun d(complete_with("OPACITY OFF HMINUS HYDROGEN\n"));
    d.read();
    EXPECT_EQ(d.status, EXIT_FAILURE_REPORTED);
    EXPECT_EQ(d.listing.str(), " I DO NOT UNDERSTAND OPACITY OFF HMINUS HYDROGEN" +
                                   std::string(80 - 27, ' ') + "\n");
  }
}

TEST(readin, iteration_print_and_punch) {
  DeckRun d(
      "TEFF 5000. GRAVITY 4.0\nITERATIONS 3 PRINT 1 0 3\nPUNCH 1 1 0\n"
      "READ DECK 1\n 1. 5000.\nBEGIN\n");
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  EXPECT_EQ(d.run->ITER.NUMITS, 3);
  const int prnt[15] = {1, 0, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
  const int pnch[15] = {1, 1, 0};
  for (int i = 1; i <= 15; ++i) {
    EXPECT_EQ(d.run->ITER.IFPRNT(i), prnt[i - 1]) << i;
    EXPECT_EQ(d.run->ITER.IFPNCH(i), pnch[i - 1]) << i;
  }
  EXPECT_NE(d.listing.str().find(" NUMITS  3  IFPRNT 1 0 3 2 2 2 2 2 2 2 2 2 2 2 2  IFPNCH 1 1 0 "
                                 "0 0 0 0 0 0 0 0 0 0 0 0\n"),
            std::string::npos);

  DeckRun e(complete_with("ITERATIONS 3\n"));
  e.read();
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(e.run->ITER.IFPNCH(i), i == 3 ? 1 : 0) << i;
}

TEST(readin, switch_cards) {
  DeckRun d(
      complete_with("MOLECULES ON SCATTERING OFF PRESSURE OFF CORRECTION OFF\n"
                    "CONVECTION ON 1.25 TURBULENCE ON 1 2 3 4\n"
                    "SURFACE INTENSITY 3 0.1 0.5 1.0 NLTE\n"));
  d.run->FLUX.FLXERR.fill(5);
  d.run->FLUX.FLXDRV.fill(6);
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& r = *d.run;
  EXPECT_EQ(r.IF.IFMOL, 1);
  EXPECT_EQ(r.IF.IFSCAT, 0);
  EXPECT_EQ(r.IF.IFPRES, 0);
  EXPECT_EQ(r.IF.IFCORR, 0);
  EXPECT_EQ(r.FLUX.FLXERR(40), 0);
  EXPECT_EQ(r.FLUX.FLXDRV(40), 0);
  EXPECT_EQ(r.FLUX.FLXERR(41), 5);  // only depths 1..40 are cleared
  EXPECT_EQ(r.CONV.IFCONV, 1);
  EXPECT_EQ(r.CONV.MIXLTH, 1.25);
  // The card gives f, p, s, c; the record keeps TRBFDG, TRBCON, TRBPOW, TRBSND.
  EXPECT_EQ(r.TURBPR.IFTURB, 1);
  EXPECT_EQ(r.TURBPR.TRBFDG, 1);
  EXPECT_EQ(r.TURBPR.TRBPOW, 2);
  EXPECT_EQ(r.TURBPR.TRBSND, 3);
  EXPECT_EQ(r.TURBPR.TRBCON, 4);
  EXPECT_EQ(r.IF.IFSURF, 2);
  EXPECT_EQ(r.MUS.NMU, 3);
  EXPECT_EQ(r.MUS.MU(2), 0.5);
  EXPECT_EQ(r.IF.IFNLTE, 1);
  EXPECT_EQ(std::string(r.JUNK.WLTE.data(), 8), "NLTE    ");
  EXPECT_NE(d.listing.str().find("   LOG G  4.0000   NLTE\n"), std::string::npos);
  EXPECT_NE(d.listing.str().find("0IFCORR 0  IFPRES 0  IFSURF 2  IFSCAT 0  IFCONV 1  MIXLTH  1.25"
                                 "  IFMOL 1\n IFTURB 1  TRBFDG  1.00  TRBPOW  2.00  TRBSND  3.00"
                                 "  TRBCON  4.00\n"),
            std::string::npos);
}

TEST(readin, off_forms_reset_their_parameters) {
  DeckRun d(complete_with("CONVECTION OFF TURBULENCE OFF SURFACE FLUX\n"));
  atmotab::Run& r = *d.run;
  r.CONV.IFCONV = 1;
  r.CONV.MIXLTH = 2;
  r.RHOX.NRHOX = 2;  // the previous model's depths
  r.CONV.CONVQ.fill(7);
  r.TURBPR.TRBCON = 9;
  r.MUS.NMU = 5;
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  EXPECT_EQ(r.CONV.IFCONV, 0);
  EXPECT_EQ(r.CONV.MIXLTH, 1.0);
  EXPECT_EQ(r.CONV.CONVQ(2, 8), 0);
  EXPECT_EQ(r.CONV.CONVQ(3, 8), 7);  // beyond the depths of the model in force
  EXPECT_EQ(r.TURBPR.TRBCON, 0);
  EXPECT_EQ(r.IF.IFSURF, 1);
  EXPECT_EQ(r.MUS.NMU, 1);
}

TEST(readin, lte_card_resets_hydrogen_departure_coefficients) {
  DeckRun d(
      complete_with("READ DEPARTURES 2\n 1 1.1 1.2 1.3 1.4 1.5 1.6 0.9\n"
                    " 2 2.1 2.2 2.3 2.4 2.5 2.6 0.8\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  atmotab::Run& r = *d.run;
  EXPECT_EQ(r.BHYD.BHYD(2, 6), 2.6);
  EXPECT_EQ(r.BHYD.BMIN(1), 0.9);
  EXPECT_EQ(r.IF.IFNLTE, 1);
  EXPECT_EQ(r.JUNK.WLTE[0], 'N');
  // The model table prints them (the deck of complete_with has one depth).
  EXPECT_NE(d.listing.str().find("   1.1000  1.2000  1.3000  1.4000  1.5000  1.6000  0.9000\n"),
            std::string::npos);

  r.BHYD.BHYD(41, 1) = 3.0;
  r.BHYD.BMIN(99) = 0.5;
  DeckRun e("LTE\nBEGIN\n");
  e.run = std::move(d.run);
  e.run->UNITS.cards = &e.cards;
  e.read();
  ASSERT_TRUE(e.model) << e.message;
  EXPECT_EQ(e.run->BHYD.BHYD(2, 6), 1.0);
  EXPECT_EQ(e.run->BHYD.BMIN(1), 1.0);
  // Every depth, so that a deeper model does not keep an earlier one's coefficients there.
  EXPECT_EQ(e.run->BHYD.BHYD(41, 1), 1.0);
  EXPECT_EQ(e.run->BHYD.BMIN(99), 1.0);
  EXPECT_EQ(e.run->IF.IFNLTE, 0);
}

TEST(readin, abundance_conversions) {
  struct Case {
    const char* card;
    int z;
    double abund;  // after the begin card
  };
  const Case cases[] = {
      {"ABUNDANCE CHANGE 26 -4.5", 26, -4.5},
      {"ABUNDANCE CHANGE 26 3.2E-5", 26, -4.494850021680094},  // a fraction becomes its log10
      {"ABUNDANCE CHANGE 1 -0.04", 1, 0.912010838189432},      // a log10 becomes the fraction
      {"ABUNDANCE CHANGE 2 0.07843", 2, 0.07843},
      {"ABUNDANCE CHANGE 6 -3.52 7", 7, 0.0},  // a missing last value gives 0
  };
  for (const Case& c : cases) {
    DeckRun d(complete_with(std::string(c.card) + "\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    EXPECT_NEAR(d.run->ELEM.ABUND(c.z), c.abund, 1e-12) << c.card;
  }
}

TEST(readin, abundance_scale_and_change_share_a_card) {
  DeckRun d(
      complete_with("ABUNDANCE SCALE   0.50000 ABUNDANCE CHANGE 1 0.92140 2 0.07843\n"
                    " ABUNDANCE CHANGE  3 -10.94  26 -4.5\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const ElemRec& E = d.run->ELEM;
  EXPECT_EQ(d.run->JUNK.XSCALE, 0.5);
  EXPECT_EQ(E.XABUND(1), 0.9214);
  EXPECT_EQ(E.XABUND(2), 0.07843);
  EXPECT_EQ(E.XABUND(26), std::exp(-4.5 * LN10_SP) * 0.5);
  EXPECT_NEAR(E.XABUND(3), 0.5 * 1.1481536e-11, 1e-17);
  const std::string& out = d.listing.str();
  EXPECT_NE(out.find("0XSCALE  0.500000   H  0.92140   HE 0.07843\n LI-10.94 BE-10.89 B  -9.44"),
            std::string::npos);
  EXPECT_NE(out.find(" V  -8.04 CR -6.37 MN -6.65 FE -4.50 CO -7.12"), std::string::npos);
}

TEST(readin, title_takes_columns_7_to_80) {
  DeckRun d(complete_with("TITLE  SOLAR MODEL  VTURB=2 KM/S\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  EXPECT_EQ(std::string(d.run->JUNK.TITLE.data(), 26), " SOLAR MODEL  VTURB=2 KM/S");
  EXPECT_NE(
      d.listing.str().find("\n0TITLE  SOLAR MODEL  VTURB=2 KM/S" + std::string(48, ' ') + "\n"),
      std::string::npos);
}

TEST(readin, wavelength_range) {
  struct Case {
    const char* card;
    int numnu;
    double wbegin, deltaw;
  };
  const Case cases[] = {
      {"WAVELENGTHS 300. 0.5 310.", 21, 300.0, 0.5},
      {"WAVELENGTHS 310. -0.5 300.", -18, 310.0, -0.5},  // int(-20 + 0.5) + 1
      // A frequency of 5.99584916e14 Hz is 500 nm.
      {"WAVELENGTHS 5.99584916E14 5.99584916E14 6.0E14", 1, 500.0, 500.0},
      // 20000 cm-1 times 1e25 is 500 nm.
      {"WAVELENGTHS 2.E29 2.E29 3.E29", 2, 500.0, 500.0},  // count from the values as given
  };
  for (const Case& c : cases) {
    DeckRun d(complete_with(std::string(c.card) + "\n"));
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    const atmotab::Run::FresetRec& R = d.run->FRESET;
    EXPECT_EQ(R.IFWAVE, 1);
    EXPECT_EQ(R.NUMNU, c.numnu) << c.card;
    EXPECT_EQ(R.NUHI, c.numnu) << c.card;
    EXPECT_EQ(R.NULO, 1);
    EXPECT_NEAR(R.WBEGIN, c.wbegin, 1e-9 * std::abs(c.wbegin)) << c.card;
    EXPECT_NEAR(R.DELTAW, c.deltaw, 1e-9 * std::abs(c.deltaw)) << c.card;
  }
  DeckRun d(complete_with("WAVELENGTHS 300. 0.5 310.\n"));
  d.read();
  EXPECT_NE(d.listing.str().find("\n0WBEGIN   300.0000   DELTAW 0.5000   NUMNU   21\n1\n"),
            std::string::npos);
}

TEST(readin, frequency_set_card) {
  // Entries may continue on following cards; wavelengths (< 1e7) and wavenumbers times 1e25
  // (> 1e20) become frequencies.
  DeckRun d(
      complete_with("READ FREQUENCIES 3 2 3 SOLAR1 1 500. 0.25\n"
                    " 2 5.99584916E14 0.5\n3 2.E29 0.125\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run::FresetRec& R = d.run->FRESET;
  EXPECT_EQ(R.NUMNU, 3);
  EXPECT_EQ(R.NULO, 2);
  EXPECT_EQ(R.NUHI, 3);
  EXPECT_EQ(std::string(d.run->JUNK.FREQID.data(), 6), "SOLAR1");
  EXPECT_EQ(R.FRESET(1), 2.99792458e17 / 500.0);
  EXPECT_EQ(R.FRESET(2), 5.99584916e14);
  EXPECT_EQ(R.FRESET(3), 2e29 * 2.9979246592e-15);
  EXPECT_NEAR(R.FRESET(3), 5.99584916e14, 2e7);  // c in single precision: 2.99792466e10
  EXPECT_EQ(R.RCOSET(3), 0.125);
  EXPECT_NE(d.listing.str().find("0FREQID SOLAR1   NUMNU   3   NULO   2   NUHI   3\n"
                                 "     1 5.995849E+14 2.500000E-01     2 5.995849E+14 "
                                 "5.000000E-01     3 5.995849E+14 1.250000E-01\n"),
            std::string::npos);
}

TEST(readin, begin_card_prompts_for_what_is_missing) {
  {  // the first model of a run needs an iteration card
    DeckRun d("TEFF 5000. GRAVITY 4.0\nREAD DECK 1\n 1. 5000.\nBEGIN\n");
    d.read();
    EXPECT_EQ(d.status, EXIT_FAILURE_REPORTED);
    EXPECT_EQ(d.listing.str(), " HOW MANY ITERATIONS\n");
  }
  {
    DeckRun d("BEGIN\n", /*numnu=*/0);
    d.read();
    EXPECT_EQ(d.status, EXIT_FAILURE_REPORTED);
    EXPECT_EQ(d.listing.str(),
              " HOW MANY ITERATIONS\n HOW MANY RHOX\n HOW MANY FREQUENCIES\n"
              " WHAT TEFF\n WHAT GRAVITY\n");
  }
}

TEST(readin, stops_of_the_interpreter) {
  struct Case {
    const char* deck;
    int status;
    const char* listing_start;  // what the listing begins with
    const char* message_part;
  };
  const Case cases[] = {
      {"TEFF 5000. FOO 3\n", 1, " I DO NOT UNDERSTAND TEFF 5000. FOO 3    ", "I DO NOT UNDERSTAND"},
      {"teff 5000.\n", 1, "1IWORDF HAS READ OFF THE END\n", "IWORDF"},
      {"   \n", 1, "1IWORDF HAS READ OFF THE END\n", "IWORDF"},
      {"TEFF\n", 1, "1FREEFF HAS READ OFF THE END\n TEFF  ", "FREEFF"},
      {"MOLECULES MAYBE\n", 1, " I DO NOT UNDERSTAND MOLECULES MAYBE", "I DO NOT"},
      {"READ DECK 2\n 1. 5000.\n", 2, "", "end of the control cards"},
      {"TEFF 5000.\n", 2, "", "end of the control cards"},
      {"READ FREQUENCIES 2 1 2 SET 1 500. 1.\n", 2, "", "end of the control cards"},
      {"READ FREQUENCIES 1 1 1 SET 1 500.\n", 1, "1FREEFF HAS READ OFF THE END\n", "FREEFF"},
      {"READ START 3\n 0.1 5000.\n", 2, "", "end of the control cards"},
      {"READ MOLECULES\n", 2, "", "cannot open the molecule list 'fort.2' (unit 2"},
      {"GREY 3 -2 1\n", 1, "", "GREY card: TEFF is not set"},
      {"SCALE 3 -2 1 0 0\n", 1, "", "SCALE card: TEFF is not set"},
      {"RHOX 2 1. 2.\n", 1, "", "RHOX card: the model to re-grid has 0 depths"},
      // A zero temperature stops the run before anything of the model is printed.
      {"TEFF 5000. GRAVITY 4.0\nITERATIONS 1\nREAD DECK 2\n 1. 5000.\n 2. 0.\nBEGIN\n", 1, "",
       "temperature T = 0.000000 K at depth 2"},
  };
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    EXPECT_EQ(d.status, c.status) << c.deck;
    EXPECT_EQ(d.listing.str().rfind(c.listing_start, 0), 0u) << c.deck << d.listing.str();
    EXPECT_NE(d.message.find(c.message_part), std::string::npos) << c.deck << d.message;
  }
}

TEST(readin, table_limits) {
  struct Case {
    const char* deck;
    const char* message_part;
  };
  const Case cases[] = {
      {"ITERATIONS 0\n", "ITERATIONS card: NUMITS = 0 outside the table limit 1..15"},
      {"ITERATIONS 16\n", "ITERATIONS card: NUMITS = 16 outside the table limit 1..15"},
      {"SURFACE INTENSITY 41\n",
       "SURFACE INTENSITY card: number of angles NMU = 41 outside the "
       "table limit 0..40"},
      {"READ FREQUENCIES 1 1 1 SET\n 501 500. 1.\n",
       "READ FREQUENCIES card: frequency index = 501 outside the table limit 1..500"},
      {"READ FREQUENCIES 1 1 1 SET\n 0 500. 1.\n", "frequency index = 0 outside"},
      {"READ FREQUENCIES 501 1 1 SET\n", "number of frequencies = 501 outside the table limit"},
      {"ABUNDANCE CHANGE 100 -5.\n",
       "ABUNDANCE CHANGE card: element number = 100 outside the "
       "table limit 1..99"},
      {"ABUNDANCE CHANGE 0 -5.\n", "element number = 0 outside"},
      {"READ DECK 100\n",
       "READ DECK card: number of depths NRHOX = 100 outside the table limit "
       "0..99"},
      {"READ DECK6 -1\n", "READ DECK6 card: number of depths NRHOX = -1 outside"},
      {"READ DEPARTURES 100\n", "READ DEPARTURES card: number of depths NRHOX = 100 outside"},
      {"ITERATIONS 1.E30\n", "NUMITS = 2147483647 outside"},
      {"WAVELENGTHS 300. 0. 310.\n", "WAVELENGTHS card: step dw = 0.000000 gives no count"},
      {"WAVELENGTHS 300. 1.E-30 310.\n", "WAVELENGTHS card: step dw = 0.000000 gives no count"},
  };
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    EXPECT_EQ(d.status, EXIT_FAILURE_REPORTED) << c.deck;
    EXPECT_NE(d.message.find(c.message_part), std::string::npos) << c.deck << d.message;
  }
}

TEST(readin, end_card_ends_and_settings_carry_to_the_next_model) {
  DeckRun d(complete_with("TITLE FIRST\n") + "NOTHING\nTEFF 6000.\nBEGIN\nEND\n");
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  EXPECT_EQ(d.run->TEFF.TEFF, 6000.0);
  EXPECT_EQ(d.run->RHOX.NRHOX, 1);
  EXPECT_EQ(d.run->JUNK.TITLE(1), 'F');
  d.read();
  EXPECT_FALSE(d.model);
  EXPECT_EQ(d.status, -1);
}

}  // namespace
}  // namespace atmotab
