// Dissolved hydrogen levels: occupation probabilities against the Inglis-Teller limit, n* and the
// taper at the series lines, and on the bundled MARCS models the closing of the Balmer and
// Brackett edges and the size of the part; the exponential of the depth loop against libm.
#include "opacity/hydrogen_dissolved.h"

#include <gtest/gtest.h>

#include <cmath>

#include "opacity/hop.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "support/bundled_model.h"

namespace atmotab {
namespace {

// The last Balmer line seen merges into the continuum at log10 N_e = 23.26 - 7.5 log10 n_m
// (Inglis & Teller 1939, ApJ 90, 439): w(n_m) falls from near 1 a decade below to near 0 a
// decade above; with no perturbers w = 1.
TEST(hydrogen_dissolved, w_falls_at_the_inglis_teller_density) {
  for (int nm : {5, 8, 10, 15, 20, 30}) {
    const double N = std::pow(10.0, 23.26 - 7.5 * std::log10(nm));
    auto w = [&](double ns, double f) { return hydrogen_dissolved_w(ns, 1e4, f * N, 0, 0); };
    EXPECT_GT(w(nm, 0.1), 0.85) << nm;
    EXPECT_GT(w(nm, 1.0), 0.15) << nm;
    EXPECT_LT(w(nm, 1.0), 0.5) << nm;
    EXPECT_LT(w(nm, 10.0), 0.05) << nm;
    EXPECT_GT(w(nm - 1, 1.0), w(nm, 1.0)) << nm;
    EXPECT_EQ(hydrogen_dissolved_w(nm, 6000, 0, 0, 0), 1.0);
    EXPECT_GT(hydrogen_dissolved_w(nm, 6000, 1e6, 1e8, 1e7), 1 - 1e-6) << nm;
    EXPECT_LT(hydrogen_dissolved_w(nm, 6000, 0, 1e19, 0), 0.9) << nm;  // neutrals alone
  }
}

// n* at the lines n -> m (wavenumbers from hop's level energies) is m; the taper is 0 at the
// alpha line, 1 from the beta line on; above the edge and red of the alpha line D = 0.
TEST(hydrogen_dissolved, nstar_and_taper_at_the_series_lines) {
  for (auto [n, m] : {std::pair{1, 2}, {1, 3}, {2, 3}, {2, 4}, {2, 10}, {4, 5}, {4, 6}, {8, 9}}) {
    const double ns = hydrogen_dissolved_nstar(n, hop_level_energy(m) - hop_level_energy(n));
    EXPECT_NEAR(ns, m, 2e-5 * m * m) << n << " " << m;
    EXPECT_NEAR(hydrogen_dissolved_taper(n, ns), m == n + 1 ? 0.0 : 1.0, 1e-3) << n << " " << m;
  }
  EXPECT_NEAR(hydrogen_dissolved_taper(2, 1 / std::sqrt((1.0 / 9 + 1.0 / 16) / 2)), 0.5, 1e-12);
  EXPECT_EQ(hydrogen_dissolved_fraction(2, hop_threshold(2) * 1.01, 9e3, 1e15, 1e17, 1e16), 0);
  EXPECT_EQ(hydrogen_dissolved_fraction(2, 14000.0, 9e3, 1e15, 1e17, 1e16), 0);  // red of H alpha
}

TEST(hydrogen_dissolved, vector_exponential_matches_libm) {
  for (double x = -720.0; x <= 709.0; x += 0.37)
    EXPECT_NEAR(hydrogen_dissolved_exp(x), x < -708 ? 0.0 : std::exp(x), 1e-14 * std::exp(x)) << x;
}

// The absorption of a bundled MARCS model at depth J and wavenumber WAVENO: hop's alone, the
// dissolved part, and the continuum of the default switches.
struct Point {
  double hop, dissolved, continuum;
};
Point at(const char* deck_name, int J, double WAVENO) {
  testing::BundledModel m(deck_name);
  Run& r = *m.run;
  setfreq(r, WAVENO * 2.99792458e10);
  int NSTEPS = 0;
  double STEPWT = 0;
  kapp(r, 1, NSTEPS, STEPWT);
  Dep a;
  add_dissolved_hydrogen(r, a);
  return {r.BHYD.AHYD(J), a(J), r.OPTOT.ACONT(J) + r.OPTOT.SIGMAC(J)};
}

// Deep layers (sun depths 41 and 52, 7750 K depth 41): a relative 1e-5 below an edge (n* ~ 600,
// D = 1) hop's absorption plus the dissolved part equals hop's just above it within the nu^-3
// step and hop's interpolation (2e-4), where hop alone jumps by 1.6 (Brackett) to 80 (Balmer).
TEST(hydrogen_dissolved, edges_close_in_the_deep_layers) {
  struct Case {
    const char* deck;
    int n, j;
  };
  const Case cases[] = {{"sun.deck", 2, 41},      {"sun.deck", 2, 52},
                        {"sun.deck", 4, 52},      {"warm7750.deck", 2, 41},
                        {"warm7750.deck", 3, 41}, {"warm7750.deck", 4, 41}};
  for (const Case& c : cases) {
    const Point below = at(c.deck, c.j, hop_threshold(c.n) * (1 - 1e-5));
    const Point above = at(c.deck, c.j, hop_threshold(c.n) * (1 + 1e-5));
    EXPECT_NEAR(below.hop + below.dissolved, above.hop + above.dissolved, 2e-4 * above.hop)
        << c.deck << " n = " << c.n << " j = " << c.j;
    EXPECT_GT(above.hop, 1.5 * below.hop) << c.deck << " n = " << c.n << " j = " << c.j;
  }
}

// The dissolved share of the continuum: where a modern code's is known (MARCS models: 19 % at
// 400 nm at sun depth 52, 17 % at 375 nm at depth 41, 27 % at 1600 nm at 7750 K depth 41) within
// 30 % of it (measured 18.9, 19.2, 24.6 %; the continua differ by the metals); in the top layers
// below 1e-5 (sun, measured 1e-6) and 5e-4 (7750 K: 3.4e-4 at 1600 nm, where n* = 13.5 states,
// 300 Bohr radii across, overlap one of the 1e14 cm^-3 hydrogen atoms with probability 1.7e-3).
TEST(hydrogen_dissolved, share_of_the_continuum) {
  struct Case {
    const char* deck;
    double lam;
    int j;
    double lo, hi;
  };
  const Case cases[] = {{"sun.deck", 400, 52, 0.19 / 1.3, 0.19 * 1.3},
                        {"sun.deck", 375, 41, 0.17 / 1.3, 0.17 * 1.3},
                        {"warm7750.deck", 1600, 41, 0.27 / 1.3, 0.27 * 1.3},
                        {"sun.deck", 400, 1, 0, 1e-5},
                        {"sun.deck", 1600, 1, 0, 1e-5},
                        {"warm7750.deck", 400, 1, 0, 5e-4},
                        {"warm7750.deck", 1600, 1, 0, 5e-4}};
  for (const Case& c : cases) {
    const Point p = at(c.deck, c.j, 1e7 / c.lam);
    const double share = p.dissolved / (p.continuum + p.dissolved);
    EXPECT_GE(share, c.lo) << c.deck << " " << c.lam << " nm, depth " << c.j;
    EXPECT_LE(share, c.hi) << c.deck << " " << c.lam << " nm, depth " << c.j;
  }
}

}  // namespace
}  // namespace atmotab
