// The program as a function, so that tests can run it in-process: command line, units, the edge
// list and the per-model loop, with every failure turned into its exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace atmotab {

// Runs atmotab with ARGS (without the program name), the control cards on CARDS, the listing on
// LISTING and messages on ERRORS. With PROGRESS (the program sets it when standard error is a
// terminal) ERRORS also gets one line per finished model: its number, depths, frequencies and
// time. Returns the exit status.
int atmotab_main(const std::vector<std::string>& args, std::istream& cards, std::ostream& listing,
                 std::ostream& errors, bool progress = false);

}  // namespace atmotab
