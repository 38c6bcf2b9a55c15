// Several decks in one process, for grids of models (tools/grid.py): each deck runs as a run of
// its own, from a new run state, with its own table files, listing and messages, as if it were
// the only deck of a process; the process start is paid once per batch instead of once per deck.
#pragma once

#include <iosfwd>

#include "driver/cli.h"

namespace atmotab {

// Runs the decks that LIST names, one line each: the deck's path, a tab, and a folder that
// receives fort.10 and fort.11 (the tables), listing and stderr. The edge and molecule lists of
// OPT go to every deck. After each deck one line on OUT, flushed: its exit status (that of a
// process running it alone), a tab and its folder; a failing deck does not stop the next one.
// Returns 0 when the list was read to its end, 2 when a line is not DECK<tab>FOLDER.
int run_batch(const Options& opt, std::istream& list, std::ostream& out, std::ostream& errors);

}  // namespace atmotab
