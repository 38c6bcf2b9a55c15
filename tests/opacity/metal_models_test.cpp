// The per-model state of the metal sources across models of one run: a model after another one
// with the same temperatures (but other pressures) gets exactly the tables it gets alone, with
// the cool, intermediate and hot metals all switched on. Every cache keyed by the model counter
// must therefore be formed again, populations included.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "driver/atmotab.h"
#include "opacity/coolop.h"
#include "opacity/hotop.h"
#include "opacity/lukeop.h"
#include "opacity/setfreq.h"
#include "populations/model_fixture.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

// The solar deck with LUKE and HOT on; with SCALE != 1 the pressures and electron densities of
// every depth are multiplied by it (temperatures unchanged).
std::string solar_model(double scale) {
  const std::string src = ATMOTAB_SOURCE_DIR;
  std::istringstream in(testing::read_file(src + "/examples/sun.deck"));
  std::ostringstream out;
  std::string line;
  bool deck = false;
  while (std::getline(in, line)) {
    if (line == "END") break;
    if (line.rfind("READ DECK", 0) == 0) {
      out << "OPACITY ON LUKE HOT\n" << line << "\n";
      deck = true;
      continue;
    }
    if (line == "BEGIN") deck = false;
    if (deck) {
      double rhox, t, p, xne, abross, prad, vturb;
      EXPECT_TRUE(std::sscanf(line.c_str(), "%lf %lf %lf %lf %lf %lf %lf", &rhox, &t, &p, &xne,
                              &abross, &prad, &vturb) == 7)
          << line;
      char buf[160];
      std::snprintf(buf, sizeof buf, "%.6E %.1f %.5E %.5E %.5E %.5E %.4E", rhox, t, p * scale,
                    xne * scale, abross, prad, vturb);
      out << buf << "\n";
    } else {
      out << line << "\n";
    }
  }
  return out.str();
}

// The unit-10 records of a run of DECK (ended by END).
std::string table_of(const std::string& deck) {
  const std::string src = ATMOTAB_SOURCE_DIR;
  TempDir dir;
  std::istringstream cards(deck + "END\n");
  std::ostringstream listing, errors;
  const int status = atmotab_main({"--edges", src + "/examples/edges.txt", "--table",
                                   (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                                  cards, listing, errors);
  EXPECT_EQ(status, 0) << errors.str();
  return testing::read_file(dir / "t10");
}

TEST(MetalModels, a_model_after_one_with_the_same_temperatures_is_as_if_alone) {
  const std::string first = solar_model(1.0);
  const std::string second = solar_model(3.0);
  const std::string both = table_of(first + second);
  const std::string alone = table_of(second);
  const std::string first_alone = table_of(first);
  ASSERT_GT(alone.size(), 0u);
  ASSERT_EQ(both.size(), first_alone.size() + alone.size());
  EXPECT_TRUE(both.compare(0, first_alone.size(), first_alone) == 0);
  EXPECT_TRUE(both.compare(first_alone.size(), alone.size(), alone) == 0)
      << "the second model's tables differ from its tables in a run of its own";
  EXPECT_NE(alone, first_alone.substr(0, alone.size()));  // the pressures do matter
}

TEST(MetalModels, a_run_that_never_sets_the_model_counter_still_gets_its_tables) {
  // The per-model keys start below any counter: with the model counter left at 0 the first call
  // forms the tables exactly as after start_model.
  double out[2][3][3];
  for (int itemp : {0, 1}) {
    testing::PopsRun p;
    p.set_depth(1, 5000, 1e4, 1e11);
    p.set_depth(2, 12000, 1e4, 1e14);
    p.set_depth(3, 25000, 1e5, 1e15);
    if (itemp == 1) start_model(p.r);
    p.r.IF.IFPRES = 0;  // the populations from the electron densities as given, in both runs
    for (int j = 1; j <= 3; ++j) {
      p.r.STATE.RHO(j) = p.r.ELEM.WTMOLE * 1.66e-24 * p.r.STATE.XNATOM(j);
      p.r.BSI.XNFPSI(j, 1) = 1e-5 * p.r.STATE.XNATOM(j);
    }
    setfreq(p.r, 4.5e15);
    coolop(p.r);
    lukeop(p.r);
    hotop(p.r);
    for (int j = 1; j <= 3; ++j) {
      out[itemp][j - 1][0] = p.r.BSI.ASI1(j);
      out[itemp][j - 1][1] = p.r.OPS.ALUKE(j);
      out[itemp][j - 1][2] = p.r.OPS.AHOT(j);
    }
  }
  for (int j = 0; j < 3; ++j)
    for (int k = 0; k < 3; ++k) {
      EXPECT_GT(out[1][j][k], 0.0) << j << " " << k;
      EXPECT_EQ(out[0][j][k], out[1][j][k]) << j << " " << k;
    }
}

}  // namespace
}  // namespace atmotab
