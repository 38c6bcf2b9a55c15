// The versions of the vectorised depth loops (common/vector_clones.h): whole runs in every
// instruction set that the build makes and this processor runs give the listing and both tables
// of the widest byte for byte, with every opacity source switched on somewhere; an instruction
// set the processor lacks, or a name that is none, stops the run before it starts.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/vector_clones.h"
#include "support/tools.h"

namespace atmotab {
namespace {

struct Case {
  const char* name;   // regression case (tests/regression/NAME/deck.txt)
  const char* cards;  // cards put before the deck
  const char* edges;  // edge list of tests/regression
  bool molecules;     // with the shipped molecule list
};

// Every source on in a solar and a hot model (the solar one with the metal photoionization of
// XCONT, which takes the place of the cool-metal atoms and LUKE); the molecular equilibrium and
// the cool-metal atoms in a cool one.
constexpr Case CASES[] = {
    {"solar", "OPACITY ON HEMINUS HERAY LUKE HOT H2RAY XCONT\n", "edges.txt", false},
    {"hotstar", "OPACITY ON HEMINUS HERAY LUKE HOT H2RAY\n", "hotstar/edges.txt", false},
    {"cool_molecules", "", "edges.txt", true},
};

struct Output {
  int status = -1;
  std::string listing, errors, table, maxima;
};

Output run_in(const Case& c, const std::string& vectors) {
  const std::string src = std::string(ATMOTAB_SOURCE_DIR) + "/tests/regression/";
  std::vector<std::string> more;
  if (c.molecules) more = {"--molecules", std::string(ATMOTAB_SOURCE_DIR) + "/data/molecules.dat"};
  testing::Program p;
  p.run(c.cards + testing::read_file(src + c.name + "/deck.txt"), testing::read_file(src + c.edges),
        {.vectors = vectors}, more);
  return {p.status, p.listing.str(), p.errors.str(), p.table(), p.maxima()};
}

TEST(vector_sets, every_version_gives_the_bytes_of_the_widest) {
  constexpr const char* NAMES[] = {"base", "avx2", "avx512"};
  for (const Case& c : CASES) {
    const Output widest = run_in(c, "");
    ASSERT_EQ(widest.status, 0) << c.name << ": " << widest.errors;
    for (int set = VECTORS_BASE; set <= widest_vector_set(); ++set) {
      const Output o = run_in(c, NAMES[set]);
      ASSERT_EQ(o.status, 0) << c.name << " " << NAMES[set] << ": " << o.errors;
      EXPECT_TRUE(o.listing == widest.listing) << c.name << " listing, " << NAMES[set];
      EXPECT_TRUE(o.table == widest.table) << c.name << " table, " << NAMES[set];
      EXPECT_TRUE(o.maxima == widest.maxima) << c.name << " maxima, " << NAMES[set];
    }
  }
  if (widest_vector_set() < VECTORS_AVX512)
    std::cout << "[ note ] this processor runs " << widest_vector_set() + 1
              << " of the 3 instruction sets; the others were not compared\n";
}

TEST(vector_sets, a_set_the_processor_lacks_or_no_set_stops_the_run) {
  std::vector<std::string> refused = {"sse9", "AVX2", " base"};
  if (widest_vector_set() < VECTORS_AVX512) refused.push_back("avx512");
  for (const std::string& name : refused) {
    const Output o = run_in(CASES[0], name);
    EXPECT_EQ(o.status, 2) << name;
    EXPECT_NE(o.errors.find("ATMOTAB_VECTORS=" + name + ": not an instruction set"),
              std::string::npos)
        << o.errors;
    EXPECT_EQ(o.listing, "") << name;
  }
}

}  // namespace
}  // namespace atmotab
