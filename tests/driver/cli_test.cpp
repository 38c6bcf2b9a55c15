// The command line: what a mistyped option or a deck named as an argument is told.
#include "driver/cli.h"

#include <gtest/gtest.h>

#include <string>

#include "fortio/error.h"

namespace atmotab {
namespace {

TEST(parse_options, arguments_that_are_no_options_are_answered_with_what_to_write) {
  struct Case {
    const char* argument;
    const char* message;
  };
  const Case cases[] = {
      {"--edge", "unknown option '--edge': did you mean --edges?"},
      {"--tabel", "unknown option '--tabel': did you mean --table?"},
      {"--molecule=m.dat", "unknown option '--molecule=m.dat': did you mean --molecules?"},
      {"--maximum", "did you mean --maxima?"},
      {"-version", "did you mean --version?"},
      {"examples/sun.deck",
       "'examples/sun.deck' is not an option: the control cards (the deck) go on standard input, "
       "as in atmotab --edges EDGES < examples/sun.deck > listing"},
      {"--frequencies", "unknown argument '--frequencies' (try --help)"},
  };
  for (const Case& c : cases) {
    try {
      parse_options({c.argument});
      ADD_FAILURE() << c.argument << " was taken";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
