#include "driver/batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "fortio/error.h"
#include "fortio/fd_output.h"

namespace atmotab {
namespace {

// One deck into FOLDER; returns its exit status.
int run_deck(const Options& opt, const std::string& deck, const std::string& folder) {
  std::ofstream errors(folder + "/stderr", std::ios::binary | std::ios::trunc);
  if (!errors) return EXIT_IO;
  std::ifstream cards(deck, std::ios::binary);
  if (!cards) {
    errors << "atmotab: cannot open the deck '" << deck << "': " << std::strerror(errno) << "\n";
    return EXIT_IO;
  }
  const std::string listing_path = folder + "/listing";
  const int fd = ::open(listing_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    errors << "atmotab: cannot create the listing '" << listing_path
           << "': " << std::strerror(errno) << "\n";
    return EXIT_IO;
  }
  // Every input file option of the command line goes to each deck; the tables are the deck's.
  std::vector<std::string> args = {"--edges",     opt.edges,          "--molecules",
                                   opt.molecules, "--table",          folder + "/fort.10",
                                   "--maxima",    folder + "/fort.11"};
  // --hdf5 NAME with --batch: each deck's HDF5 file is NAME in its folder.
  if (!opt.hdf5.empty()) args.insert(args.end(), {"--hdf5", folder + "/" + opt.hdf5});
  int status;
  {
    FdOutputBuffer buffer(fd);
    std::ostream listing(&buffer);
    status = atmotab_main(args, cards, listing, errors,
                          {.listing_descriptor = fd, .stop_signals = true});
  }
  if (::close(fd) != 0 && status == EXIT_NORMAL) {
    errors << "atmotab: cannot write the listing '" << listing_path << "'\n";
    status = EXIT_IO;
  }
  return status;
}

}  // namespace

int run_batch(const Options& opt, std::istream& list, std::ostream& out, std::ostream& errors) {
  std::string line;
  for (int n = 1; std::getline(list, line); ++n) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) {
      errors << "atmotab: --batch line " << n << ": not DECK<tab>FOLDER: '" << line << "'\n";
      return EXIT_IO;
    }
    const std::string folder = line.substr(tab + 1);
    const int status = run_deck(opt, line.substr(0, tab), folder);
    out << status << '\t' << folder << '\n' << std::flush;
  }
  return EXIT_NORMAL;
}

}  // namespace atmotab
