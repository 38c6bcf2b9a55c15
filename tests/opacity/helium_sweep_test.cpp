// The four helium sources over 2000 frequencies from 1e10 to 1e21 Hz at the bundled models, their
// populations from the population driver: every coefficient and source function finite and not
// negative (the Planck function itself underflows to 0 far in the Wien tail).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "input/readin_support.h"
#include "opacity/he1op.h"
#include "opacity/he2op.h"
#include "opacity/hemiop.h"
#include "opacity/heraop.h"
#include "opacity/setfreq.h"
#include "populations/pftables.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

class HeliumSweep : public ::testing::TestWithParam<const char*> {};

TEST_P(HeliumSweep, finite_and_not_negative_from_1e10_to_1e21_hz) {
  std::ifstream in(std::string(ATMOTAB_SOURCE_DIR) + "/examples/" + GetParam());
  ASSERT_TRUE(in) << GetParam();
  std::stringstream deck;
  deck << in.rdbuf();
  testing::DeckRun d(deck.str());
  atmotab::Run& run = *d.run;
  load_pf_tables(run);
  ASSERT_TRUE(d.read().model) << d.message;
  start_model(run);
  pops(run, 2.01, 12, run.BHE.XNFHE.data());
  pops(run, 2.02, 11, run.BHE.XNFPHE.data());
  const int n = run.RHOX.NRHOX;
  int bad = 0;
  for (int i = 0; i < 2000 && bad < 10; ++i) {
    const double nu = std::pow(10.0, 10.0 + 11.0 * i / 1999.0);
    setfreq(run, nu);
    he1op(run);
    he2op(run);
    hemiop(run);
    heraop(run);
    const BheRec& he = run.BHE;
    for (int j = 1; j <= n; ++j) {
      const double a[] = {he.AHE1(j), he.AHE2(j), he.AHEMIN(j), he.SIGHE(j)};
      const double s[] = {he.SHE1(j), he.SHE2(j)};
      bool ok = true;
      for (double x : a) ok = ok && std::isfinite(x) && x >= 0.0;
      for (double x : s) ok = ok && std::isfinite(x) && x >= 0.0;
      if (!ok) {
        ++bad;
        ADD_FAILURE() << GetParam() << " nu " << nu << " depth " << j << " T " << run.TEMP.T(j)
                      << ": AHE1 " << a[0] << " AHE2 " << a[1] << " AHEMIN " << a[2] << " SIGHE "
                      << a[3] << " SHE1 " << s[0] << " SHE2 " << s[1];
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(examples, HeliumSweep,
                         ::testing::Values("sun.deck", "cool4000.deck", "warm7750.deck",
                                           "grey.deck"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace atmotab
