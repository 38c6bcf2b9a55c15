#include "support/bundled_model.h"

#include <gtest/gtest.h>

#include <fstream>

#include "driver/edges.h"
#include "driver/tabulate.h"
#include "input/readin.h"
#include "populations/pftables.h"

namespace atmotab::testing {

namespace {
const std::string EXAMPLES = std::string(ATMOTAB_SOURCE_DIR) + "/examples/";
}

std::unique_ptr<Run> run_with_examples_edges(std::ostream& listing) {
  auto run = make_run(listing);
  std::ifstream edges(EXAMPLES + "edges.txt");
  EXPECT_TRUE(edges) << EXAMPLES << "edges.txt";
  run->UNITS.edges = &edges;
  read_edge_list(*run);
  run->UNITS.edges = nullptr;
  load_pf_tables(*run);
  return run;
}

bool read_example_model(Run& run, const std::string& deck) {
  std::ifstream cards(EXAMPLES + deck);
  run.UNITS.cards = &cards;
  const bool read = readin(run);
  run.UNITS.cards = nullptr;
  if (!read) {
    ADD_FAILURE() << "no model in " << EXAMPLES << deck;
    return false;
  }
  apply_model_overrides(run);
  start_model(run);
  fill_element_records(run);
  return true;
}

}  // namespace atmotab::testing
