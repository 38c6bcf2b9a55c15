// He I opacity: the level list against NIST, the ground-state cross-section against Verner et al.
// 1996 and Yan et al. 1998, the free-free term against Kramers' law, the merged levels against the
// sum over hydrogenic levels, the threshold chain, source functions and departure coefficients,
// and the per-model tables.
#include "opacity/he1op.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/constants.h"
#include "common/state.h"
#include "helium_model.h"
#include "opacity/coulff.h"

namespace atmotab {
namespace {

// Three layers: only the ground level matters at 5000 K; 15000 K and 30000 K populate the excited
// levels (exp(-E HCKT) ~ 1e-7 and 1e-4 for n = 5) and ionize helium.
constexpr testing::HeLayer LAYERS[] = {
    {5000.0, 1.0e12, 1.0e-8, 1.0e15, 0.0, 0.0},
    {15000.0, 1.0e14, 1.0e-9, 3.0e13, 4.0e13, 1.0e9},
    {30000.0, 1.0e15, 1.0e-9, 1.0e10, 5.0e14, 1.0e13},
};

struct He1 : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override { testing::fill_helium(*run, LAYERS); }
  // Absorption per He I atom in the layer, over STIM [cm^2].
  double per_atom(int j) const {
    return run->BHE.AHE1(j) * run->STATE.RHO(j) / run->BHE.XNFPHE(j, 1) / run->FREQ.STIM(j);
  }
};

TEST(he1op, level_list_matches_the_nist_terms) {
  // NIST ASD (Kramida, Ralchenko, Reader et al., version of the project's raw data): term energies
  // as g-weighted means over J [cm^-1] and term weights (2S+1)(2L+1), levels 1..29.
  struct Term {
    const char* name;
    double E;
    int g;
  };
  constexpr Term NIST[29] = {
      {"1s2 1S", 0.0, 1},         {"2s 3S", 159855.9718, 3},  {"2s 1S", 166277.4376, 1},
      {"2p 3P", 169086.9076, 9},  {"2p 1P", 171134.8944, 3},  {"3s 3S", 183236.7891, 3},
      {"3s 1S", 184864.8267, 1},  {"3p 3P", 185564.5992, 9},  {"3d 3D", 186101.5538, 15},
      {"3d 1D", 186104.9641, 5},  {"3p 1P", 186209.3623, 3},  {"4s 3S", 190298.1107, 3},
      {"4s 1S", 190940.2237, 1},  {"4p 3P", 191217.0547, 9},  {"4d 3D", 191444.4826, 15},
      {"4d 1D", 191446.4531, 5},  {"4f 3F", 191451.8781, 21}, {"4f 1F", 191451.8949, 7},
      {"4p 1P", 191492.7093, 3},  {"5s 3S", 193346.9887, 3},  {"5s 1S", 193663.5095, 1},
      {"5p 3P", 193800.7132, 9},  {"5d 3D", 193917.1509, 15}, {"5d 1D", 193918.2873, 5},
      {"5f 3F", 193921.1187, 21}, {"5f 1F", 193921.1283, 7},  {"5g 3G", 193921.6148, 27},
      {"5g 1G", 193921.6193, 9},  {"5p 1P", 193942.4597, 3},
  };
  for (int k = 1; k <= 29; ++k) {
    const Term& t = NIST[k - 1];
    // The level energies are an older compilation, 0.1 cm^-1 above NIST (0.9 for 5g).
    EXPECT_NEAR(he1op_level_energy(k), t.E, 1.0) << "level " << k << " " << t.name;
    EXPECT_EQ(he1op_level_weight(k), t.g) << "level " << k << " " << t.name;
    // Threshold = 198310.76 - E, both rounded to single precision from 7-8 digits.
    EXPECT_NEAR(he1op_level_threshold(k) + he1op_level_energy(k), 198310.76, 0.016)
        << "level " << k;
    if (k > 1) {
      EXPECT_LE(he1op_level_threshold(k), he1op_level_threshold(k - 1)) << "level " << k;
    }
  }
}

TEST_F(He1, ground_state_cross_section_against_verner_1996_and_yan_1998) {
  // Verner, Ferland, Korista & Yakovlev 1996 (ApJ 465, 487) and Yan, Sadeghpour & Dalgarno 1998
  // (ApJ 496, 1044) fits, cm^2 per atom. The ground-level fit exp(33.32 - 2 ln nu) is a nu^-2 law:
  // within 1 % of Verner from 24 to 32 nm, within 10 % of both shortward of 47 nm, and 12.5 %
  // above them at the threshold (50.43 nm), where the cross-section is flatter than nu^-2.
  struct Case {
    double lam_nm, verner, yan, tol;
  };
  constexpr Case cases[] = {
      {45.0, 6.1961e-18, 6.2582e-18, 0.10}, {40.0, 5.0633e-18, 5.1606e-18, 0.10},
      {35.0, 3.9757e-18, 4.0472e-18, 0.10}, {30.0, 2.9651e-18, 2.9968e-18, 0.10},
      {25.0, 2.0560e-18, 2.0659e-18, 0.10}, {20.0, 1.2703e-18, 1.2759e-18, 0.10},
  };
  for (const Case& c : cases) {
    setfreq(*run, CLIGHT_NM / c.lam_nm);
    he1op(*run);
    // At 5000 K neither the excited levels nor the merged levels add 1e-15 of it.
    EXPECT_NEAR(per_atom(1) / c.verner, 1.0, c.tol) << c.lam_nm << " nm";
    EXPECT_NEAR(per_atom(1) / c.yan, 1.0, c.tol) << c.lam_nm << " nm";
  }
  // At the threshold: exp(33.32 - 2 ln(198310.77 c)) = 8.36e-18 against 7.43e-18 (Verner) and
  // 7.49e-18 (Yan).
  testing::waveno_at(*run, sp(198310.77f));
  he1op(*run);
  EXPECT_NEAR(per_atom(1), 8.363e-18, 0.002e-18);
  EXPECT_NEAR(per_atom(1) / 7.4346e-18, 1.0, 0.13);
  EXPECT_NEAR(per_atom(1) / 7.4874e-18, 1.0, 0.13);
  // Just below the threshold the ground level is closed: only the excited and merged levels.
  testing::waveno_below(*run, sp(198310.77f));
  he1op(*run);
  EXPECT_LT(per_atom(1), 1e-30);
}

TEST_F(He1, free_free_follows_kramers_law) {
  // Kramers free-free absorption per electron and singly charged ion, stimulated emission
  // included (Rybicki & Lightman 1979, eq. 5.18b): 3.692e8 g_ff (1 - e^(-h nu/kT)) / (nu^3
  // sqrt(T)) cm^5. The He I coefficient 3.619e8 is 2 % below hydrogen's 3.6919e8.
  run->BHE.XNFPHE(2, 1) = 0.0;  // no bound-free absorption at depth 2
  for (double lam_nm : {200.0, 1000.0, 5000.0, 20000.0}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    he1op(*run);
    const double nu = run->FREQ.FREQ, T = LAYERS[1].T;
    const double kramers =
        3.692e8 * coulff(*run, 2, 1) * run->FREQ.STIM(2) / (nu * nu * nu) / std::sqrt(T);
    const double per_pair = run->BHE.AHE1(2) * run->STATE.RHO(2) / (LAYERS[1].XNE * LAYERS[1].HE2);
    EXPECT_NEAR(per_pair / kramers, 0.980, 0.001) << lam_nm << " nm";
    EXPECT_EQ(run->BHE.SHE1(2), run->FREQ.BNU(2)) << "free-free alone has the Planck function";
  }
}

TEST_F(He1, merged_levels_sum_the_hydrogenic_levels_from_n6) {
  // At 1e6 K the Boltzmann factors of the high levels are all about equal, and the merged term is
  // sum_n 4 n^2 FREQ3 / n^5 e^(-E_n hc/kT) turned into an integral over E from E_6: that counts
  // int_6^inf 4/n^3 dn = 2/36 = 0.05556 of the sum_(n>=6) 4/n^3 = 0.06558 (zeta(3) less the
  // first five terms), a ratio of 0.847. With b_c = 1 and the ff term off (no He II).
  constexpr testing::HeLayer HOT[] = {{1.0e6, 1.0e10, 1.0e-9, 1.0e12, 0.0, 0.0}};
  testing::fill_helium(*run, HOT);
  for (double waveno : {4000.0, 3100.0}) {  // below level 29, above the n = 6 threshold
    testing::set_waveno(*run, waveno);
    he1op(*run);
    const double nu = run->FREQ.FREQ, HCKT = run->TEMP.HCKT(1);
    double sum = 0;
    for (int m = 6; m < 200000; ++m) {
      const double En = 198310.76 - 109722.27 / (double(m) * m);
      sum += 4.0 / (double(m) * m * m) * 2.815e29 / (nu * nu * nu) * std::exp(-En * HCKT);
    }
    EXPECT_NEAR(per_atom(1) / sum, 0.847, 0.003) << waveno << " cm-1";
  }
}

TEST_F(He1, threshold_chain_opens_the_levels_at_their_thresholds) {
  // The step in absorption per atom at a threshold is the hydrogenic (Kramers) term of the levels
  // that open there: g 2.815e29 / (n^5 nu^3) (1 - e^(-h nu/kT)) e^(-E hc/kT). At 4368.19 level 29
  // (5p 1P, g = 3); at 4388.26 levels 28 and 27 together (5g 1G and 3G, g = 9 + 27); at 4389.39
  // level 26 (5f 1F, g = 7). Depth 3 (30000 K) populates n = 5 well enough; no free-free there.
  run->BHE.XNFHE(3, 2) = 0.0;
  struct Case {
    double threshold, g, E;
  };
  constexpr Case cases[] = {{sp(4368.19f), 3, sp(193942.56f)},
                            {sp(4388.26f), 36, sp(193922.5f)},
                            {sp(4389.39f), 7, sp(193921.38f)},
                            {sp(4963.671f), 3, sp(193347.1f)}};
  for (const Case& c : cases) {
    testing::waveno_below(*run, c.threshold);
    he1op(*run);
    const double below = per_atom(3);
    testing::waveno_at(*run, c.threshold);
    he1op(*run);
    const double nu = run->FREQ.FREQ;
    const double step =
        c.g * 2.815e29 / 3125.0 / (nu * nu * nu) * std::exp(-c.E * run->TEMP.HCKT(3));
    EXPECT_NEAR((per_atom(3) - below) / step, 1.0, 1e-6) << "threshold " << c.threshold;
  }
  // Between 4388.26 and 4389.39 nothing else opens.
  testing::set_waveno(*run, 4388.5);
  he1op(*run);
  const double a1 = per_atom(3);
  testing::set_waveno(*run, 4389.3);
  he1op(*run);
  EXPECT_NEAR(per_atom(3) / a1, std::pow(4388.5 / 4389.3, 3), 1e-9);
}

TEST_F(He1, below_4368_only_the_merged_levels_which_shrink_below_3047_841) {
  // Without He II there is no free-free. From 4368.19 down to 3047.841 the merged term starts at
  // n = 6 and falls as nu^-3; below, it starts at the level the photon can just ionize, so it
  // falls faster, towards 0 as WAVENO -> 0 (nothing ionizable left).
  run->BHE.XNFHE(3, 2) = 0.0;
  auto merged = [&](double waveno) {
    testing::set_waveno(*run, waveno);
    he1op(*run);
    const double nu = run->FREQ.FREQ;
    return per_atom(3) * nu * nu * nu;  // times nu^3: constant while all n >= 6 are ionized
  };
  EXPECT_NEAR(merged(3500.0) / merged(4300.0), 1.0, 1e-12);
  EXPECT_NEAR(merged(3047.841 * (1 + 1e-9)) / merged(4300.0), 1.0, 1e-12);
  // Continuous at the switch, then the ionizable range shrinks: with E_low = 198310.76 - WAVENO,
  // the term is proportional to e^(-E_low hc/kT) - e^(-I hc/kT), nearly WAVENO at 30000 K.
  EXPECT_NEAR(merged(3047.841 * (1 - 1e-9)) / merged(4300.0), 1.0, 1e-8);
  const double ratio = merged(1000.0) / merged(3047.841);
  const double x = run->TEMP.HCKT(3);
  const double expect = (std::exp(1000.0 * x) - 1.0) / (std::exp(3047.841 * x) - 1.0);
  EXPECT_NEAR(ratio / expect, 1.0, 1e-5);
  // What remains at WAVENO -> 0 is the 0.0056 cm^-1 between 198310.76 and the limit 198310.77
  // in single precision (198310.765625): 2e-6 of the whole.
  EXPECT_NEAR(merged(1e-3) / merged(4300.0), 0.005626 / 3047.85, 0.1 * 0.005626 / 3047.85);
  for (double waveno : {4000.0, 2000.0, 10.0}) {
    merged(waveno);
    EXPECT_NEAR(run->BHE.SHE1(3) / run->FREQ.BNU(3), 1.0, 1e-15) << "merged levels: Planck";
  }
}

TEST_F(He1, lte_source_function_is_the_planck_function) {
  // With every departure coefficient 1 each level's source function is BNU STIM / (1 - EHVKT),
  // BNU to rounding; so it is for any common value of all b_k and b_c (here 0.6), which also
  // scales the absorption by 0.6.
  for (double b : {1.0, 0.6}) {
    run->BHE.BHE1.fill(b);
    run->BHE.BHE2.fill(b);
    start_model(*run);
    for (double lam_nm : {30.0, 50.0, 100.0, 260.0, 300.0, 700.0, 2000.0, 1e5}) {
      setfreq(*run, CLIGHT_NM / lam_nm);
      he1op(*run);
      for (int j = 1; j <= 3; ++j) {
        EXPECT_GT(run->BHE.AHE1(j), 0.0) << lam_nm << " nm, depth " << j;
        EXPECT_NEAR(run->BHE.SHE1(j) / run->FREQ.BNU(j), 1.0, 1e-13) << lam_nm << " nm " << j;
      }
    }
  }
}

TEST_F(He1, departure_coefficients_shape_absorption_and_source_function) {
  // At 40 nm and 15000 K the ground level dominates. An overpopulated ground level (b_1 = 2,
  // b_c = 1) absorbs twice as much less the stimulated emission, (2 - EHVKT) / (1 - EHVKT), and
  // has the source function BNU STIM / (2 - EHVKT): below BNU.
  setfreq(*run, CLIGHT_NM / 40.0);
  he1op(*run);
  const double a_lte = run->BHE.AHE1(2);
  run->BHE.BHE1(2, 1) = 2.0;
  start_model(*run);
  he1op(*run);
  const double e = run->FREQ.EHVKT(2), stim = run->FREQ.STIM(2);
  EXPECT_NEAR(run->BHE.AHE1(2) / a_lte, (2.0 - e) / stim, 1e-6);
  EXPECT_NEAR(run->BHE.SHE1(2) / run->FREQ.BNU(2), stim / (2.0 - e), 1e-6);
  // The other depths keep their LTE values.
  EXPECT_NEAR(run->BHE.SHE1(1) / run->FREQ.BNU(1), 1.0, 1e-13);
}

TEST_F(He1, equal_departure_coefficients_take_the_same_arithmetic_as_any_others) {
  // With b_k = b_c at every depth the levels share one source function per depth; the same
  // model with a fourth depth of other departure coefficients takes the general arithmetic for
  // all depths. Depths 1..3 agree to the bit.
  const testing::HeLayer four[] = {LAYERS[0], LAYERS[1], LAYERS[2], LAYERS[1]};
  std::ostringstream l2;
  auto general = make_run(l2);
  testing::fill_helium(*general, four);
  for (int k = 1; k <= 29; ++k) general->BHE.BHE1(4, k) = 1.0 + 0.01 * k;
  for (double lam_nm : {20.0, 50.0, 150.0, 400.0, 1500.0, 3000.0, 1e4}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    setfreq(*general, CLIGHT_NM / lam_nm);
    he1op(*run);
    he1op(*general);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(run->BHE.AHE1(j), general->BHE.AHE1(j)) << lam_nm << " nm, depth " << j;
      EXPECT_EQ(run->BHE.SHE1(j), general->BHE.SHE1(j)) << lam_nm << " nm, depth " << j;
    }
  }
}

TEST_F(He1, a_depth_without_helium_absorbs_nothing) {
  run->BHE.XNFPHE(2, 1) = 0.0;
  run->BHE.XNFHE(2, 2) = 0.0;
  for (double lam_nm : {30.0, 300.0, 3000.0}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    he1op(*run);
    EXPECT_EQ(run->BHE.AHE1(2), 0.0) << lam_nm << " nm";
    EXPECT_EQ(run->BHE.SHE1(2), run->FREQ.BNU(2)) << lam_nm << " nm";
    EXPECT_GT(run->BHE.AHE1(1), 0.0) << lam_nm << " nm";
  }
}

TEST_F(He1, per_model_tables_follow_the_model_counter) {
  // A second model in the same run (new temperatures, ITEMP + 1) gives what a fresh run gives.
  setfreq(*run, CLIGHT_NM / 45.0);
  he1op(*run);
  constexpr testing::HeLayer OTHER[] = {
      {8000.0, 1.0e13, 1.0e-8, 1.0e15, 1.0e10, 0.0},
      {20000.0, 1.0e14, 1.0e-9, 1.0e13, 5.0e13, 1.0e10},
      {12000.0, 1.0e14, 1.0e-9, 5.0e13, 1.0e13, 1.0e6},
  };
  testing::fill_helium(*run, OTHER);
  std::ostringstream l2;
  auto fresh = make_run(l2);
  testing::fill_helium(*fresh, OTHER);
  for (double lam_nm : {45.0, 3500.0}) {
    setfreq(*run, CLIGHT_NM / lam_nm);
    setfreq(*fresh, CLIGHT_NM / lam_nm);
    he1op(*run);
    he1op(*fresh);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(run->BHE.AHE1(j), fresh->BHE.AHE1(j)) << lam_nm << " nm, depth " << j;
      EXPECT_EQ(run->BHE.SHE1(j), fresh->BHE.SHE1(j)) << lam_nm << " nm, depth " << j;
    }
  }
}

}  // namespace
}  // namespace atmotab
