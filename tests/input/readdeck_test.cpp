// Model table of the read card and the completion of the model at the begin card.
#include "input/readdeck.h"

#include <gtest/gtest.h>

#include <cmath>

#include "input/complete_model.h"
#include "input/readin_support.h"

namespace atmotab {
namespace {

using testing::DeckRun;

constexpr double LN10_SP = 2.3025851249694824;  // ln 10 rounded to single precision

std::string model_cards(const std::string& deck) {
  return "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\n" + deck + "BEGIN\n";
}

TEST(readdeck, columns_and_missing_values) {
  DeckRun d(
      model_cards("READ DECK 2 RHOX,T,P,XNE,ABROSS,PRAD,VTURB\n"
                  " 5.12541006E-04   3719.6 1.609E-01 1.109E+09 4.944E-04 1.518E-01 "
                  "2.000E+05\n"
                  " 1.0E-03 4000.\n"));
  d.run->TURBPR.PTURB(1) = 7.5;  // left by a previous model
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& r = *d.run;
  EXPECT_EQ(r.RHOX.NRHOX, 2);
  EXPECT_DOUBLE_EQ(r.RHOX.RHOX(1), 5.12541006e-4);
  EXPECT_DOUBLE_EQ(r.TEMP.T(1), 3719.6);
  EXPECT_DOUBLE_EQ(r.STATE.P(1), 1.609e-1);
  EXPECT_DOUBLE_EQ(r.STATE.XNE(1), 1.109e9);
  EXPECT_DOUBLE_EQ(r.ABROSS.ABROSS(1), 4.944e-4);
  EXPECT_DOUBLE_EQ(r.RAD.PRAD(1), 1.518e-1);
  EXPECT_DOUBLE_EQ(r.TURBPR.VTURB(1), 2e5);
  // A card with only RHOX and T: the other five columns are 0.
  EXPECT_EQ(r.RHOX.RHOX(2), 1e-3);
  EXPECT_EQ(r.TEMP.T(2), 4000.0);
  EXPECT_EQ(r.STATE.P(2), 0.0);
  EXPECT_EQ(r.STATE.XNE(2), 0.0);
  EXPECT_EQ(r.ABROSS.ABROSS(2), 0.0);
  EXPECT_EQ(r.RAD.PRAD(2), 0.0);
  EXPECT_EQ(r.TURBPR.VTURB(2), 0.0);
  EXPECT_EQ(r.PZERO.PCON, 0.0);
  EXPECT_EQ(r.PZERO.PRADK0, 0.0);
  EXPECT_EQ(r.PZERO.PTURB0, 7.5);
  // The model table line of depth 1.
  EXPECT_NE(d.listing.str().find("\n  1 5.125410E-04   3719.6 1.609E-01 1.109E+09 4.944E-04 "
                                 "1.518E-01 2.000E+05   1.0000  1.0000  1.0000  1.0000  1.0000"
                                 "  1.0000  1.0000\n"),
            std::string::npos);
}

TEST(readdeck, negative_first_rhox_means_logarithms) {
  DeckRun d(model_cards("READ DECK 3\n -3. 4000. 1.\n -2. 4500. 1.\n 0.5 5000. 1.\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const double expected[3] = {-3.0, -2.0, 0.5};
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(d.run->RHOX.RHOX(j), std::exp(expected[j - 1] * LN10_SP)) << j;
    EXPECT_NEAR(d.run->RHOX.RHOX(j), std::pow(10.0, expected[j - 1]),
                1e-6 * std::pow(10.0, expected[j - 1]));
  }
}

TEST(readdeck, radiative_acceleration_form) {
  // RAD constant: the running integral from RAD(1) RHOX(1) is RAD x RHOX at every depth.
  DeckRun d(
      model_cards("READ DECK6 4 RHOX,T,P,XNE,ABROSS,ACCRAD,VTURB\n"
                  " 1. 4000. 1. 0. 0. 2.5\n 2. 4100. 1. 0. 0. 2.5\n"
                  " 3. 4200. 1. 0. 0. 2.5\n 4. 4300. 1. 0. 0. 2.5\n"
                  "PRADK 1.4878E+00\n"));
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  const atmotab::Run& r = *d.run;
  EXPECT_EQ(r.PZERO.PRADK0, 1.4878);
  for (int j = 1; j <= 4; ++j) {
    EXPECT_EQ(r.RAD.RAD(j), 2.5) << j;
    EXPECT_NEAR(r.RAD.PRAD(j), 2.5 * j, 1e-12) << j;
    EXPECT_NEAR(r.PZERO.PRADK(j), 2.5 * j + 1.4878, 1e-12) << j;
  }
  // RAD linear in RHOX (RAD = RHOX): the parabolic integral is exact, RHOX^2 / 2 + RHOX(1)^2 / 2.
  DeckRun e(
      model_cards("READ DECK6 5\n 1. 4000. 1. 0. 0. 1.\n 2. 4100. 1. 0. 0. 2.\n"
                  " 3. 4200. 1. 0. 0. 3.\n 4. 4300. 1. 0. 0. 4.\n 5. 4300. 1. 0. 0. 5.\n"
                  "PRADK 0.\n"));
  e.read();
  ASSERT_TRUE(e.model) << e.message;
  for (int j = 1; j <= 5; ++j) EXPECT_NEAR(e.run->RAD.PRAD(j), 0.5 * j * j + 0.5, 1e-12) << j;
}

TEST(readdeck, pradk_card_is_required) {
  DeckRun d("READ DECK6 1\n 1. 4000. 1. 0. 0. 2.5\nBEGIN\n");
  d.read();
  EXPECT_EQ(d.status, EXIT_FAILURE_REPORTED);
  EXPECT_EQ(d.listing.str().rfind("1FREEFF HAS READ OFF THE END\n BEGIN", 0), 0u);
}

TEST(complete_model, per_depth_quantities) {
  std::ostringstream listing;
  auto run = make_run(listing);
  atmotab::Run& r = *run;
  r.RHOX.NRHOX = 1;
  r.TEMP.T(1) = 5000;
  r.STATE.P(1) = 1e5;
  r.STATE.XNE(1) = 1e12;
  r.TURBPR.VTURB(1) = 2e5;
  complete_model(r);
  EXPECT_NEAR(r.TEMP.TK(1), 6.9027e-13, 1e-25);
  EXPECT_NEAR(r.TEMP.TKEV(1), 0.430855, 1e-12);
  EXPECT_NEAR(r.TEMP.HKT(1), 6.6256e-27 / 6.9027e-13, 1e-25);
  EXPECT_NEAR(r.TEMP.HCKT(1), 6.6256e-27 / 6.9027e-13 * 2.99792458e10, 1e-15);
  EXPECT_NEAR(r.TEMP.TLOG(1), 8.517193191416238, 1e-14);
  EXPECT_NEAR(r.STATE.XNATOM(1), 1.4486984763932954e17, 1e3);  // 1e5 / kT - 1e12
  // Mean mass per heavy particle of the initial abundances: 0.911 x 1.008 + 0.089 x 4.003 = 1.2746
  // from H and He, and 0.0252 amu from the metals (O 7.76e-4 x 16, C 3.31e-4 x 12, Ne, N, Fe, Mg,
  // Si, ...; summed by hand over Z = 3..30, the heavier elements add below 1e-5).
  EXPECT_NEAR(r.ELEM.WTMOLE, 1.29976, 2e-5);
  EXPECT_EQ(r.ELEM.XABUND(1), r.ELEM.ABUND(1));
  EXPECT_NEAR(r.ELEM.XABUND(26), std::pow(10.0, -4.37), 1e-6 * std::pow(10.0, -4.37));
  EXPECT_NEAR(r.STATE.RHO(1), r.STATE.XNATOM(1) * r.ELEM.WTMOLE * 1.66e-24, 1e-15 * r.STATE.RHO(1));
  EXPECT_NEAR(r.TURBPR.PTURB(1), 0.5 * r.STATE.RHO(1) * 4e10, 1e-15 * r.TURBPR.PTURB(1));
}

}  // namespace
}  // namespace atmotab
