// Population driver: codes and modes, the per-model electron-density cache, code 0 and the
// molecule stop.
#include "populations/pops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
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
  // Molecules on with the equilibrium of this model already in hand: the listed CODES, entry e at
  // depth j holding XNMOL 100 e + j and XNFPMOL 10 e + j.
  void molecules(std::initializer_list<double> codes) {
    r.IF.IFMOL = 1;
    pops_cache(r).MODEL = model_key(r);
    XnmolRec& M = r.XNMOL;
    M.NUMMOL = static_cast<int>(codes.size());
    int e = 0;
    for (double code : codes) {
      M.CODEMOL(++e) = code;
      for (int j = 1; j <= 4; ++j) {
        M.XNMOL(j, e) = 100.0 * e + j;
        M.XNFPMOL(j, e) = 10.0 * e + j;
      }
    }
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
  m.molecules({1.0, 6.0, 106.0});
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
// The typed requests answer what the code form answers, to the bit: one stage, all stages up to
// one, each of the three quantities, with molecules off and on (C listed with C I and C II but not
// C III, so that a listed stage, a stage the list lacks and the Saha answer of an element absent
// from the list all occur).
TEST(pops, typed_requests_equal_the_code_form) {
  struct Case {
    int z, stage;
    bool all;
    Wanted what;
    double code;
    int mode;
  };
  constexpr Wanted NU = Wanted::NumberOverU, N = Wanted::Number, U = Wanted::PartitionFunction;
  const Case cases[] = {
      {1, 1, true, N, 1.00, 12},   {2, 3, true, NU, 2.02, 11},  {12, 2, false, NU, 12.01, 1},
      {20, 2, false, N, 20.01, 2}, {26, 1, false, U, 26.00, 3}, {28, 10, true, U, 28.09, 13},
      {6, 4, true, NU, 6.03, 11},  {6, 3, false, NU, 6.02, 1},  {10, 6, true, N, 10.05, 12},
  };
  for (int ifmol : {0, 1}) {
    for (const Case& c : cases) {
      Model m;
      if (ifmol == 1) m.molecules({6.0, 6.01});
      Arr<double, MAXD, 11> typed, coded;
      typed.fill(SENTINEL);
      coded.fill(SENTINEL);
      if (c.all)
        pops_stages(m.r, c.z, c.stage, c.what, typed.data());
      else
        pops_stage(m.r, c.z, c.stage, c.what, typed.data());
      pops(m.r, c.code, c.mode, coded.data());
      EXPECT_EQ(std::memcmp(typed.data(), coded.data(), sizeof typed), 0)
          << "Z " << c.z << " stage " << c.stage << " molecules " << ifmol;
      EXPECT_GE(typed(1, 1), 0.0) << c.code;
      EXPECT_EQ(typed(1, c.all ? c.stage + 1 : 2), SENTINEL) << c.code << " wrote too many stages";
    }
  }
}

TEST(pops, typed_molecule_request_with_molecules_off_stops) {
  Model m;
  Arr<double, MAXD> out;
  EXPECT_THROW(pops_molecule(m.r, 608, Wanted::Number, out.data()), atmo_error);
  EXPECT_EQ(m.listing.str(), "1MOLECULES OFF\n");
}

}  // namespace atmotab
