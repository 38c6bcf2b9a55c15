// The progress line per finished model: written on request in-process, and by the program only
// when its standard error is a terminal (a pseudo-terminal here), never into a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

const std::string SOURCE = ATMOTAB_SOURCE_DIR;

// The solar example twice: two models of 56 depths on the 295 edges of the bundled list.
std::string two_suns() {
  std::string deck = read_file(SOURCE + "/examples/sun.deck");
  deck = deck.substr(0, deck.rfind("END"));
  return deck + deck + "END\n";
}

// The model numbers of the lines of TEXT that are progress lines of the solar model.
std::vector<int> progress_models(const std::string& text) {
  std::vector<int> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the terminal's CR LF
    int model = 0, nrhox = 0, numnu = 0, used = 0;
    double seconds = -1;
    const int got =
        std::sscanf(line.c_str(), "atmotab: model %d done: %d depths, %d frequencies, %lf s%n",
                    &model, &nrhox, &numnu, &seconds, &used);
    if (got == 4 && used == static_cast<int>(line.size()) && nrhox == 56 && numnu == 882 &&
        seconds >= 0 && line[line.size() - 5] == '.')  // seconds with two decimals
      out.push_back(model);
  }
  return out;
}

int run_in_process(const TempDir& dir, const std::string& deck, bool progress,
                   std::string& errors) {
  std::istringstream cards(deck);
  std::ostringstream listing, err;
  const int status = atmotab_main({"--edges", SOURCE + "/examples/edges.txt", "--table",
                                   (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                                  cards, listing, err, {.progress = progress});
  errors = err.str();
  return status;
}

TEST(progress, one_line_per_finished_model_on_request) {
  TempDir dir;
  std::string errors;
  EXPECT_EQ(run_in_process(dir, two_suns(), true, errors), 0);
  EXPECT_EQ(progress_models(errors), (std::vector<int>{1, 2})) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;

  EXPECT_EQ(run_in_process(dir, two_suns(), false, errors), 0);
  EXPECT_EQ(errors, "");

  // A model that fails gets no line; the message follows the line of the model before it.
  std::string deck = two_suns();
  deck.insert(deck.rfind("BEGIN"), "NOT A CARD\n");
  EXPECT_EQ(run_in_process(dir, deck, true, errors), 1);
  EXPECT_EQ(progress_models(errors), (std::vector<int>{1})) << errors;
  EXPECT_NE(errors.find("done: 56 depths, 882 frequencies, "), std::string::npos);
  EXPECT_GT(errors.find("NOT A CARD"), errors.find(" s\n")) << errors;
}

TEST(progress, only_when_standard_error_is_a_terminal) {
  TempDir dir;
  write_file(dir / "deck", two_suns());
  const std::string run = std::string("'") + ATMOTAB_BINARY + "' --edges '" + SOURCE +
                          "/examples/edges.txt' --table '" + (dir / "t10").string() +
                          "' --maxima '" + (dir / "t11").string() + "' < '" +
                          (dir / "deck").string() + "' > '" + (dir / "listing").string() + "'";

  // Standard error on a file, as in a batch job: no progress lines.
  int status = -1;
  testing::run_command(run + " 2> '" + (dir / "stderr").string() + "'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(read_file(dir / "stderr"), "");

  // Standard error on a terminal. The test keeps the terminal open itself, so that what the
  // program wrote stays readable after it has gone.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const int keep = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(keep, 0);
  testing::run_command(run + " 2> '" + terminal + "'", &status);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(fcntl(master, F_SETFL, O_NONBLOCK), 0);
  std::string seen;
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
    seen.append(buf, static_cast<size_t>(n));
  close(keep);
  close(master);
  EXPECT_EQ(progress_models(seen), (std::vector<int>{1, 2})) << seen;
}

}  // namespace
}  // namespace atmotab
