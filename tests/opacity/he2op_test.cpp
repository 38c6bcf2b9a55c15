// He II opacity: the Gaunt factors and threshold cross-sections against the exact hydrogenic
// values, free-free against Kramers' law, the threshold chain, the merged levels, source
// functions with departure coefficients, and a depth without He II.
#include "opacity/he2op.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/constants.h"
#include "common/state.h"
#include "helium_model.h"
#include "opacity/coulff.h"

namespace atmotab {
namespace {

constexpr double NUH = 3.288051e15;  // hydrogen ionization frequency [Hz]

constexpr testing::HeLayer LAYERS[] = {
    {8000.0, 1.0e13, 1.0e-8, 1.0e15, 1.0e12, 0.0},  // He II ground level only; no He III
    {30000.0, 1.0e15, 1.0e-9, 1.0e10, 5.0e14, 1.0e13},
    {60000.0, 1.0e15, 1.0e-9, 1.0e6, 1.0e13, 5.0e14},
};

struct He2 : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override { testing::fill_helium(*run, LAYERS); }
  // Absorption per He II ion over STIM [cm^2].
  double per_ion(int j) const {
    return run->BHE.AHE2(j) * run->STATE.RHO(j) / (2.0 * run->BHE.XNFPHE(j, 2)) / run->FREQ.STIM(j);
  }
};

TEST(he2op, gaunt_factors_are_the_hydrogenic_ones_at_nu_over_z2) {
  // Exact bound-free Gaunt factors of hydrogen level n at x = photon energy / threshold energy
  // (Nahar 2021, Atoms 9, 73; x = 1 also Karzas & Latter 1961), sigma / Kramers. For He II at
  // the same x the photon frequency is Z^2 = 4 times hydrogen's. The polynomials follow them
  // within 2 % up to four times the threshold frequency (within 1 % at threshold).
  struct Case {
    int n;
    double x, g;
  };
  constexpr Case cases[] = {
      {1, 1.0, 0.79727}, {1, 1.2, 0.84345}, {1, 2.0, 0.94231}, {1, 4.0, 0.99573}, {2, 1.0, 0.87616},
      {2, 1.4, 0.92971}, {2, 3.0, 1.01543}, {3, 1.0, 0.90747}, {3, 1.9, 0.98056}, {4, 1.0, 0.92469},
      {4, 2.6, 1.00904}, {5, 1.0, 0.93575}, {5, 3.5, 1.02615}, {6, 1.0, 0.94354}, {6, 2.8, 1.01313},
  };
  for (const Case& c : cases) {
    const double nu = 4.0 * c.x * NUH / (c.n * c.n);
    EXPECT_NEAR(he2op_gaunt(c.n, nu) / c.g, 1.0, c.x == 1.0 ? 0.01 : 0.02)
        << "n = " << c.n << ", x = " << c.x;
  }
}

TEST_F(He2, threshold_cross_sections_are_hydrogenic) {
  // A hydrogenic ion of charge Z has sigma_Z(nu) = sigma_H(nu / Z^2) / Z^2. Ground level at its
  // threshold (22.79 nm): 6.3043e-18 / 4 = 1.576e-18 cm^2 per ion (exact; Nahar 2021 and
  // Karzas & Latter 1961 for hydrogen). Level n >= 2 at threshold: the hydrogen values of n over
  // 4 and over the level's share of the ion's population, 2 n^2 e^(-E_n/kT) / U, U = 2.
  // At 8000 K no other level or the merged levels add 1e-12 of the ground-level value.
  testing::waveno_at(*run, sp(438908.84f));
  he2op(*run);
  EXPECT_NEAR(per_ion(1) / 1.576e-18, 1.0, 0.02) << per_ion(1);
  EXPECT_NEAR(per_ion(1) / 1.58e-18, 1.0, 0.10);  // the published value to three digits
  testing::waveno_below(*run, sp(438908.84f));
  he2op(*run);
  EXPECT_LT(per_ion(1), 1e-30);

  // n = 2 and n = 3 at 60000 K; their steps at threshold against the exact hydrogen values
  // 1.385611e-17 and 2.152719e-17 cm^2 (per atom in the level).
  struct Case {
    int n;
    double threshold, E, sigma_h;
  };
  constexpr Case cases[] = {{2, sp(109726.53f), sp(329182.3f), 1.385611e-17},
                            {3, sp(48766.492f), sp(390142.34f), 2.152719e-17}};
  run->BHE.XNFPHE(3, 3) = 0.0;  // no free-free
  for (const Case& c : cases) {
    testing::waveno_below(*run, c.threshold);
    he2op(*run);
    const double below = per_ion(3);
    testing::waveno_at(*run, c.threshold);
    he2op(*run);
    const double share = 2.0 * c.n * c.n * std::exp(-c.E * run->TEMP.HCKT(3)) / 2.0;
    EXPECT_NEAR((per_ion(3) - below) / share / (c.sigma_h / 4.0), 1.0, 0.02) << "n = " << c.n;
  }
}

TEST_F(He2, free_free_follows_kramers_law_for_charge_2) {
  // Kramers free-free per electron and ion of charge Z (Rybicki & Lightman 1979, eq. 5.18b):
  // 3.692e8 Z^2 g_ff (1 - e^(-h nu/kT)) / (nu^3 sqrt(T)) cm^5; 1.47676e9 = 4 x 3.6919e8.
  run->BHE.XNFPHE(3, 2) = 0.0;
  for (double lam_nm : {100.0, 1000.0, 20000.0}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    he2op(*run);
    const double nu = run->FREQ.FREQ, T = LAYERS[2].T;
    const double kramers =
        4 * 3.692e8 * coulff(*run, 3, 2) * run->FREQ.STIM(3) / (nu * nu * nu) / std::sqrt(T);
    const double per_pair = run->BHE.AHE2(3) * run->STATE.RHO(3) / (LAYERS[2].XNE * LAYERS[2].HE3);
    EXPECT_NEAR(per_pair / kramers, 1.0, 0.001) << lam_nm << " nm";
  }
}

TEST_F(He2, threshold_chain_and_merged_levels) {
  // Below 5418.39 only the merged levels n >= 10 (and free-free): times nu^3 they stay constant
  // down to 4388.891 (the n = 10 threshold), then shrink with the ionizable range. At 5418.39
  // level 9 opens with its Kramers term 2 x 81 x 16 FREQ3 / 9^5 per n/U, weight e^(-E_9/kT).
  run->BHE.XNFPHE(3, 3) = 0.0;
  auto per_ion_nu3 = [&](double waveno) {
    testing::set_waveno(*run, waveno);
    he2op(*run);
    const double nu = run->FREQ.FREQ;
    return per_ion(3) * nu * nu * nu;
  };
  const double top = per_ion_nu3(5400.0);
  EXPECT_NEAR(per_ion_nu3(4500.0) / top, 1.0, 1e-12);
  EXPECT_NEAR(per_ion_nu3(4388.891 * (1 - 1e-9)) / top, 1.0, 1e-8);
  const double x = run->TEMP.HCKT(3);
  EXPECT_NEAR(per_ion_nu3(2000.0) / top, (std::exp(2000 * x) - 1) / (std::exp(4388.891 * x) - 1),
              1e-6);

  testing::waveno_below(*run, sp(5418.39f));
  he2op(*run);
  const double below = per_ion(3);
  testing::waveno_at(*run, sp(5418.39f));
  he2op(*run);
  const double nu = run->FREQ.FREQ;
  const double step = 2 * 81 * 16 * 2.815e29 / std::pow(9.0, 5) / (nu * nu * nu) *
                      std::exp(-sp(433490.47f) * x) / 2.0;
  EXPECT_NEAR((per_ion(3) - below) / step, 1.0, 1e-6);
  // At and above 438908.84 all nine levels and the merged levels: n = 2 at 1.8 times its
  // threshold adds what hydrogen n = 2 has at x = 1.8 (g = 0.96304), relative to the ground level.
  testing::set_waveno(*run, 1.8 * 438908.84);
  he2op(*run);
  EXPECT_GT(per_ion(3), per_ion(1));  // more levels populated at 60000 K than at 8000 K
}

TEST_F(He2, lte_source_function_is_planck_and_departures_move_it) {
  for (double lam_nm : {15.0, 22.0, 50.0, 91.0, 200.0, 1000.0, 3000.0, 1e5}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    he2op(*run);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_GT(run->BHE.AHE2(j), 0.0) << lam_nm << " nm, depth " << j;
      EXPECT_NEAR(run->BHE.SHE2(j) / run->FREQ.BNU(j), 1.0, 1e-13) << lam_nm << " nm " << j;
    }
  }
  // An overpopulated ground level (b_1 = 3) at 20 nm, depth 1 where it is alone: absorption
  // (3 - EHVKT) / (1 - EHVKT) times LTE, source function BNU STIM / (3 - EHVKT).
  setfreq(*run, CLIGHT_NM / 20.0);
  he2op(*run);
  const double a_lte = run->BHE.AHE2(1);
  run->BHE.BHE2(1, 1) = 3.0;
  he2op(*run);
  const double e = run->FREQ.EHVKT(1), stim = run->FREQ.STIM(1);
  EXPECT_NEAR(run->BHE.AHE2(1) / a_lte, (3.0 - e) / stim, 1e-9);
  EXPECT_NEAR(run->BHE.SHE2(1) / run->FREQ.BNU(1), stim / (3.0 - e), 1e-9);
}

TEST_F(He2, a_depth_without_helium_ions_absorbs_nothing) {
  run->BHE.XNFPHE(2, 2) = 0.0;
  run->BHE.XNFPHE(2, 3) = 0.0;
  start_model(*run);  // the He II density per gram is kept per model
  for (double lam_nm : {20.0, 300.0, 3000.0}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    he2op(*run);
    EXPECT_EQ(run->BHE.AHE2(2), 0.0) << lam_nm << " nm";
    EXPECT_EQ(run->BHE.SHE2(2), run->FREQ.BNU(2)) << lam_nm << " nm";
  }
}

}  // namespace
}  // namespace atmotab
