// The metal photoionization kernel (opacity/metal_bf_op.cpp) and its compiled-in tables: the
// interpolation in 1/T against Boltzmann factors, the held ends, and the ground-term
// cross-sections of the cold limit against the raw OP values. (That the frequency bracket does not
// depend on where its search starts: the frequency-order case of tests/opacity/xcont_test.cpp.)
#include "opacity/metal_bf_op.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/state.h"

namespace atmotab {
namespace {

constexpr double K_EV = 8.617333262e-5;   // Boltzmann constant [eV K^-1] (CODATA 2018)
constexpr double H_EV = 4.135667696e-15;  // Planck constant [eV s]

int species_index(std::string_view name) {
  for (int s = 0; s < NPHOT_SPECIES; ++s)
    if (PHOT_SPECIES[s].name == name) return s;
  return -1;
}

// sigma_eff of species S at NU and T through the kernel with n/U = 1.
double sigma_eff(int s, double nu, double T) {
  const double one = 1.0, zero = 0.0;
  PhotDensities d;
  for (int k = 0; k < NPHOT_SPECIES; ++k) d[k] = std::span<const double>(k == s ? &one : &zero, 1);
  double out = -1;
  metal_bf_op(photoionization_builtin(), nu, std::span<const double>(&T, 1), d,
              std::span<double>(&out, 1));
  return out;
}

// Between the table temperatures the weights reproduce a Boltzmann factor exp(-E/kT), the form of
// every term of the sum: within 1 % for E up to 5 eV (a linear law in 1/T would miss by up to 8 %).
TEST(metal_bf_op, temperature_weights_reproduce_boltzmann_factors) {
  const PhotTables t = photoionization_builtin();
  struct Case {
    double T, E_eV, tol;
  };
  // (In the end intervals of the table the cubic is one-sided: 2020 K and 27000 K.)
  constexpr Case cases[] = {{2100, 1.0, 1e-4},  {2020, 3.0, 5e-3},   {4321, 3.0, 2e-3},
                            {5850, 4.0, 5e-3},  {6235.2, 5.0, 0.01}, {11111, 5.0, 0.01},
                            {29000, 5.0, 0.01}, {27000, 8.0, 0.04}};
  for (const Case& c : cases) {
    int m;
    double w[4];
    metal_bf_temperature(t, c.T, m, w);
    ASSERT_GE(m, 0);
    ASSERT_LE(m, NPHOT_TEMP - 4);
    EXPECT_LE(t.T[m], c.T);
    EXPECT_GE(t.T[m + 3], c.T);
    EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1.0, 1e-12);
    double v = 0;
    for (int k = 0; k < 4; ++k) v += w[k] * std::exp(-c.E_eV / (K_EV * t.T[m + k]));
    EXPECT_NEAR(v / std::exp(-c.E_eV / (K_EV * c.T)), 1.0, c.tol) << c.T << " K, " << c.E_eV;
  }
}

// Outside 2000..30000 K the end values are held; outside a species' frequencies it adds nothing.
TEST(metal_bf_op, ends_are_held_in_temperature_and_zero_in_frequency) {
  const int fe = species_index("Fe_I");
  const double nu = 2.99792458e17 / 300.0;
  EXPECT_EQ(sigma_eff(fe, nu, 1000.0), sigma_eff(fe, nu, 2000.0));
  EXPECT_EQ(sigma_eff(fe, nu, 80000.0), sigma_eff(fe, nu, 30000.0));
  EXPECT_GT(sigma_eff(fe, nu, 2000.0), 0.0);
  const PhotTables t = photoionization_builtin();
  for (int s = 0; s < NPHOT_SPECIES; ++s) {
    const double lo = t.nu[t.first[s]], hi = t.nu[t.first[s] + t.nfreq[s] - 1];
    EXPECT_EQ(sigma_eff(s, lo * (1 - 1e-9), 6000.0), 0.0) << PHOT_SPECIES[s].name;
    EXPECT_GT(sigma_eff(s, lo, 6000.0), 0.0) << PHOT_SPECIES[s].name;
    EXPECT_EQ(sigma_eff(s, hi, 6000.0), 0.0) << PHOT_SPECIES[s].name;
    EXPECT_EQ(sigma_eff(s, 1e21, 6000.0), 0.0);
  }
}

// Cold limit: at 2000 K only the ground term counts, g0 exp(-E0/kT) <sigma0>, <sigma0> the raw
// cross-section averaged over the first 2 % above threshold, against TOPbase values at threshold
// (Mb: Mg I 2.93, Ca I 7.42, Ca II 0.389, Mg II 0.197; Cunto et al. 1993) and, for Fe I a5D, whose
// raw edge (0.83 Mb) falls to 0.07 Mb within 0.03 eV before its resonances, the independent
// resonance average of the CMFGEN carrier at threshold (4.37 Mb, 3000 km/s Gaussian).
TEST(metal_bf_op, cold_limit_is_the_ground_term_near_its_threshold) {
  struct Case {
    const char* species;
    double ip_eV, g0, e0_eV, sigma_mb, factor;
  };
  constexpr Case cases[] = {
      {"Mg_I", 7.646236, 1, 0.0, 2.93, 2.0},         {"Ca_I", 6.11315547, 1, 0.0, 7.42, 2.0},
      {"Ca_II", 11.871719, 2, 0.0, 0.389, 2.0},      {"Mg_II", 15.035271, 2, 0.0, 0.197, 2.0},
      {"Fe_I", 7.9024681, 25, 0.0499614, 4.37, 2.0},
  };
  for (const Case& c : cases) {
    const double nu = (c.ip_eV - c.e0_eV) / H_EV * 1.005;
    const double boltz = c.g0 * std::exp(-c.e0_eV / (K_EV * 2000.0));
    const double sigma = sigma_eff(species_index(c.species), nu, 2000.0) / boltz / 1e-18;
    EXPECT_GT(sigma, c.sigma_mb / c.factor) << c.species;
    EXPECT_LT(sigma, c.sigma_mb * c.factor) << c.species;
  }
}

}  // namespace
}  // namespace atmotab
