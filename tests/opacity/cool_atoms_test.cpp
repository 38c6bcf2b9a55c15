// The neutral-metal sources of the cool block: C I, Mg I, Al I, Si I (level walks with departure
// coefficients) and Fe I (pseudo-levels).
#include "opacity/cool_atoms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/constants.h"
#include "common/state.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

struct CoolAtoms : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  atmotab::Run& r = *run;

  void SetUp() override {
    testing::fill_model(r, testing::SOLAR3);
    start_model(r);
    for (int j = 1; j <= 3; ++j) {
      r.BC.XNFPC(j, 1) = 1e10 * j;
      r.BMG.XNFPMG(j, 1) = 2e10 * j;
      r.BAL.XNFPAL(j, 1) = 3e10 * j;
      r.BSI.XNFPSI(j, 1) = 4e10 * j;
      r.BFE.XNFPFE(j) = 5e10 * j;
    }
  }
  // Every quantity of one frequency given by its wavenumber [cm^-1], WAVENO exactly that.
  void at(double waveno) {
    setfreq(r, waveno * CLIGHT);
    r.FREQ.WAVENO = waveno;
  }
  void all_atoms() {
    c1op(r);
    mg1op(r);
    al1op(r);
    si1op(r);
  }
  // Absorption of atom K (1 C, 2 Mg, 3 Al, 4 Si) at depth J and WAVENO [cm^-1].
  double absorption(int k, int j, double waveno) {
    at(waveno);
    all_atoms();
    const Dep* a[] = {&r.BC.AC1, &r.BMG.AMG1, &r.BAL.AAL1, &r.BSI.ASI1};
    return (*a[k - 1])(j);
  }
};

// Cross-sections at the thresholds of their rows, by hand from the level tables (x = 1): power
// laws give their coefficient; C I 10^-16.8 background plus resonance terms; the Si I ground term
// 7.2e-17 x^1.9 / 3. Tolerance: the thresholds and some constants are single precision (16.8 as
// 16.7999992 moves 10^-16.8 by 1.8e-6).
TEST_F(CoolAtoms, threshold_cross_sections_match_the_level_tables) {
  struct Case {
    double (*sigma)(int, double);
    int row;
    double waveno, expected;
  };
  const Case cases[] = {
      {c1op_sigma, 6, sp(22006.37f), 6.3e-18},
      {c1op_sigma, 10, sp(69172.4f), 4.2864644089741574e-18},
      {c1op_sigma, 11, sp(69172.4f), 4.2864644089741574e-18},  // same sigma, weight 2
      {c1op_sigma, 12, sp(69767.35f), 2.4e-16},
      {c1op_sigma, 13, sp(80627.76f), 4.131078688135974e-18},
      {c1op_sigma, 15, sp(90777.0f), 5.282977308203703e-18},  // 10^-16.8 / 3
      {c1op_sigma, 21, sp(100121.0f), 5e-18},
      {mg1op_sigma, 1, sp(13713.986f), 3.75e-16},
      {mg1op_sigma, 6, sp(26619.756f), 8.2e-18},  // 1.6e-17 - 7.8e-18
      {mg1op_sigma, 7, sp(39759.844f), 4e-17},    // max(2e-17, 4e-17)
      {mg1op_sigma, 8, sp(39800.555f), 3.9430982794802666e-17},
      {mg1op_sigma, 10, sp(61671.02f), 1.1e-18},
      {al1op_sigma, 2, sp(8002.467f), 3e-16},
      {al1op_sigma, 5, sp(15318.007f), 1.45e-17},
      {al1op_sigma, 8, sp(48166.31f), 6.5e-17},
      {al1op_sigma, 9, sp(48278.37f), 6.424912908726156e-17},  // z from row 8's threshold
      {al1op_sigma, 10, sp(55903.26f), 1.2e-16},
      {si1op_sigma, 2, sp(17777.64f), 2.6999999065620926e-16},
      {si1op_sigma, 7, sp(50353.18f), 7.961750612437824e-18},
      {si1op_sigma, 9, sp(59448.7f), 1.1832387412117804e-17},
      {si1op_sigma, 12, sp(65524.395f), 2.4e-17},
      {si1op_sigma, 18, sp(75423.766f), 7.5e-17},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(c.sigma(c.row, c.waveno), c.expected, 3e-6 * c.expected)
        << "row " << c.row << " at " << c.waveno;
  // Rows without a cross-section.
  EXPECT_EQ(c1op_sigma(1, 20000.0), 0.0);
  EXPECT_EQ(c1op_sigma(9, 60000.0), 0.0);
  EXPECT_EQ(al1op_sigma(1, 7000.0), 0.0);
  EXPECT_EQ(si1op_sigma(3, 19000.0), 0.0);
}

TEST_F(CoolAtoms, si1_ground_term_switches_fits_above_74000) {
  // 7.2e-17 z^1.9 up to 74000 cm^-1, 9.3e-17 z^4 above, z = 65524.395 / WAVENO (by hand: the
  // two fits nearly meet there, 1.90474e-17 and 1.90567e-17 for one third of the term).
  EXPECT_NEAR(si1op_sigma(12, 74000.0), 1.9047444274514587e-17, 2e-7 * 1.9e-17);
  EXPECT_NEAR(si1op_sigma(12, std::nextafter(74000.0, 1e9)), 1.905666474688961e-17, 2e-7 * 1.9e-17);
}

TEST_F(CoolAtoms, si1_level_2_fit_is_held_at_zero_where_it_turns_negative) {
  // At 1e7 cm^-1 (1 nm) the 1D fit (2.45e-17 x^1.85 + q2) / 3 is -1.55e-21 by hand: its
  // resonance term falls as 1/WAVENO, the power law faster. The cross-section is held at 0.
  constexpr double W = 1e7;
  const double x = 59448.7 / W;
  const double u = 2 * (W - 78600) / 13000;
  const double fit = (2.45e-17 * std::pow(x, 1.85) + (-1e-17 * u + 7.7e-17) / (u * u + 1)) / 3;
  ASSERT_LT(fit, 0.0);
  EXPECT_EQ(si1op_sigma(9, W), 0.0);
  EXPECT_EQ(si1op_sigma(10, W), 0.0);
  EXPECT_GT(si1op_sigma(9, 2.0e6), 0.0);  // below the crossing near 2.27e6 cm^-1
  at(W);
  si1op(r);
  for (int j = 1; j <= 3; ++j) EXPECT_GT(r.BSI.ASI1(j), 0.0);
}

TEST_F(CoolAtoms, below_the_lowest_threshold_only_the_starting_value_remains) {
  at(6000.0);  // below Al I's 6958.993 cm^-1
  all_atoms();
  for (int j = 1; j <= 3; ++j) {
    const double rho = testing::SOLAR3[j - 1].RHO;
    EXPECT_DOUBLE_EQ(r.BC.AC1(j), 1e-30 * r.BC.XNFPC(j, 1) / rho);
    EXPECT_DOUBLE_EQ(r.BMG.AMG1(j), 1e-30 * r.BMG.XNFPMG(j, 1) / rho);
    EXPECT_DOUBLE_EQ(r.BAL.AAL1(j), 1e-30 * r.BAL.XNFPAL(j, 1) / rho);
    EXPECT_DOUBLE_EQ(r.BSI.ASI1(j), 1e-30 * r.BSI.XNFPSI(j, 1) / rho);
    EXPECT_EQ(r.BC.SC1(j), 0.0);
    EXPECT_EQ(r.BMG.SMG1(j), 0.0);
    EXPECT_EQ(r.BAL.SAL1(j), 0.0);
    EXPECT_EQ(r.BSI.SSI1(j), 0.0);
  }
}

TEST_F(CoolAtoms, in_lte_the_source_functions_are_planck) {
  // Above every atom's lowest threshold. A starts at 1e-30, so S / A = B sum / (1e-30 + sum):
  // B within 1e-30 / sum.
  for (double w : {30000.0, 61000.0, 95000.0, 250000.0}) {
    at(w);
    all_atoms();
    for (int j = 1; j <= 3; ++j) {
      const double B = r.FREQ.BNU(j);
      const Dep* a[] = {&r.BC.AC1, &r.BMG.AMG1, &r.BAL.AAL1, &r.BSI.ASI1};
      const Dep* s[] = {&r.BC.SC1, &r.BMG.SMG1, &r.BAL.SAL1, &r.BSI.SSI1};
      const double* n[] = {&r.BC.XNFPC(j, 1), &r.BMG.XNFPMG(j, 1), &r.BAL.XNFPAL(j, 1),
                           &r.BSI.XNFPSI(j, 1)};
      for (int k = 0; k < 4; ++k) {
        const double A = (*a[k])(j)*r.STATE.RHO(j) / *n[k];
        EXPECT_NEAR((*s[k])(j), B * (A - 1e-30) / A, 1e-13 * B) << w << " atom " << k + 1;
      }
    }
  }
}

TEST_F(CoolAtoms, departure_coefficients_give_the_two_level_source_function) {
  // Between 22006.37 and 28880.88 cm^-1 only C I level 8 contributes. With b = 2 and the C II
  // ground level at b_c = 0.5 the line-free two-level source function is
  // 2 h nu^3 / c^2 / ((b / b_c) exp(h nu / kT) - 1), and the absorption scales with
  // b - b_c exp(-h nu / kT) against its LTE value 1 - exp(-h nu / kT).
  constexpr double W = 25000.0;
  at(W);
  c1op(r);
  double lte[3];
  for (int j = 1; j <= 3; ++j) lte[j - 1] = r.BC.AC1(j);
  for (int j = 1; j <= 3; ++j) {
    r.BC.BC1(j, 8) = 2.0;
    r.BC.BC2(j, 1) = 0.5;
  }
  start_model(r);  // departure coefficients are model input: a new model
  c1op(r);
  const double nu = W * CLIGHT;
  for (int j = 1; j <= 3; ++j) {
    const double ehvkt = r.FREQ.EHVKT(j);
    const double planck_coefficient = 1.47439e-2 * std::pow(nu / 1e15, 3);  // 2h/c^2 x 1e45
    const double floor = 1e-30 * r.BC.XNFPC(j, 1) / r.STATE.RHO(j);         // the starting 1e-30
    EXPECT_NEAR(r.BC.SC1(j) * r.BC.AC1(j) / (r.BC.AC1(j) - floor),
                planck_coefficient / (4.0 / ehvkt - 1.0), 1e-12 * r.BC.SC1(j));
    EXPECT_NEAR((r.BC.AC1(j) - floor) / (lte[j - 1] - floor), (2.0 - 0.5 * ehvkt) / (1.0 - ehvkt),
                1e-12);
  }
}

TEST_F(CoolAtoms, walk_includes_a_threshold_and_stops_just_below_it) {
  // At a threshold the row enters with x = 1, adding g c STIM exp(-E hc/kT) XNFP / RHO (all b = 1);
  // one step below it the row is not reached.
  struct Case {
    int atom;
    float threshold;
    double g, c;
    float e;
  };
  constexpr Case cases[] = {
      {1, 22006.37f, 1, 6.3e-18, 68856.33f}, {1, 100121.0f, 1, 5e-18, 33735.2f},
      {2, 61671.02f, 1, 1.1e-18, 0.0f},      {3, 8002.467f, 1, 3e-16, 40275.902f},
      {3, 55903.26f, 1, 1.2e-16, 29097.11f}, {4, 75423.766f, 1, 7.5e-17, 33326.055f}};
  for (const Case& c : cases)
    for (int j = 1; j <= 3; ++j) {
      const double t = sp(c.threshold);
      const double below = absorption(c.atom, j, std::nextafter(t, 0.0));
      const double above = absorption(c.atom, j, t);
      const double* xnfp[] = {&r.BC.XNFPC(j, 1), &r.BMG.XNFPMG(j, 1), &r.BAL.XNFPAL(j, 1),
                              &r.BSI.XNFPSI(j, 1)};
      const double row = c.g * c.c * r.FREQ.STIM(j) * std::exp(-sp(c.e) * r.TEMP.HCKT(j)) *
                         *xnfp[c.atom - 1] / r.STATE.RHO(j);
      EXPECT_NEAR(above - below, row, 1e-6 * row + 1e-12 * above) << c.atom << " " << t;
      EXPECT_GT(above, below) << c.atom << " " << t;
    }
}

TEST_F(CoolAtoms, paired_limits_take_one_third_and_two_thirds) {
  // The jump at the upper limit of a pair is twice the jump at the lower one (same level, same
  // energy; weights 1 and 2, or 5 and 10): C I 2p2 1S (69172.4 / 69235.82), C I 1D (80627.76 /
  // 80691.18), Si I 1S (50353.18 / 50640.63), Si I 1D (59448.7 / 59736.15). For Si I each row
  // takes x from its own threshold, and the resonance term moves a little between them.
  struct Case {
    int atom;
    float lower, upper;
    double tolerance;
  };
  constexpr Case cases[] = {{1, 69172.4f, 69235.82f, 2e-3},
                            {1, 80627.76f, 80691.18f, 2e-3},
                            {4, 50353.18f, 50640.63f, 2e-2},
                            {4, 59448.7f, 59736.15f, 2e-2}};
  for (const Case& c : cases)
    for (int j = 1; j <= 3; ++j) {
      const double lo = sp(c.lower), hi = sp(c.upper);
      const double jump_lo =
          absorption(c.atom, j, lo) - absorption(c.atom, j, std::nextafter(lo, 0.0));
      const double jump_hi =
          absorption(c.atom, j, hi) - absorption(c.atom, j, std::nextafter(hi, 0.0));
      EXPECT_NEAR(jump_hi / jump_lo, 2.0, 2.0 * c.tolerance) << c.lower << " depth " << j;
    }
}

TEST_F(CoolAtoms, fe1_below_its_lowest_threshold_is_zero_and_leaves_its_source_function) {
  for (int j = 1; j <= 3; ++j) {
    r.BFE.SFE1(j) = 7.0;  // left from elsewhere: not written below 21000 cm^-1
    r.BSI.BSI1(j, 1) = 1.5;
  }
  at(20999.0);
  fe1op(r);
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(r.BFE.AFE1(j), 0.0);
    EXPECT_EQ(r.BFE.SFE1(j), 7.0);
    EXPECT_EQ(r.FLUX.FLXWRK(j), 1.5);  // the Si I ground-level coefficient
  }
  at(21000.0);
  fe1op(r);
  for (int j = 1; j <= 3; ++j) EXPECT_GT(r.BFE.AFE1(j), 0.0);
}

TEST_F(CoolAtoms, fe1_pseudo_levels_are_resonances_3000_above_threshold) {
  // Peak 3e-18 cm^2 at WNO + 3000; half of it 0.1 WNO away (v = +-1); at the threshold itself
  // v = 3000 / (0.1 WNO).
  for (int i : {1, 10, 46}) {
    constexpr double WNO[] = {63500, 41000, 21000};
    const double w = WNO[i == 1 ? 0 : (i == 10 ? 1 : 2)];
    EXPECT_DOUBLE_EQ(fe1op_xsect(i, w + 3000), 3e-18);
    EXPECT_NEAR(fe1op_xsect(i, w + 3000 + 0.1 * w), 1.5e-18, 1e-7 * 1.5e-18);
    EXPECT_NEAR(fe1op_xsect(i, w + 3000 - 0.1 * w), 1.5e-18, 1e-7 * 1.5e-18);
    const double v = 3000 / (0.1 * w);
    EXPECT_NEAR(fe1op_xsect(i, w), 3e-18 / (1 + v * v * v * v), 1e-7 * 3e-18);
  }
}

TEST_F(CoolAtoms, fe1_source_function_uses_the_si1_ground_departure_coefficient) {
  at(50000.0);
  fe1op(r);
  for (int j = 1; j <= 3; ++j) EXPECT_NEAR(r.BFE.SFE1(j), r.FREQ.BNU(j), 1e-14 * r.FREQ.BNU(j));
  for (int j = 1; j <= 3; ++j) {
    r.BSI.BSI1(j, 1) = 2.0;
    r.BFE.BFE1(j, 1) = 5.0;  // not read
  }
  fe1op(r);
  for (int j = 1; j <= 3; ++j) {
    const Run::FreqRec& f = r.FREQ;
    EXPECT_DOUBLE_EQ(r.BFE.SFE1(j), f.BNU(j) * f.STIM(j) / (2.0 - f.EHVKT(j)));
  }
}

TEST_F(CoolAtoms, boltzmann_factors_follow_the_model_counter) {
  // The level populations are cached per model: a new temperature without a new ITEMP keeps the
  // old factors; the next model (ITEMP + 1) with identical temperatures refreshes them.
  at(64000.0);
  c1op(r);
  fe1op(r);
  const double c1 = r.BC.AC1(2), fe = r.BFE.AFE1(2);
  const double hckt = r.TEMP.HCKT(2);
  r.TEMP.HCKT(2) = 10 * hckt;
  c1op(r);
  fe1op(r);
  EXPECT_EQ(r.BC.AC1(2), c1);
  EXPECT_EQ(r.BFE.AFE1(2), fe);
  start_model(r);
  c1op(r);
  fe1op(r);
  EXPECT_LT(r.BC.AC1(2), 0.5 * c1);
  EXPECT_LT(r.BFE.AFE1(2), 0.5 * fe);
  r.TEMP.HCKT(2) = hckt;
  start_model(r);
  c1op(r);
  fe1op(r);
  EXPECT_EQ(r.BC.AC1(2), c1);
  EXPECT_EQ(r.BFE.AFE1(2), fe);
}

// Ground terms against published cross-sections. Per atom in the ground term (weights summed over
// the term's rows, Boltzmann factors within the term ~1): C I 3P and Si I 3P are the 10^-16.8
// background and sg of their six rows, Al I 2P 6.5e-17 z^5, Mg I 1S 1.1e-18 x^10, Fe I a5D the
// first pseudo-level. Verner et al. 1996 (ApJ 465, 487) fits: smooth, a few per cent; the R-matrix
// means (Luo & Pradhan 1989 C I; Butler et al. 1993 Mg I; Bautista 1997 Fe I) averaged over the
// resonances with the trapezoid rule between the energies given.
TEST(CoolAtomsPublished, ground_terms_agree_with_verner_and_r_matrix) {
  constexpr double EV_CM = 8065.543937;  // cm^-1 per eV
  // Six rows of weights 5, 3, 1, 10, 6, 2 each carry one third of the background: 27 sigma over
  // the term's weight 9 is 3 sigma per atom.
  auto c1 = [](double w) { return c1op_sigma(15, w) * 3.0; };
  auto si1 = [](double w) { return si1op_sigma(12, w) * 3.0; };
  auto al1 = [](double w) { return al1op_sigma(8, w); };
  auto mg1 = [](double w) { return mg1op_sigma(10, w); };
  struct Case {
    const char* what;
    double (*sigma)(double);
    double e_ev, published, factor;
  };
  const Case cases[] = {
      // C I: within 15 % from threshold to 3 x threshold.
      {"C I Verner", +c1, 11.2603, 1.8277e-17, 1.2},
      {"C I Verner", +c1, 15.809, 1.3652e-17, 1.15},
      {"C I Verner", +c1, 22.196, 8.7119e-18, 1.15},
      {"C I Verner", +c1, 31.164, 5.0948e-18, 1.15},
      {"C I R-matrix mean 13.54-16.0 eV", +c1, 14.77, 1.4800e-17, 1.2},
      {"C I R-matrix mean 16.0-22.7 eV", +c1, 19.35, 1.0630e-17, 1.15},
      // Si I: within 15 % to twice threshold, a factor 2 at 3 x.
      {"Si I Verner", +si1, 8.152, 6.8849e-17, 1.1},
      {"Si I Verner", +si1, 9.7226, 4.1719e-17, 1.15},
      {"Si I Verner", +si1, 12.664, 1.5771e-17, 1.1},
      {"Si I Verner", +si1, 23.463, 6.8625e-19, 2.1},
      // Al I: within 40 % to 1.3 x threshold, a factor 1.6 at 1.9 x.
      {"Al I Verner", +al1, 5.986, 4.9135e-17, 1.4},
      {"Al I Verner", +al1, 7.8701, 2.2122e-17, 1.4},
      {"Al I Verner", +al1, 11.335, 4.1258e-18, 1.6},
      // Mg I: the x^10 fit starts a factor 1.5 (Verner) to 2 (R-matrix) low and falls faster.
      {"Mg I Verner", +mg1, 7.646, 1.6751e-18, 1.6},
      {"Mg I R-matrix mean 7.59-8.23 eV", +mg1, 7.8, 2.0057e-18, 2.6},
  };
  for (const Case& c : cases) {
    const double s = c.sigma(c.e_ev * EV_CM);
    EXPECT_LT(s, c.published * c.factor) << c.what << " " << c.e_ev << " eV";
    EXPECT_GT(s, c.published / c.factor) << c.what << " " << c.e_ev << " eV";
  }
  // Fe I ground a5D: within 15 % of the Bautista mean just above threshold (7.92-8.5 eV, 2.79e-18),
  // and of Verner's smooth fit (2.03e-18 at 9.43 eV, 2.40e-18 at 8.63 eV) within a factor 2 over
  // 8.5-9.5 eV, where the R-matrix mean (19.7e-18) is dominated by autoionizing resonances.
  double mean = 0;
  for (int k = 0; k <= 58; ++k) mean += fe1op_xsect(1, (7.92 + 0.01 * k) * EV_CM) / 59;
  EXPECT_NEAR(mean, 2.79e-18, 0.15 * 2.79e-18);
  mean = 0;
  for (int k = 0; k <= 100; ++k) mean += fe1op_xsect(1, (8.5 + 0.01 * k) * EV_CM) / 101;
  EXPECT_GT(mean, 2.2e-18 / 2);
  EXPECT_LT(mean, 2.2e-18 * 2);
}

}  // namespace
}  // namespace atmotab
