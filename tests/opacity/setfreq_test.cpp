// The FREQ record of one frequency: Planck function, stimulated-emission factor, wavenumber.
#include "opacity/setfreq.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <sstream>

#include "common/state.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

TEST(setfreq, planck_function_and_factors) {
  std::ostringstream listing;
  auto run = make_run(listing);
  testing::fill_model(*run, testing::SOLAR3);
  // Planck's law with the program's h = 6.6256e-27 erg s, k = 1.38054e-16 erg/K and c.
  constexpr double H = 6.6256e-27, K = 1.38054e-16, C = 2.99792458e10;
  const double freqs[] = {1e13, 5.99584916e14 /* 500 nm */, 3e15};
  for (double nu : freqs) {
    setfreq(*run, nu);
    EXPECT_EQ(run->FREQ.FREQ, nu);
    EXPECT_NEAR(run->FREQ.FREQLG, std::log(nu), 1e-15 * std::log(nu));
    EXPECT_NEAR(run->FREQ.WAVENO, nu / C, 1e-12 * nu / C);
    for (int j = 1; j <= 3; ++j) {
      const double x = H * nu / (K * testing::SOLAR3[j - 1].T);
      const double planck = 2 * H * nu * nu * nu / (C * C) / std::expm1(x);
      EXPECT_NEAR(run->FREQ.BNU(j) / planck, 1.0, 5e-6) << "nu = " << nu << " depth " << j;
      EXPECT_NEAR(run->FREQ.EHVKT(j), std::exp(-x), 1e-13 * std::exp(-x));
      EXPECT_EQ(run->FREQ.STIM(j), 1.0 - run->FREQ.EHVKT(j));
    }
  }
  // 500 nm: wavenumber 20000 cm^-1; B_nu at 6400 K = 2hnu^3/c^2 / (e^4.4962 - 1) = 3.5839e-5.
  setfreq(*run, 5.99584916e14);
  EXPECT_NEAR(run->FREQ.WAVENO, 20000.0, 1e-6);
  EXPECT_NEAR(run->FREQ.BNU(2), 3.5839e-5, 0.0001e-5);
}

TEST(setfreq, rayleigh_jeans_limit) {
  // h nu << kT: B_nu -> 2 nu^2 k T / c^2.
  std::ostringstream listing;
  auto run = make_run(listing);
  testing::fill_model(*run, testing::SOLAR3);
  const double nu = 1e10;
  setfreq(*run, nu);
  const double rj = 2 * nu * nu * 1.38054e-16 * 9500.0 / (2.99792458e10 * 2.99792458e10);
  EXPECT_NEAR(run->FREQ.BNU(3) / rj, 1.0, 1e-4);
}

// STIM and BNU run in vector instructions over the depths: every depth of the vector body and of
// the tail holds the bits of the formula evaluated one depth at a time, also where h nu / kT is
// so small that STIM is 0 (BNU = +Inf) or so large that EHVKT underflows to 0 (BNU = 0).
TEST(setfreq, every_depth_holds_the_bits_of_the_formula) {
  std::ostringstream listing;
  auto run = make_run(listing);
  const double HKT[] = {4.8e-15, 1e-11, 2.3e-13, 1e-33, 7.7e-16, 1e-9,  3.1e-14,
                        1e-40,   5e-12, 6.2e-15, 1e-13, 9.9e-16, 2e-31, 1.2e-14,
                        8e-15,   4e-14, 2.5e-15, 3e-12, 1.7e-15};
  const double nu = 6.1e14;
  const double F15 = nu / 1e15, F3 = F15 * F15 * F15;
  for (int n = 1; n <= static_cast<int>(std::size(HKT)); ++n) {
    run->RHOX.NRHOX = n;
    for (int j = 1; j <= n; ++j) run->TEMP.HKT(j) = HKT[j - 1];
    setfreq(*run, nu);
    for (int j = 1; j <= n; ++j) {
      const double E = std::exp(-nu * HKT[j - 1]);
      const double S = 1.0 - E;
      const double B = 1.47439e-2 * F3 * E / S;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(run->FREQ.STIM(j)), std::bit_cast<std::uint64_t>(S));
      EXPECT_EQ(std::bit_cast<std::uint64_t>(run->FREQ.BNU(j)), std::bit_cast<std::uint64_t>(B))
          << n << " depths, depth " << j;
    }
  }
}

}  // namespace
}  // namespace atmotab
