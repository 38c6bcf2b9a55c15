// The values of the table records: the checks themselves fed a NaN, an Inf and a negative value,
// and whole runs that used to write non-finite or negative values with exit status 0.
#include "driver/table_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "driver/edges.h"
#include "driver/tabulate.h"
#include "fortio/error.h"
#include "input/readin_support.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::DeckRun;
using testing::TempDir;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(table_check, first_break_by_rule) {
  using R = ValueRule;
  struct Case {
    std::vector<double> values;
    R rule;
    int index;   // of the doubles
    int findex;  // of the same values as singles
  };
  const Case cases[] = {
      {{1, 2, 3}, R::Positive, -1, -1},
      {{1, NaN, 3}, R::Finite, 1, 1},
      {{1, 2, Inf}, R::Finite, 2, 2},
      {{-Inf, 2}, R::Finite, 0, 0},
      {{-1, 2}, R::Finite, -1, -1},
      {{3, -1e-30, 2}, R::NonNegative, 1, 1},
      {{3, -1e-300, 2}, R::NonNegative, 1, -1},  // -0 as a single
      {{0, -0.0, 5}, R::NonNegative, -1, -1},
      {{1, 0, 5}, R::Positive, 1, 1},
      {{2, -0.0}, R::Positive, 1, 1},
      {{1, NaN}, R::NonNegative, 1, 1},
      {{5e-324, 1e308}, R::Positive, -1, 0},  // 0 and +Inf as singles
      {{}, R::Positive, -1, -1},
  };
  for (const Case& c : cases) {
    const int n = static_cast<int>(c.values.size());
    EXPECT_EQ(first_break(c.values.data(), n, c.rule), c.index);
    const std::vector<float> f(c.values.begin(), c.values.end());
    EXPECT_EQ(first_break(f.data(), n, c.rule), c.findex);
  }
  EXPECT_EQ(break_text(NaN), "NaN");
  EXPECT_EQ(break_text(Inf), "+Inf");
  EXPECT_EQ(break_text(-Inf), "-Inf");
  EXPECT_EQ(break_text(0.0), "zero");
  EXPECT_EQ(break_text(-2.5e-7), "negative (-2.5E-07)");
}

// The search runs one pass over the whole array (in vector instructions) before it looks for the
// first bad value: a break at any position of the vector body or the tail, alone or behind
// another, is found; the largest finite values and the smallest subnormal pass where the rule
// lets them.
TEST(table_check, first_break_at_every_position) {
  using R = ValueRule;
  struct Case {
    R rule;
    double bad;   // breaks the rule
    double good;  // keeps it (the filler is 1)
  };
  const double MAXD = std::numeric_limits<double>::max();
  const Case cases[] = {
      {R::Finite, NaN, -MAXD},     {R::Finite, -Inf, MAXD},     {R::NonNegative, -1e-300, 0},
      {R::NonNegative, Inf, -0.0}, {R::Positive, -0.0, 5e-324}, {R::Positive, NaN, MAXD},
      {R::Positive, -Inf, 1e-300},
  };
  for (const Case& c : cases)
    for (int n = 1; n <= 37; ++n) {
      std::vector<double> v(static_cast<std::size_t>(n), c.good);
      EXPECT_EQ(first_break(v.data(), n, c.rule), -1) << n;
      for (int k = 0; k < n; ++k) {
        std::fill(v.begin(), v.end(), 1.0);
        v[static_cast<std::size_t>(k)] = c.bad;
        v[static_cast<std::size_t>(n - 1)] = k < n - 1 ? c.bad : v[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(first_break(v.data(), n, c.rule), k) << n << " " << k;
        const std::vector<float> f(v.begin(), v.end());
        if (c.bad != -1e-300) {  // -1e-300 is -0 as a single, which NonNegative allows
          EXPECT_EQ(first_break(f.data(), n, c.rule), k) << n << " " << k;
        }
      }
    }
}

// A finished model of two depths (5000 K and 12000 K) on the edges 400, 500, 600 nm; the checks
// below are then fed one bad value each.
constexpr const char* TWO_DEPTHS =
    "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\nREAD DECK 2\n"
    " 1.0 5000. 1.0E5 1.0E12 0.1 0.0 2.0E5\n"
    " 2.0 12000. 2.0E5 1.0E15 0.1 0.0 2.0E5\nBEGIN\n";

struct Finished : DeckRun {
  TempDir dir;
  Finished() : DeckRun(TWO_DEPTHS, 6) {
    const double edges[] = {400., 500., 600.};
    run->EDGE.NEDGE = 3;
    for (int n = 1; n <= 3; ++n) classify_edge(*run, n, edges[n - 1]);
    build_frequency_set(*run);
    run->UNITS.table.set_path((dir / "fort.10").string());
    run->UNITS.maxima.set_path((dir / "fort.11").string());
    read();
    EXPECT_TRUE(model) << message;
    apply_model_overrides(*run);
    tabulate_model(*run);
  }
  // The message of the check CHECK, "" when it passes.
  template <class F>
  std::string message_of(F check) {
    try {
      check(*run);
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
      return e.what();
    }
    return "";
  }
};

TEST(table_check, a_finished_model_passes_every_check) {
  Finished f;
  for (auto check :
       {+[](atmotab::Run& r) { check_headers(r); }, +[](atmotab::Run& r) { check_depth_block(r); },
        +[](atmotab::Run& r) { check_maxima(r); }, +[](atmotab::Run& r) { check_continuum(r, 6); },
        +[](atmotab::Run& r) { check_depth_record(r, 2); }})
    EXPECT_EQ(f.message_of(check), "");
}

TEST(table_check, depth_block) {
  struct Case {
    void (*set)(atmotab::Run&);
    const char* message;
  };
  const Case cases[] = {
      {[](atmotab::Run& r) {
         r.TABLES.XNFH2(2) = 2.9e41;
         r.TABLES.XNFH24(2) = static_cast<float>(r.TABLES.XNFH2(2));
       },
       "XNFH2 (H2 estimate) is +Inf at depth 2: its value 2.9E+41 is beyond the single-precision "
       "range of the tables (3.4028E+38)"},
      {[](atmotab::Run& r) {
         r.STATE.XNE(1) = NaN;
         r.TABLES.XNE4(1) = static_cast<float>(NaN);
       },
       "XNE is NaN at depth 1: the model gives no sound value there (T = 5000 K"},
      {[](atmotab::Run& r) {
         r.BHE.XNFHE(2, 2) = -3e-5;
         r.TABLES.XNFHE4(2, 2) = -3e-5f;
       },
       "XNFHE (He II density) is negative (-3E-05) at depth 2"},
      {[](atmotab::Run& r) {
         r.TEMP.HKT(1) = 0;
         r.TABLES.HKT4(1) = 0;
       },
       "HKT is zero at depth 1"},
  };
  for (const Case& c : cases) {
    Finished f;
    c.set(*f.run);
    const std::string m = f.message_of(check_depth_block);
    EXPECT_EQ(m.substr(0, std::string(c.message).size()), c.message) << m;
  }
}

TEST(table_check, depth_record_and_maxima) {
  {
    Finished f;  // a negative population of Ti I
    f.run->TABLES.XNFPEL(1, 22) = -1.5e-20;
    f.run->TABLES.XNFPEL4(1, 22) = -1.5e-20f;
    const std::string m = f.message_of([](atmotab::Run& r) { check_depth_record(r, 2); });
    EXPECT_EQ(m.substr(0, 69),
              "XNFPEL(1,22) (stage slot 1 of TI) is negative (-1.5E-20) at depth 2: ")
        << m;
  }
  {
    Finished f;  // an infinite Doppler width
    f.run->TABLES.DOPPLE(3, 26) = Inf;
    f.run->TABLES.DOPPLE4(3, 26) = static_cast<float>(Inf);
    const std::string m = f.message_of([](atmotab::Run& r) { check_depth_record(r, 1); });
    EXPECT_EQ(m.substr(0, 49), "DOPPLE(3,26) (stage slot 3 of FE) is +Inf at dept") << m;
  }
  {
    Finished f;  // an undefined log10 opacity
    f.run->TABLES.CONTINALL4(5) = static_cast<float>(NaN);
    const std::string m = f.message_of([](atmotab::Run& r) { check_depth_record(r, 1); });
    EXPECT_EQ(m.substr(0, 79),
              "CONTINALL (log10 continuum opacity) is NaN at frequency 5 of the set, depth 1: ")
        << m;
  }
  {
    Finished f;  // an overflowing line-strength indicator in the second interval (500..600 nm)
    f.run->TABLES.XNFDOPMAX(2, 2, 26) = static_cast<float>(Inf);
    const std::string m = f.message_of(check_maxima);
    EXPECT_EQ(m.substr(0, 103),
              "XNFDOPMAX(2,26) (stage slot 2 of FE) is +Inf in edge interval 2 (500.0 to 600.0 "
              "nm): the population per")
        << m;
  }
  {
    Finished f;  // a negative one
    f.run->TABLES.XNFDOPMAX(1, 1, 1) = -1;
    EXPECT_NE(f.message_of(check_maxima).find("is negative (-1) in edge interval 1"),
              std::string::npos);
  }
}

TEST(table_check, continuum_opacity_names_the_source_or_the_switches) {
  {
    // Hydrogen Rayleigh scattering NaN at depth 2 of the last frequency (just above 600 nm).
    Finished f;
    atmotab::Run& r = *f.run;
    r.BHYD.SIGH(2) = NaN;
    r.ABTOT.ABTOT(2) = r.OPTOT.ACONT(2) + NaN;
    EXPECT_EQ(f.message_of([](atmotab::Run& x) { check_continuum(x, 6); }),
              "continuum opacity is NaN at 600.0 nm (frequency 6 of the set), depth 2: the "
              "source HRAY gives scattering NaN there");
  }
  {
    // An infinite absorption of a source that is on.
    Finished f;
    atmotab::Run& r = *f.run;
    r.BHYD.AHMIN(1) = Inf;
    r.ABTOT.ABTOT(1) = Inf;
    EXPECT_NE(f.message_of([](atmotab::Run& x) {
                 check_continuum(x, 1);
               }).find("depth 1: the source HMINUS gives absorption +Inf there"),
              std::string::npos);
  }
  {
    // Every switch off, or at a value other than 1.
    Finished f;
    atmotab::Run& r = *f.run;
    for (int k = 1; k <= NIFOP; ++k) r.IF.IFOP(k) = k % 2 == 0 ? 0 : 2;
    r.ABTOT.ABTOT(1) = 0;
    EXPECT_EQ(f.message_of([](atmotab::Run& x) { check_continuum(x, 1); }),
              "continuum opacity is zero at 400.0 nm (frequency 1 of the set), depth 1: every "
              "absorption and scattering source is off (an opacity switch is on only when it "
              "is 1)");
  }
}

// Whole runs in a temporary directory, their tables checked by the test's own reader.
struct Program : testing::Program {
  Program(const std::string& edges, const std::string& deck) : testing::Program(deck, edges) {}
  std::string values_break() const {
    return testing::table_values_break(testing::read_file(dir / "t10"),
                                       testing::read_file(dir / "t11"));
  }
  int models() const {
    return testing::table_models(testing::unformatted_records(testing::read_file(dir / "t11")),
                                 true);
  }
};

// The solar example without its begin and end cards, then CARDS, a begin card, END.
std::string sun_with(const std::string& cards) {
  std::string deck = testing::read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/sun.deck");
  deck = deck.substr(0, deck.find("\nBEGIN") + 1);
  return deck + cards + "BEGIN\nEND\n";
}

TEST(table_check, a_run_with_every_source_off_stops_naming_the_cause) {
  // A first model with the sources on is finished; the second has no continuum opacity at all.
  const std::string first = sun_with("").substr(0, sun_with("").find("END"));
  const char* off_cards[] = {
      "OPACITY IFOP 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n",
      "OPACITY OFF H1 H2PLUS HMINUS HRAY HE1 HE2 HEMINUS\n"
      "OPACITY OFF HERAY COOL LUKE HOT ELECTRON H2RAY\n",
      "OPACITY IFOP 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2 2\n",
  };
  for (const char* off : off_cards) {
    SCOPED_TRACE(off);
    Program p("400.\n500.\n0\n", first + off + "BEGIN\nEND\n");
    EXPECT_EQ(p.status, 1);
    const std::string expected =
        "tables: continuum opacity is zero at 400.0 nm (frequency 1 of the set), depth 1: "
        "every absorption and scattering source is off";
    EXPECT_NE(p.errors.str().find(expected), std::string::npos) << p.errors.str();
    EXPECT_NE(p.listing.str().find(" atmotab: " + expected), std::string::npos);
    EXPECT_EQ(p.models(), 1);
    EXPECT_EQ(p.values_break(), "");
  }
}

TEST(table_check, runs_that_wrote_non_finite_values_keep_the_tables_sound) {
  // Each of these ended with status 0 and wrote NaN or Inf: a run now either ends normally with
  // every value sound or stops with status 1 naming the continuum opacity, and its tables hold
  // only sound finished models. (Whether such an edge or switch setting gives a sound opacity
  // depends on the sources built; the tables never hold a bad value either way.)
  struct Case {
    const char* edges;
    std::string deck;
  };
  const Case cases[] = {
      {"0.0014\n400.\n0\n", sun_with("")},
      {"1.E-30\n400.\n0\n", sun_with("")},
      {"1.E24\n400.\n0\n", sun_with("")},
      {"400.\n500.\n0\n", sun_with("OPACITY OFF HRAY ELECTRON\n")},
  };
  for (const Case& c : cases) {
    Program p(c.edges, c.deck);
    SCOPED_TRACE(c.edges);
    if (p.status == 1) {
      EXPECT_NE(p.errors.str().find("continuum opacity is"), std::string::npos) << p.errors.str();
    } else {
      EXPECT_EQ(p.status, 0) << p.errors.str();
    }
    EXPECT_EQ(p.values_break(), "");
  }
}

// The grey solar deck of examples/ at effective temperature TEFF, on ten depths.
std::string grey_at(const std::string& teff) {
  std::string deck = testing::read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/grey.deck");
  deck.replace(deck.find("5777."), 5, teff);
  deck.replace(deck.find("GREY 72 -6.875 0.125"), 20, "GREY 10 -4 0.5");
  return deck;
}

TEST(table_check, cold_models) {
  {
    // 1000 K: T from 811 K; the H2 estimate EQH2 XNFH^2 (2.9e41 cm-3 at depth 1) exceeded all the
    // hydrogen there is and the single-precision range; it is bounded by XNATOM XABUND(1) / 2.
    Program p("400.\n500.\n0\n", grey_at("1000."));
    ASSERT_EQ(p.status, 0) << p.errors.str();
    EXPECT_EQ(p.values_break(), "");
    EXPECT_NE(
        p.listing.str().find("XNFH    7.2062E+18    XNFHE   6.1334E+17    XNFH2   3.6031E+18"),
        std::string::npos);
  }
  {
    // 50 K: the iron-group partition functions, extrapolated, turned negative (XNFPEL of Ti, V,
    // Co < 0); the model is refused with the range.
    Program p("400.\n500.\n0\n", grey_at("50."));
    EXPECT_EQ(p.status, 1);
    EXPECT_NE(p.errors.str().find("pfsaha: temperature T = 40.6 K at depth J = 1 is below the "
                                  "range of the population physics, T >= 661.0 K: the partition "
                                  "functions of Ca..Ni"),
              std::string::npos)
        << p.errors.str();
    EXPECT_EQ(p.models(), 0);
  }
}

}  // namespace
}  // namespace atmotab
