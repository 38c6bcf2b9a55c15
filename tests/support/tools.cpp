#include "support/tools.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace atmotab::testing {

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("atmotab-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) return;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool have_gfortran() {
  return std::string(ATMOTAB_GFORTRAN).find("NOTFOUND") == std::string::npos &&
         !std::string(ATMOTAB_GFORTRAN).empty();
}

std::string run_command(const std::string& command, int* exit_status) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  std::string out;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  const int status = pclose(pipe);
  if (exit_status) *exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::filesystem::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

void Program::run(const std::string& deck, const std::string& edges, const ProcessHooks& hooks,
                  const std::vector<std::string>& more) {
  write_file(dir / "edges", edges);
  std::istringstream cards(deck);
  std::vector<std::string> args = {"--edges",  (dir / "edges").string(),
                                   "--table",  (dir / "t10").string(),
                                   "--maxima", (dir / "t11").string()};
  args.insert(args.end(), more.begin(), more.end());
  status = atmotab_main(args, cards, listing, errors, hooks);
}

std::string run_fortran(const TempDir& dir, const std::string& source) {
  write_file(dir / "prog.f90", source);
  const std::string cd = "cd '" + dir.path().string() + "' && ";
  int status = 0;
  const std::string log =
      run_command(cd + "'" + ATMOTAB_GFORTRAN + "' -O0 -o prog prog.f90 2>&1", &status);
  if (status != 0) throw std::runtime_error("gfortran failed:\n" + log);
  std::string out = run_command(cd + "./prog", &status);
  if (status != 0)
    throw std::runtime_error("Fortran program failed with status " + std::to_string(status));
  return out;
}

}  // namespace atmotab::testing
