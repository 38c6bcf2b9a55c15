// A whole run in-process on an arbitrary deck, with the edges 400, 500 and 600 nm (six
// frequencies) and the table files in a directory of its own. Invariants: the exit status is 0, 1
// or 2, and whatever the run ends with, the table files hold whole models whose every value is
// finite, with non-negative populations, densities and maxima (tests/support/records.h, read
// independently of the program's own checks).
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "driver/atmotab.h"
#include "fuzz_support.h"
#include "support/records.h"

using namespace atmotab;

namespace {

std::string read_all(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return {};
  std::string s;
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  std::fclose(f);
  return s;
}

// A directory for this process's files, made once and removed when the process ends (a plain
// array, which outlives every handler run at exit).
char dir_name[] = "/tmp/atmotab-fuzz-XXXXXX";

const std::string work_dir() {
  static const bool made = [] {
    if (::mkdtemp(dir_name) == nullptr) std::abort();
    std::FILE* e = std::fopen((std::string(dir_name) + "/edges").c_str(), "w");
    std::fputs("400. 500. 600.\n0\n", e);
    std::fclose(e);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(dir_name, ec);
    });
    return true;
  }();
  (void)made;
  return dir_name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string dir = work_dir();
  std::istringstream cards(fuzz::text_of(data, size));
  std::ostringstream listing, errors;
  const int status = atmotab_main({"--edges", dir + "/edges", "--table", dir + "/t10", "--maxima",
                                   dir + "/t11", "--molecules", dir + "/molecules"},
                                  cards, listing, errors);
  if (status < 0 || status > 2)
    fuzz::broken("exit status " + std::to_string(status) + ": " + errors.str());
  const std::string bad =
      testing::table_values_break(read_all(dir + "/t10"), read_all(dir + "/t11"));
  if (!bad.empty()) fuzz::broken("tables after status " + std::to_string(status) + ": " + bad);
  return 0;
}
