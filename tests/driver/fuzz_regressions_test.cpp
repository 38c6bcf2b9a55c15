// The inputs kept in fuzz/regressions/ (each one a crash or a broken invariant the fuzz harnesses
// found, after its fault was mended) replayed as the harnesses run them: every deck of run/ as a
// whole run on the edges 400, 500 and 600 nm, whose tables must hold sound values only, whatever
// the run ends with; every deck of cards/ through the card interpreter; every list of edges/
// through the edge-list reader. A failure or a sanitizer stop here is a fault come back.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "driver/edges.h"
#include "fortio/error.h"
#include "input/readin.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

std::vector<std::filesystem::path> inputs(const std::string& harness) {
  std::vector<std::filesystem::path> out;
  const std::filesystem::path dir =
      std::filesystem::path(ATMOTAB_SOURCE_DIR) / "fuzz" / "regressions" / harness;
  if (std::filesystem::is_directory(dir))
    for (const auto& e : std::filesystem::directory_iterator(dir))
      if (e.is_regular_file()) out.push_back(e.path());
  return out;
}

TEST(fuzz_regressions, whole_runs) {
  for (const auto& path : inputs("run")) {
    SCOPED_TRACE(path.filename().string());
    testing::TempDir dir;
    testing::write_file(dir / "edges", "400. 500. 600.\n0\n");
    std::istringstream cards(testing::read_file(path));
    std::ostringstream listing, errors;
    const int status = atmotab_main(
        {"--edges", (dir / "edges").string(), "--table", (dir / "t10").string(), "--maxima",
         (dir / "t11").string(), "--molecules", (dir / "molecules").string()},
        cards, listing, errors);
    EXPECT_TRUE(status >= 0 && status <= 2) << status << errors.str();
    EXPECT_EQ(testing::table_values_break(testing::read_file(dir / "t10"),
                                          testing::read_file(dir / "t11")),
              "");
  }
}

TEST(fuzz_regressions, card_interpreter_and_edge_list) {
  for (const auto& path : inputs("cards")) {
    SCOPED_TRACE(path.filename().string());
    std::istringstream cards(testing::read_file(path));
    std::ostringstream listing;
    auto run = make_run(listing);
    run->UNITS.cards = &cards;
    try {
      for (int model = 0; model < 100 && readin(*run); ++model) run->ITER.NUMITS = 1;
    } catch (const atmo_error& e) {
      EXPECT_TRUE(e.status() == 1 || e.status() == 2) << e.what();
    }
  }
  for (const auto& path : inputs("edges")) {
    SCOPED_TRACE(path.filename().string());
    std::istringstream edges(testing::read_file(path));
    std::ostringstream listing;
    auto run = make_run(listing);
    run->UNITS.edges = &edges;
    try {
      read_edge_list(*run);
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), 2) << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
