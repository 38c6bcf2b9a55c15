// Hydrogen Rayleigh scattering: the cross-section against the low-frequency expansion and the
// Dalgarno formula, its band structure around the Lyman lines and limit, and SIGH per gram.
#include "opacity/hrayop.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <sstream>

#include "common/array.h"
#include "common/state.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

constexpr double NUL = 3.288051e15;    // Lyman limit [Hz]
constexpr double CNM = 2.99792458e17;  // speed of light [nm s^-1]
constexpr double SIGT = 6.65e-25;      // Thomson cross-section of this routine [cm^2]

// Dalgarno-Williams expansion of the 1s Rayleigh cross-section, sigma/sigma_T in x = nu/nu_L
// (coefficients from Lee 2005, MNRAS 358, 1472, eq. 7), with CODATA sigma_T.
double lee2005(double x) {
  const double x2 = x * x;
  return 6.6524587e-25 * x2 * x2 * (1.26537 + x2 * (3.73766 + x2 * (8.8127 + x2 * 19.1515)));
}

// Dalgarno (1962) fit as used in classical model-atmosphere codes, lambda in cm.
double dalgarno1962(double lam_cm) {
  const double l2 = lam_cm * lam_cm;
  const double l4 = l2 * l2;
  return 5.799e-45 / l4 + 1.422e-54 / (l4 * l2) + 2.784e-64 / (l4 * l4);
}

TEST(hrayop, matches_published_low_frequency_cross_sections) {
  // G is tabulated every 0.01 nu_L to 6 decimals and interpolated linearly; since G ~ x^2 the
  // linear interpolation overestimates sigma by at most (0.01/x)^2/2, 0.3 % at 700 nm; the
  // Dalgarno fit itself agrees with the expansion to 0.5 % in this range.
  struct Case {
    double lam_nm, tol_lee, tol_dalgarno;
  };
  constexpr Case cases[] = {
      {300.0, 0.004, 0.02}, {400.0, 0.003, 0.01}, {500.0, 0.003, 0.01}, {700.0, 0.003, 0.01}};
  for (const Case& c : cases) {
    const double nu = CNM / c.lam_nm;
    const double s = hrayop_xsect(nu);
    EXPECT_NEAR(s / lee2005(nu / NUL), 1.0, c.tol_lee) << c.lam_nm << " nm";
    EXPECT_NEAR(s / dalgarno1962(c.lam_nm * 1e-7), 1.0, c.tol_dalgarno) << c.lam_nm << " nm";
  }
}

TEST(hrayop, power_law_below_first_node_and_continuity_there) {
  const double G1 = sp(-0.000113f);
  // Half the first node frequency: (1/2)^4 of the node value.
  EXPECT_DOUBLE_EQ(hrayop_xsect(0.5 * 3.288051e13), SIGT * G1 * G1 / 16.0);
  // Exactly at 0.01 nu_L the table band starts with I = 2, giving G = GAVRILAM(1).
  EXPECT_EQ(hrayop_xsect(3.288051e13), SIGT * (G1 * G1));
  const double below = hrayop_xsect(3.288051e13 * (1.0 - 1e-12));
  EXPECT_NEAR(below / (SIGT * G1 * G1), 1.0, 1e-11);
  // Rises as nu^4 across the whole low-frequency range.
  EXPECT_NEAR(hrayop_xsect(1e12) / hrayop_xsect(2e12), 1.0 / 16.0, 1e-15);
}

TEST(hrayop, node_frequencies_reproduce_node_values) {
  struct Case {
    double nu, G;  // node frequency [Hz], tabulated amplitude there
  };
  const Case cases[] = {
      {10 * 3.288051e13, sp(-0.011419f)},  // GAVRILAM(10)
      {73 * 3.288051e13, sp(-7.930999f)},  // GAVRILAM(73), last node below the window
      {sp(0.755f) * NUL + 3 * 1.644026e13, sp(7.538338f)},   // GAVRILAMAB(4)
      {sp(0.755f) * NUL + 20 * 1.644026e13, sp(0.219115f)},  // GAVRILAMAB(21)
      {sp(0.89f) * NUL, sp(32.260387f)},                     // GAVRILAMBC(1)
      {sp(0.89f) * NUL + 10 * 6.5761e12, sp(1.803441f)},     // GAVRILAMBC(11)
      {sp(0.938f) * NUL, sp(27.981405f)},                    // GAVRILAMCD(1)
      {sp(0.938f) * NUL + 15 * 3.288051e12, sp(0.53876f)},   // GAVRILAMCD(16)
  };
  for (const Case& c : cases)
    EXPECT_NEAR(hrayop_xsect(c.nu) / (SIGT * c.G * c.G), 1.0, 1e-9) << "nu = " << c.nu;
  // 2.4190611e15 Hz (0.7357 nu_L) is inside the last GAVRILAM interval: between nodes 73 and 74.
  const double G73 = sp(-7.930999f), G74 = sp(-15.763602f);
  const double frac = (2.4190611e15 - 73 * 3.288051e13) / 3.288051e13;
  const double G = G73 + (G74 - G73) * frac;
  EXPECT_NEAR(hrayop_xsect(2.4190611e15) / (SIGT * G * G), 1.0, 1e-12);
}

TEST(hrayop, zero_in_the_windows_around_the_lyman_lines) {
  const double inside[] = {2.4190611e15 * (1 + 1e-12),
                           CNM / 121.567,  // Lyman alpha (0.75 nu_L)
                           sp(0.77f) * NUL * (1 - 1e-12),
                           sp(0.885f) * NUL * (1 + 1e-12),
                           CNM / 102.572,  // Lyman beta (8/9 nu_L)
                           sp(0.936f) * NUL * (1 + 1e-12),
                           CNM / 97.254,  // Lyman gamma (15/16 nu_L)
                           sp(0.959f) * NUL * (1 + 1e-12),
                           CNM / 94.974,  // Lyman delta (24/25 nu_L)
                           sp(0.961f) * NUL * (1 - 1e-12)};
  for (double nu : inside) EXPECT_EQ(hrayop_xsect(nu), 0.0) << "nu = " << nu;
  // The window edges themselves belong to the tables.
  const double edges[] = {sp(0.77f) * NUL,  sp(0.885f) * NUL, sp(0.89f) * NUL, sp(0.936f) * NUL,
                          sp(0.938f) * NUL, sp(0.959f) * NUL, sp(0.961f) * NUL};
  for (double nu : edges) EXPECT_GT(hrayop_xsect(nu), 0.0) << "nu = " << nu;
}

TEST(hrayop, lyman_limit_and_continuum) {
  // From 0.961 nu_L up to nu_L: the first continuum ratio, not squared.
  EXPECT_EQ(hrayop_xsect(NUL), SIGT * sp(2.667783f));
  EXPECT_EQ(hrayop_xsect(sp(0.961f) * NUL), SIGT * sp(2.667783f));
  // Just above the limit the interpolation starts from the same value (x = 1 is the first point).
  EXPECT_NEAR(hrayop_xsect(NUL * (1 + 1e-9)) / (SIGT * sp(2.667783f)), 1.0, 1e-8);
  // Between the first two points (1 and 1.05) the table is linear: midpoint is the mean.
  const double xmid = 0.5 * (1.0 + sp(1.05f));
  EXPECT_NEAR(hrayop_xsect(xmid * NUL) / SIGT, 0.5 * (sp(2.667783f) + sp(2.526696f)), 1e-12);
  // Beyond x = 50 linear extrapolation from the points at 48 and 50: x = 60.
  const double r48 = sp(1.003385f), r50 = sp(1.00314f);
  const double r60 = r50 + (r50 - r48) / (sp(50.0f) - sp(48.0f)) * (60.0 - sp(50.0f));
  EXPECT_NEAR(hrayop_xsect(60 * NUL) / SIGT, r60, 1e-12);
  // The straight line beyond x = 50 reaches the Thomson limit 1 at x = 75.6; from there on the
  // ratio stays 1 (the line would turn negative at x = 8240, an edge at 0.011 nm): at x = 75 it is
  // still the line, at x = 76, 1e4 and an edge at 0.0014 nm (2.1e20 Hz) exactly 1.
  const double r75 = r50 + (r50 - r48) / (sp(50.0f) - sp(48.0f)) * (75.0 - sp(50.0f));
  EXPECT_GT(r75, 1.0);
  EXPECT_NEAR(hrayop_xsect(75 * NUL) / SIGT, r75, 1e-12);
  for (double nu : {76 * NUL, 1e4 * NUL, CNM / 0.0014, 1e21}) EXPECT_EQ(hrayop_xsect(nu), SIGT);
  // The ratio falls towards the Thomson limit 1 from above.
  double prev = hrayop_xsect(NUL * 1.0001);
  for (double x = 1.1; x <= 50.0; x += 0.1) {
    const double s = hrayop_xsect(x * NUL);
    EXPECT_LT(s, prev) << "x = " << x;
    EXPECT_GT(s, SIGT) << "x = " << x;
    prev = s;
  }
}

TEST(hrayop, sigh_per_gram_with_ground_level_weight_and_departure) {
  std::ostringstream listing;
  auto run = make_run(listing);
  testing::fill_model(*run, testing::SOLAR3);
  const double nu = CNM / 500.0;
  run->FREQ.FREQ = nu;
  run->BHYD.BHYD(3, 1) = 0.5;  // an underpopulated ground level at the deepest point
  hrayop(*run);
  const double X = hrayop_xsect(nu);
  for (int j = 1; j <= 3; ++j) {
    const testing::Layer& l = testing::SOLAR3[j - 1];
    const double b = j == 3 ? 0.5 : 1.0;
    // n(1s) = 2 n/U for the statistical weight 2 of the ground level.
    EXPECT_NEAR(run->BHYD.SIGH(j), 2.0 * l.XNFPH1 * b * X / l.RHO, 1e-14 * run->BHYD.SIGH(j))
        << "depth " << j;
  }
  // At 500 nm and the middle layer: 2 x 7e16 x ~1.03e-27 / 2.8e-7 = ~5.2e-4 cm^2/g.
  EXPECT_NEAR(run->BHYD.SIGH(2), 5.16e-4, 0.02e-4);
}

// The depth loop runs in vector instructions: every depth of the vector body and of the tail
// holds the bits of XNFPH XSECT 2 BHYD / RHO formed left to right, including a zero density
// (+Inf), an empty level over a zero density (NaN) and subnormal products.
TEST(hrayop, every_depth_holds_the_bits_of_the_formula) {
  std::ostringstream listing;
  auto run = make_run(listing);
  const double nu = CNM / 500.0;
  run->FREQ.FREQ = nu;
  const double X = hrayop_xsect(nu);
  ASSERT_GT(X, 0.0);
  struct Layer {
    double XNFPH, BHYD, RHO;
  };
  const Layer layers[] = {{7e16, 1, 2.8e-7}, {1e10, 0.5, 1e-9},  {3e18, 2, 0},     {0, 1, 0},
                          {1e-300, 1, 1e10}, {5e14, 1e-5, 3e-8}, {9e20, 1, 1e-3},  {1, 1, 1},
                          {2e15, 3, 7e-9},   {4e12, 1, 1e-12},   {6e17, 0.9, 5e-6}};
  for (int n = 1; n <= static_cast<int>(std::size(layers)); ++n) {
    run->RHOX.NRHOX = n;
    for (int j = 1; j <= n; ++j) {
      run->BHYD.XNFPH(j, 1) = layers[j - 1].XNFPH;
      run->BHYD.BHYD(j, 1) = layers[j - 1].BHYD;
      run->STATE.RHO(j) = layers[j - 1].RHO;
    }
    hrayop(*run);
    for (int j = 1; j <= n; ++j) {
      const Layer& l = layers[j - 1];
      const double expected = l.XNFPH * X * 2.0 * l.BHYD / l.RHO;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(run->BHYD.SIGH(j)),
                std::bit_cast<std::uint64_t>(expected))
          << n << " depths, depth " << j;
    }
  }
}

}  // namespace
}  // namespace atmotab
