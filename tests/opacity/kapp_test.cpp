// The opacity driver: clearing, switches, the fixed source order and the totals.
#include "opacity/kapp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "common/state.h"
#include "opacity/coolop_cache.h"
#include "opacity/elecop.h"
#include "opacity/hrayop.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"

namespace atmotab {
namespace {

// Every array that a source writes or a total reads: set to JUNK to show what kapp clears.
std::vector<Dep*> source_arrays(atmotab::Run& r) {
  Dep& AMOLEC = coolop_cache(r).AMOLEC;
  return {&r.BHYD.AHYD,  &r.BHYD.SHYD,  &r.BHYD.AH2P,   &r.BHYD.AHMIN,  &r.BHYD.SHMIN,
          &r.BHYD.SIGH,  &r.BHYD.SIGH2, &r.BHYD.AHLINE, &r.BHYD.SHLINE, &r.BHE.AHE1,
          &r.BHE.SHE1,   &r.BHE.AHE2,   &r.BHE.SHE2,    &r.BHE.AHEMIN,  &r.BHE.SIGHE,
          &r.BC.AC1,     &r.BC.SC1,     &r.BMG.AMG1,    &r.BMG.SMG1,    &r.BAL.AAL1,
          &r.BAL.SAL1,   &r.BSI.ASI1,   &r.BSI.SSI1,    &r.BFE.AFE1,    &r.BFE.SFE1,
          &r.OPS.ACOOL,  &r.OPS.ALUKE,  &r.OPS.AHOT,    &r.OPS.SIGEL,   &r.OPS.ALINES,
          &r.OPS.SIGLIN, &r.OPS.AXLINE, &r.OPS.SIGXL,   &r.OPS.AXCONT,  &r.OPS.SIGX,
          &r.OPS.SXLINE, &r.OPS.SXCONT, &AMOLEC};
}

struct Kapp : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  int NSTEPS = -1;
  double STEPWT = -1.0;

  void SetUp() override {
    testing::fill_model(*run, testing::SOLAR3);
    run->IF.IFPRES = 0;                    // the populations from the electron densities as given
    setfreq(*run, 2.99792458e17 / 500.0);  // 500 nm
  }
  void only(std::initializer_list<int> on) {
    run->IF.IFOP.fill(0);
    for (int i : on) run->IF.IFOP(i) = 1;
  }
  void call() { kapp(*run, 1, NSTEPS, STEPWT); }
  int n() const { return run->RHOX.NRHOX; }
};

constexpr int HRAY = 4, ELECTRON = 12;

TEST_F(Kapp, all_switches_off_gives_zero_totals_and_planck_source_functions) {
  only({});
  for (Dep* a : source_arrays(*run)) a->fill(9.0);  // left over from an earlier frequency
  call();
  EXPECT_EQ(NSTEPS, 1);
  EXPECT_EQ(STEPWT, 1.0);
  const OptotRec& t = run->OPTOT;
  for (int j = 1; j <= n(); ++j) {
    EXPECT_EQ(t.ACONT(j), 0.0);
    EXPECT_EQ(t.SIGMAC(j), 0.0);
    EXPECT_EQ(t.ALINE(j), 0.0);
    EXPECT_EQ(t.SIGMAL(j), 0.0);
    EXPECT_EQ(t.SCONT(j), run->FREQ.BNU(j));
    EXPECT_EQ(t.SLINE(j), run->FREQ.BNU(j));
    EXPECT_EQ(t.ACONT(j) + t.SIGMAC(j), 0.0);  // the driver's ABTOT
    for (Dep* a : source_arrays(*run)) EXPECT_EQ((*a)(j), 0.0);
  }
}

TEST_F(Kapp, only_electron_scattering) {
  only({ELECTRON});
  call();
  for (int j = 1; j <= n(); ++j) {
    const testing::Layer& l = testing::SOLAR3[j - 1];
    EXPECT_EQ(run->OPTOT.SIGMAC(j), run->OPS.SIGEL(j));
    EXPECT_NEAR(run->OPTOT.SIGMAC(j), l.XNE * 6.653e-25 / l.RHO, 1e-15 * run->OPTOT.SIGMAC(j));
    EXPECT_EQ(run->OPTOT.ACONT(j), 0.0);
    EXPECT_EQ(run->OPTOT.SCONT(j), run->FREQ.BNU(j));
    EXPECT_EQ(run->BHYD.SIGH(j), 0.0);
  }
}

TEST_F(Kapp, scattering_total_of_the_default_switches) {
  // Default switches: of the scattering sources only hydrogen Rayleigh and electrons are on.
  call();
  for (int j = 1; j <= n(); ++j) {
    EXPECT_GT(run->BHYD.SIGH(j), 0.0);
    EXPECT_GT(run->OPS.SIGEL(j), 0.0);
    EXPECT_EQ(run->OPTOT.SIGMAC(j), run->BHYD.SIGH(j) + run->OPS.SIGEL(j));
  }
  // At 500 nm in the cool surface layer Rayleigh scattering dominates, deep down electrons do.
  EXPECT_GT(run->BHYD.SIGH(1), run->OPS.SIGEL(1));
  EXPECT_LT(run->BHYD.SIGH(3), run->OPS.SIGEL(3));
}

TEST_F(Kapp, switch_turned_off_between_calls_leaves_nothing_behind) {
  only({HRAY, ELECTRON});
  call();
  ASSERT_GT(run->BHYD.SIGH(2), 0.0);
  run->IF.IFOP(HRAY) = 0;
  call();
  for (int j = 1; j <= n(); ++j) {
    EXPECT_EQ(run->BHYD.SIGH(j), 0.0);
    EXPECT_EQ(run->OPTOT.SIGMAC(j), run->OPS.SIGEL(j));
  }
  // Any value other than 1 counts as off.
  run->IF.IFOP(HRAY) = 2;
  run->IF.IFOP(ELECTRON) = -1;
  call();
  for (int j = 1; j <= n(); ++j) EXPECT_EQ(run->OPTOT.SIGMAC(j), 0.0);
}

// A switch turned off while the next model is shallower, then a deeper model: the depths beyond
// the shallow model are cleared too.
TEST_F(Kapp, switch_off_clears_every_depth_of_a_deeper_model) {
  only({HRAY, ELECTRON});
  call();
  ASSERT_GT(run->BHYD.SIGH(3), 0.0);
  only({ELECTRON});
  run->RHOX.NRHOX = 2;
  call();
  EXPECT_EQ(run->BHYD.SIGH(1), 0.0);
  EXPECT_EQ(run->BHYD.SIGH(2), 0.0);
  run->RHOX.NRHOX = 3;
  call();
  for (int j = 1; j <= 3; ++j) {
    EXPECT_EQ(run->BHYD.SIGH(j), 0.0) << j;
    EXPECT_EQ(run->OPTOT.SIGMAC(j), run->OPS.SIGEL(j)) << j;
  }
}

TEST_F(Kapp, sources_run_at_the_current_frequency) {
  only({HRAY});
  call();
  const double s500 = run->BHYD.SIGH(2);
  setfreq(*run, 2.99792458e17 / 121.567);  // Lyman alpha: inside the zero window
  call();
  EXPECT_EQ(run->BHYD.SIGH(2), 0.0);
  const double nu250 = 2.99792458e17 / 250.0;
  setfreq(*run, nu250);
  call();
  EXPECT_NEAR(run->BHYD.SIGH(2) / s500, hrayop_xsect(nu250) / hrayop_xsect(2.99792458e17 / 500.0),
              1e-14 * run->BHYD.SIGH(2) / s500);
  EXPECT_GT(run->BHYD.SIGH(2) / s500, 16.0);  // steeper than lambda^-4 towards Lyman alpha
}

TEST_F(Kapp, line_and_hook_switches_run_nothing) {
  call();
  const OptotRec before = run->OPTOT;
  // The line switches and the hooks other than XCONT (the modern continuum, xcont_test.cpp).
  for (int i = 14; i <= NIFOP; ++i) run->IF.IFOP(i) = i == IFOP_XCONT ? 0 : 1;
  call();
  EXPECT_EQ(std::memcmp(&before, &run->OPTOT, sizeof(OptotRec)), 0);
  for (int j = 1; j <= n(); ++j) EXPECT_EQ(run->OPTOT.SLINE(j), run->FREQ.BNU(j));
}

// The arrays that source S names (its arrays and their own source functions).
std::vector<Dep*> arrays_of(const OpacitySource& s, atmotab::Run& r) {
  std::vector<Dep*> out;
  for (const SourceArray& a : s.written()) {
    out.push_back(&a.array(r));
    if (a.source != nullptr) out.push_back(&a.source(r));
  }
  return out;
}

// The source table names every array a source writes or a total reads exactly once, and each
// switch's routine writes only the arrays of its own row.
TEST_F(Kapp, source_table_names_each_array_once) {
  std::set<const Dep*> named;
  int n_arrays = 0;
  std::set<int> switches;
  for (const OpacitySource& s : kapp_sources()) {
    EXPECT_GE(s.ifop, 1);
    EXPECT_LE(s.ifop, NIFOP);
    switches.insert(s.ifop);
    EXPECT_FALSE(s.written().empty()) << "row of switch " << s.ifop;
    for (const SourceArray& a : s.written()) {
      const bool own =
          a.term == OpacityTerm::ContinuumAbsorber || a.term == OpacityTerm::LineAbsorber;
      EXPECT_EQ(own, a.source != nullptr)
          << "an absorber with a source function of its own names it, and only it";
    }
    for (Dep* a : arrays_of(s, *run)) {
      EXPECT_NE(a, &run->FREQ.BNU);
      ++n_arrays;
      named.insert(a);
    }
  }
  EXPECT_EQ(static_cast<int>(switches.size()), NIFOP) << "one row per switch";
  EXPECT_EQ(n_arrays, static_cast<int>(named.size())) << "an array named twice";
  const std::vector<Dep*> all = source_arrays(*run);
  EXPECT_EQ(named, std::set<const Dep*>(all.begin(), all.end()));
}

TEST_F(Kapp, each_switch_writes_only_the_arrays_of_its_rows) {
  for (int i = 1; i <= NIFOP; ++i) {
    only({i});
    call();
    for (const OpacitySource& s : kapp_sources()) {
      if (s.ifop == i) continue;
      for (const Dep* a : arrays_of(s, *run)) {
        for (int j = 1; j <= n(); ++j) {
          EXPECT_EQ((*a)(j), 0.0) << "switch " << kapp_switch_name(i) << " wrote an array of "
                                  << kapp_switch_name(s.ifop);
        }
      }
    }
  }
}

TEST(kapp_switch_name, twenty_switches_in_order) {
  const char* names[] = {"H1",    "H2PLUS",   "HMINUS", "HRAY",   "HE1",      "HE2",   "HEMINUS",
                         "HERAY", "COOL",     "LUKE",   "HOT",    "ELECTRON", "H2RAY", "HLINES",
                         "LINES", "LINESCAT", "XLINES", "XLSCAT", "XCONT",    "XSCAT"};
  for (int i = 1; i <= NIFOP; ++i) EXPECT_STREQ(kapp_switch_name(i), names[i - 1]) << i;
}

// The totals step with hand-set source arrays (one depth).
struct Totals : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override {
    run->RHOX.NRHOX = 1;
    run->FREQ.BNU(1) = 1.0;
  }
};

TEST_F(Totals, every_absorber_once_with_its_own_source_function) {
  atmotab::Run& r = *run;
  // LTE group (source function BNU = 1): four absorbers of 1.
  r.BHYD.AH2P(1) = r.BHE.AHEMIN(1) = r.OPS.ALUKE(1) = r.OPS.AHOT(1) = 1.0;
  // Ten absorbers of 1 with source functions 1..10.
  struct Pair {
    Dep *a, *s;
  };
  const Pair pairs[] = {{&r.BHYD.AHYD, &r.BHYD.SHYD},   {&r.BHYD.AHMIN, &r.BHYD.SHMIN},
                        {&r.OPS.AXCONT, &r.OPS.SXCONT}, {&r.BHE.AHE1, &r.BHE.SHE1},
                        {&r.BHE.AHE2, &r.BHE.SHE2},     {&r.BC.AC1, &r.BC.SC1},
                        {&r.BMG.AMG1, &r.BMG.SMG1},     {&r.BAL.AAL1, &r.BAL.SAL1},
                        {&r.BSI.ASI1, &r.BSI.SSI1},     {&r.BFE.AFE1, &r.BFE.SFE1}};
  int k = 0;
  for (const Pair& p : pairs) {
    (*p.a)(1) = 1.0;
    (*p.s)(1) = ++k;
  }
  r.OPS.ACOOL(1) = 100.0;  // the cool-metal sum is not a total's term
  kapp_totals(r);
  EXPECT_EQ(r.OPTOT.ACONT(1), 14.0);
  EXPECT_DOUBLE_EQ(r.OPTOT.SCONT(1), (4.0 + 55.0) / 14.0);
  EXPECT_EQ(r.OPTOT.SIGMAC(1), 0.0);
}

TEST_F(Totals, scattering_and_line_totals) {
  atmotab::Run& r = *run;
  r.BHYD.SIGH(1) = 1.0;
  r.BHE.SIGHE(1) = 2.0;
  r.OPS.SIGEL(1) = 4.0;
  r.BHYD.SIGH2(1) = 8.0;
  r.OPS.SIGX(1) = 16.0;
  r.OPS.SIGLIN(1) = 32.0;
  r.OPS.SIGXL(1) = 64.0;
  // Lines: AHLINE 1 with SHLINE 4, ALINES 1 with BNU = 1, AXLINE 2 with SXLINE 0.5.
  r.BHYD.AHLINE(1) = 1.0;
  r.BHYD.SHLINE(1) = 4.0;
  r.OPS.ALINES(1) = 1.0;
  r.OPS.AXLINE(1) = 2.0;
  r.OPS.SXLINE(1) = 0.5;
  kapp_totals(r);
  EXPECT_EQ(r.OPTOT.SIGMAC(1), 31.0);
  EXPECT_EQ(r.OPTOT.SIGMAL(1), 96.0);
  EXPECT_EQ(r.OPTOT.ALINE(1), 4.0);
  EXPECT_EQ(r.OPTOT.SLINE(1), (4.0 + 1.0 + 1.0) / 4.0);
  EXPECT_EQ(r.OPTOT.ACONT(1), 0.0);
  EXPECT_EQ(r.OPTOT.SCONT(1), 1.0);
}

TEST_F(Totals, summed_left_to_right_with_the_lte_group_first) {
  atmotab::Run& r = *run;
  const double h = std::ldexp(1.0, -53);  // half an ulp of 1
  // AHYD + (AH2P + AHEMIN): the group sums to a full ulp and survives; added one by one to AHYD
  // each half ulp would round away (to even) and ACONT would be exactly 1.
  r.BHYD.AHYD(1) = 1.0;
  r.BHYD.AH2P(1) = h;
  r.BHE.AHEMIN(1) = h;
  // SIGH + SIGHE + SIGEL strictly left to right: both half ulps round away.
  r.BHYD.SIGH(1) = 1.0;
  r.BHE.SIGHE(1) = h;
  r.OPS.SIGEL(1) = h;
  kapp_totals(r);
  EXPECT_EQ(r.OPTOT.ACONT(1), 1.0 + 2 * h);
  EXPECT_EQ(r.OPTOT.SIGMAC(1), 1.0);
}

TEST_F(Totals, source_function_guard_for_zero_and_negative_absorption) {
  atmotab::Run& r = *run;
  r.FREQ.BNU(1) = 0.25;
  r.BHYD.AHYD(1) = -1.0;  // no division where the total absorption is not positive
  r.BHYD.SHYD(1) = 7.0;
  r.OPS.ALINES(1) = -1.0;
  kapp_totals(r);
  EXPECT_EQ(r.OPTOT.ACONT(1), -1.0);
  EXPECT_EQ(r.OPTOT.SCONT(1), 0.25);
  EXPECT_EQ(r.OPTOT.SLINE(1), 0.25);
}

// The totals written out term by term, left to right, with the LTE groups summed first: the
// table-driven sums must give these numbers to the bit.
TEST_F(Totals, table_sums_equal_the_written_out_totals_to_the_bit) {
  atmotab::Run& r = *run;
  constexpr int N = 60;
  r.RHOX.NRHOX = N;
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> mantissa(0.5, 1.0);
  std::uniform_int_distribution<int> exponent(-40, 40);
  for (Dep* a : source_arrays(r))
    for (int j = 1; j <= N; ++j) (*a)(j) = std::ldexp(mantissa(rng), exponent(rng));
  for (int j = 1; j <= N; ++j) r.FREQ.BNU(j) = std::ldexp(mantissa(rng), exponent(rng));
  // A few absorbers negative, so that the guard of the source functions is exercised.
  r.BHYD.AHYD(3) = -1e50;
  r.BHYD.AHLINE(4) = -1e50;
  kapp_totals(r);
  const BhydRec& h = r.BHYD;
  const BheRec& he = r.BHE;
  const OpsRec& o = r.OPS;
  const Dep& BNU = r.FREQ.BNU;
  for (int j = 1; j <= N; ++j) {
    const double G = h.AH2P(j) + he.AHEMIN(j) + coolop_cache(r).AMOLEC(j) + o.ALUKE(j) + o.AHOT(j);
    const double acont = h.AHYD(j) + G + h.AHMIN(j) + o.AXCONT(j) + he.AHE1(j) + he.AHE2(j) +
                         r.BC.AC1(j) + r.BMG.AMG1(j) + r.BAL.AAL1(j) + r.BSI.ASI1(j) +
                         r.BFE.AFE1(j);
    const double scont = acont > 0.0
                             ? (G * BNU(j) + h.AHYD(j) * h.SHYD(j) + h.AHMIN(j) * h.SHMIN(j) +
                                o.AXCONT(j) * o.SXCONT(j) + he.AHE1(j) * he.SHE1(j) +
                                he.AHE2(j) * he.SHE2(j) + r.BC.AC1(j) * r.BC.SC1(j) +
                                r.BMG.AMG1(j) * r.BMG.SMG1(j) + r.BAL.AAL1(j) * r.BAL.SAL1(j) +
                                r.BSI.ASI1(j) * r.BSI.SSI1(j) + r.BFE.AFE1(j) * r.BFE.SFE1(j)) /
                                   acont
                             : BNU(j);
    const double sigmac = h.SIGH(j) + he.SIGHE(j) + o.SIGEL(j) + h.SIGH2(j) + o.SIGX(j);
    const double aline = o.ALINES(j) + h.AHLINE(j) + o.AXLINE(j);
    const double sline =
        aline > 0.0
            ? (h.AHLINE(j) * h.SHLINE(j) + o.ALINES(j) * BNU(j) + o.AXLINE(j) * o.SXLINE(j)) / aline
            : BNU(j);
    const double sigmal = o.SIGLIN(j) + o.SIGXL(j);
    EXPECT_EQ(r.OPTOT.ACONT(j), acont) << j;
    EXPECT_EQ(r.OPTOT.SCONT(j), scont) << j;
    EXPECT_EQ(r.OPTOT.SIGMAC(j), sigmac) << j;
    EXPECT_EQ(r.OPTOT.ALINE(j), aline) << j;
    EXPECT_EQ(r.OPTOT.SLINE(j), sline) << j;
    EXPECT_EQ(r.OPTOT.SIGMAL(j), sigmal) << j;
  }
  EXPECT_EQ(r.OPTOT.SCONT(3), BNU(3));
  EXPECT_EQ(r.OPTOT.SLINE(4), BNU(4));
}

// kapp sums only the rows of the switches that are on, whose left-out arrays hold +0: the totals
// must have the bits of the sums over every row, signed zeros included (a sum of -0 terms is -0,
// but +0 once a +0 term joins it).
TEST_F(Totals, rows_of_switches_off_left_out_with_the_same_bits) {
  atmotab::Run& r = *run;
  constexpr int N = 60;
  r.RHOX.NRHOX = N;
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto value = [&]() {
    const double x = u(rng);
    return x < 0.3 ? -0.0 : x < 0.5 ? 0.0 : std::ldexp(u(rng) - 0.5, static_cast<int>(40 * u(rng)));
  };
  auto bits = [](const Dep& a, int j) {
    std::uint64_t b;
    std::memcpy(&b, &a(j), sizeof b);
    return b;
  };
  int signed_zero_sums = 0;
  for (int trial = 0; trial < 200; ++trial) {
    for (int i = 1; i <= NIFOP; ++i) r.IF.IFOP(i) = u(rng) < 0.5 ? 1 : 0;
    for (int j = 1; j <= N; ++j) r.FREQ.BNU(j) = std::ldexp(0.5 + u(rng), -5);
    for (const OpacitySource& row : kapp_sources())
      for (Dep* a : arrays_of(row, r))
        for (int j = 1; j <= N; ++j)
          (*a)(j) = r.IF.IFOP(row.ifop) == 1 ? (j == 1 ? -0.0 : value()) : 0.0;
    kapp_totals(r);
    const OptotRec all = r.OPTOT;
    kapp_totals_of_switches_on(r);
    const OptotRec& on = r.OPTOT;
    for (int j = 1; j <= N; ++j) {
      EXPECT_EQ(bits(on.ACONT, j), bits(all.ACONT, j)) << trial << " " << j;
      EXPECT_EQ(bits(on.SCONT, j), bits(all.SCONT, j)) << trial << " " << j;
      EXPECT_EQ(bits(on.SIGMAC, j), bits(all.SIGMAC, j)) << trial << " " << j;
      EXPECT_EQ(bits(on.ALINE, j), bits(all.ALINE, j)) << trial << " " << j;
      EXPECT_EQ(bits(on.SLINE, j), bits(all.SLINE, j)) << trial << " " << j;
      EXPECT_EQ(bits(on.SIGMAL, j), bits(all.SIGMAL, j)) << trial << " " << j;
      signed_zero_sums += all.ACONT(j) == 0 || all.SIGMAC(j) == 0;
    }
  }
  EXPECT_GT(signed_zero_sums, 200);
}

}  // namespace
}  // namespace atmotab
