// Electron scattering: the Thomson coefficient per gram against hand-computed values.
#include "opacity/elecop.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/state.h"

namespace atmotab {
namespace {

TEST(elecop, thomson_per_gram_hand_values) {
  struct Case {
    double XNE, RHO, expected;  // [cm^-3], [g cm^-3], SIGEL [cm^2 g^-1]
  };
  constexpr Case cases[] = {
      {1e14, 1e-7, 6.653e-4},                       // 1e14 x 6.653e-25 / 1e-7
      {3.0e10, 3.0e-9, 6.653e-6},                   // cool surface layer
      {1.0 / 1.66e-24, 1.0, 6.653e-25 / 1.66e-24},  // one electron per amu: 0.40078 cm^2/g
      {0.0, 1e-7, 0.0},                             // no free electrons
  };
  std::ostringstream listing;
  auto run = make_run(listing);
  run->RHOX.NRHOX = static_cast<int>(std::size(cases));
  for (int j = 1; j <= run->RHOX.NRHOX; ++j) {
    run->STATE.XNE(j) = cases[j - 1].XNE;
    run->STATE.RHO(j) = cases[j - 1].RHO;
  }
  elecop(*run);
  for (int j = 1; j <= run->RHOX.NRHOX; ++j)
    EXPECT_NEAR(run->OPS.SIGEL(j), cases[j - 1].expected, 1e-14 * cases[j - 1].expected)
        << "depth " << j;
  // Fully ionised hydrogen: kappa_es = sigma_T / m_H, about 0.40 cm^2/g (0.2 (1 + X) with X = 1).
  EXPECT_NEAR(run->OPS.SIGEL(3), 0.4008, 1e-4);
}

TEST(elecop, constant_is_the_thomson_cross_section) {
  // sigma_T = 8 pi r_e^2 / 3 = 6.6524587e-25 cm^2 (CODATA 2018); the routine's 6.653e-25 is its
  // four-digit rounding, 7e-5 relative above it.
  std::ostringstream listing;
  auto run = make_run(listing);
  run->RHOX.NRHOX = 1;
  run->STATE.XNE(1) = 1.0;
  run->STATE.RHO(1) = 1.0;
  elecop(*run);
  EXPECT_NEAR(run->OPS.SIGEL(1) / 6.6524587e-25, 1.0, 1e-4);
  EXPECT_EQ(run->OPS.SIGEL(1), 6.653e-25);
}

TEST(elecop, independent_of_frequency_and_touches_only_the_model_depths) {
  std::ostringstream listing;
  auto run = make_run(listing);
  run->RHOX.NRHOX = 2;
  for (int j = 1; j <= 3; ++j) {
    run->STATE.XNE(j) = 1e12;
    run->STATE.RHO(j) = 1e-8;
  }
  run->OPS.SIGEL(3) = -7.0;  // beyond NRHOX: must stay as it was
  run->FREQ.FREQ = 1e14;
  elecop(*run);
  const double low = run->OPS.SIGEL(1);
  run->FREQ.FREQ = 5e15;
  elecop(*run);
  EXPECT_EQ(run->OPS.SIGEL(1), low);
  EXPECT_EQ(run->OPS.SIGEL(2), low);
  EXPECT_EQ(run->OPS.SIGEL(3), -7.0);
}

// SIGEL is formed once per model and copied at every frequency. A step of the sequence below
// starts a model or not, sets the depth count and XNE(1..3) = X (RHO = 1e-8), clears the output as
// kapp does, calls elecop and expects the coefficient of the XNE the step names: the present one
// where a model started or the depth count changed, the remembered one otherwise.
TEST(elecop, formed_once_per_model_and_again_for_a_new_model_or_depth_count) {
  struct Step {
    bool start;  // start_model before the step
    int NRHOX;
    double X;     // XNE(1..3) set before the call [cm^-3]
    double used;  // the XNE the result must come from
    const char* why;
  };
  constexpr Step steps[] = {
      {true, 2, 1e12, 1e12, "first call of the run"},
      {false, 2, 3e12, 1e12, "same model: the remembered values"},
      {false, 3, 5e12, 5e12, "same model, one depth more"},
      {false, 1, 7e12, 7e12, "same model, fewer depths"},
      {true, 1, 7e12, 7e12, "next model, same values"},
      {false, 1, 9e12, 7e12, "same model again"},
      {true, 1, 2e13, 2e13, "next model, new values"},
      {false, 2, 4e13, 4e13, "back to an earlier depth count: formed again, not revived"},
  };
  std::ostringstream listing;
  auto run = make_run(listing);
  for (const Step& st : steps) {
    if (st.start) start_model(*run);
    run->RHOX.NRHOX = st.NRHOX;
    for (int j = 1; j <= 3; ++j) {
      run->STATE.XNE(j) = st.X;
      run->STATE.RHO(j) = 1e-8;
      run->OPS.SIGEL(j) = -1.0;  // kapp's clearing, made visible
    }
    elecop(*run);
    for (int j = 1; j <= 3; ++j)
      EXPECT_EQ(run->OPS.SIGEL(j), j <= st.NRHOX ? st.used * 6.653e-25 / 1e-8 : -1.0)
          << st.why << ", depth " << j;
  }
}

}  // namespace
}  // namespace atmotab
