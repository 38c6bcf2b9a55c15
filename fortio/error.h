// The one exception type of atmotab. Routines below driver/ never exit: they print what the listing
// must show and throw; driver/ catches, repeats the message on standard error and exits with the
// status carried here. It sits in fortio/, the lowest layer, because the Fortran I/O emulation
// reports malformed formats and failed writes with it too.
#pragma once

#include <stdexcept>
#include <string>

namespace atmotab {

// Exit statuses of a run.
constexpr int EXIT_NORMAL = 0;  // end card reached
constexpr int EXIT_FAILURE_REPORTED =
    1;                      // a failure reported on the listing (bad card, no convergence, ...)
constexpr int EXIT_IO = 2;  // file, usage or I/O error (missing file, end of input, write failure)

class atmo_error : public std::runtime_error {
 public:
  atmo_error(int status, std::string where, const std::string& message, int column = 0)
      : std::runtime_error(message), status_(status), where_(std::move(where)), column_(column) {}
  int status() const { return status_; }
  // The routine that failed, e.g. "freeff".
  const std::string& where() const { return where_; }
  // The column of the card being read where the fault stands, 0 when not known.
  int column() const { return column_; }

 private:
  int status_;
  std::string where_;
  int column_;
};

}  // namespace atmotab
