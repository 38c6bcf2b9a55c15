// Neutral hydrogen: xkarsas against the exact level cross-sections (the closed form of the ground
// level and the exact thresholds of levels 1..15), hydrogenic scaling, and hop's level thresholds,
// source function, Lyman continuum per atom with a departure coefficient, free-free term and
// per-model tables.
#include "opacity/hop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/state.h"
#include "opacity/coulff.h"
#include "opacity/hop_cache.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

constexpr double CNM = 2.99792458e17;                             // speed of light [nm s^-1]
constexpr double ALPHA = 7.2973525693e-3, A0 = 5.29177210903e-9;  // CODATA 2018

// Exact ground-level cross-section at eps Rydberg above threshold (Bethe & Salpeter 1957, section
// 71): (2^9 pi^2/3) alpha a0^2 x^-4 exp(-4 atan(e)/e) / (1 - exp(-2 pi/e)), x = 1 + eps,
// e = sqrt(eps). The table carries the Kramers scale 2.815e29 with R_H (data/PROVENANCE.md),
// 0.00064 dex above the infinite-mass value.
double sigma1(double eps) {
  const double e = std::sqrt(eps), x = 1 + eps;
  return std::pow(2.0, 9) * M_PI * M_PI / 3 * ALPHA * A0 * A0 / (x * x * x * x) *
         std::exp(-4 * std::atan(e) / e) / -std::expm1(-2 * M_PI / e) * std::pow(10.0, 0.00064);
}

// Frequency of eps Rydberg above the threshold of level n [Hz] (R_H = 109677.58 cm^-1).
double nu_of(double eps, int n) { return (eps + 1.0 / (n * n)) * 109677.58 * 29979245800.0; }

struct Hydrogen : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override {
    testing::fill_model(*run, testing::SOLAR3);
    for (int j = 1; j <= 3; ++j) run->BHYD.XNFPH(j, 2) = 0.3 * run->STATE.XNE(j);
    start_model(*run);
  }
  double threshold_nu(int n) {
    xkarsas_load(*run);
    return std::pow(10.0, double(xkarsas_cache(*run).FREQN(29, n)));
  }
};

TEST_F(Hydrogen, xkarsas_cell_is_the_first_grid_point_below) {
  // The bisection against the scan from I = 2 that it replaces, at every grid point of every level
  // and one float step to either side (the ties decide the cell), and beyond both ends.
  xkarsas_load(*run);
  const XkarsasRec& t = xkarsas_cache(*run);
  for (int n = 1; n <= 15; ++n) {
    std::vector<float> xs = {-1e30f, 1e30f};
    for (int i = 1; i <= 29; ++i)
      for (float x : {t.FREQN(i, n), std::nextafter(t.FREQN(i, n), 0.0f),
                      std::nextafter(t.FREQN(i, n), 100.0f)})
        xs.push_back(x);
    for (float x : xs) {
      int scan = 2;
      while (scan < 29 && !(t.FREQN(scan, n) < x)) ++scan;
      EXPECT_EQ(xkarsas_cell(t, x, n), scan) << "n = " << n << ", log10 nu = " << x;
    }
  }
}

TEST_F(Hydrogen, xkarsas_at_the_thresholds) {
  // Exact threshold cross-sections of levels 1..15 per atom in the level [cm^2] (Karzas & Latter
  // 1961 Gaunt factors; ../shared/data/reference/h_bf_threshold_n1-15.tsv). The table is 0.00064
  // dex (0.15 %) above them by its Kramers scale.
  constexpr double EXACT[15] = {6.304318e-18, 1.385611e-17, 2.152719e-17, 2.924804e-17,
                                3.699783e-17, 4.476708e-17, 5.255054e-17, 6.034496e-17,
                                6.814814e-17, 7.595852e-17, 8.377494e-17, 9.159654e-17,
                                9.942261e-17, 1.072526e-16, 1.150861e-16};
  for (int n = 1; n <= 15; ++n) {
    const double nu = threshold_nu(n);
    EXPECT_NEAR(xkarsas(*run, nu, 1.0, n) / EXACT[n - 1], 1.0015, 2e-4) << "n = " << n;
    // log10 nu is rounded to single precision (steps of 2e-6 in nu near 1e15 Hz).
    EXPECT_EQ(xkarsas(*run, nu * (1 - 3e-6), 1.0, n), 0.0) << "n = " << n;
    // The threshold lies at 3.288051e15 / n^2 Hz (the Lyman limit over n^2).
    EXPECT_NEAR(nu * n * n / 3.288051e15, 1.0, 1e-6) << "n = " << n;
  }
  // Check value: 6.31e-18 cm^2 for the ground level, the table's 10^-17.199715 = 6.3137e-18.
  const double s1 = xkarsas(*run, threshold_nu(1), 1.0, 1);
  EXPECT_NEAR(s1 / 6.31e-18, 1.0, 1e-3);
  EXPECT_NEAR(s1 / std::pow(10.0, -17.199715), 1.0, 1e-6);
}

TEST_F(Hydrogen, xkarsas_between_the_grid_points) {
  // Linear in log sigma against log nu between grid points: within 0.3 % of the exact ground
  // level (the largest error at 10 Rydberg, where the grid is 6.25, 11.11).
  for (double eps : {0.003, 0.1, 0.5, 2.0, 10.0, 300.0}) {
    EXPECT_NEAR(xkarsas(*run, nu_of(eps, 1), 1.0, 1) / sigma1(eps), 1.0, 3e-3) << "eps = " << eps;
  }
  // Far above the grid (10000 Rydberg = 1.4e-2 nm) the first interval is extrapolated: sigma
  // keeps falling roughly as nu^-3.5 and stays positive.
  const double s1 = xkarsas(*run, 1e20, 1.0, 3), s2 = xkarsas(*run, 1e21, 1.0, 3);
  EXPECT_GT(s2, 0.0);
  EXPECT_NEAR(std::log10(s1 / s2), 3.48, 0.02);
}

TEST_F(Hydrogen, xkarsas_scales_hydrogenically) {
  // sigma_Z(nu) = sigma_H(nu / Z^2) / Z^2 (He II: Z^2 = 4), to the bit.
  for (int n : {1, 2, 6, 15})
    for (double eps : {0.0, 0.02, 1.0, 40.0}) {
      const double nu = nu_of(eps, n) * (1 + 1e-7);
      EXPECT_EQ(xkarsas(*run, 4 * nu, 4.0, n), xkarsas(*run, nu, 1.0, n) / 4) << n << " " << eps;
    }
}

TEST_F(Hydrogen, source_function_is_planck_with_unit_departure_coefficients) {
  for (double lam : {20.0, 80.0, 91.0, 200.0, 364.0, 365.0, 500.0, 820.0, 2000.0, 1e4, 1e6}) {
    setfreq(*run, CNM / lam);
    hop(*run);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_GT(run->BHYD.AHYD(j), 0.0) << lam << " nm";
      EXPECT_NEAR(run->BHYD.SHYD(j) / run->FREQ.BNU(j), 1.0, 1e-13) << lam << " nm, depth " << j;
    }
  }
}

TEST_F(Hydrogen, lyman_continuum_per_atom_with_a_departure_coefficient) {
  // At 80 nm only the ground level matters (the others add 1e-6): AHYD = 2 sigma_1 n/U (b1 -
  // EHVKT) / RHO; with b1 = 0.5 the emission term keeps its LTE size: SHYD = BNU STIM/(b1 - EHVKT).
  run->BHYD.BHYD(2, 1) = 0.5;
  const double lam = 80.0, eps = 91.1763 / lam - 1;
  setfreq(*run, CNM / lam);
  hop(*run);
  for (int j = 1; j <= 3; ++j) {
    const double b = j == 2 ? 0.5 : 1.0;
    const double D = b - run->FREQ.EHVKT(j);
    const double expected = 2 * sigma1(eps) * run->BHYD.XNFPH(j, 1) * D / run->STATE.RHO(j);
    EXPECT_NEAR(run->BHYD.AHYD(j) / expected, 1.0, 3e-3) << "depth " << j;
    EXPECT_NEAR(run->BHYD.SHYD(j) / (run->FREQ.BNU(j) * run->FREQ.STIM(j) / D), 1.0, 1e-5);
  }
}

TEST_F(Hydrogen, a_level_enters_at_its_threshold_wavenumber) {
  // WAVENO exactly at the Balmer threshold 27419.658 cm^-1 includes n = 2, just below does not;
  // the step is the n = 2 term 8 sigma_2 exp(-E_2 hc/kT) STIM n/U / RHO.
  const double thr = sp(27419.658f);
  auto ahyd_at = [&](double waveno) {
    setfreq(*run, waveno * 29979245800.0);
    run->FREQ.WAVENO = waveno;
    hop(*run);
    return run->BHYD.AHYD(2);
  };
  const double below = ahyd_at(thr * (1 - 1e-12));
  const double at = ahyd_at(thr);
  const double term = 8 * xkarsas(*run, run->FREQ.FREQ, 1.0, 2) *
                      std::exp(-sp(82259.1f) * run->TEMP.HCKT(2)) * run->FREQ.STIM(2) *
                      run->BHYD.XNFPH(2, 1) / run->STATE.RHO(2);
  EXPECT_GT(term, 0.0);
  EXPECT_NEAR((at - below) / term, 1.0, 1e-6);
  // The quasi-continuum's lower end moves at 428.428 cm^-1 without a step.
  const double a1 = ahyd_at(428.428 * (1 + 1e-9)), a2 = ahyd_at(428.428 * (1 - 1e-9));
  EXPECT_NEAR(a1 / a2, 1.0, 1e-7);
}

TEST_F(Hydrogen, free_free_alone) {
  // Without neutral hydrogen only the free-free term remains: Kramers' 3.6919e8 T^-1/2 nu^-3 ne
  // np (1 - exp(-h nu/kT)) g_ff per cm^3 (Rybicki & Lightman 1979, eq. 5.18b: 3.7e8).
  for (int j = 1; j <= 3; ++j) run->BHYD.XNFPH(j, 1) = 0.0;
  for (double lam : {300.0, 5000.0, 1e5}) {
    setfreq(*run, CNM / lam);
    hop(*run);
    const double nu = run->FREQ.FREQ;
    for (int j = 1; j <= 3; ++j) {
      const double ff = 3.6919e8 / std::sqrt(run->TEMP.T(j)) * coulff(*run, j, 1) *
                        run->STATE.XNE(j) * run->BHYD.XNFPH(j, 2) / (nu * nu * nu) *
                        run->FREQ.STIM(j) / run->STATE.RHO(j);
      EXPECT_NEAR(run->BHYD.AHYD(j) / ff, 1.0, 1e-13) << lam << " nm";
    }
  }
}

TEST_F(Hydrogen, per_model_tables_follow_the_model_counter) {
  // A second model in the same run gives what a fresh run gives, to the bit.
  setfreq(*run, CNM / 500.0);
  hop(*run);
  testing::Layer hotter[3];
  for (int j = 1; j <= 3; ++j) {
    hotter[j - 1] = testing::SOLAR3[j - 1];
    hotter[j - 1].T *= 1.1;
  }
  testing::fill_model(*run, hotter);
  start_model(*run);
  setfreq(*run, CNM / 500.0);
  hop(*run);
  std::ostringstream l2;
  auto fresh = make_run(l2);
  testing::fill_model(*fresh, hotter);
  for (int j = 1; j <= 3; ++j) fresh->BHYD.XNFPH(j, 2) = run->BHYD.XNFPH(j, 2);
  start_model(*fresh);
  setfreq(*fresh, CNM / 500.0);
  hop(*fresh);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(run->BHYD.AHYD(j), fresh->BHYD.AHYD(j));
    EXPECT_EQ(run->BHYD.SHYD(j), fresh->BHYD.SHYD(j));
  }
  // A run that calls the source without the driver (model counter 0) builds its tables too.
  std::ostringstream l3;
  auto direct = make_run(l3);
  testing::fill_model(*direct, hotter);
  for (int j = 1; j <= 3; ++j) direct->BHYD.XNFPH(j, 2) = run->BHYD.XNFPH(j, 2);
  ASSERT_EQ(direct->TEMP.ITEMP, 0);
  setfreq(*direct, CNM / 500.0);
  hop(*direct);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(direct->BHYD.AHYD(j), fresh->BHYD.AHYD(j));
}

}  // namespace
}  // namespace atmotab
