// Helium Rayleigh scattering: the cross-section against Colgan et al. 2016, the cap at 5.15e15 Hz,
// and the coefficient per gram with the ground-state departure coefficient.
#include "opacity/heraop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/constants.h"
#include "common/state.h"
#include "helium_model.h"

namespace atmotab {
namespace {

TEST(heraop, cross_section_matches_colgan_2016) {
  // Colgan, Kilcrease, Magee et al. 2016 (ApJ 817, 116), eq. 7, He I [cm^2], as tabulated in the
  // project's reference data: the same dispersion formula, within 0.03 % from 200 nm on and 1.1 %
  // at 130 nm.
  struct Case {
    double lam_nm, sigma, tol;
  };
  constexpr Case cases[] = {
      {130.0, 2.5974e-26, 0.012},  {150.0, 1.3577e-26, 0.005},  {200.0, 3.8865e-27, 0.001},
      {300.0, 7.1553e-28, 0.001},  {500.0, 8.9503e-29, 0.001},  {1000.0, 5.5118e-30, 0.001},
      {2000.0, 3.4322e-31, 0.001}, {5000.0, 8.7774e-33, 0.001},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(heraop_xsect(CLIGHT_NM / c.lam_nm) / c.sigma, 1.0, c.tol) << c.lam_nm << " nm";
}

TEST(heraop, capped_at_5_15e15_hz) {
  // Rising towards the 58.4 nm resonance; from 5.15e15 Hz (58.2 nm) on, the value there.
  const double cap = heraop_xsect(5.15e15);
  EXPECT_EQ(heraop_xsect(6e15), cap);
  EXPECT_EQ(heraop_xsect(1e21), cap);
  double prev = 0;
  for (double lg = 10.0; lg < std::log10(5.15e15); lg += 0.01) {
    const double s = heraop_xsect(std::pow(10.0, lg));
    EXPECT_GT(s, prev) << "log nu " << lg;
    prev = s;
  }
  EXPECT_LT(prev, cap);
  EXPECT_NEAR(cap, 1.3453e-23, 0.0001e-23);  // the formula at 582.12 A
}

TEST(heraop, per_gram_with_the_ground_state_departure_coefficient) {
  std::ostringstream listing;
  auto run = make_run(listing);
  constexpr testing::HeLayer L[] = {{5000.0, 1.0e12, 2.0e-8, 1.5e15, 0.0, 0.0},
                                    {5000.0, 1.0e12, 2.0e-8, 1.5e15, 0.0, 0.0}};
  testing::fill_helium(*run, L);
  run->BHE.BHE1(2, 1) = 0.5;
  setfreq(*run, CLIGHT_NM / 500.0);
  heraop(*run);
  EXPECT_NEAR(run->BHE.SIGHE(1), 1.5e15 * 8.9503e-29 / 2.0e-8, 1e-3 * run->BHE.SIGHE(1));
  EXPECT_NEAR(run->BHE.SIGHE(2) / run->BHE.SIGHE(1), 0.5, 1e-15);
}

}  // namespace
}  // namespace atmotab
