// The intermediate metals: the edges of N I, O I, Mg II, Ca II, the Si II table with its row
// mapping and extrapolation, the per-model and per-frequency caches and the populations.
#include "opacity/lukeop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "opacity/lukeop_cache.h"
#include "opacity/setfreq.h"
#include "populations/model_fixture.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

// Edges of the three-parameter cross-sections: nu0 [Hz], s0 [cm^2], a, 2p.
struct Edge {
  double nu0, s0, a;
  int p2;
};
constexpr Edge EDGES[] = {
    {3.517915e15, 1.142e-17, 4.29, 4},  // N I 4S, 85.3 nm
    {2.941534e15, 4.41e-18, 3.85, 3},   // N I 2D, 102.0 nm
    {2.653317e15, 4.2e-18, 4.34, 3},    // N I 2P, 113.0 nm
    {3.28805e15, 2.94e-18, 2.66, 2},    // O I, 91.1 nm
    {3.635492e15, 1.4e-19, 6.7, 8},     // Mg II 3s, 82.4 nm
    {2.110779e15, 4.13e-18, 0.69, 6},   // Ca II 4p, 142.0 nm
};

TEST(LukeopEdges, each_edge_starts_at_its_threshold_cross_section) {
  for (const Edge& e : EDGES) {
    EXPECT_EQ(lukeop_s(e.nu0, e.nu0, e.s0, e.a, e.p2), e.s0) << e.nu0;
    EXPECT_EQ(lukeop_s(std::nextafter(e.nu0, 0.0), e.nu0, e.s0, e.a, e.p2), 0.0) << e.nu0;
    // Twice the threshold frequency, by hand: s0 (a + (1 - a)/2) 2^-p.
    EXPECT_NEAR(lukeop_s(2 * e.nu0, e.nu0, e.s0, e.a, e.p2),
                e.s0 * (e.a + (1 - e.a) / 2) * std::pow(0.5, e.p2 / 2.0), 1e-15 * e.s0)
        << e.nu0;
  }
}

struct Lukeop : ::testing::Test {
  testing::PopsRun p;
  atmotab::Run& r = p.r;
  void SetUp() override {
    p.set_depth(1, 9000, 1e3, 1e13);
    p.set_depth(2, 15000, 1e4, 2e14);
    p.set_depth(3, 25000, 1e5, 5e15);
    start_model(r);
    pops(r, 0, 1, nullptr);  // electron densities and RHO of the model
  }
  void at(double nu) { setfreq(r, nu); }
};

TEST_F(Lukeop, threshold_values_of_the_single_edge_ions) {
  at(3.28805e15);  // O I: 9 x 2.94e-18 = 2.646e-17 (x = 1 included)
  EXPECT_DOUBLE_EQ(o1op(r), 2.646e-17);
  at(2.564306e15);  // Mg II 3p: 5.11e-19 x C1169, the 3s edge not reached
  for (int j = 1; j <= 3; ++j)
    EXPECT_DOUBLE_EQ(mg2op(r, j), sp(5.11e-19f) * 6.0 * std::exp(-4.43 / r.TEMP.TKEV(j)));
  at(2.460127e15);  // Ca II 3d: 1.64e-17 x 10 exp(-1.697 eV / kT); the 4p edge lies below
  for (int j = 1; j <= 3; ++j) {
    const double c1420 = 6.0 * std::exp(-sp(3.142f) / r.TEMP.TKEV(j));
    const double x1420 = lukeop_s(2.460127e15, 2.110779e15, 4.13e-18, 0.69, 6);
    EXPECT_DOUBLE_EQ(ca2op(r, j),
                     sp(1.64e-17f) * 10.0 * std::exp(-sp(1.697f) / r.TEMP.TKEV(j)) + x1420 * c1420);
  }
  at(3.517915e15);  // N I: 4 x 1.142e-17 from the ground term plus the two excited terms
  for (int j = 1; j <= 3; ++j) {
    const double tk = r.TEMP.TKEV(j);
    const double expected =
        4 * 1.142e-17 +
        lukeop_s(3.517915e15, 2.941534e15, 4.41e-18, 3.85, 3) * 10 * std::exp(-sp(2.384f) / tk) +
        lukeop_s(3.517915e15, 2.653317e15, 4.2e-18, 4.34, 3) * 6 * std::exp(-sp(3.575f) / tk);
    EXPECT_NEAR(n1op(r, j), expected, 1e-15 * expected);
  }
}

TEST_F(Lukeop, below_the_lowest_edge_only_si2_remains) {
  at(2.1e15);
  lukeop(r);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(n1op(r, j), 0.0);
    EXPECT_EQ(o1op(r), 0.0);
    EXPECT_EQ(mg2op(r, j), 0.0);
    EXPECT_EQ(ca2op(r, j), 0.0);
    const double si2 = si2op(r, j) * lukeop_cache(r).XNFSI2(j) * r.FREQ.STIM(j) / r.STATE.RHO(j);
    EXPECT_GT(si2, 0.0);
    EXPECT_EQ(r.OPS.ALUKE(j), si2);
  }
}

TEST_F(Lukeop, si2_on_the_table_nodes) {
  // 5.9958e15 Hz is the upper end of the table, where every temperature column holds
  // ln sigma = -43.8941: 6 exp(-43.8941) = 5.19022e-19 cm^2 (T = 10000 K is the first column).
  p.set_t(2, 10000);
  start_model(r);
  at(std::exp(36.32984));
  EXPECT_NEAR(si2op(r, 2), 5.190220781779552e-19, 2e-6 * 5.19e-19);
  // Just above the first edge the interval ends on row 2 (-42.2444): 2.70173e-18, within the
  // five decimals of the ln nu grid (ln 4.9965417e15 = 36.147517 against 36.14752).
  at(4.9965417e15 * (1 + 1e-12));
  EXPECT_NEAR(si2op(r, 2), 2.701726851288329e-18, 4e-5 * 2.7e-18);
}

TEST_F(Lukeop, si2_steps_at_the_inner_edges_and_is_continuous_at_the_outer_ones) {
  // An edge frequency itself belongs to the interval below it (the test is strict).
  constexpr double FREQSI[7] = {4.9965417e15, 3.9466738e15, 1.5736321e15, 1.5171539e15,
                                9.2378947e14, 8.3825004e14, 7.6869872e14};
  for (int n = 1; n <= 7; ++n) {
    const double nu = FREQSI[n - 1];
    at(std::nextafter(nu, 1e30));
    const double above = si2op(r, 2);
    at(nu);
    const double at_edge = si2op(r, 2);
    at(std::nextafter(nu, 0.0));
    const double below = si2op(r, 2);
    EXPECT_NEAR(at_edge, below, 1e-12 * below) << n;
    if (n == 1 || n == 7)  // to the five decimals of the ln nu grid
      EXPECT_NEAR(above, below, 2e-5 * below) << n;
    else
      EXPECT_GT(std::fabs(std::log(above / below)), 0.05) << n;
  }
  // The second edge: from ln sigma = -40.6054 above (row 3) to row 4 below (-54.2389 at 10000 K,
  // -52.2906 at 12000 K ... ): a drop by more than e^5 at every temperature.
  at(std::nextafter(FREQSI[1], 1e30));
  double above[3];
  for (int j = 1; j <= 3; ++j) above[j - 1] = si2op(r, j);
  at(FREQSI[1]);
  for (int j = 1; j <= 3; ++j) EXPECT_GT(above[j - 1], std::exp(5.0) * si2op(r, j)) << j;
}

TEST_F(Lukeop, si2_extrapolates_outside_its_temperatures_and_frequencies) {
  // 9000 K uses the first interval with DT = -0.5779, 25000 K the last with DT = 3.1179 (by hand
  // from ln T). Below 7.1379e14 Hz the last interval continues without a cut-off: ln sigma keeps
  // its slope (PEACH(14) - PEACH(13)) / (FLOG(9) - FLOG(8)) = 0.2092 / -0.07411 = -2.823 at
  // 10000 K, a nu^-2.8 rise towards low frequencies; every value stays finite and positive.
  at(1e15);
  si2op(r, 1);
  EXPECT_EQ(lukeop_cache(r).SI2OP.NT(1), 1);
  EXPECT_NEAR(lukeop_cache(r).SI2OP.DT(1), -0.5778858253710192, 1e-12);
  EXPECT_EQ(lukeop_cache(r).SI2OP.NT(3), 5);
  EXPECT_NEAR(lukeop_cache(r).SI2OP.DT(3), 3.1178920259143865, 1e-12);
  for (double nu : {1e10, 1e12, 7e14, 3e15, 6e15, 1e17, 1e21})
    for (int j = 1; j <= 3; ++j) {
      at(nu);
      const double s = si2op(r, j);
      EXPECT_TRUE(std::isfinite(s) && s > 0.0) << nu << " " << j;
    }
  p.set_t(2, 10000);
  start_model(r);
  at(1e12);
  const double s12 = si2op(r, 2);
  at(1e13);
  EXPECT_NEAR(std::log10(s12 / si2op(r, 2)), 0.2092 / 0.07411, 1e-3);
}

TEST_F(Lukeop, caches_follow_the_model_counter_and_the_frequency) {
  at(3.6e15);
  lukeop(r);
  const double before = r.OPS.ALUKE(2);
  const double n1 = n1op(r, 2);
  // A changed temperature under the same ITEMP: the per-model factors stay.
  const double tkev = r.TEMP.TKEV(2);
  r.TEMP.TKEV(2) = 2 * tkev;
  EXPECT_EQ(n1op(r, 2), n1);
  // The next model with the same temperatures but another pressure: everything is formed again,
  // populations included.
  r.TEMP.TKEV(2) = tkev;
  r.STATE.P(2) *= 3;
  start_model(r);
  const double xnfn1 = lukeop_cache(r).XNFN1(2);
  lukeop(r);
  EXPECT_NE(lukeop_cache(r).XNFN1(2), xnfn1);
  EXPECT_NE(r.OPS.ALUKE(2), before);
  EXPECT_EQ(n1op(r, 2), n1);  // same temperature, same frequency
  // The same model again at another frequency: the cross-sections follow.
  at(3.7e15);
  EXPECT_NE(n1op(r, 2), n1);
}

TEST_F(Lukeop, populations_are_those_of_the_population_driver) {
  at(3.6e15);
  lukeop(r);
  Dep n;
  struct Case {
    double code;
    const Dep* got;
  };
  const Case cases[] = {{7.00, &lukeop_cache(r).XNFN1},
                        {8.00, &lukeop_cache(r).XNFO1},
                        {12.01, &lukeop_cache(r).XNFMG2},
                        {14.01, &lukeop_cache(r).XNFSI2},
                        {20.01, &lukeop_cache(r).XNFCA2}};
  for (const Case& c : cases) {
    pops(r, c.code, 1, n.data());
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ((*c.got)(j), n(j)) << c.code;
      EXPECT_GT(n(j), 0.0) << c.code;
    }
  }
}

}  // namespace
}  // namespace atmotab
