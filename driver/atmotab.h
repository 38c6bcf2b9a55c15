// The program as a function, so that tests can run it in-process: command line, units, the edge
// list and the per-model loop, with every failure turned into its exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace atmotab {

// How the run meets the process it runs in; main() sets them, a test running the program
// in-process what it tests.
struct ProcessHooks {
  int cards_descriptor = -1;    // the descriptor behind CARDS, refused when it is a directory
  int listing_descriptor = -1;  // the descriptor behind LISTING
  int errors_descriptor = -1;   // the descriptor behind ERRORS
                                // (a table file may be none of these three)
  bool stop_signals = false;    // SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGXCPU: tables back to
                                // the last finished model, exit 128 + signal (signals.h)
  bool progress = false;        // one line per finished model on ERRORS (main: when standard
                                // error is a terminal)
  std::string vectors = {};     // instruction set of the vectorised depth loops: "base", "avx2"
                                // or "avx512" (main: the environment variable ATMOTAB_VECTORS);
                                // empty: the widest the processor runs
};

// Runs atmotab with ARGS (without the program name), the control cards on CARDS, the listing on
// LISTING and messages on ERRORS. With HOOKS.progress ERRORS also gets one line per finished
// model: its number, depths, frequencies and time. Returns the exit status.
int atmotab_main(const std::vector<std::string>& args, std::istream& cards, std::ostream& listing,
                 std::ostream& errors, const ProcessHooks& hooks = {});

}  // namespace atmotab
