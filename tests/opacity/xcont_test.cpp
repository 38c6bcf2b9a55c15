// Switch XCONT (opacity/xcont.cpp) on the bundled models: the metal bound-free opacity in the near
// ultraviolet against the OP/IP values for the program's own populations, and the visible and near
// infrared left nearly as they were. (Its kept columns: tests/opacity/per_frequency_test.cpp.)
#include "opacity/xcont.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "common/state.h"
#include "opacity/hydrogen_dissolved.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "support/bundled_model.h"

namespace atmotab {
namespace {

constexpr double CLIGHT_NM = 2.99792458e17;  // [nm s^-1]

// A bundled model made ready for kapp, as the driver does before its frequency loop.
struct Model : testing::BundledModel {
  using BundledModel::BundledModel;
  // kapp at wavelength LAMBDA [nm] with XCONT on or off.
  void at(double lambda, bool xcont_on) {
    run->IF.IFOP(IFOP_XCONT) = xcont_on ? 1 : 0;
    int nsteps = 0;
    double stepwt = 0;
    setfreq(*run, CLIGHT_NM / lambda);
    kapp(*run, 1, nsteps, stepwt);
  }
  double cool_metals(int j) const {
    const Run& r = *run;
    return r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) + r.BFE.AFE1(j);
  }
};

// The dissolved hydrogen levels' share of AXCONT at the current frequency of M's run.
Dep dissolved_hydrogen(Model& m) {
  Dep d;
  add_dissolved_hydrogen(*m.run, d);
  return d;
}

// Metal bound-free opacity [cm^2 g^-1] at the layer where tau_Ross is about 1 (depth 41), with
// XCONT on, against orientation values from OP/IP cross-sections for the same populations
// (EXPECTED; Fe I data sets alone differ by up to 2x). These tables (Fe I: Bautista 1997 on 118
// terms; every species averaged over +-2 % in frequency) give 0.43..0.59 of them (GOT), 6..9 times
// the cool-metal block they replace (OLD_BLOCK, the default's C I ... Fe I at the same layer, which
// must stay as it was). Fe I and Mg I carry most of it at 300 nm, Ca I and Si I lead at 400 nm.
TEST(Xcont, near_ultraviolet_metal_opacity_at_tau_1) {
  struct Case {
    const char* deck;
    double lambda, expected, old_block, got;
  };
  constexpr Case cases[] = {
      {"sun.deck", 300, 0.104, 0.0056, 0.0527},
      {"sun.deck", 340, 0.054, 0.0034, 0.0292},
      {"sun.deck", 400, 0.018, 0.0017, 0.0106},
      {"cool4000.deck", 300, 0.135, 0.0071, 0.0587},
  };
  for (const Case& c : cases) {
    Model m(c.deck);
    m.at(c.lambda, false);
    const double block = m.cool_metals(41);
    EXPECT_NEAR(block, c.old_block, 0.1 * c.old_block) << c.deck << " " << c.lambda << " nm";
    m.at(c.lambda, true);
    const double metals = m.run->OPS.AXCONT(41) - dissolved_hydrogen(m)(41);
    EXPECT_NEAR(metals, c.got, 0.01 * c.got) << c.deck << " " << c.lambda << " nm";
    EXPECT_GT(metals, 0.4 * c.expected) << c.deck << " " << c.lambda << " nm";
    EXPECT_LT(metals, 1.3 * c.expected) << c.deck << " " << c.lambda << " nm";
    EXPECT_GT(metals, 5 * block) << c.deck << " " << c.lambda << " nm";
    EXPECT_EQ(m.cool_metals(41), 0.0) << "the cool-metal atoms counted twice";
    EXPECT_EQ(m.run->OPS.SXCONT(41), m.run->FREQ.BNU(41));
  }
}

// 500..1000 nm: the metals change the total continuum absorption by less than 2 % at every depth
// of the three bundled MARCS models (the dissolved hydrogen levels of the same switch, which extend
// the Paschen continuum redward of its edge in the deep layers, left out).
TEST(Xcont, visible_and_near_infrared_change_less_than_2_percent) {
  for (const char* deck : {"sun.deck", "cool4000.deck", "warm7750.deck"}) {
    Model m(deck);
    double worst = 0;
    for (double lambda = 500; lambda <= 1000; lambda += 12.5) {
      m.at(lambda, false);
      const Dep off = m.run->OPTOT.ACONT;
      m.at(lambda, true);
      const Dep hydrogen = dissolved_hydrogen(m);
      for (int j = 1; j <= m.run->RHOX.NRHOX; ++j)
        worst = std::max(worst, std::abs((m.run->OPTOT.ACONT(j) - hydrogen(j)) / off(j) - 1));
    }
    EXPECT_LT(worst, 0.02) << deck;
  }
}
// The table rows kept between frequencies (two per species) give the same bits whatever the order
// of the frequencies: rising, falling, and jumping back and forth over thresholds and table rows.
TEST(Xcont, rows_kept_between_frequencies_do_not_depend_on_the_order) {
  std::vector<double> rising;
  for (double lambda = 150; lambda <= 1200; lambda *= 1.004) rising.push_back(lambda);
  std::vector<double> jumping = rising;
  for (std::size_t i = 0; i + 7 < jumping.size(); i += 5) std::swap(jumping[i], jumping[i + 7]);
  std::reverse(jumping.begin() + jumping.size() / 2, jumping.end());
  Model first("sun.deck"), second("sun.deck");
  std::vector<Dep> seen(rising.size());
  for (std::size_t i = 0; i < rising.size(); ++i) {
    first.at(rising[i], true);
    seen[i] = first.run->OPS.AXCONT;
  }
  for (double lambda : jumping) {
    second.at(lambda, true);
    const std::size_t i = std::find(rising.begin(), rising.end(), lambda) - rising.begin();
    for (int j = 1; j <= second.run->RHOX.NRHOX; ++j)
      ASSERT_EQ(second.run->OPS.AXCONT(j), seen[i](j)) << lambda << " nm, depth " << j;
  }
}

}  // namespace
}  // namespace atmotab
