// A bundled example model (examples/*.deck) made ready for kapp, as the driver makes a model
// before its frequency loop: for tests of the opacity sources on realistic structures.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "common/state.h"

namespace atmotab::testing {

// A run that has read examples/edges.txt (its frequency count) and the partition-function tables.
std::unique_ptr<Run> run_with_examples_edges(std::ostream& listing);

// Reads examples/DECK into RUN, applies the deck's overrides, starts a new model (every per-model
// value stale) and fills the element records. Adds a test failure and returns false when the deck
// holds no model.
bool read_example_model(Run& run, const std::string& deck);

// One model of examples/DECK in a run of its own.
struct BundledModel {
  std::ostringstream listing;
  std::unique_ptr<Run> run = run_with_examples_edges(listing);
  explicit BundledModel(const std::string& deck) { read_example_model(*run, deck); }
};

}  // namespace atmotab::testing
