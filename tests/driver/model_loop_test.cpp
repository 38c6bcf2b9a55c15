// The program reading models one after another: a whole deck through atmotab_main with an edge
// list in a temporary directory; exit statuses of the end card, a bad card and end of input; the
// listing of each model written out before the next model is read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "driver/atmotab.h"
#include "fortio/fd_output.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::Program;
using testing::TempDir;
using testing::write_file;

constexpr const char* SOLAR_DECK =
    "TEFF   5777.  GRAVITY 4.43770 LTE\n"
    "TITLE  SOLAR MODEL  VTURB=2 KM/S\n"
    " OPACITY IFOP 1 1 1 1 1 1 1 1 1 1 1 1 1 0 1 0 0 0 0 0\n"
    " CONVECTION ON   1.25 TURBULENCE OFF  0.00  0.00  0.00  0.00\n"
    "ABUNDANCE SCALE   1.00000 ABUNDANCE CHANGE 1 0.92140 2 0.07843\n"
    " ABUNDANCE CHANGE  3 -10.94  4 -10.64  5  -9.49  6  -3.52  7  -4.12  8  -3.21\n"
    "ITERATIONS 1\n"
    "READ DECK6 2 RHOX,T,P,XNE,ABROSS,ACCRAD,VTURB\n"
    " 5.12541006E-04   3719.6 1.609E-01 1.109E+09 4.944E-04 1.518E-01 2.000E+05\n"
    " 6.78541006E-04   3750.6 2.609E-01 1.509E+09 5.944E-04 1.518E-01 2.000E+05\n"
    "PRADK 1.4878E+00\n"
    "BEGIN                    ITERATION  15 COMPLETED\n";

TEST(model_loop, two_models_then_end) {
  // The second model changes TEFF only; the driver has set one iteration and NUMNU = 1.
  Program p(std::string(SOLAR_DECK) + "TEFF 6000.\nBEGIN\nEND\n");
  EXPECT_EQ(p.status, 0) << p.errors.str();
  const std::string out = p.listing.str();
  // Header of the first model; the second keeps the first's log g (the deck's settings stay in
  // force; only the table headers carry T(1) and 0) with its own TEFF card's 6000.
  EXPECT_NE(out.find("\n TEFF  5777.   LOG G  4.4377   LTE \n"), std::string::npos);
  EXPECT_NE(out.find("\n TEFF  6000.   LOG G  4.4377   LTE \n"), std::string::npos);
  EXPECT_NE(out.find("0FREQID          NUMNU   3   NULO   0   NUHI   0\n"), std::string::npos);
  EXPECT_NE(out.find("0FREQID          NUMNU   1   NULO   1   NUHI   1\n"), std::string::npos);
  EXPECT_NE(out.find("\n HOT 1 ELECTRON 1 H2RAY 1 HLINES 0 LINES 0 "), std::string::npos);
  EXPECT_NE(out.find("\n  2 6.785410E-04   3750.6 2.609E-01 1.509E+09 5.944E-04 1.030E-04 "
                     "2.000E+05   1.0000"),
            std::string::npos);
}

TEST(model_loop, exit_statuses) {
  struct Case {
    std::string deck;
    int status;
    const char* error_part;
  };
  const Case cases[] = {
      {"END\n", 0, ""},
      {std::string(SOLAR_DECK), 2, "end of the control cards"},
      {"TEFF 5777. FOO\n", 1, "I DO NOT UNDERSTAND"},
      // The molecule list of unit 2 (fort.2 here: no --molecules option) does not exist.
      {std::string(SOLAR_DECK) + "READ MOLECULES\n", 2, "cannot open the molecule list 'fort.2'"},
  };
  for (const Case& c : cases) {
    Program p(c.deck);
    EXPECT_EQ(p.status, c.status) << c.deck;
    EXPECT_NE(p.errors.str().find(c.error_part), std::string::npos) << p.errors.str();
  }
}

// Records in an unformatted file, -1 when it ends in a partial record.
int count_records(const std::string& bytes) {
  bool complete = false;
  const auto records = testing::unformatted_records(bytes, &complete);
  return complete ? static_cast<int>(records.size()) : -1;
}

TEST(model_loop, a_failed_model_leaves_only_the_finished_models_in_the_tables) {
  // The second model asks for the molecular equilibrium without a molecule list, which fails at
  // its first population call, after its three header records were written; the tables keep the
  // first model only.
  Program p(std::string(SOLAR_DECK) + "MOLECULES ON\nBEGIN\nEND\n");
  EXPECT_EQ(p.status, 1) << p.errors.str();
  EXPECT_EQ(count_records(testing::read_file(p.dir / "t10")), 4 + 2);
  EXPECT_EQ(count_records(testing::read_file(p.dir / "t11")), 4);
  // Failing in the first model leaves both files empty.
  Program q(std::string("MOLECULES ON\n") + SOLAR_DECK + "END\n");
  EXPECT_EQ(q.status, 1) << q.errors.str();
  EXPECT_EQ(std::filesystem::file_size(q.dir / "t10"), 0u);
  EXPECT_EQ(std::filesystem::file_size(q.dir / "t11"), 0u);
}

TEST(model_loop, a_listing_that_cannot_be_written_is_an_io_error) {
  TempDir dir;
  write_file(dir / "edges", "400.\n500.\n0\n");
  std::istringstream cards(std::string(SOLAR_DECK) + "END\n");
  std::ostream unwritable(nullptr);  // every write fails, as on a full disk
  std::ostringstream errors;
  EXPECT_EQ(atmotab_main({"--edges", (dir / "edges").string(), "--table",
                          (dir / "fort.10").string(), "--maxima", (dir / "fort.11").string()},
                         cards, unwritable, errors),
            2);
  EXPECT_NE(errors.str().find("cannot write the listing"), std::string::npos) << errors.str();
}

// Cards in two parts. When the program first reads from the second, AT_SECOND runs; the first
// part must end at a line end, so that the reader has asked for nothing beyond it before.
class TwoPartCards : public std::streambuf {
 public:
  TwoPartCards(std::string first, std::string second, std::function<void()> at_second)
      : first_(std::move(first)), second_(std::move(second)), at_second_(std::move(at_second)) {
    setg(first_.data(), first_.data(), first_.data() + first_.size());
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (in_second_) return traits_type::eof();
    in_second_ = true;
    at_second_();
    setg(second_.data(), second_.data(), second_.data() + second_.size());
    return second_.empty() ? traits_type::eof() : traits_type::to_int_type(*gptr());
  }

 private:
  std::string first_, second_;
  std::function<void()> at_second_;
  bool in_second_ = false;
};

TEST(model_loop, the_listing_of_a_model_is_in_its_file_before_the_next_model_is_read) {
  // The listing through the program's 64 KB buffer into a file: while the cards of the second
  // model are read, the whole listing of the first (to its closing page line) is in the file,
  // although it fills less than the buffer.
  TempDir dir;
  write_file(dir / "edges", "400.\n500.\n0\n");
  const std::string path = (dir / "listing").string();
  std::string at_second;
  TwoPartCards parts(SOLAR_DECK, "TEFF 6000.\nBEGIN\nEND\n",
                     [&] { at_second = testing::read_file(path); });
  std::istream cards(&parts);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::ostringstream errors;
  int status = -1;
  {
    FdOutputBuffer buffer(fd);
    std::ostream listing(&buffer);
    status = atmotab_main({"--edges", (dir / "edges").string(), "--table",
                           (dir / "fort.10").string(), "--maxima", (dir / "fort.11").string()},
                          cards, listing, errors);
  }
  ::close(fd);
  EXPECT_EQ(status, 0) << errors.str();
  const std::string whole = testing::read_file(path);
  ASSERT_GT(at_second.size(), 1000u);
  EXPECT_LT(at_second.size(), FdOutputBuffer::SIZE);
  EXPECT_EQ(at_second.substr(at_second.size() - 2), "1\n");     // the model's closing page line
  EXPECT_EQ(whole.compare(0, at_second.size(), at_second), 0);  // then the second model follows
  EXPECT_EQ(at_second.find("TEFF  6000."), std::string::npos);
  EXPECT_NE(whole.find("TEFF  6000.", at_second.size()), std::string::npos);
}

TEST(model_loop, file_arguments_that_cannot_work) {
  TempDir dir;
  write_file(dir / "edges", "400.\n500.\n0\n");
  struct Case {
    std::vector<std::string> args;
    const char* error_part;
  };
  const std::string edges = (dir / "edges").string(), t10 = (dir / "t10").string();
  const Case cases[] = {
      {{"--edges", dir.path().string()}, "Is a directory"},
      {{"--edges", edges, "--table", t10, "--maxima", t10}, "same file"},
      {{"--edges", edges, "--table", t10, "--maxima", (dir / "." / "t10").string()}, "same file"},
  };
  for (const Case& c : cases) {
    std::istringstream cards("END\n");
    SCOPED_TRACE(c.args.back());
    std::ostringstream listing, errors;
    EXPECT_EQ(atmotab_main(c.args, cards, listing, errors), 2);
    EXPECT_NE(errors.str().find(c.error_part), std::string::npos) << errors.str();
  }
  // A run that cannot open an input file leaves the tables of an earlier run as they were.
  const std::string t11 = (dir / "t11").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--edges", (dir / "missing").string()},
        std::vector<std::string>{"--edges", edges, "--molecules", (dir / "missing").string()}}) {
    write_file(dir / "t10", "earlier tables");
    write_file(dir / "t11", "earlier maxima");
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--table", t10, "--maxima", t11});
    std::istringstream cards("END\n");
    std::ostringstream listing, errors;
    EXPECT_EQ(atmotab_main(all, cards, listing, errors), 2);
    EXPECT_NE(errors.str().find("(unit"), std::string::npos) << errors.str();
    EXPECT_EQ(testing::read_file(dir / "t10"), "earlier tables") << args.back();
    EXPECT_EQ(testing::read_file(dir / "t11"), "earlier maxima") << args.back();
  }
  // A device may take both tables.
  std::istringstream cards("END\n");
  std::ostringstream listing, errors;
  EXPECT_EQ(atmotab_main({"--edges", edges, "--table", "/dev/null", "--maxima", "/dev/null"}, cards,
                         listing, errors),
            0)
      << errors.str();
}

TEST(model_loop, cards_from_a_terminal_are_announced) {
  // A terminal on standard input: the program says on standard error what it waits for.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  for (const int descriptor : {terminal, -1}) {
    Program p;
    p.run("END\n", "400.\n500.\n0\n", {.cards_descriptor = descriptor});
    EXPECT_EQ(p.status, 0) << p.errors.str();
    EXPECT_EQ(
        p.errors.str().find("waiting for control cards on standard input") != std::string::npos,
        descriptor == terminal)
        << p.errors.str();
  }
  close(terminal);
  close(master);
}

}  // namespace
}  // namespace atmotab
