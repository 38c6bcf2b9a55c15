// CH and OH photodissociation: the tables as loaded, the energy and temperature limits, the
// per-frequency column and the partition functions.
#include "opacity/choh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "common/constants.h"
#include "common/embedded_data.h"
#include "common/state.h"
#include "fortio/error.h"
#include "opacity/coolop_cache.h"

namespace atmotab {
namespace {

constexpr double HZ_PER_EV = EV_TO_CM * CLIGHT;  // frequency of 1 eV as the source counts

struct Choh : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  atmotab::Run& r = *run;
  void SetUp() override { r.RHOX.NRHOX = 1; }
  double ch(double ev, double t) {
    r.FREQ.FREQ = ev * HZ_PER_EV;
    r.TEMP.T(1) = t;
    return chop(r, 1);
  }
  double oh(double ev, double t) {
    r.FREQ.FREQ = ev * HZ_PER_EV;
    r.TEMP.T(1) = t;
    return ohop(r, 1);
  }
};

TEST_F(Choh, loaded_tables_hold_the_reference_cells_in_their_columns) {
  // Column IT (temperature) first, row N (photon energy) second.
  ch(3.0, 5000);  // loads both tables
  const CoolopRec& c = coolop_cache(r);
  EXPECT_EQ(c.TABCH(1, 1), -38.0);
  EXPECT_EQ(c.TABCH(15, 1), -38.0);
  EXPECT_EQ(c.TABCH(3, 20), sp(-22.65f));
  EXPECT_EQ(c.TABCH(15, 30), sp(-18.836f));
  EXPECT_EQ(c.TABCH(2, 80), sp(-16.724f));
  EXPECT_EQ(c.TABCH(1, 105), sp(-24.519f));
  EXPECT_EQ(c.TABOH(3, 1), sp(-27.976f));
  EXPECT_EQ(c.TABOH(15, 61), sp(-17.737f));
  EXPECT_EQ(c.TABOH(15, 100), sp(-17.353f));
  EXPECT_EQ(c.TABOH(2, 130), sp(-24.787f));
}

TEST_F(Choh, reference_cells_times_the_partition_function) {
  // On a row node (0.1 N eV, CH; 2.0 + 0.1 N eV, OH) and a column node the result is
  // 10^TAB x U(T); U(2000 K) = PARTCH(6) = 477.237, PARTOH(6) = 324.398. By hand.
  struct Case {
    bool is_ch;
    double ev, t, expected;
  };
  constexpr Case cases[] = {
      {true, 2.0, 2000, 3.9150210996133086e-22},  // 10^-24.086 x 477.237
      {false, 8.1, 2000, 7.908209538571875e-16},  // 10^-17.613 x 324.398
      {false, 12.0, 2000, 2.080071042250726e-15},
      // 1500 K: the first column pair extrapolated, 2 x (-24.086) - (-23.222); U from the
      // interval 1400..1600 K, (299.341 + 353.477) / 2.
      {true, 2.0, 1500, 3.6623692165025317e-23},
  };
  for (const Case& c : cases) {
    const double got = c.is_ch ? ch(c.ev + 1e-9, c.t) : oh(c.ev + 1e-9, c.t);
    EXPECT_NEAR(got, c.expected, 2e-5 * c.expected) << c.ev << " eV " << c.t << " K";
  }
}

TEST_F(Choh, zero_outside_the_photon_energies_and_temperatures_of_the_tables) {
  EXPECT_EQ(ch(1.999, 5000), 0.0);
  EXPECT_GT(ch(2.0001, 5000), 0.0);
  EXPECT_GT(ch(10.499, 5000), 0.0);
  EXPECT_EQ(ch(10.5001, 5000), 0.0);
  EXPECT_EQ(oh(2.099, 5000), 0.0);
  EXPECT_GT(oh(2.1001, 5000), 0.0);
  EXPECT_GT(oh(14.999, 5000), 0.0);
  EXPECT_EQ(oh(15.0001, 5000), 0.0);
  EXPECT_GT(ch(5.0, 8999), 0.0);
  EXPECT_EQ(ch(5.0, 9000), 0.0);
  EXPECT_EQ(oh(9.0, 9000), 0.0);
  // Far above the tables, where 10 EVOLT exceeds any integer: 0, not undefined behaviour.
  r.FREQ.FREQ = 1e25;
  EXPECT_EQ(chop(r, 1), 0.0);
  EXPECT_EQ(ohop(r, 1), 0.0);
  r.FREQ.FREQ = 1e10;
  EXPECT_EQ(chop(r, 1), 0.0);
}

TEST_F(Choh, the_column_is_formed_once_per_frequency) {
  const double first = ch(4.05, 5000);
  EXPECT_EQ(r.FREQ.WAVENO, 4.05 * HZ_PER_EV / CLIGHT);
  // A second call at the same frequency reuses the column (and leaves WAVENO alone).
  coolop_cache(r).TABCH(7, 40) -= 1.0;
  coolop_cache(r).TABCH(7, 41) -= 1.0;
  r.FREQ.WAVENO = 0.0;
  EXPECT_EQ(chop(r, 1), first);
  EXPECT_EQ(r.FREQ.WAVENO, 0.0);
  // A new frequency forms it again from the (changed) table: 5000 K is column 7, one dex lower.
  EXPECT_NEAR(ch(4.0500001, 5000), first / 10, 1e-5 * first);
  EXPECT_NE(r.FREQ.WAVENO, 0.0);
}

TEST(ChohPart, partition_functions_between_and_below_their_nodes) {
  EXPECT_EQ(chop_part(1000), sp(203.741f));
  EXPECT_NEAR(ohop_part(9000 - 1e-6), sp(3727.077f), 1e-5);  // the last node, from below
  EXPECT_NEAR(chop_part(2100), (sp(477.237f) + sp(547.817f)) / 2, 1e-12);
  // Below 1000 K the first interval continues: 203.741 - 4 x 45.902 = 20.133 at 200 K, and the
  // line reaches 0 near 112 K (CH) and 89 K (OH); below that the value is held at 0.
  EXPECT_NEAR(chop_part(200), 20.133, 1e-4);
  EXPECT_GT(chop_part(113), 0.0);
  EXPECT_EQ(chop_part(111), 0.0);
  EXPECT_GT(ohop_part(90), 0.0);
  EXPECT_EQ(ohop_part(88), 0.0);
  EXPECT_EQ(ohop_part(1), 0.0);
}

TEST(ChohLoad, a_damaged_table_stops_with_the_file_and_line) {
  const std::string good(embedded_data("tabch.txt"));
  Arr<double, 15, 105> tab;
  EXPECT_NO_THROW(choh_load(good, "tabch", 105, tab.data()));
  struct Case {
    const char* what;
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"wrong format", "format atmotab-taboh 1\n", "format line"},
      {"wrong count", "format atmotab-tabch 1\nrows 104 columns 15\n", "count line"},
      {"row missing",
       good.substr(0, good.find("\n  5 ") + 1) + good.substr(good.find("\n  6 ") + 1),
       "row 6, expected 5"},
      {"short table", good.substr(0, good.find("\n105 ") + 1), "ends before row 105"},
      {"bad number",
       good.substr(0, good.find("-37.268")) + "-37.2x8" + good.substr(good.find("-37.268") + 7),
       "'-37.2x8' is not a number"},
      {"extra row", good + "106 10.6 filled -30.000\n", "more rows than the count line"},
      {"short row", good.substr(0, good.find(" -37.268")) + good.substr(good.find(" -37.268") + 8),
       "expected 18 fields, found 17"},
  };
  for (const Case& c : cases) {
    try {
      choh_load(c.text, "tabch", 105, tab.data());
      ADD_FAILURE() << c.what << ": no error";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO) << c.what;
      EXPECT_NE(std::string(e.what()).find("data/tabch.txt line"), std::string::npos) << c.what;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
