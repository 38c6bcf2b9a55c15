// Runs the model of a bundled deck with the molecular equilibrium on: the deck's cards are read up
// to its BEGIN card with MOLECULES ON and READ MOLECULES (the shipped list) added, the driver's
// settings for a model applied, and the populations brought up to date, as the driver's first
// population request does.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/state.h"
#include "driver/tabulate.h"
#include "input/readin.h"
#include "populations/pftables.h"
#include "populations/pops.h"

namespace atmotab::testing {

struct MoleculeRun {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Run& r = *run;
  std::istringstream cards;

  // DECK: a file under examples/; EXTRA: cards put before its BEGIN card.
  explicit MoleculeRun(const std::string& deck, const std::string& extra = "") {
    const std::string src = ATMOTAB_SOURCE_DIR;
    std::ifstream in(src + "/examples/" + deck);
    std::ostringstream text;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("BEGIN", 0) == 0) text << "MOLECULES ON\nREAD MOLECULES\n" << extra;
      text << line << "\n";
    }
    cards.str(text.str());
    r.UNITS.cards = &cards;
    r.UNITS.molecules_name = src + "/data/molecules.dat";
    load_pf_tables(r);
    r.FRESET.NUMNU = 1;  // the count the edge list gives the begin card's check
    readin(r);
    apply_model_overrides(r);
    r.ITER.NUMITS = 2;  // no population tables on the listing
    start_model(r);
    pops(r, 0, 11, nullptr);
  }

  // Index of the list entry with code CODE, 0 when not listed.
  int entry(double code) const {
    for (int m = 1; m <= r.XNMOL.NUMMOL; ++m)
      if (std::fabs(r.XNMOL.CODEMOL(m) - code) < 1e-3) return m;
    return 0;
  }
};

}  // namespace atmotab::testing
