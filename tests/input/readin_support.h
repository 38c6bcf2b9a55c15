// Test helper: a fresh run with a deck of control cards on unit 5 and the listing in a string.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "common/state.h"
#include "fortio/error.h"
#include "input/readin.h"

namespace atmotab::testing {

struct DeckRun {
  std::ostringstream listing;
  std::ostringstream errors;  // the warnings
  std::unique_ptr<Run> run = make_run(listing);
  std::istringstream cards;
  int status = -1;      // status of the atmo_error readin threw, -1 when it returned
  std::string message;  // its message
  bool model = false;   // what readin returned

  // NUMNU = 3 stands for the driver's frequency set of two edges.
  explicit DeckRun(const std::string& deck, int numnu = 3) : cards(deck) {
    run->UNITS.cards = &cards;
    run->UNITS.errors = &errors;
    run->FRESET.NUMNU = numnu;
  }
  // One call of readin; its failure is caught and recorded.
  DeckRun& read() {
    try {
      model = readin(*run);
    } catch (const atmo_error& e) {
      status = e.status();
      message = e.what();
    }
    return *this;
  }
};

// The cards that complete a one-depth model and its begin card (T = 5000 K, P = 1e5 dyn/cm2,
// XNE = 1e12 cm-3); a deck under test puts its own cards before them.
inline std::string complete_with(const std::string& cards) {
  return "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\n" + cards +
         "READ DECK 1\n 1.0 5000. 1.0E5 1.0E12 0.1 0.0 2.0E5\nBEGIN\n";
}

}  // namespace atmotab::testing
