// atmotab: entry point. Control cards on standard input, the listing on standard output.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "driver/files.h"
#include "fortio/error.h"
#include "fortio/fd_output.h"

int main(int argc, char** argv) {
  // A closed standard descriptor would be taken by the first table file opened, which would then
  // receive the listing or the messages.
  if (!atmotab::open_missing_standard_descriptors()) return atmotab::EXIT_IO;
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  // A line per model only for someone watching a terminal; logs of batch runs stay as they were.
  const bool progress = isatty(STDERR_FILENO) == 1;
  // The listing goes to standard output in 64 KB writes.
  atmotab::FdOutputBuffer listing_buffer(STDOUT_FILENO);
  std::ostream listing(&listing_buffer);
  // The vectorised loops in an instruction set other than the widest, to compare the versions.
  const char* vectors = std::getenv("ATMOTAB_VECTORS");
  int status = atmotab::atmotab_main(args, std::cin, listing, std::cerr,
                                     {.cards_descriptor = STDIN_FILENO,
                                      .listing_descriptor = STDOUT_FILENO,
                                      .errors_descriptor = STDERR_FILENO,
                                      .stop_signals = true,
                                      .progress = progress,
                                      .vectors = vectors != nullptr ? vectors : ""});
  // The listing is closed here, not at exit: a file system that writes back only when a file is
  // closed (NFS and the like) reports a failed write there, and so does a full disk for the help
  // text, which is not otherwise flushed before the end.
  listing.flush();
  const bool written = static_cast<bool>(listing);
  if ((::close(STDOUT_FILENO) != 0 || !written) && status == atmotab::EXIT_NORMAL) {
    std::cerr << "atmotab: cannot write the listing (standard output)\n";
    status = atmotab::EXIT_IO;
  }
  return status;
}
