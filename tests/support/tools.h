// Helpers for tests that compare against reference tools (gfortran, python3) or run the program.
#pragma once

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"

namespace atmotab::testing {

// A fresh empty directory under the system temporary directory, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// True when gfortran was found at configure time.
bool have_gfortran();

// Compiles the free-form Fortran program SOURCE in DIR and runs it there (working directory DIR),
// returning its standard output. Throws std::runtime_error when it does not compile or fails.
std::string run_fortran(const TempDir& dir, const std::string& source);

// Runs a shell command, returns its standard output; EXIT_STATUS receives the exit status.
std::string run_command(const std::string& command, int* exit_status = nullptr);

// Whole file as a string.
std::string read_file(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const std::string& text);

// A whole run of the program in a directory of its own: the edge list EDGES in DIR/edges, the
// tables in DIR/t10 and DIR/t11, the control cards DECK, then the arguments MORE. Made empty, it
// runs when run() is called (after a test has put files in DIR).
struct Program {
  TempDir dir;
  std::ostringstream listing, errors;
  int status = -1;
  Program() = default;
  explicit Program(const std::string& deck, const std::string& edges = "400.\n500.\n0\n") {
    run(deck, edges);
  }
  void run(const std::string& deck, const std::string& edges = "400.\n500.\n0\n",
           const ProcessHooks& hooks = {}, const std::vector<std::string>& more = {});
  std::string table() const { return read_file(dir / "t10"); }
  std::string maxima() const { return read_file(dir / "t11"); }
};

}  // namespace atmotab::testing
