// What guards a run against its surroundings: closed standard descriptors, a table file that is
// standard error or held by another run, lines without an end, signals ignored by whoever started
// the run, and a failure after a re-grid beyond the model, which names the re-grid.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "driver/signals.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

constexpr const char* EDGES = "400.\n500.\n0\n";

// The solar example without its END card.
std::string sun_model() {
  std::string deck = read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/sun.deck");
  return deck.substr(0, deck.find("\nEND") + 1);
}

struct Outcome {
  int status;
  std::string errors;
};

Outcome run_in(const TempDir& dir, const std::string& deck, const ProcessHooks& hooks = {}) {
  std::istringstream cards(deck);
  std::ostringstream listing, errors;
  const int status = atmotab_main({"--edges", (dir / "edges").string(), "--table",
                                   (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                                  cards, listing, errors, hooks);
  return {status, errors.str()};
}

TEST(run_guards, a_table_file_held_by_another_run_is_left_alone) {
  // Another run holds the lock of one table file: this run stops at once, naming the file, and
  // neither truncates it nor writes to it.
  for (const char* held : {"t10", "t11"}) {
    TempDir dir;
    write_file(dir / "edges", EDGES);
    write_file(dir / held, "the other run's models");
    const int fd = ::open((dir / held).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const Outcome o = run_in(dir, sun_model() + "END\n");
    EXPECT_EQ(o.status, 2) << held;
    EXPECT_NE(o.errors.find("'" + (dir / held).string() + "' is locked: another run holds it"),
              std::string::npos)
        << o.errors;
    EXPECT_EQ(read_file(dir / held), "the other run's models");
    ::close(fd);
    // Once it is released, the run takes the file.
    EXPECT_EQ(run_in(dir, sun_model() + "END\n").status, 0) << held;
    EXPECT_GT(std::filesystem::file_size(dir / held), 1000u);
  }
}

TEST(run_guards, closed_standard_descriptors_do_not_receive_the_tables) {
  // With standard output or standard error closed, the table files would be opened on descriptor
  // 1 or 2, and the listing or the messages would be written into them.
  TempDir dir;
  write_file(dir / "edges", EDGES);
  write_file(dir / "good", sun_model() + "END\n");
  write_file(dir / "bad", sun_model() + "MOLECULES ON\nBEGIN\nEND\n");  // fails at model 2
  struct Case {
    const char* redirect;
    const char* deck;
    int status;
  };
  const Case cases[] = {
      {">&-", "good", 0}, {"2>&-", "bad", 1}, {">&- 2>&-", "bad", 1}, {"<&- >&-", "good", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.redirect);
    std::filesystem::remove(dir / "t10");
    std::filesystem::remove(dir / "t11");
    const std::string input =
        std::string(c.redirect).find("<&-") == 0 ? "" : " < '" + (dir / c.deck).string() + "'";
    int status = -1;
    testing::run_command("'" + std::string(ATMOTAB_BINARY) + "' --edges '" +
                             (dir / "edges").string() + "' --table '" + (dir / "t10").string() +
                             "' --maxima '" + (dir / "t11").string() + "'" + input + " " +
                             c.redirect,
                         &status);
    EXPECT_EQ(status, c.status);
    // Whole records only, one model each (the second model failed), or none without cards.
    bool complete = false;
    const auto records = testing::unformatted_records(read_file(dir / "t10"), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(testing::table_models(records), c.status == 2 ? 0 : 1);
  }
}

TEST(run_guards, a_table_file_that_is_standard_error_is_refused) {
  TempDir dir;
  write_file(dir / "edges", EDGES);
  write_file(dir / "messages", "");
  const int fd = ::open((dir / "messages").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  std::istringstream cards("END\n");
  std::ostringstream listing, errors;
  EXPECT_EQ(atmotab_main({"--edges", (dir / "edges").string(), "--table",
                          (dir / "messages").string(), "--maxima", (dir / "t11").string()},
                         cards, listing, errors, {.errors_descriptor = fd}),
            2);
  EXPECT_NE(errors.str().find("is standard error (the messages)"), std::string::npos)
      << errors.str();
  ::close(fd);
}

TEST(run_guards, a_line_without_an_end_is_bounded_and_named) {
  // A card file without line ends (< /dev/zero) would be read into memory without bound.
  TempDir dir;
  write_file(dir / "edges", EDGES);
  const std::string endless(100000, 'A');
  struct Case {
    std::string deck, edges;
    int status;
    const char* message_part;
  };
  const Case cases[] = {
      {"TEFF 5777.\n" + endless, EDGES, 1,
       "control card 2: the line runs on for more than 4096 characters"},
      {"TITLE " + std::string(4090, 'x') + "\nEND\n", EDGES, 0, ""},  // at the bound
      {"END\n", "400.\n500.\n" + std::string(5000, '0'), 2,
       "edge-list card 3: the line runs on for more than 4096"},
  };
  for (const Case& c : cases) {
    write_file(dir / "edges", c.edges);
    const Outcome o = run_in(dir, c.deck);
    EXPECT_EQ(o.status, c.status) << o.errors;
    EXPECT_NE(o.errors.find(c.message_part), std::string::npos) << o.errors;
  }
}

TEST(run_guards, signals_ignored_at_start_stay_ignored) {
  // nohup: SIGHUP ignored before the run; the guard takes the others and gives all back.
  std::ostringstream listing;
  auto run = make_run(listing);
  struct sigaction ignore {
  }, old_hup{}, old_term{}, now{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGHUP, &ignore, &old_hup), 0);
  ASSERT_EQ(::sigaction(SIGTERM, nullptr, &old_term), 0);
  {
    StopSignalGuard guard(run->UNITS);
    ::sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_NE(now.sa_handler, old_term.sa_handler);
  }
  ::sigaction(SIGHUP, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
  ::sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, old_term.sa_handler);
  ::sigaction(SIGHUP, &old_hup, nullptr);
}

TEST(run_guards, a_failure_after_a_regrid_beyond_the_model_names_the_regrid) {
  TempDir dir;
  write_file(dir / "edges", EDGES);
  std::string cool = read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/cool4000.deck");
  cool = cool.substr(0, cool.find("\nBEGIN") + 1);
  // The first model re-grids within the model; the second far above its surface, and fails.
  const Outcome o = run_in(
      dir, cool + "RHOX 3 0.1 1. 10.\nBEGIN\n" + cool + "RHOX 3 1.E-9 1.E-8 1.E-7\nBEGIN\nEND\n");
  EXPECT_EQ(o.status, 1) << o.errors;
  const std::size_t warning = o.errors.find(
      "atmotab: warning: control card 171: RHOX re-grid reaches 7.3 decades of RHOX above");
  const std::size_t cause =
      o.errors.find("\natmotab: the likely cause: control card 171: RHOX re-grid reaches 7.3");
  EXPECT_NE(warning, std::string::npos) << o.errors;
  EXPECT_NE(cause, std::string::npos) << o.errors;
  EXPECT_EQ(o.errors.find("control card 85: RHOX"), std::string::npos) << o.errors;
}

}  // namespace
}  // namespace atmotab
