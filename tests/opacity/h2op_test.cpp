// Hydrogen molecules: the H2 equilibrium constant against Barklem & Collet (2016), H2+ absorption
// against Bates (1952), H2 Rayleigh scattering against Dalgarno & Williams (1962), and the
// collision-induced absorption against Borysow's tables, with their frequency and temperature
// limits.
#include "opacity/h2op.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "opacity/h2collop.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

constexpr double CNM = 2.99792458e17;  // speed of light [nm s^-1]
constexpr double CCM = 29979245800.0;  // [cm s^-1]

struct Molecules : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override {
    testing::fill_model(*run, testing::SOLAR3);
    for (int j = 1; j <= 3; ++j) {
      run->BHYD.XNFPH(j, 2) = 0.5 * run->STATE.XNE(j);
      run->BHE.XNFHE(j, 1) = 0.085 * 2 * run->BHYD.XNFPH(j, 1);
    }
    start_model(*run);
  }
  // One depth at temperature T [K], with the quantities above.
  void one_layer(double T) {
    testing::Layer layer[1] = {{T, 1e13, 1e-7, 1e16}};
    testing::fill_model(*run, layer);
    run->BHYD.XNFPH(1, 2) = 1e13;
    run->BHE.XNFHE(1, 1) = 1.7e15;
    start_model(*run);
  }
};

TEST_F(Molecules, h2_equilibrium_constant_against_barklem_and_collet) {
  // log10 n(H2)/n(H)^2 [cm^3] of Barklem & Collet 2016 (A&A 588, A96; their table 7 converted to
  // number densities, ../shared/data/molecules/logKn_formation.tsv): the fit agrees within
  // 0.03 dex from 2000 to 8000 K.
  struct Case {
    double T, logK;
  };
  constexpr Case cases[] = {{2000, -12.98011}, {3000, -16.77477}, {4000, -18.65150},
                            {5000, -19.75885}, {6000, -20.48327}, {8000, -21.36683}};
  for (const Case& c : cases) {
    one_layer(c.T);
    EXPECT_NEAR(std::log10(eqh2(*run, 1)), c.logK, 0.032) << c.T << " K";
    // NH2 = (2 n/U b1)^2 EQH2: n(H I, n = 1) = 2 n/U.
    run->BHYD.BHYD(1, 1) = 0.5;
    EXPECT_NEAR(nh2(*run, 1) / (1e32 * eqh2(*run, 1)), 1.0, 1e-15);
  }
}

TEST_F(Molecules, h2plus_against_bates_1952) {
  // Bates 1952 (MNRAS 112, 40) Table II, H2+ bound-free plus free-free per H atom and proton,
  // stimulated emission included [1e-39 cm^5]. The fits lie 7 to 10 % below it throughout.
  struct Case {
    double waveno, T, bates;
  };
  constexpr Case cases[] = {{4000, 4000, 1.77},
                            {10000, 6000, 1.48},
                            {16000, 8000, 1.09},
                            {26000, 12000, 0.58},
                            {20000, 5000, 3.2}};
  for (const Case& c : cases) {
    one_layer(c.T);
    setfreq(*run, c.waveno * CCM);
    h2plop(*run);
    const double per_pair = run->BHYD.AH2P(1) * 1e-7 / (2 * 1e16 * 1e13);
    const double ratio = per_pair / (c.bates * 1e-39);
    EXPECT_GT(ratio, 0.89) << c.waveno << " cm-1, " << c.T << " K";
    EXPECT_LT(ratio, 0.94) << c.waveno << " cm-1, " << c.T << " K";
  }
}

TEST_F(Molecules, h2plus_only_up_to_the_lyman_limit) {
  setfreq(*run, 3.28805e15);
  h2plop(*run);
  for (int j = 1; j <= 3; ++j) EXPECT_GT(run->BHYD.AH2P(j), 0.0);
  for (int j = 1; j <= 3; ++j) run->BHYD.AH2P(j) = -1.0;  // what the driver's clearing replaces
  setfreq(*run, 3.28805e15 * (1 + 1e-12));
  h2plop(*run);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(run->BHYD.AH2P(j), -1.0);
}

TEST_F(Molecules, h2_rayleigh_against_dalgarno_and_williams) {
  // Dalgarno & Williams 1962 (ApJ 136, 690) cross-sections [cm^2], computed from their eq. 3
  // (../shared/data/reference/rayleigh_h_he_h2.tsv).
  struct Case {
    double lam_nm, sigma;
  };
  constexpr Case cases[] = {
      {150, 3.3598e-25}, {500, 1.3884e-27}, {1000, 8.2696e-29}, {5000, 1.3032e-31}};
  for (const Case& c : cases) {
    setfreq(*run, CNM / c.lam_nm);
    h2raop(*run);
    for (int j = 1; j <= 3; ++j) {
      const double per_molecule = run->BHYD.SIGH2(j) * run->STATE.RHO(j) / nh2(*run, j);
      EXPECT_NEAR(per_molecule / c.sigma, 1.0, 1e-4) << c.lam_nm << " nm";
    }
  }
  // Above 2.922e15 Hz (102.6 nm) the cross-section of 2.922e15 Hz.
  setfreq(*run, 2.922e15);
  h2raop(*run);
  const double cap = run->BHYD.SIGH2(2);
  for (double nu : {3e15, 1e17, 1e21}) {
    setfreq(*run, nu);
    h2raop(*run);
    EXPECT_EQ(run->BHYD.SIGH2(2), cap);
  }
}

TEST_F(Molecules, collision_induced_node_against_borysow) {
  // Jorgensen et al. 2000 (A&A 361, 283), H2-He at 5000 cm^-1 and 3000 K: 6.496e-6 cm^-1
  // amagat^-2, i.e. 6.496e-6 / Loschmidt^2 = 8.99e-45 cm^5 per pair (Loschmidt 2.6867811e19
  // cm^-3); H2-H2 (Borysow 2002) at 5000 cm^-1 and 3000 K: 1.005e-5 cm^-1 amagat^-2. A table node
  // in wavenumber and temperature: ACOLL = (a(H2H2) n(H2) + a(H2He) n(He)) n(H2)/RHO STIM.
  one_layer(3000.0);
  setfreq(*run, 5000 * CCM);
  Dep acoll;
  h2collop(*run, acoll);
  const double withhe = acoll(1);
  run->BHE.XNFHE(1, 1) = 0.0;
  h2collop(*run, acoll);
  const double h2only = acoll(1);
  const double n2 = nh2(*run, 1), loschmidt2 = 2.6867811e19 * 2.6867811e19;
  const double norm = n2 / 1e-7 * run->FREQ.STIM(1);
  // Three decimals of log10 in the table: 0.0012 relative.
  EXPECT_NEAR(h2only / (n2 * norm) / (1.005e-5 / loschmidt2), 1.0, 1.5e-3);
  EXPECT_NEAR((withhe - h2only) / (1.7e15 * norm) / (6.496e-6 / loschmidt2), 1.0, 1.5e-3);
}

TEST_F(Molecules, collision_induced_limits) {
  Dep acoll;
  // Above 20000 cm^-1 nothing; at 20000 cm^-1 exactly the last column (reference values
  // -55.685 .. -48.338 for H2-H2 and -52.856 .. -46.578 for H2-He, here at 3000 and 7000 K).
  acoll.fill(-1.0);
  setfreq(*run, 20000 * CCM * (1 + 1e-12));
  h2collop(*run, acoll);
  for (int j = 1; j <= 3; ++j) EXPECT_EQ(acoll(j), 0.0);
  for (double T : {3000.0, 7000.0}) {
    one_layer(T);
    run->BHE.XNFHE(1, 1) = 0.0;
    setfreq(*run, 20000 * CCM);
    h2collop(*run, acoll);
    const double a = T == 3000 ? sp(-51.42f) : sp(-48.338f);  // single-precision table values
    EXPECT_NEAR(acoll(1) / (nh2(*run, 1) * nh2(*run, 1) / 1e-7 * run->FREQ.STIM(1)),
                std::pow(10.0, a), 1e-12 * std::pow(10.0, a));
  }
  // Temperatures below 1000 K take the 1000 K column, above 7000 K the 7000 K column: the
  // coefficient per pair at 800 K equals that at 1000 K (and 9000 K that at 7000 K).
  auto per_pair = [&](double T) {
    one_layer(T);
    run->BHE.XNFHE(1, 1) = 0.0;
    setfreq(*run, 4321 * CCM);
    h2collop(*run, acoll);
    return acoll(1) / (nh2(*run, 1) * nh2(*run, 1) / 1e-7 * run->FREQ.STIM(1));
  };
  EXPECT_NEAR(per_pair(800.0) / per_pair(1000.0), 1.0, 1e-12);
  EXPECT_NEAR(per_pair(9000.0) / per_pair(7000.0), 1.0, 1e-12);
  EXPECT_GT(per_pair(4000.0), per_pair(1000.0));  // the bands broaden and strengthen with T
}

}  // namespace
}  // namespace atmotab
