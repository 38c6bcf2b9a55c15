// The physical constants: the program's roundings agree with each other and with CODATA 2018
// (Tiesinga et al. 2021) to the digits they carry.
#include "common/constants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace atmotab {
namespace {

TEST(constants, roundings_agree_with_codata_2018_to_their_digits) {
  struct Case {
    const char* name;
    double value, codata, rel;  // |value / codata - 1| <= rel
  };
  const Case cases[] = {
      {"KBOLTZ", KBOLTZ, 1.380649e-16, 1e-4},
      {"KBOLTZ_EV", KBOLTZ_EV, 8.617333262e-5, 3e-5},
      {"HPLANCK", HPLANCK, 6.62607015e-27, 1e-4},
      {"HC_K", HC_K, 1.438776877, 1e-5},
      {"EV_TO_CM", EV_TO_CM, 8065.543937, 1e-5},
      {"RADCON_THIRD", RADCON_THIRD, 4 * 5.670374419e-5 / (3 * 2.99792458e10), 5e-4},
      {"SIGMA_4PI", SIGMA_4PI, 5.670374419e-5 / (4 * std::numbers::pi), 2e-4},
      {"AMU", AMU, 1.66053906660e-24, 5e-4},
      {"SIGMA_THOMSON", SIGMA_THOMSON, 6.6524587321e-25, 1e-4},
      {"SIGMA_THOMSON_3D", SIGMA_THOMSON_3D, 6.6524587321e-25, 5e-4},
      // R_inf c m_p / (m_p + m_e), m_p / m_e = 1836.15267343.
      {"FREQ_LYMAN", FREQ_LYMAN, 3.2898419602508e15 / (1 + 1 / 1836.15267343), 1e-7},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.value / c.codata, 1.0, c.rel) << c.name;
}

TEST(constants, derived_values_follow_from_the_programs_own_h_c_k) {
  // hc/k from the program's h, c and k, to the eight digits HC_K carries.
  EXPECT_NEAR(HPLANCK * CLIGHT / KBOLTZ, HC_K, 5e-8);
  // k in eV: k [erg K^-1] / (1 eV in erg); 1 eV = h c EV_TO_CM [erg].
  EXPECT_NEAR(KBOLTZ / (HPLANCK * CLIGHT * EV_TO_CM) / KBOLTZ_EV, 1.0, 1e-4);
  // The speed of light in nm and the nm-cm conversion.
  EXPECT_EQ(CLIGHT_NM, CLIGHT * NM_PER_CM);
  EXPECT_EQ(NM_PER_CM / 500.0, 20000.0);  // 500 nm is 20000 cm^-1
}

TEST(constants, single_precision_variants_are_the_widened_floats) {
  // The widened single differs from the double decimal, by about 2e-9 of its value.
  EXPECT_NE(AMU_SP, AMU);
  EXPECT_EQ(AMU_SP, static_cast<double>(1.66e-24f));
  EXPECT_NEAR(AMU_SP / AMU, 1.0, 1e-7);
  EXPECT_EQ(static_cast<double>(EV_TO_CM_FLOAT), static_cast<double>(static_cast<float>(EV_TO_CM)));
}

}  // namespace
}  // namespace atmotab
