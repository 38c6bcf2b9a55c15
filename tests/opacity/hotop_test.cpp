// The hot metals: the level table at its thresholds, the 1 % skip test in table order, the
// populations and the conversion to absorption per gram.
#include "opacity/hotop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "opacity/hotop_cache.h"
#include "opacity/setfreq.h"
#include "populations/model_fixture.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

TEST(HotopLevels, thresholds_rise_and_each_level_starts_at_its_threshold_value) {
  for (int i = 2; i <= 60; ++i) EXPECT_GT(hotop_nu0(i), hotop_nu0(i - 1)) << i;
  EXPECT_EQ(hotop_nu0(1), 4.149945e15);
  EXPECT_EQ(hotop_nu0(60), 3.818757e16);
  // At nu0, x = 1: s0 (a + 1 - a) sqrt(1) = s0 exactly (values of the level table).
  struct Case {
    int row;
    float s0;
  };
  constexpr Case cases[] = {{1, 6.9e-18f},  {4, 5.35e-18f},  {9, 6.65e-18f}, {14, 7.32e-18f},
                            {23, 9.1e-19f}, {40, 1.27e-18f}, {57, 1.4e-18f}, {60, 4.9e-19f}};
  for (const Case& c : cases) EXPECT_EQ(hotop_xsect(c.row, hotop_nu0(c.row)), sp(c.s0)) << c.row;
  // Twice the threshold of row 14 (O II 4S, a = 3.837, m = 5), by hand:
  // 7.32e-18 (3.837 + 0.5 - 1.9185) 0.5^2.5 = 3.12748e-18.
  EXPECT_NEAR(hotop_xsect(14, 2 * 8.497686e15), 7.32e-18 * 2.4185 * std::pow(0.5, 2.5), 1e-24);
}

struct Hotop : ::testing::Test {
  testing::PopsRun p;
  atmotab::Run& r = p.r;
  void SetUp() override {
    p.set_depth(1, 12000, 1e3, 1e13);
    p.set_depth(2, 20000, 1e4, 2e14);
    p.set_depth(3, 35000, 1e5, 5e15);
    start_model(r);
    pops(r, 0, 1, nullptr);
  }
  void run_at(double nu) {
    setfreq(r, nu);
    r.OPS.AHOT.fill(0.0);  // as the opacity driver leaves it
    hotop(r);
  }
};

TEST_F(Hotop, nothing_below_the_first_threshold) {
  run_at(std::nextafter(4.149945e15, 0.0));
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(r.OPS.AHOT(j), 0.0);
  run_at(4.149945e15);
  for (int j = 1; j <= 3; ++j) EXPECT_GT(r.OPS.AHOT(j), 0.0);
}

TEST_F(Hotop, populations_come_from_the_population_driver) {
  run_at(1e16);
  struct Call {
    double code;
    int first, stages;
  };
  constexpr Call calls[] = {{6.03, 1, 4}, {7.04, 5, 5}, {8.05, 10, 6}, {10.05, 16, 6}};
  Arr<double, NDEPTH, 6> n;
  for (const Call& c : calls) {
    pops(r, c.code, 11, n.data());
    for (int s = 1; s <= c.stages; ++s)
      for (int j = 1; j <= 3; ++j)
        EXPECT_EQ(hotop_cache(r).XNFPHOT(j, c.first + s - 1), n(j, s)) << c.code;
  }
}

TEST_F(Hotop, single_level_by_hand) {
  // Between rows 1 and 2 only C II 2p2 4P (g 6, E 13.71 eV) contributes:
  // AHOT = n/U(C II) 6 XSECT exp(-13.71 eV / kT) STIM / RHO.
  const double nu = 4.3e15;
  run_at(nu);
  for (int j = 1; j <= 3; ++j) {
    const double expected = hotop_cache(r).XNFPHOT(j, 2) * 6 * hotop_xsect(1, nu) *
                            std::exp(-sp(13.71f) / r.TEMP.TKEV(j)) * r.FREQ.STIM(j) /
                            r.STATE.RHO(j);
    EXPECT_NEAR(r.OPS.AHOT(j), expected, 1e-14 * expected);
  }
}

TEST_F(Hotop, a_level_at_one_per_cent_of_the_running_sum_is_skipped) {
  // At 5.222307e15 Hz rows 1-3 (C II) and row 4 (Ne I, g 1, E 0) are reached. With kT so large
  // that every Boltzmann factor is exactly 1, the sum after rows 1-3 is S3 = XX1 + XX2 + XX3; the
  // Ne I row adds XX4 only where S3 / 100 < XX4 (strictly), and a row of an ion with n/U = 0
  // never enters.
  const double nu = 5.222307e15;
  setfreq(r, nu);
  hotop_cache(r).MODEL = model_key(r);  // the populations below stand for this model
  hotop_cache(r).XNFPHOT.fill(0.0);
  hotop_cache(r).BOLTHOT.fill(1.0);
  hotop_cache(r).XNFPHOT(1, 2) = 1e9;
  double s3 = 0;
  const double g[] = {6, 2, 10};
  for (int i = 1; i <= 3; ++i) s3 += 1e9 * g[i - 1] * hotop_xsect(i, nu);
  const double x4 = hotop_xsect(4, nu);
  ASSERT_EQ(x4, sp(5.35e-18f));
  // n/U of Ne I so that XX4 = n x 1 x XSECT4 is exactly S3 / 100.
  double n = s3 / 100 / x4;
  for (int k = 0; k < 64 && n * 1.0 * x4 != s3 / 100; ++k)
    n = std::nextafter(n, n * 1.0 * x4 < s3 / 100 ? 1e300 : 0.0);
  ASSERT_EQ(n * 1.0 * x4, s3 / 100);
  hotop_cache(r).XNFPHOT(1, 16) = n;
  hotop_cache(r).XNFPHOT(2, 2) = 1e9;
  hotop_cache(r).XNFPHOT(2, 16) = std::nextafter(n, 1e300);  // just above: enters
  hotop_cache(r).XNFPHOT(3, 16) = 1e9;                       // C II empty: Ne I is the first row
  r.OPS.AHOT.fill(0.0);
  hotop(r);
  auto per_gram = [&](int j, double a) { return a * r.FREQ.STIM(j) / r.STATE.RHO(j); };
  EXPECT_EQ(r.OPS.AHOT(1), per_gram(1, s3));
  EXPECT_EQ(r.OPS.AHOT(2), per_gram(2, s3 + std::nextafter(n, 1e300) * 1.0 * x4));
  EXPECT_EQ(r.OPS.AHOT(3), per_gram(3, 1e9 * 1.0 * x4));
}

TEST_F(Hotop, populations_follow_the_model_counter) {
  run_at(1e16);
  const double before = r.OPS.AHOT(2);
  r.STATE.P(2) *= 3;
  run_at(1e16);
  EXPECT_EQ(r.OPS.AHOT(2), before);  // same model: nothing formed again
  start_model(r);                    // next model, same temperatures
  run_at(1e16);
  EXPECT_NE(r.OPS.AHOT(2), before);
}

TEST_F(Hotop, empty_depth_stays_zero) {
  run_at(2e16);
  hotop_cache(r).XNFPHOT.fill(0.0);
  r.OPS.AHOT.fill(0.0);
  hotop(r);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(r.OPS.AHOT(j), 0.0);
}

}  // namespace
}  // namespace atmotab
