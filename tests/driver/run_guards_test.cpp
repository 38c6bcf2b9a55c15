// A run against its surroundings: table files held by another run, closed standard descriptors,
// lines without an end, signals ignored at start, and a failure after a re-grid beyond the model.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "driver/atmotab.h"
#include "driver/signals.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::read_file;

// The cards of the cool example up to its BEGIN card.
const std::string COOL = [] {
  const std::string deck = read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/cool4000.deck");
  return deck.substr(0, deck.find("BEGIN"));
}();

struct Run1 : testing::Program {
  int models(const char* unit) {  // whole models in a table file, -1 after a partial record
    bool complete = false;
    const auto records = testing::unformatted_records(read_file(dir / unit), &complete);
    return complete ? testing::table_models(records) : -1;
  }
};

TEST(run_guards, files_held_or_shared_are_refused_and_left_alone) {
  for (const char* unit : {"t10", "t11"}) {  // another run holds the lock of one table file
    Run1 r;
    testing::write_file(r.dir / unit, "the other run's models");
    const int fd = ::open((r.dir / unit).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    r.run(COOL + "BEGIN\nEND\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.errors.str().find((r.dir / unit).string() + "' is locked: another run holds it"),
              std::string::npos)
        << r.errors.str();
    EXPECT_EQ(read_file(r.dir / unit), "the other run's models");
    ::close(fd);
  }
  Run1 r;  // --table naming standard error, where the messages go
  const int fd = ::open((r.dir / "t10").c_str(), O_WRONLY | O_CREAT, 0644);
  r.run("END\n", "400.\n500.\n0\n", {.errors_descriptor = fd});
  EXPECT_NE(r.errors.str().find("is standard error (the messages)"), std::string::npos)
      << r.errors.str();
  ::close(fd);
}

TEST(run_guards, closed_standard_descriptors_do_not_take_a_table_file) {
  struct Case {
    const char* redirect;
    int status, models;
  };
  for (const Case& c : {Case{">&-", 1, 1}, {"2>&-", 1, 1}, {"<&- >&- 2>&-", 2, 0}}) {
    Run1 r;
    testing::write_file(r.dir / "edges", "400.\n500.\n0\n");
    testing::write_file(r.dir / "deck", COOL + "BEGIN\nMOLECULES ON\nBEGIN\nEND\n");
    int status = -1;
    testing::run_command(std::string(ATMOTAB_BINARY) + " --edges " + (r.dir / "edges").string() +
                             " --table " + (r.dir / "t10").string() + " --maxima " +
                             (r.dir / "t11").string() + " <" + (r.dir / "deck").string() + " " +
                             c.redirect,
                         &status);
    EXPECT_EQ(status, c.status) << c.redirect;
    EXPECT_EQ(r.models("t10"), c.models) << c.redirect;  // no listing or message inside
  }
}

TEST(run_guards, help_that_cannot_be_written_is_an_io_error) {
  // The help and version texts reach standard output at the end only.
  for (const char* option : {" --help", " --version"}) {
    int status = -1;
    testing::run_command(std::string(ATMOTAB_BINARY) + option + " >/dev/full 2>/dev/null", &status);
    EXPECT_EQ(status, 2) << option;
  }
}

TEST(run_guards, a_line_without_an_end_is_bounded_and_named) {
  struct Case {
    std::string deck, edges;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"TEFF 5777.\n" + std::string(100000, 'A'), "400.\n0\n", 2,
       "control card 2: the line runs on for more than 4096"},
      {"TITLE " + std::string(4090, 'x') + "\nEND\n", "400.\n0\n", 0, ""},
      {"END\n", "400.\n500.\n" + std::string(5000, '0'), 2, "edge-list card 3: the line runs on"}};
  for (const Case& c : cases) {
    Run1 r;
    r.run(c.deck, c.edges);
    EXPECT_EQ(r.status, c.status) << r.errors.str();
    EXPECT_NE(r.errors.str().find(c.message), std::string::npos) << r.errors.str();
  }
}

TEST(run_guards, signals_ignored_at_start_stay_ignored) {
  std::ostringstream listing;
  auto run = make_run(listing);
  struct sigaction ignore {
  }, old{}, now{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGHUP, &ignore, &old);  // as nohup leaves it
  {
    StopSignalGuard guard(run->UNITS);
    ::sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_NE(now.sa_handler, SIG_DFL);
  }
  ::sigaction(SIGHUP, &old, nullptr);
}

TEST(run_guards, a_failure_after_a_regrid_beyond_the_model_names_the_regrid) {
  Run1 r;  // model 1 re-grids within the model; model 2 far above it, and fails
  r.run(COOL + "RHOX 3 0.1 1. 10.\nBEGIN\n" + COOL + "RHOX 3 1.E-9 1.E-8 1.E-7\nBEGIN\nEND\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.errors.str().find("\natmotab: the likely cause: control card 171: RHOX re-grid reaches 7.3 "
                          "decades of RHOX above the model's first depth"),
      std::string::npos)
      << r.errors.str();
  EXPECT_EQ(r.errors.str().find("card 85: RHOX"), std::string::npos) << r.errors.str();
}

}  // namespace
}  // namespace atmotab
