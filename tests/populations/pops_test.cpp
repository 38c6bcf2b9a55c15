// Population driver: codes and modes, the per-model electron-density cache, code 0 and the
// molecule stop.
#include "populations/pops.h"

#include <gtest/gtest.h>

#include <string>

#include "fortio/error.h"
#include "model_fixture.h"
#include "populations/pfsaha.h"
#include "populations/pops_cache.h"

namespace atmotab {
namespace {

using testing::PopsRun;

constexpr double SENTINEL = -12345.0;

struct Model : PopsRun {
  Model() {
    const double t[4] = {4800, 5800, 6800, 8000};
    for (int j = 1; j <= 4; ++j) set_depth(j, t[j - 1], 3e3 * std::pow(5.0, j), 1.0);
    r.ITER.NUMITS = 2;  // no electron table
    r.ITER.ITER = 1;
    start_model(r);
  }
};

TEST(pops, codes_fill_the_stages_they_name) {
  struct Case {
    double code;
    int mode;
    int cols;
  };
  const Case cases[] = {{1.00, 12, 1}, {2.01, 12, 2},   {2.02, 11, 3},  {26.00, 11, 1},
                        {6.05, 11, 6}, {28.09, 12, 10}, {56.02, 11, 3}, {1.01, 1, 1}};
  for (const Case& c : cases) {
    Model m;
    Arr<double, MAXD, 11> out;
    out.fill(SENTINEL);
    pops(m.r, c.code, c.mode, out.data());
    for (int k = 1; k <= 11; ++k)
      for (int j = 1; j <= 4; ++j) {
        if (k <= c.cols)
          EXPECT_GE(out(j, k), 0) << c.code << " stage " << k << " depth " << j;
        else
          EXPECT_EQ(out(j, k), SENTINEL) << c.code << " wrote column " << k;
      }
    for (int k = 1; k <= 11; ++k) EXPECT_EQ(out(5, k), SENTINEL) << "depth beyond NRHOX";
  }
}

TEST(pops, densities_are_saha_answers_times_element_density) {
  Model m;
  Arr<double, MAXD, 3> n, f, u, nfpu;
  pops(m.r, 2.02, 12, n.data());
  pops(m.r, 2.02, 13, u.data());
  pops(m.r, 2.02, 11, nfpu.data());
  double total = 0;
  for (int j = 1; j <= 4; ++j) {
    pfsaha(m.r, j, 2, 3, 12, f.data());
    const double xn = m.r.ELEM.XABUND(2) * m.r.STATE.XNATOM(j);
    for (int s = 1; s <= 3; ++s) {
      EXPECT_DOUBLE_EQ(n(j, s), f(j, s) * xn);
      EXPECT_NEAR(nfpu(j, s), n(j, s) / u(j, s), 1e-13 * nfpu(j, s) + 1e-300);
    }
    total = n(j, 1) + n(j, 2) + n(j, 3);
    EXPECT_NEAR(total, xn, 1e-13 * xn);  // all stages of helium: every atom counted once
  }
  // Mode 3 is the partition function itself, not scaled: He I is 1 below 15000 K.
  EXPECT_EQ(u(1, 1), 1.0);
}

TEST(pops, electron_density_solved_once_per_model) {
  Model m;
  pops(m.r, 0.0, 11, nullptr);  // code 0: only the electron density
  const double xne = m.r.STATE.XNE(2);
  EXPECT_GT(xne, 1e11);
  EXPECT_NE(xne, 1.0);
  // Same model: the solution is not redone even if the pressure changes.
  m.r.STATE.P(2) *= 2;
  Arr<double, MAXD> out;
  pops(m.r, 1.00, 12, out.data());
  EXPECT_EQ(m.r.STATE.XNE(2), xne);
  // Next model: redone.
  start_model(m.r);
  pops(m.r, 1.00, 12, out.data());
  EXPECT_GT(m.r.STATE.XNE(2), xne);
  // IFPRES = 0 keeps the model's electron density as it is.
  Model k;
  k.r.IF.IFPRES = 0;
  for (int j = 1; j <= 4; ++j) k.r.STATE.XNE(j) = 1e12;
  pops(k.r, 1.00, 12, out.data());
  EXPECT_EQ(k.r.STATE.XNE(3), 1e12);
}

TEST(pops, code_zero_writes_nothing) {
  Model m;
  Arr<double, MAXD> out;
  out.fill(SENTINEL);
  pops(m.r, 0.0, 11, out.data());
  for (int j = 1; j <= MAXD; ++j) EXPECT_EQ(out(j), SENTINEL);
}

TEST(pops, molecule_code_with_molecules_off_stops) {
  Model m;
  Arr<double, MAXD> out;
  try {
    pops(m.r, 106.0, 11, out.data());
    ADD_FAILURE() << "no exception";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), 1);
    EXPECT_EQ(e.where(), "pops");
  }
  EXPECT_EQ(m.listing.str(), "1MOLECULES OFF\n");
  EXPECT_NE(m.r.STATE.XNE(1), 1.0);  // the electron density was brought up to date first
}

TEST(pops, molecule_arrays_answer_when_molecules_are_on) {
  Model m;
  m.r.IF.IFMOL = 1;
  pops_cache(m.r).MODEL = model_key(m.r);  // equilibrium of this model already in hand
  XnmolRec& M = m.r.XNMOL;
  M.NUMMOL = 3;
  M.CODEMOL(1) = 1.0;
  M.CODEMOL(2) = 6.0;
  M.CODEMOL(3) = 106.0;
  for (int j = 1; j <= 4; ++j)
    for (int e = 1; e <= 3; ++e) {
      M.XNMOL(j, e) = 100.0 * e + j;
      M.XNFPMOL(j, e) = 10.0 * e + j;
    }
  Arr<double, MAXD, 2> out;
  out.fill(SENTINEL);
  pops(m.r, 6.01, 11, out.data());  // C II not listed: zeros; C I from the list
  EXPECT_EQ(out(2, 1), 22.0);
  EXPECT_EQ(out(2, 2), 0.0);
  pops(m.r, 106.0, 3, out.data());
  EXPECT_EQ(out(3, 1), 303.0 / 33.0);
  pops(m.r, 108.0, 1, out.data());  // not in the list
  EXPECT_EQ(out(1, 1), 0.0);
  // An element without entries falls back to the Saha answer.
  Arr<double, MAXD> saha, ref;
  pops(m.r, 26.00, 11, saha.data());
  m.r.IF.IFMOL = 0;
  pops(m.r, 26.00, 11, ref.data());
  EXPECT_EQ(saha(2), ref(2));
}

TEST(pops, stage_count_of_a_code) {
  struct Case {
    double code;
    int nion;
  };
  const Case cases[] = {{26.00, 1}, {2.02, 3}, {28.09, 10}, {1.01, 2}, {56.02, 3}};
  for (const Case& c : cases) EXPECT_EQ(pops_nion(c.code), c.nion) << c.code;
}

}  // namespace
}  // namespace atmotab
