// Command line of atmotab: the file names of the numbered units and the informational options.
#pragma once

#include <string>
#include <vector>

namespace atmotab {

struct Options {
  std::string edges = "fort.17";     // unit 17, the edge list (must exist)
  std::string molecules = "fort.2";  // unit 2, the molecule list (read when a card asks for it)
  std::string table = "fort.10";     // unit 10, per-depth tables (emptied when the run starts)
  std::string maxima = "fort.11";    // unit 11, line-strength maxima (emptied when the run starts)
  std::string hdf5;                  // the HDF5 output (driver/hdf5_output.h); none when empty
  bool help = false;
  bool version = false;
};

// Parses ARGS (without the program name). Throws atmo_error (status 2) on an unknown option, a
// missing file name, or --hdf5 in a program built without HDF5.
Options parse_options(const std::vector<std::string>& args);

// The text of --help.
std::string usage_text();

}  // namespace atmotab
