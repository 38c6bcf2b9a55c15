// The all-depth Saha answer of pops (pfsaha_depths) and its per-model cache SAHAC: the answer is
// pfsaha's to the bit whatever was asked before, a changed state is never answered from the
// cache, and a request pfsaha would refuse is left to pfsaha. The electron iteration's pfsaha
// (pfsaha_iteration), with the level sums of the light rows kept per depth, is pfsaha's too.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "fortio/error.h"
#include "model_fixture.h"
#include "populations/pfsaha.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

using testing::PopsRun;

constexpr double SENTINEL = -12345.0;

// Six depths from a cool photosphere to 80000 K: pfground floors, the gates of the H I, He I and
// He II level sums, the high-level tails and the iron-group table at both ends.
struct Model : PopsRun {
  Model() {
    struct D {
      double t, p, xne;
    };
    const D d[] = {{3500, 1e3, 1e10},  {5800, 1e5, 1e13},  {9500, 1e4, 1e14},
                   {16000, 1e3, 1e14}, {35000, 1e4, 1e15}, {80000, 1e2, 1e15}};
    for (int j = 1; j <= 6; ++j) set_depth(j, d[j - 1].t, d[j - 1].p, d[j - 1].xne);
    start_model(r);
  }
};

struct Request {
  int iz, nion, mode;
};

// Bitwise comparison of pfsaha_depths with pfsaha depth by depth, for every column written.
void expect_pfsaha(Run& r, const Request& q) {
  Arr<double, MAXD, 10> got, want;
  got.fill(SENTINEL);
  want.fill(SENTINEL);
  ASSERT_TRUE(pfsaha_depths(r, q.iz, q.nion, q.mode, got.data()));
  for (int j = 1; j <= r.RHOX.NRHOX; ++j) pfsaha(r, j, q.iz, q.nion, q.mode, want.data());
  for (int k = 1; k <= 10; ++k)
    for (int j = 1; j <= MAXD; ++j)
      EXPECT_EQ(std::memcmp(&got(j, k), &want(j, k), sizeof(double)), 0)
          << "Z = " << q.iz << " nion " << q.nion << " mode " << q.mode << " column " << k
          << " depth " << j << ": " << got(j, k) << " against " << want(j, k);
}

TEST(pfsaha_depths, equals_pfsaha_whatever_was_asked_before) {
  // Each request finds a different part of the element's stages held: fewer stages than asked
  // (iron after one stage), more (iron's second stage after all ten), partition functions alone
  // (mode 3 keeps no ratios), then the balance over them.
  const Request requests[] = {{26, 1, 1},   {26, 10, 11}, {26, 2, 13}, {26, 1, 4},  {2, 1, 3},
                              {2, 3, 12},   {2, 2, 2},    {6, 2, 1},   {6, 6, 11},  {1, 2, 11},
                              {1, 1, 2},    {1, 1, 4},    {56, 1, 3},  {56, 3, 11}, {56, 1, 2},
                              {11, 1, 13},  {11, 3, 11},  {14, 2, 1},  {20, 3, 12}, {28, 10, 13},
                              {28, 10, 12}, {5, 4, 11},   {19, 5, 11}, {99, 3, 11}};
  Model m;
  for (const Request& q : requests) expect_pfsaha(m.r, q);
}

TEST(pfsaha_depths, a_changed_state_is_formed_anew) {
  struct Case {
    const char* what;
    std::function<void(Model&)> change;
  };
  const Case cases[] = {
      {"XNE of one depth", [](Model& m) { m.r.STATE.XNE(3) *= 1.5; }},
      {"P of one depth", [](Model& m) { m.r.STATE.P(4) *= 2; }},
      {"T of one depth", [](Model& m) { m.set_t(2, 6100); }},
      {"TKEV alone", [](Model& m) { m.r.TEMP.TKEV(5) *= 1.001; }},
      {"a depth more", [](Model& m) { m.set_depth(7, 7000, 1e4, 1e13); }},
      {"a depth less", [](Model& m) { m.r.RHOX.NRHOX = 5; }},
      {"next model, other departure coefficients",
       [](Model& m) {
         start_model(m.r);
         for (int j = 1; j <= 6; ++j) m.r.BHYD.BHYD(j, 1) = 0.5;
       }},
  };
  const Request requests[] = {{1, 2, 11}, {26, 10, 11}, {6, 6, 13}, {56, 3, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Model m;
    Arr<double, MAXD, 10> before;
    before.fill(SENTINEL);
    ASSERT_TRUE(pfsaha_depths(m.r, 1, 2, 11, before.data()));
    for (const Request& q : requests) expect_pfsaha(m.r, q);
    c.change(m);
    for (const Request& q : requests) expect_pfsaha(m.r, q);
  }
  // The departure coefficient does reach the answer (the last case would pass unseen otherwise).
  Model m;
  Arr<double, MAXD> u1, u2;
  ASSERT_TRUE(pfsaha_depths(m.r, 1, 1, 3, u1.data()));
  start_model(m.r);
  m.r.BHYD.BHYD(2, 1) = 0.5;
  ASSERT_TRUE(pfsaha_depths(m.r, 1, 1, 3, u2.data()));
  EXPECT_EQ(u1(2), 2.0);
  EXPECT_EQ(u2(2), 1.0);
}

TEST(pfsaha_depths, what_pfsaha_refuses_is_left_to_it) {
  // A non-positive pressure at depth 3, and a negative K I partition function at depth 2 (the
  // level sum outweighed by its tail: 1.33e5 K, lowering 0.73 eV). Nothing is written, and pops
  // stops with pfsaha's message at that depth; a valid state afterwards is answered correctly.
  struct Case {
    const char* what;
    int iz, nion, mode;
    std::function<void(Model&)> spoil;
    std::function<void(Model&)> mend;
    const char* message;
  };
  const Case cases[] = {
      {"pressure", 1, 1, 2, [](Model& m) { m.r.STATE.P(3) = 0; },
       [](Model& m) { m.r.STATE.P(3) = 1e4; }, "non-positive PRESSURE"},
      {"K I partition function", 19, 1, 11,
       [](Model& m) { m.set_depth(2, 1.33146e5, 2.256e9, 6.8e19); },
       [](Model& m) { m.set_depth(2, 5800, 1e5, 1e13); }, "partition function of K stage 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Model m;
    const int all = pfsaha_nions(c.iz);
    expect_pfsaha(m.r, {c.iz, all, 11});  // the stages held before the state goes bad
    c.spoil(m);
    Arr<double, MAXD, 10> out;
    out.fill(SENTINEL);
    EXPECT_FALSE(pfsaha_depths(m.r, c.iz, c.nion, c.mode, out.data()));
    for (int i = 1; i <= Arr<double, MAXD, 10>::SIZE; ++i) EXPECT_EQ(out(i), SENTINEL);
    m.r.IF.IFPRES = 0;  // keep the model's electron density
    try {
      pops(m.r, c.iz + 0.01 * (c.nion - 1), c.mode, out.data());
      ADD_FAILURE() << "no stop";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), 1);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.what[0] == 'p' ? "depth J = 3" : "depth J = 2"),
                std::string::npos)
          << e.what();
    }
    c.mend(m);
    expect_pfsaha(m.r, {c.iz, all, 11});
    expect_pfsaha(m.r, {c.iz, c.nion, c.mode});
  }
}

TEST(pfsaha_iteration, equals_pfsaha_as_the_electron_density_and_the_model_change) {
  // The donors of the electron iteration at every depth, with XNE stepping as the iteration
  // steps it; then a departure coefficient of each light row changed and forgotten, as at the
  // start of the next model's iteration; then a temperature changed without that.
  struct Step {
    const char* what;
    std::function<void(Model&)> change;
  };
  const Step steps[] = {
      {"first pass", [](Model&) {}},
      {"XNE halved",
       [](Model& m) {
         for (int j = 1; j <= 6; ++j) m.r.STATE.XNE(j) *= 0.5;
       }},
      {"departure coefficients, forgotten",
       [](Model& m) {
         for (int j = 1; j <= 6; ++j) {
           m.r.BHYD.BHYD(j, 1) = 0.9;
           m.r.BHE.BHE1(j, 2) = 1.5;
           m.r.BC.BC1(j, 1) = 2;
           m.r.BNA.BNA1(j, 1) = 0.5;
           m.r.BK.BK1(j, 2) = 3;
         }
         pfsaha_forget_levels(m.r);
       }},
      {"T of one depth", [](Model& m) { m.set_t(4, 17000); }},
      {"IFNLTE -1", [](Model& m) { m.r.IF.IFNLTE = -1; }},
  };
  const Request donors[] = {{1, 1, 4},  {2, 2, 4},   {6, 2, 4},  {11, 1, 4}, {12, 2, 4},
                            {13, 1, 4}, {14, 2, 4},  {19, 1, 4}, {20, 2, 4}, {26, 2, 4},
                            {5, 2, 13}, {12, 2, 11}, {14, 1, 13}};
  Model m;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change(m);
    for (const Request& q : donors)
      for (int j = 1; j <= 6; ++j) {
        Arr<double, MAXD, 10> got, want;
        pfsaha_iteration(m.r, j, q.iz, q.nion, q.mode, got.data());
        pfsaha(m.r, j, q.iz, q.nion, q.mode, want.data());
        for (int k = 1; k <= (q.mode > 10 ? q.nion : 1); ++k)
          EXPECT_EQ(std::memcmp(&got(j, k), &want(j, k), sizeof(double)), 0)
              << "Z = " << q.iz << " mode " << q.mode << " stage " << k << " depth " << j;
      }
  }
}

TEST(pftable_depths, equals_pftable_on_every_row_from_far_below_to_far_beyond_the_table) {
  // 99 depths from 700 K to 1e6 K (log spaced), two electron densities (tail off and on): every
  // packed row of every element outside the iron group, below the first point (floors), in odd
  // and even intervals, beyond the last point and beyond 11 Ts.
  for (const double xne : {1e8, 1e16}) {
    PopsRun p;
    for (int j = 1; j <= MAXD; ++j)
      p.set_depth(j, 700 * std::pow(1e6 / 700, (j - 1) / 98.0), 1e4, xne);
    Depth potlow;
    for (int j = 1; j <= MAXD; ++j) potlow(j) = pfsaha_potlow(p.r, j);
    for (int iz = 1; iz <= 99; ++iz) {
      if (iz >= 20 && iz <= 28) continue;
      for (int ion = 1; ion <= pfsaha_nions(iz); ++ion) {
        const int row = pf_row(iz, ion);
        if (pf_is_light(row)) continue;
        SahaWork w;
        w.IP(ion) = pfsaha_ip(p.r, iz, ion);
        Depth u;
        pftable_depths(p.r, iz, ion, row, w.IP(ion), potlow.data(), u.data());
        for (int j = 1; j <= MAXD; ++j) {
          w.POTLO(ion) = potlow(j) * ion;
          const double want = pftable(p.r, j, iz, ion, row, w);
          EXPECT_EQ(std::memcmp(&u(j), &want, sizeof(double)), 0)
              << "Z = " << iz << " stage " << ion << " T = " << p.r.TEMP.T(j) << ": " << u(j)
              << " against " << want;
        }
      }
    }
  }
}

}  // namespace
}  // namespace atmotab
