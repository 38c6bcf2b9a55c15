// Re-gridding of a model on mass depth (RHOX card) and on Rosseland depth with rescaling (SCALE).
#include "input/regrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "input/grey.h"
#include "input/readin_support.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::DeckRun;

// Largest |a - b| / |b| over depths 1..N of one depth array of two runs (0 where both are 0).
double max_rel(const Depth& a, const Depth& b, int n) {
  double m = 0;
  for (int j = 1; j <= n; ++j)
    if (a(j) != b(j)) m = std::max(m, std::abs(a(j) - b(j)) / std::abs(b(j)));
  return m;
}

// The solar MARCS deck with CARDS put before its begin card.
std::string sun_deck_with(const std::string& cards) {
  std::string deck = testing::read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/sun.deck");
  const std::size_t at = deck.find("\nBEGIN\n");
  return deck.insert(at + 1, cards);
}

// The RHOX column of the sun deck as written on its cards, five values to a card.
std::string sun_rhox_cards() {
  std::istringstream deck(
      testing::read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/sun.deck"));
  std::string line, cards = "RHOX 56";
  int n = 0;
  bool in_table = false;
  while (std::getline(deck, line)) {
    if (line.rfind("READ DECK", 0) == 0) {
      in_table = true;
      continue;
    }
    if (line.rfind("BEGIN", 0) == 0) break;
    if (!in_table) continue;
    cards += (n % 5 == 0 ? "\n " : " ") + line.substr(0, line.find(' '));
    ++n;
  }
  EXPECT_EQ(n, 56);
  return cards + "\n";
}

TEST(regrid_rhox, onto_the_models_own_grid_reproduces_it) {
  // Departure coefficients that vary over the top depths (the card comes first: it sets NRHOX).
  const std::string departures =
      "READ DEPARTURES 3\n 1 1.1 1.2 1.3 1.4 1.5 1.6 0.9\n 2 1.2 1.3 1.4 1.5 1.6 1.7 0.8\n"
      " 3 1.25 1.35 1.45 1.55 1.65 1.75 0.7\n";
  DeckRun ref(departures + sun_deck_with(""));
  DeckRun d(departures + sun_deck_with(sun_rhox_cards()));
  ref.read();
  d.read();
  ASSERT_TRUE(ref.model) << ref.message;
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& a = *d.run;
  const atmotab::Run& b = *ref.run;
  ASSERT_EQ(a.RHOX.NRHOX, 56);
  for (int j = 1; j <= 56; ++j) EXPECT_EQ(a.RHOX.RHOX(j), b.RHOX.RHOX(j)) << j;
  // At a node the interval to its right is used, whose parabola passes through the node: the value
  // comes back up to the rounding of A + B x + C x^2 (terms up to ~1e3 times the result here).
  const int n = 56;
  std::printf("RHOX onto its own grid: max relative change T %.3g P %.3g XNE %.3g ABROSS %.3g\n",
              max_rel(a.TEMP.T, b.TEMP.T, n), max_rel(a.STATE.P, b.STATE.P, n),
              max_rel(a.STATE.XNE, b.STATE.XNE, n), max_rel(a.ABROSS.ABROSS, b.ABROSS.ABROSS, n));
  EXPECT_LT(max_rel(a.TEMP.T, b.TEMP.T, n), 1e-12);
  EXPECT_LT(max_rel(a.STATE.P, b.STATE.P, n), 1e-12);
  EXPECT_LT(max_rel(a.STATE.XNE, b.STATE.XNE, n), 1e-12);
  EXPECT_LT(max_rel(a.ABROSS.ABROSS, b.ABROSS.ABROSS, n), 1e-12);
  EXPECT_LT(max_rel(a.RAD.PRAD, b.RAD.PRAD, n), 1e-12);
  EXPECT_LT(max_rel(a.TURBPR.VTURB, b.TURBPR.VTURB, n), 1e-12);
  EXPECT_LT(max_rel(a.BHYD.BMIN, b.BHYD.BMIN, n), 1e-12);
  for (int k = 1; k <= 6; ++k)
    for (int j = 1; j <= n; ++j) EXPECT_NEAR(a.BHYD.BHYD(j, k), b.BHYD.BHYD(j, k), 1e-12) << j;
  for (int j = 1; j <= n; ++j) EXPECT_EQ(a.PZERO.PRADK(j), a.RAD.PRAD(j) + a.PZERO.PRADK0) << j;
}

TEST(regrid_rhox, between_and_beyond_the_nodes) {
  // Every column linear in RHOX: the blended parabolas and the end lines are that line, inside
  // the grid and beyond both ends. The new values continue onto the next card, and the card
  // interpretation goes on behind the last of them.
  DeckRun d(
      "TEFF 5000. GRAVITY 4.\nITERATIONS 1\n"
      "READ DEPARTURES 5\n 1 1.0 1.0 1.0 1.0 1.0 2.0 1.0\n 2 1.0 1.0 1.0 1.0 1.0 3.0 1.5\n"
      " 3 1.0 1.0 1.0 1.0 1.0 4.0 2.0\n 4 1.0 1.0 1.0 1.0 1.0 5.0 2.5\n"
      " 5 1.0 1.0 1.0 1.0 1.0 6.0 3.0\n"
      "READ DECK 5\n"
      " 1. 4100. 20. 3.E10 0.2 2. 1.E5\n 2. 4200. 40. 6.E10 0.4 4. 2.E5\n"
      " 3. 4300. 60. 9.E10 0.6 6. 3.E5\n 4. 4400. 80. 12.E10 0.8 8. 4.E5\n"
      " 5. 4500. 100. 15.E10 1.0 10. 5.E5\n"
      "RHOX 6 0.5 1.5 2.5\n 3.75 4.5 6. TEFF 4800.\nBEGIN\n");
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& r = *d.run;
  EXPECT_EQ(r.TEFF.TEFF, 4800.0);
  ASSERT_EQ(r.RHOX.NRHOX, 6);
  const double x[6] = {0.5, 1.5, 2.5, 3.75, 4.5, 6.0};
  for (int j = 1; j <= 6; ++j) {
    const double v = x[j - 1];
    EXPECT_EQ(r.RHOX.RHOX(j), v);
    EXPECT_NEAR(r.TEMP.T(j), 4000 + 100 * v, 1e-9) << j;
    EXPECT_NEAR(r.STATE.P(j), 20 * v, 1e-11) << j;
    EXPECT_NEAR(r.STATE.XNE(j), 3e10 * v, 1e-3) << j;
    EXPECT_NEAR(r.ABROSS.ABROSS(j), 0.2 * v, 1e-14) << j;
    EXPECT_NEAR(r.RAD.PRAD(j), 2 * v, 1e-13) << j;
    EXPECT_NEAR(r.TURBPR.VTURB(j), 1e5 * v, 1e-8) << j;
    EXPECT_NEAR(r.BHYD.BHYD(j, 6), 1 + v, 1e-14) << j;
    EXPECT_NEAR(r.BHYD.BMIN(j), 0.5 + 0.5 * v, 1e-14) << j;
    EXPECT_NEAR(r.BHYD.BHYD(j, 1), 1.0, 1e-15) << j;
    EXPECT_EQ(r.PZERO.PRADK(j), r.RAD.PRAD(j) + r.PZERO.PRADK0) << j;
  }
}

// The grey solar model, optionally re-gridded by CARDS.
std::string grey_solar_deck(const std::string& cards, const char* teff = "5777.") {
  return std::string("TEFF ") + teff + " GRAVITY 4.44\nITERATIONS 1\nGREY 72 -6.875 0.125\n" +
         cards + "BEGIN\n";
}

TEST(regrid_scale, onto_the_same_rosseland_depths) {
  DeckRun ref(grey_solar_deck(""));
  DeckRun d(grey_solar_deck("SCALE 72 -6.875 0.125\n"));
  ref.read();
  d.read();
  ASSERT_TRUE(ref.model) << ref.message;
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& a = *d.run;
  const atmotab::Run& b = *ref.run;
  // Only re-gridded: TEFF, gravity, PZERO unchanged; TAUROS is the integrated depth of the old
  // grid with its first value set to 0.
  EXPECT_EQ(a.TEFF.TEFF, 5777.0);
  EXPECT_EQ(a.TEFF.GRAV, b.TEFF.GRAV);
  EXPECT_EQ(a.PZERO.PZERO, b.PZERO.PZERO);
  EXPECT_EQ(a.ABROSS.TAUROS(1), 0.0);
  // The surface point: TAUROS(1) = 0 while TAUROS(2) = ABROSS(1) RHOX(1) + integral ~ TAU(2), so
  // TAU(1) = 0.75 TAU(2) falls on the straight line from (0, RHOX(1)) to (TAU(2), RHOX(2)): RHOX
  // and P move up by 0.75 (RHOX(2)/RHOX(1) - 1) ~ 25 %.
  const double t12 = b.ABROSS.TAUROS(1) / b.ABROSS.TAUROS(2);
  EXPECT_NEAR(a.RHOX.RHOX(1), b.RHOX.RHOX(1) + t12 * (b.RHOX.RHOX(2) - b.RHOX.RHOX(1)),
              1e-4 * b.RHOX.RHOX(1));
  EXPECT_GT(a.RHOX.RHOX(1) / b.RHOX.RHOX(1), 1.24);
  // Below it the integration error of integ moves the model, most where the opacity changes its
  // slope (log P = 3, depth 27, and the hydrogen opacity rise near depth 62). Measured over depths
  // 2..72: RHOX and P 0.49 %, T 0.13 %, ABROSS 1.2 %.
  Depth ta, tb, ra, rb, pa, pb, ka, kb;
  for (int j = 2; j <= 72; ++j) {
    ta(j - 1) = a.TEMP.T(j), tb(j - 1) = b.TEMP.T(j);
    ra(j - 1) = a.RHOX.RHOX(j), rb(j - 1) = b.RHOX.RHOX(j);
    pa(j - 1) = a.STATE.P(j), pb(j - 1) = b.STATE.P(j);
    ka(j - 1) = a.ABROSS.ABROSS(j), kb(j - 1) = b.ABROSS.ABROSS(j);
  }
  const double dT = max_rel(ta, tb, 71), dRHOX = max_rel(ra, rb, 71);
  const double dP = max_rel(pa, pb, 71), dK = max_rel(ka, kb, 71);
  std::printf(
      "SCALE onto the same depths, depths 2..72: max relative change T %.3g RHOX %.3g "
      "P %.3g ABROSS %.3g\n",
      dT, dRHOX, dP, dK);
  EXPECT_GT(dRHOX, 1e-3);
  EXPECT_LT(dT, 2e-3);
  EXPECT_LT(dRHOX, 6e-3);
  EXPECT_LT(dP, 6e-3);
  EXPECT_LT(dK, 1.5e-2);
}

TEST(regrid_scale, same_teff_and_gravity_only_regrid) {
  // t = 0, and t = TEFF with g = GRAV, re-grid alike; t = TEFF with another g rescales.
  // The first 60 depths (log tau -6.875 .. 0.5) onto 60 depths from -6.875 in steps of 0.1.
  DeckRun zero(grey_solar_deck("SCALE 60 -6.875 0.1\n"));
  DeckRun same(grey_solar_deck("SCALE 60 -6.875 0.1 5777. 4.44\n"));
  DeckRun other(grey_solar_deck("SCALE 60 -6.875 0.1 5777. 4.0\n"));
  zero.read();
  same.read();
  other.read();
  ASSERT_TRUE(zero.model && same.model && other.model) << zero.message << same.message;
  EXPECT_EQ(zero.run->RHOX.NRHOX, 60);
  for (int j = 1; j <= 60; ++j) {
    EXPECT_EQ(same.run->RHOX.RHOX(j), zero.run->RHOX.RHOX(j)) << j;
    EXPECT_EQ(same.run->STATE.P(j), zero.run->STATE.P(j)) << j;
    EXPECT_EQ(same.run->ABROSS.TAUROS(j), zero.run->ABROSS.TAUROS(j)) << j;
  }
  EXPECT_EQ(other.run->TEFF.GRAV, std::exp(4.0 * 2.3025851249694824));
  EXPECT_NE(other.run->STATE.P(20), zero.run->STATE.P(20));
  // A temperature without a gravity rescales at the model's own gravity, not at 10^0.
  DeckRun no_g(grey_solar_deck("SCALE 60 -6.875 0.1 5500.\n"));
  no_g.read();
  ASSERT_TRUE(no_g.model) << no_g.message;
  EXPECT_EQ(no_g.run->TEFF.GRAV, zero.run->TEFF.GRAV);
  EXPECT_EQ(no_g.run->TEFF.TEFF, 5500.0);
}

TEST(regrid_scale, rescaling_a_grey_model_to_another_teff) {
  // A grey 5000 K model rescaled to 5777 K on the same optical depths approaches the grey 5777 K
  // model: T ~ TEFF at fixed depth, the pressures integrated anew at the new gravity.
  DeckRun direct(grey_solar_deck(""));
  DeckRun d(grey_solar_deck("SCALE 72 -6.875 0.125 5777. 4.44\n", "5000."));
  DeckRun unscaled(grey_solar_deck("SCALE 72 -6.875 0.125\n", "5000."));
  direct.read();
  d.read();
  unscaled.read();
  ASSERT_TRUE(direct.model && d.model && unscaled.model) << d.message;
  const atmotab::Run& a = *d.run;
  const atmotab::Run& b = *direct.run;
  const atmotab::Run& u = *unscaled.run;
  EXPECT_EQ(a.TEFF.TEFF, 5777.0);
  EXPECT_EQ(a.FLUX.FLUX, 4.511793506554121e-6 * ((5777.0 * 5777.0) * (5777.0 * 5777.0)));
  EXPECT_EQ(a.TEFF.GLOG, std::log10(a.TEFF.GRAV));
  const double r = (5777.0 / 5000.0) * (5777.0 / 5000.0);
  EXPECT_EQ(a.PZERO.PRADK0, u.PZERO.PRADK0 * (r * r));
  EXPECT_EQ(a.PZERO.PZERO, a.PZERO.PCON + a.PZERO.PTURB0 + a.PZERO.PRADK0);
  for (int j = 1; j <= 72; ++j) {
    EXPECT_EQ(a.ABROSS.TAUROS(j), b.ABROSS.TAUROS(j)) << j;  // TAUSTD
    EXPECT_EQ(a.TEMP.T(j), u.TEMP.T(j) * 5777.0 / 5000.0) << j;
    EXPECT_EQ(a.RAD.PRAD(j), u.RAD.PRAD(j) * (r * r)) << j;
    EXPECT_EQ(a.TURBPR.PTURB(j), 0.0) << j;
    EXPECT_NEAR(a.RHOX.RHOX(j) * a.TEFF.GRAV + a.PZERO.PZERO, a.STATE.PTOTAL(j),
                1e-13 * a.STATE.PTOTAL(j))
        << j;
    if (j > 1) {
      EXPECT_GT(a.STATE.P(j), a.STATE.P(j - 1)) << j;
    }
  }
  // Against the grey 5777 K model: the re-grid's own change (onto_the_same_rosseland_depths)
  // carried through the rescaling. Measured: T within 0.16 % (deep, where T rises steeply), P
  // within 0.06 %.
  const double dT = max_rel(a.TEMP.T, b.TEMP.T, 72);
  const double dP = max_rel(a.STATE.P, b.STATE.P, 72);
  std::printf("grey 5000 K rescaled to 5777 K vs grey 5777 K: max relative T %.3g P %.3g\n", dT,
              dP);
  EXPECT_LT(dT, 2e-3);
  EXPECT_LT(dP, 0.01);
}

TEST(regrid_scale, onto_a_grid_deeper_than_the_model) {
  // The first 60 depths of the grey model reach log tau = 0.5; the new grid runs on to log tau =
  // 1.975. Beyond the model's deepest point every quantity follows the straight line through its
  // last two points: T keeps rising. (The backward parabola of the last interval, continued there,
  // bent T down to negative values, and the model stopped.)
  DeckRun ref(grey_solar_deck(""));
  DeckRun d(grey_solar_deck("SCALE 60 -6.875 0.15\n"));
  ref.read();
  d.read();
  ASSERT_TRUE(ref.model) << ref.message;
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& a = *d.run;
  const atmotab::Run& b = *ref.run;
  ASSERT_EQ(a.RHOX.NRHOX, 60);
  // TAUROS holds the integrated Rosseland depth of the old grid.
  const double x59 = a.ABROSS.TAUROS(59), x60 = a.ABROSS.TAUROS(60);
  int beyond = 0;
  for (int j = 1; j <= 60; ++j) {
    if (j > 1) {
      EXPECT_GT(a.TEMP.T(j), a.TEMP.T(j - 1)) << j;
      EXPECT_GT(a.STATE.P(j), a.STATE.P(j - 1)) << j;
      EXPECT_GT(a.RHOX.RHOX(j), a.RHOX.RHOX(j - 1)) << j;
    }
    const double tau = std::exp((-6.875 + 0.15 * (j - 1)) * 2.3025851249694824);
    if (tau < x60) continue;
    ++beyond;
    const double line = b.TEMP.T(60) + (b.TEMP.T(60) - b.TEMP.T(59)) / (x60 - x59) * (tau - x60);
    EXPECT_NEAR(a.TEMP.T(j), line, 1e-9 * line) << j;
  }
  EXPECT_EQ(beyond, 10);  // depths 51..60, log tau >= 0.625
  // By hand: the old depths 59 and 60 lie at tau = 2.3746 and 3.1988 with T = 7122.8 and 7541.5 K,
  // a slope of 508.0 K per unit of tau (the grey law's dT/dtau = T / (4 (tau + 0.71)) is 520 K
  // there); at depth 60, tau = 10^1.975 = 94.41: T = 7541.5 + 508.0 (94.41 - 3.20) = 53880 K.
  EXPECT_NEAR(a.TEMP.T(60), 53880, 20);
}

TEST(regrid, departures_all_one_stay_one_and_a_reach_beyond_the_model_is_named) {
  // Ones interpolated would be 1 +- 1 ulp, and a later model with molecules would leave the LTE
  // path. The sun deck's RHOX runs from 9.7478e-3 to 8.0664 g/cm2; the grey model's first 60
  // depths to tau = 3.1988, which SCALE 60 -6.875 0.15 passes, ending at log tau = 1.975.
  struct Case {
    std::string deck;
    const char* warning;  // "" none
  };
  const Case cases[] = {
      {grey_solar_deck("SCALE 60 -6.875 0.1\n"), ""},
      {grey_solar_deck("SCALE 40 -5.9 0.13 5500. 4.2\n"),  // the first 40 depths end at tau 0.01
       "SCALE re-grid reaches 1.2 decades of Rosseland optical depth below"},
      {sun_deck_with("RHOX 7 0.011 0.023 0.17 0.33 0.91 2.3 7.7\n"), ""},
      {sun_deck_with("RHOX 3 1.E3 1.E4 1.E5\n"), "RHOX re-grid reaches 4.1 decades of RHOX below"},
      {sun_deck_with("RHOX 2 1.E-3 1.E2\n"),
       "reaches 0.99 decades of RHOX above the model's first depth and 1.1 decades of RHOX below "
       "the model's last depth"},
      {grey_solar_deck("SCALE 60 -6.875 0.15\n"),
       "SCALE re-grid reaches 1.5 decades of Rosseland optical depth below the model's last"}};
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    for (int j = 1; j <= d.run->RHOX.NRHOX; ++j)
      for (int k = 1; k <= 6; ++k)
        ASSERT_TRUE(d.run->BHYD.BHYD(j, k) == 1.0 && d.run->BHYD.BMIN(j) == 1.0) << j;
    EXPECT_NE(d.errors.str().find(c.warning), std::string::npos) << d.errors.str();
    EXPECT_EQ(d.errors.str().empty(), *c.warning == '\0') << d.errors.str();
  }
}

TEST(regrid, bad_input) {
  const std::string deck4 =
      "TEFF 5000. GRAVITY 4.\nITERATIONS 1\n"
      "READ DECK 4\n 1. 4100. 20. 0. 0.2\n 2. 4200. 40. 0. 0.4\n 3. 4300. 60. 0. 0.6\n"
      " 4. 4400. 80. 0. 0.8\n";
  struct Case {
    std::string deck;
    const char* message_part;
  };
  const Case cases[] = {
      {deck4 + "SCALE 5 -2 0.5\n",
       "SCALE card: number of depths (2 to the model's NRHOX) = 5 "
       "outside the table limit 2..4"},
      {deck4 + "SCALE 1 -2 0.5\n", "= 1 outside the table limit 2..4"},
      {deck4 + "SCALE 4 -2 0.\n", "SCALE card: step dtau = 0.000000"},
      {"TEFF 5000.\nREAD DECK 2\n 1. 4100. 20. 0. 0.2\n 2. 4200. 40. 0. 0.4\nSCALE 2 -2 1\n",
       "SCALE card: GRAVITY is not set"},
      {"TEFF 5000. GRAVITY 4.\nREAD DECK 3\n 1. 4100. 20.\n 2. 4200. 40.\n 3. 4300. 60.\n"
       "SCALE 3 -2 1\n",
       "Rosseland depth (integral of ABROSS over RHOX) does not increase at depth 2"},
      {"TEFF 5000. GRAVITY 4.\nREAD DECK 1\n 1. 4100. 20. 0. 0.2\nSCALE 1 -2 1\n",
       "SCALE card: the model to re-grid has 1 depths"},
      {deck4 + "RHOX 3 1. 3. 2.\n", "RHOX card: the new RHOX values do not increase at value 3"},
      {deck4 + "RHOX 2 1. 1.\n", "do not increase at value 2"},
      {deck4 + "RHOX 0\n", "RHOX card: number of depths NRHOX = 0 outside the table limit 1..99"},
      {deck4 + "RHOX 100\n", "NRHOX = 100 outside the table limit 1..99"},
      {"READ DECK 3\n 1. 4100.\n 3. 4200.\n 2. 4300.\nRHOX 2 1. 2.\n",
       "RHOX card: the model's RHOX does not increase at depth 3"},
  };
  for (const Case& c : cases) {
    DeckRun d(c.deck);
    d.read();
    EXPECT_EQ(d.status, 1) << c.deck;
    EXPECT_NE(d.message.find(c.message_part), std::string::npos) << c.deck << "\n" << d.message;
  }
  // The last value of a RHOX card may not be missing: the refill reads on to the end of input.
  DeckRun eof(deck4 + "RHOX 3 1. 2.\n");
  eof.read();
  EXPECT_EQ(eof.status, 2);
}

}  // namespace
}  // namespace atmotab
