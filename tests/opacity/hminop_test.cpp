// H-minus: the photodetachment cross-section against Wishart (1979) and John's (1988) fit, its
// cut-offs; the free-free coefficient against Bell & Berrington (1987); the opacity minimum near
// 1.6 um; departure coefficients and the source function.
#include "opacity/hminop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

constexpr double CNM = 2.99792458e17;  // speed of light [nm s^-1]

// John 1988 (A&A 193, 189) fit to the H-minus photodetachment cross-section [1e-18 cm^2], lambda
// in um (0.125 .. 1.6419 um); it follows Wishart (1979) within 0.5 %.
double john1988(double lam_um) {
  constexpr double C[6] = {152.519, 49.534, -118.858, 92.536, -34.194, 4.982};
  const double x = 1 / lam_um - 1 / 1.6419;
  double f = 0;
  for (int n = 5; n >= 0; --n) f = f * std::sqrt(x) + C[n];
  return lam_um * lam_um * lam_um * std::pow(x, 1.5) * f;
}

TEST(hminop, bound_free_against_wishart_and_john) {
  // Wishart 1979 maximum: 40.01e-18 cm^2 at 850 nm, 37.89e-18 at 1000 nm (table points).
  EXPECT_NEAR(hminop_bf(CNM / 850.0), 40.01, 1e-5);
  EXPECT_NEAR(hminop_bf(CNM / 1000.0), 37.89, 1e-5);
  // Between the points, within 0.7 % of John's fit (itself within 0.5 % of Wishart).
  for (double lam : {212.5, 437.5, 862.5, 1212.5, 1587.5}) {
    EXPECT_NEAR(hminop_bf(CNM / lam) / john1988(lam / 1000), 1.0, 7e-3) << lam << " nm";
  }
}

TEST(hminop, bound_free_cut_offs) {
  // Zero at and below the cut 1.82365e14 Hz (1643.9144 nm), and in the sliver between the last
  // point (1643.91 nm, 0) and the cut, where the straight line through the last two points is
  // below 0.
  EXPECT_EQ(hminop_bf(1.82365e14), 0.0);
  EXPECT_LT(hminop_bf(CNM / 1643.91), 1e-6);  // the last point (0), up to the rounding of 1643.91
  EXPECT_EQ(hminop_bf(CNM / 1643.912), 0.0);
  EXPECT_GT(hminop_bf(CNM / 1640.0), 0.0);
  // Below 18 nm the first two points are extrapolated: 0.067 - 0.013125 per nm, positive at
  // 15 nm, held at 0 below 12.9 nm instead of going negative.
  EXPECT_NEAR(hminop_bf(CNM / 15.0), 0.067 - 3 * (0.088 - 0.067) / 1.6, 1e-7);
  for (double lam : {12.0, 5.0, 0.01}) EXPECT_EQ(hminop_bf(CNM / lam), 0.0) << lam << " nm";
}

struct Hminus : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override {
    testing::fill_model(*run, testing::SOLAR3);
    start_model(*run);
  }
  void at(double lam) {
    setfreq(*run, CNM / lam);
    hminop(*run);
  }
};

TEST_F(Hminus, free_free_against_bell_and_berrington) {
  // Beyond the photodetachment threshold AHMIN is free-free only: K 1e-26 Pe n(H I, n = 1) / RHO
  // with Pe = ne k T. Bell & Berrington 1987, Table 1 [1e-26 cm^4 dyn^-1]: 2278 nm (91.134/0.04)
  // and theta = 1.0: 3.37; 4557 nm (91.134/0.02) and theta = 0.6: 8.16; 15189 nm and theta 3.6:
  // 388. The program's k T (6.95851632e-13 erg at 5040 K) differs from CODATA's by 6e-6.
  struct Case {
    double lam_nm, theta, K;
  };
  constexpr Case cases[] = {
      {91.134 / 0.04, 1.0, 3.37}, {91.134 / 0.02, 0.6, 8.16}, {91.134 / 0.006, 3.6, 388.0}};
  for (const Case& c : cases) {
    testing::Layer layer[1] = {{5040.0 / c.theta, 1e13, 1e-7, 1e16}};
    testing::fill_model(*run, layer);
    start_model(*run);
    at(c.lam_nm);
    const double T = run->TEMP.T(1);
    const double expected = c.K * 1e-26 * (1e13 * 1.380649e-16 * T) * (2 * 1e16) / 1e-7;
    EXPECT_NEAR(run->BHYD.AHMIN(1) / expected, 1.0, 1e-4) << c.lam_nm << " nm";
  }
}

TEST_F(Hminus, nothing_negative_at_x_ray_wavelengths_in_hot_layers) {
  // At 2 nm and 20000 K (theta 0.25) the free-free coefficient, extrapolated in wavelength and then
  // in theta, would be negative (-4e-8 cm^2/g in the warm example model); it is held at 0, and the
  // bound-free cross-section is 0 below 12.9 nm, so AHMIN is 0.
  testing::Layer hot[1] = {{20000.0, 1e15, 1e-8, 1e12}};
  testing::fill_model(*run, hot);
  start_model(*run);
  for (double lam : {2.0, 0.5, 0.001}) {
    at(lam);
    EXPECT_EQ(run->BHYD.AHMIN(1), 0.0) << lam << " nm";
    EXPECT_EQ(run->BHYD.SHMIN(1), 0.0) << lam << " nm";
  }
  at(20.0);  // while at 20 nm the extrapolated coefficient is still positive
  EXPECT_GT(run->BHYD.AHMIN(1), 0.0);
}

TEST_F(Hminus, opacity_minimum_near_1_6_um) {
  // Bound-free ends at 1.64 um, free-free grows as lambda^2: the minimum of the H-minus opacity
  // lies at the threshold (the solar 1.6 um window).
  auto ahmin = [&](double lam) {
    at(lam);
    return run->BHYD.AHMIN(2);
  };
  const double a16 = ahmin(1650.0);
  EXPECT_LT(a16, ahmin(1200.0));
  EXPECT_LT(a16, ahmin(2200.0));
  // At the 850 nm bound-free maximum the layer at 6400 K absorbs 2.6 times more.
  const double a850 = ahmin(850.0);
  EXPECT_GT(a850, 2 * a16);
}

TEST_F(Hminus, source_function_with_unit_departure_coefficients) {
  for (double lam : {100.0, 500.0, 1500.0, 5000.0}) {
    at(lam);
    for (int j = 1; j <= 3; ++j)
      EXPECT_NEAR(run->BHYD.SHMIN(j) / run->FREQ.BNU(j), 1.0, 1e-13) << lam << " nm";
  }
}

TEST_F(Hminus, bound_free_from_the_saha_density_and_departure_coefficient) {
  // The bound-free part is proportional to n(H-), itself to BMIN, times (1 - EHVKT/BMIN): BMIN = 2
  // multiplies it by r = (2 - EHVKT)/(1 - EHVKT) and leaves free-free alone, which separates the
  // two. The bound-free part must be sigma(900 nm) n(H-) STIM / RHO with the Saha density
  // n(H-) = n(H I, n = 1) ne exp(0.754195 eV/kT) / (4 (2 pi m k T/h^2)^1.5) (ground-state weights
  // 2 and 1, CODATA 2018 constants; electron affinity from McLaughlin et al. 2017).
  const double lam = 900.0;
  at(lam);
  const double a1 = run->BHYD.AHMIN(2), s1 = run->BHYD.SHMIN(2);
  run->BHYD.BMIN(2) = 2.0;
  start_model(*run);
  at(lam);
  const double ehv = run->FREQ.EHVKT(2), stim = run->FREQ.STIM(2);
  const double r = (2 - ehv) / (1 - ehv);
  const double bf1 = (run->BHYD.AHMIN(2) - a1) / (r - 1);
  const double T = run->TEMP.T(2), kT_erg = 1.380649e-16 * T;
  const double saha =
      std::pow(2 * M_PI * 9.1093837015e-28 * kT_erg / std::pow(6.62607015e-27, 2), 1.5);
  const double nhmin = 2 * testing::SOLAR3[1].XNFPH1 * testing::SOLAR3[1].XNE *
                       std::exp(0.754195 / (8.617333262e-5 * T)) / (4 * saha);
  EXPECT_NEAR(bf1 / (hminop_bf(CNM / lam) * 1e-18 * nhmin * stim / testing::SOLAR3[1].RHO), 1.0,
              2e-3);
  EXPECT_GT(a1 - bf1, 0.0);  // the free-free part
  EXPECT_LT(a1 - bf1, 0.2 * a1);
  // With BMIN = 2 the bound-free source function BNU STIM / (2 - EHVKT) is below BNU.
  EXPECT_NEAR(s1 / run->FREQ.BNU(2), 1.0, 1e-13);
  EXPECT_LT(run->BHYD.SHMIN(2), run->FREQ.BNU(2));
}

TEST(hminop, lte_model_gives_the_bits_of_the_general_case) {
  // Where every BMIN of the model is 1 the division EHVKT / BMIN is left out. The same three
  // layers with a fourth one out of LTE (the general case) must give the same bits at the first
  // three depths; and a run going from one model to the other, and back, as fresh runs do.
  auto fill = [](atmotab::Run& r, bool fourth) {
    constexpr testing::Layer L4[] = {
        testing::SOLAR3[0], testing::SOLAR3[1], testing::SOLAR3[2], {5500.0, 1e12, 1e-7, 3e16}};
    testing::fill_model(r, L4);
    r.RHOX.NRHOX = fourth ? 4 : 3;
    for (int j = 1; j <= 4; ++j) {
      r.BHYD.BHYD(j, 1) = 1.0;
      r.BHYD.BMIN(j) = j == 4 ? 1.7 : 1.0;
    }
    start_model(r);
  };
  std::ostringstream l1, l2, l3;
  auto lte = make_run(l1), general = make_run(l2), sequence = make_run(l3);
  fill(*lte, false);
  fill(*general, true);
  for (bool fourth : {false, true, false}) {
    fill(*sequence, fourth);
    for (double lam : {120.0, 500.0, 850.0, 1600.0, 1643.95, 5000.0, 1e5}) {
      for (atmotab::Run* r : {lte.get(), general.get(), sequence.get()}) {
        setfreq(*r, CNM / lam);
        hminop(*r);
      }
      const atmotab::Run& same = fourth ? *general : *lte;
      for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(general->BHYD.AHMIN(j), lte->BHYD.AHMIN(j)) << lam << " nm, J = " << j;
        EXPECT_EQ(general->BHYD.SHMIN(j), lte->BHYD.SHMIN(j)) << lam << " nm, J = " << j;
      }
      for (int j = 1; j <= sequence->RHOX.NRHOX; ++j) {
        EXPECT_EQ(sequence->BHYD.AHMIN(j), same.BHYD.AHMIN(j)) << lam << " nm, J = " << j;
        EXPECT_EQ(sequence->BHYD.SHMIN(j), same.BHYD.SHMIN(j)) << lam << " nm, J = " << j;
      }
    }
  }
}

}  // namespace
}  // namespace atmotab
