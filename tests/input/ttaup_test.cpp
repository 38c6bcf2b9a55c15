// The Rosseland opacity table of the pressure integration, and ttaup itself: convergence and
// hydrostatic equilibrium on a grey solar model, the surface temperature, and its two failures.
#include "input/ttaup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "common/embedded_data.h"
#include "fortio/error.h"
#include "input/grey.h"

namespace atmotab {
namespace {

using Table = Arr<double, TTAUP_NT, TTAUP_NP>;

TEST(ttaup_table, layout_and_provisional_rows) {
  Table tab;
  ttaup_load(embedded_data("ttaup_kappa.txt"), tab);
  // Temperature runs fastest: the ends of the reference rows 1 (log P = -2), 2 (its reference
  // start), 15 (log P = 3) and 30 (log P = 6).
  EXPECT_EQ(tab(1, 1), -4.254);
  EXPECT_EQ(tab(36, 1), -0.437);
  EXPECT_EQ(tab(6, 2), -3.394);
  EXPECT_EQ(tab(22, 15), 1.255);
  EXPECT_EQ(tab(1, 30), -1.119);
  EXPECT_EQ(tab(36, 30), 0.145);
  // Provisional entries, linear in log10 P between reference ones, worked by hand:
  // row 8 (log P = 1.25), T node 1: -4257 + (2.75/4.5)(-3256 + 4257) = -3645.28 -> -3645;
  // row 8, T node 7 (row 2 has no reference value there): -2787 + (3.25/5)(-2339 + 2787) = -2495.8
  // -> -2496; row 20 (log P = 4), T node 36: -408 + (1/3)(145 + 408) = -223.67 -> -224.
  EXPECT_EQ(tab(1, 8), -3.645);
  EXPECT_EQ(tab(7, 8), -2.496);
  EXPECT_EQ(tab(36, 20), -0.224);
  // The nodes: single-precision temperatures, decimal pressures.
  EXPECT_EQ(ttaup_tabt(2), static_cast<double>(3.525f));
  EXPECT_EQ(ttaup_tabt(22), static_cast<double>(4.05f));
  EXPECT_EQ(ttaup_tabt(36), 5.0);
  EXPECT_EQ(ttaup_tabp(8), 1.25);
  EXPECT_EQ(ttaup_tabp(16), 3.2);
  EXPECT_EQ(ttaup_tabp(30), 6.0);
}

TEST(ttaup_table, damaged_tables_stop_the_run) {
  const std::string good(embedded_data("ttaup_kappa.txt"));
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
  };
  struct Case {
    std::string text;
    const char* message_part;
  };
  const Case cases[] = {
      {replaced("format atmotab-ttaup_kappa 1", "format atmotab-ttaup_kappa 2"), "format line"},
      {replaced("temperatures 36 pressures 30", "temperatures 36 pressures 29"), "count line"},
      {replaced("\n16  3.2 ", "\n16  3.3 "), "is not the pressure node of row 16"},
      {replaced("\n16  3.2 ", "\n17  3.2 "), "row 17, expected 16"},
      {replaced(" -4254 ", " -42x4 "), "is not a number"},
      {replaced(" -4254 ", " "), "expected 39 fields, found 38"},
      {good.substr(0, good.find("\n30 ") + 1), "table ends before pressure row 30"},
      {good + "31 6.2 interp" + std::string(36 * 2, ' ') + "\n", "more rows"},
  };
  for (const Case& c : cases) {
    Table tab;
    try {
      ttaup_load(c.text, tab);
      ADD_FAILURE() << "no error for " << c.message_part;
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
  }
}

// A fresh run holding a grey model of N depths at TEFF, log g on log10 tau = TAU1 + (j-1) DTAU,
// with the radiation pressure of the pressure start.
struct GreyIntegration {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Depth T, TAU, ABSTD, PTOTAL, P, PRAD, PTURB;
  double grav;
  int n;
  GreyIntegration(double teff, double logg, int n_, double tau1, double dtau)
      : grav(std::pow(10.0, logg)), n(n_) {
    for (int j = 1; j <= n; ++j) {
      TAU(j) = std::pow(10.0, tau1 + (j - 1) * dtau);
      T(j) = grey_t(teff, TAU(j));
      const double t4 = std::max(std::pow(T(j), 4), 0.5 * std::pow(teff, 4));
      PRAD(j) = 2.521e-15 * t4 - 2.521e-15 * std::max(std::pow(T(1), 4), 0.5 * std::pow(teff, 4));
    }
  }
  void integrate() { ttaup(*run, T, TAU, ABSTD, PTOTAL, P, PRAD, PTURB, grav, n); }
};

TEST(ttaup, grey_solar_model_converges_in_hydrostatic_equilibrium) {
  GreyIntegration g(5777, 4.44, 72, -6.875, 0.125);
  ASSERT_NO_THROW(g.integrate()) << g.listing.str();
  EXPECT_EQ(g.listing.str(), "");  // no failure print
  const double h = std::log(g.TAU(2) / g.TAU(1));
  for (int j = 1; j <= g.n; ++j) {
    ASSERT_TRUE(std::isfinite(g.P(j)) && std::isfinite(g.ABSTD(j))) << j;
    EXPECT_GT(g.ABSTD(j), 0) << j;
    // Gas, radiation and turbulent pressure add up to the total (PRAD(1) = 0).
    EXPECT_NEAR(g.P(j) + g.PRAD(j), g.PTOTAL(j), 1e-12 * g.PTOTAL(j)) << j;
    if (j > 1) {
      EXPECT_GT(g.P(j), g.P(j - 1)) << "gas pressure must increase inwards, depth " << j;
      // dlnPTOTAL/dlnTAU = GRAV TAU/(kappa PTOTAL): the trapezoid rule over one step agrees with
      // the integrator's fourth-order steps to within the step's curvature term: below 0.5 % of
      // the step in ln PTOTAL on most of the model, 3 % where the opacity changes its slope at
      // log P = 3 (depths 27-28; the table is piecewise linear in log P on either side).
      const double slope0 = g.grav * g.TAU(j - 1) / (g.ABSTD(j - 1) * g.PTOTAL(j - 1));
      const double slope1 = g.grav * g.TAU(j) / (g.ABSTD(j) * g.PTOTAL(j));
      const double step = std::log(g.PTOTAL(j) / g.PTOTAL(j - 1));
      EXPECT_NEAR(step, 0.5 * h * (slope0 + slope1), 0.03 * step) << j;
    }
  }
  // Surface boundary: PTOTAL(1) = GRAV TAU(1)/kappa(1), to the convergence limit 5e-5 in ln P
  // (the opacity moves with P at most as fast as P: |dlog kappa/dlog P| < 1 in this table).
  EXPECT_NEAR(std::log(g.PTOTAL(1)), std::log(g.grav * g.TAU(1) / g.ABSTD(1)), 1e-4);

  // Cross-check at TAU = 1 (depth 56) against the MARCS 2008 solar model (examples/sun.mod,
  // lgTauR = 0: T = 6235 K, Pg = 1.1865e5 dyn cm^-2, KappaRoss = 0.7454 cm2 g-1). The grey law is
  // 90 K cooler there, and the opacity table is provisional between its reference rows, so only
  // agreement to 10 % is asked for.
  EXPECT_NEAR(g.TAU(56), 1.0, 1e-12);
  EXPECT_NEAR(g.P(56), 1.1865e5, 0.10 * 1.1865e5);
  EXPECT_NEAR(g.ABSTD(56), 0.7454, 0.10 * 0.7454);
}

TEST(ttaup, surface_opacity_comes_from_the_second_temperature) {
  // The same model with T(1) = T(2) and with T(1) far off: identical results to the bit, and T(1)
  // is restored.
  GreyIntegration a(5000, 4.0, 12, -4, 0.25);
  GreyIntegration b(5000, 4.0, 12, -4, 0.25);
  a.T(1) = a.T(2);
  b.T(1) = 9999.5;
  a.integrate();
  b.integrate();
  EXPECT_EQ(b.T(1), 9999.5);
  EXPECT_EQ(a.T(1), a.T(2));
  for (int j = 1; j <= 12; ++j) {
    EXPECT_EQ(a.P(j), b.P(j)) << j;
    EXPECT_EQ(a.ABSTD(j), b.ABSTD(j)) << j;
    EXPECT_EQ(a.PTOTAL(j), b.PTOTAL(j)) << j;
  }
}

TEST(ttaup, table_is_converted_once_per_run) {
  GreyIntegration g(5000, 4.0, 8, -4, 0.25);
  g.integrate();
  EXPECT_EQ(g.run->TTAUP.IFTAB, 1);
  EXPECT_EQ(g.run->TTAUP.TABKAP(36, 30), 0.145);
  // A table already in the run is used as it stands: log10 kappa = 0 everywhere gives kappa = 1
  // and, with no radiation pressure, PTOTAL = GRAV TAU exactly in the limit of convergence.
  GreyIntegration u(5000, 4.0, 8, -4, 0.25);
  u.run->TTAUP.TABKAP.fill(0.0);
  u.run->TTAUP.IFTAB = 1;
  u.PRAD.fill(0.0);
  u.integrate();
  for (int j = 1; j <= 8; ++j) {
    EXPECT_EQ(u.ABSTD(j), 1.0) << j;
    EXPECT_NEAR(u.PTOTAL(j), u.grav * u.TAU(j), 1e-4 * u.grav * u.TAU(j)) << j;
  }
}

TEST(ttaup, failures_print_the_labelled_arrays) {
  // A radiation pressure that exceeds the total at depth 3: non-positive gas pressure.
  {
    GreyIntegration g(5000, 4.0, 6, -4, 0.25);
    g.PRAD(3) = 1e30;
    try {
      g.integrate();
      ADD_FAILURE() << "no failure";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
      EXPECT_NE(std::string(e.what()).find("at depth 3: gas pressure"), std::string::npos);
    }
    const std::string out = g.listing.str();
    EXPECT_EQ(out.rfind("0J       3.0000E+00\n0P     ", 0), 0u) << out;
    EXPECT_NE(out.find("\n0PRAD    0.0000E+00"), std::string::npos) << out;
    EXPECT_NE(out.find("1.0000E+30\n0PTURB "), std::string::npos) << out;
    EXPECT_NE(out.find("\n0ERROR   1.0000E+00\n"), std::string::npos) << out;  // first evaluation
    EXPECT_EQ(g.T(1), grey_t(5000, g.TAU(1)));                                 // restored
  }
  // log10 kappa = 3 log10 P: at the surface the corrector maps y to c - 3 y, and the average of
  // the two to c/2 - y, which swings between two values for ever; the 1000th evaluation stops it.
  {
    GreyIntegration g(5000, 4.0, 6, -4, 0.25);
    for (int k = 1; k <= TTAUP_NP; ++k)
      for (int i = 1; i <= TTAUP_NT; ++i) g.run->TTAUP.TABKAP(i, k) = 3 * ttaup_tabp(k);
    g.run->TTAUP.IFTAB = 1;
    try {
      g.integrate();
      ADD_FAILURE() << "no failure";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
      EXPECT_NE(std::string(e.what()).find("at depth 1: no convergence after 1000 evaluations"),
                std::string::npos)
          << e.what();
    }
    EXPECT_EQ(g.listing.str().rfind("0J       1.0000E+00\n0P     ", 0), 0u) << g.listing.str();
  }
}

TEST(ttaup, grids_it_cannot_integrate_are_refused) {
  struct Case {
    const char* what;
    void (*spoil)(GreyIntegration&);
    const char* message_part;
  };
  const Case cases[] = {
      {"one depth", [](GreyIntegration& g) { g.n = 1; }, "the model has 1 depth"},
      {"zero gravity", [](GreyIntegration& g) { g.grav = 0; }, "gravity GRAV = 0"},
      {"TAU(1) = 0", [](GreyIntegration& g) { g.TAU(1) = 0; }, "TAU(1) = 0"},
      {"equal depths", [](GreyIntegration& g) { g.TAU(3) = g.TAU(2); },
       "optical depths do not increase at depth 3"},
      {"decreasing", [](GreyIntegration& g) { g.TAU(5) = 1e-9; }, "do not increase at depth 5"},
      {"T = 0", [](GreyIntegration& g) { g.T(4) = 0; }, "temperature T(4) = 0"},
  };
  for (const Case& c : cases) {
    GreyIntegration g(5000, 4.0, 6, -4, 0.25);
    c.spoil(g);
    try {
      g.integrate();
      ADD_FAILURE() << c.what;
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED) << c.what;
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
    for (int j = 1; j <= 6; ++j) EXPECT_FALSE(std::isnan(g.P(j))) << c.what;
  }
  // No depths: nothing to do.
  GreyIntegration g(5000, 4.0, 6, -4, 0.25);
  g.n = 0;
  EXPECT_NO_THROW(g.integrate());
}

}  // namespace
}  // namespace atmotab
