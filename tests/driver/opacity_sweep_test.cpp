// Every opacity source at every frequency an edge list can produce: the three bundled MARCS models
// with all twenty switches on, and again with XCONT off (on, it takes the place of the cool-metal
// atoms and the intermediate metals), 2000 log-spaced frequencies from 1e10 to 1e21 Hz (3 cm to
// 3e-4 nm).
// Every array that kapp's source table names (so every source built later is covered too) must be
// finite, absorption and scattering non-negative, and the table entry log10(ACONT + SIGMAC) finite.
// The cool-metal block's parts are checked one by one as well: its collision-induced absorption,
// and the CH and OH cross-sections times partition function at every depth, which the block
// evaluates only where the molecules exist (with molecules off, nowhere), and the dissolved
// hydrogen levels, which the additional continuum adds.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/state.h"
#include "opacity/choh.h"
#include "opacity/coolop_cache.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "support/bundled_model.h"

namespace atmotab {
namespace {

class OpacitySweep : public ::testing::TestWithParam<const char*> {};

TEST_P(OpacitySweep, finite_non_negative_coefficients_from_1e10_to_1e21_hz) {
  // The model's frequency count from the examples' edge list (the sweep sets its own frequencies).
  testing::BundledModel m(GetParam());
  atmotab::Run& r = *m.run;
  const int n = r.RHOX.NRHOX;
  ASSERT_GT(n, 0);

  int bad = 0;
  auto check = [&](const char* what, double v, bool signed_ok, double nu, int j) {
    if (std::isfinite(v) && (signed_ok || v >= 0)) return;
    if (bad++ < 20)
      ADD_FAILURE() << what << " = " << v << " at " << nu << " Hz, depth " << j << " ("
                    << r.TEMP.T(j) << " K)";
  };
  int NSTEPS = 0;
  double STEPWT = 0;
  for (int i = 1; i <= NIFOP; ++i) r.IF.IFOP(i) = 1;
  for (int k = 0; k < 4000; ++k) {
    if (k == 2000) r.IF.IFOP(IFOP_XCONT) = 0;
    const double nu = 1e10 * std::pow(1e11, (k % 2000) / 1999.0);
    setfreq(r, nu);
    kapp(r, 1, NSTEPS, STEPWT);
    for (const OpacitySource& row : kapp_sources()) {
      const char* name = kapp_switch_name(row.ifop);
      for (const SourceArray& a : row.written()) {
        for (int j = 1; j <= n; ++j) {
          check(name, a.array(r)(j), false, nu, j);
          if (a.source != nullptr) check(name, a.source(r)(j), true, nu, j);
        }
      }
    }
    for (int j = 1; j <= n; ++j) {
      check("H2 collision-induced", coolop_cache(r).AH2COLL(j), false, nu, j);
      check("CH cross-section x U", chop(r, j), false, nu, j);
      check("OH cross-section x U", ohop(r, j), false, nu, j);
      check("SCONT", r.OPTOT.SCONT(j), true, nu, j);
      check("log10 ACONT + SIGMAC", std::log10(r.OPTOT.ACONT(j) + r.OPTOT.SIGMAC(j)), true, nu, j);
    }
  }
  EXPECT_EQ(bad, 0);
}

INSTANTIATE_TEST_SUITE_P(examples, OpacitySweep,
                         ::testing::Values("sun.deck", "cool4000.deck", "warm7750.deck"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace atmotab
