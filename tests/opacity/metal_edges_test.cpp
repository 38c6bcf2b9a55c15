// The metal edges in the continuum tables of whole runs: the cool dwarf of the examples shows the
// Al I, Mg I and Si I ground-state edges, a grey 20000 K model with the intermediate and hot
// metals switched on the C II, N II and O II ground-state edges, as upward steps of log10 kappa at
// tau_Ross near 1 from the frequency just below an edge to the one just above it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/constants.h"
#include "driver/atmotab.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

// The records of an unformatted sequential file.
std::vector<std::string> records(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos + 4 <= bytes.size()) {
    std::int32_t n = 0;
    std::memcpy(&n, bytes.data() + pos, 4);
    out.push_back(bytes.substr(pos + 4, static_cast<std::size_t>(n)));
    pos += 8 + static_cast<std::size_t>(n);
  }
  return out;
}

// The frequency set and log10 kappa at depth J of the first model of a table file.
struct Continuum {
  std::vector<double> nu;   // [Hz], decreasing
  std::vector<float> logk;  // log10 (ACONT + SIGMAC) [cm^2 g^-1]
  double below(double edge) const { return value(edge, false); }
  double above(double edge) const { return value(edge, true); }
  // log10 kappa at the set frequency nearest to EDGE [Hz] on the given side.
  double value(double edge, bool high) const {
    double best = 0, dist = 1e300;
    for (std::size_t i = 0; i < nu.size(); ++i) {
      const double d = high ? nu[i] - edge : edge - nu[i];
      if (d > 0 && d < dist) {
        dist = d;
        best = logk[i];
      }
    }
    return best;
  }
};

Continuum run_model(const std::string& deck, const std::string& edges, int depth) {
  TempDir dir;
  testing::write_file(dir / "edges", edges);
  std::istringstream cards(deck);
  std::ostringstream listing, errors;
  const int status = atmotab_main({"--edges", (dir / "edges").string(), "--table",
                                   (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                                  cards, listing, errors);
  EXPECT_EQ(status, 0) << errors.str();
  const std::vector<std::string> rec = records(testing::read_file(dir / "t10"));
  Continuum c;
  if (rec.size() < static_cast<std::size_t>(4 + depth)) return c;
  std::int32_t numnu = 0;
  std::memcpy(&numnu, rec[2].data(), 4);
  c.nu.resize(static_cast<std::size_t>(numnu));
  std::memcpy(c.nu.data(), rec[2].data() + 4, 8 * c.nu.size());
  c.logk.resize(c.nu.size());
  const std::size_t offset = 4 * (594 + 594);  // XNFPEL and DOPPLE come first
  std::memcpy(c.logk.data(), rec[3 + depth].data() + offset, 4 * c.logk.size());
  return c;
}

TEST(MetalEdges, cool_dwarf_shows_the_al1_mg1_si1_edges) {
  // examples/cool4000.deck: MARCS depth 41 has log tau_Ross = 0.
  const std::string src = ATMOTAB_SOURCE_DIR;
  const Continuum c = run_model(testing::read_file(src + "/examples/cool4000.deck"),
                                testing::read_file(src + "/examples/edges.txt"), 41);
  ASSERT_FALSE(c.nu.empty());
  struct Edge {
    const char* what;
    double waveno;  // the program's threshold of the ground term [cm^-1]
    double min_jump;
  };
  // Steps with every default source on: Al I 0.98 dex, Mg I 0.098, Si I 0.60 (the Mg I ground
  // state's 1.1e-18 cm^2 against the H-minus continuum).
  const Edge edges[] = {{"Al I 3p 2P, 207.6 nm", 48166.31, 0.3},
                        {"Mg I 3s2 1S, 162.2 nm", 61671.02, 0.05},
                        {"Si I 3p2 3P, 152.1 nm", 65747.55, 0.3}};
  for (const Edge& e : edges) {
    const double nu = e.waveno * CLIGHT;
    EXPECT_GT(c.above(nu) - c.below(nu), e.min_jump)
        << e.what << ": " << c.below(nu) << " -> " << c.above(nu);
  }
}

TEST(MetalEdges, hot_grey_model_shows_the_c2_n2_o2_edges) {
  // A grey 20000 K, log g 4 model with LUKE and HOT on; depth 28 is at log tau_Ross = 0.05. The
  // edge list brackets the ground-state thresholds of the hot-metal table closely.
  const std::string deck =
      "TITLE GREY 20000 K LOG G 4\nTEFF 20000. GRAVITY 4.0\nITERATIONS 1\n"
      "OPACITY ON LUKE HOT\nGREY 41 -4 0.15\nBEGIN\nEND\n";
  struct Edge {
    const char* what;
    double nu;  // threshold [Hz]
    double min_jump;
  };
  // At 41.9 nm the He I ground continuum (and hydrogen's Lyman continuum) carry most of the
  // opacity, so the N II edge is a step of about 3 % (0.0146 dex); C II and O II rise by 0.27 and
  // 0.19 dex with hydrogen and helium on (1.5 and 0.19 dex without hydrogen).
  const Edge edges[] = {{"C II 2p 2P, 50.9 nm", 5.892577e15, 0.1},
                        {"N II 2p2 3P, 41.9 nm", 7.158382e15, 0.005},
                        {"O II 2p3 4S, 35.3 nm", 8.497686e15, 0.1}};
  std::ostringstream list;
  list << "30.0 60.0";
  for (const Edge& e : edges) {
    const double nm = CLIGHT_NM / e.nu;
    list << " " << nm * 0.998 << " " << nm << " " << nm * 1.002;
  }
  list << "\n0.\n";
  const Continuum c = run_model(deck, list.str(), 28);
  ASSERT_FALSE(c.nu.empty());
  for (const Edge& e : edges)
    EXPECT_GT(c.above(e.nu) - c.below(e.nu), e.min_jump)
        << e.what << ": " << c.below(e.nu) << " -> " << c.above(e.nu);
}

}  // namespace
}  // namespace atmotab
