// Formatted input of real fields: hand values of the Fortran rules, and gfortran reading the same
// fields (bit for bit, or refusing them alike).
#include "fortio/fortran_read.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/tools.h"

namespace atmotab {
namespace {

struct Field {
  const char* text;
  int w, d;
};

// Fields of the molecule list's layout (F18.2, F7.3, E11.4) and the forms the runtime accepts.
const std::vector<Field> FIELDS = {
    {"            101.00", 18, 2},
    {"               101", 18, 2},
    {"          106.01  ", 18, 2},
    {"  1 0 1           ", 18, 2},
    {"       60808.00   ", 18, 2},
    {"                  ", 18, 2},
    {"  4.478", 7, 3},
    {" -7.175", 7, 3},
    {"   4478", 7, 3},
    {" 4.6338E+01", 11, 4},
    {"-2.9660E-06", 11, 4},
    {" 1.5-3     ", 11, 4},
    {" 1.5D+2    ", 11, 4},
    {"+.5        ", 11, 4},
    {"-          ", 11, 4},
    {".          ", 11, 4},
    {"1e5        ", 11, 4},
    {"12345      ", 11, 4},
    {"1.5 E 3    ", 11, 4},
    {"3.3q2      ", 11, 4},
    {"1.0E-400   ", 11, 4},
    {"1.5E       ", 11, 4},
    {"1+         ", 11, 4},
    {"abc        ", 11, 4},
    {"1.2.3      ", 11, 4},
    {"--1        ", 11, 4},
};
// Deliberately refused although the runtime reads them: NaN, and values beyond the double range
// (read as Infinity) - no card of the molecule list may hold either.

TEST(fortran_read, hand_values_of_the_input_rules) {
  struct Case {
    const char* text;
    int d;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"            101.00", 2, true, 101.0},  // explicit point: d does not apply
      {"               101", 2, true, 1.01},   // no point: the last two digits are the fraction
      {"  1 0 1           ", 2, true, 1.01},   // blanks ignored
      {"                  ", 2, true, 0.0},    // a blank field is 0
      {"   4478", 3, true, 4.478},
      {" 1.5-3     ", 4, true, 1.5e-3},  // a sign starts the exponent
      {" 1.5D+2    ", 4, true, 150.0},
      {"1e5        ", 4, true, 10.0},  // 0.0001 x 10^5
      {"12345      ", 4, true, 1.2345},
      {"-2.9660E-06", 4, true, -2.966e-6},
      {"1.5E       ", 4, false, 0},  // an exponent letter needs digits
      {"1+         ", 4, false, 0},
      {"abc        ", 4, false, 0},
      {"1.2.3      ", 4, false, 0},
      {"-          ", 4, true, 0.0},  // a lone sign is +0, as the runtime reads it
      {"NaN        ", 4, false, 0},   // accepted by the runtime, refused here
      {"1.0E+400   ", 4, false, 0},   // beyond the double range
  };
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_EQ(fortran_read_real(c.text, c.d, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    } else {
      EXPECT_EQ(v, -999) << c.text << ": value touched";
    }
  }
}

TEST(fortran_read, same_values_as_gfortran) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  testing::TempDir dir;
  std::ostringstream src;
  src << "program t\n  implicit none\n  double precision :: x\n  integer :: ios\n"
      << "  character(len=32) :: s\n";
  for (const Field& f : FIELDS) {
    std::string text(f.text);
    src << "  s = '" << text << "'\n"
        << "  read (s(1:" << f.w << "), '(F" << f.w << "." << f.d << ")', iostat=ios) x\n"
        << "  if (ios == 0) then\n    write (*, '(I20)') transfer(x, 0_8)\n  else\n"
        << "    write (*, '(A)') 'ERROR'\n  end if\n";
  }
  src << "end program\n";
  std::istringstream out(testing::run_fortran(dir, src.str()));
  for (const Field& f : FIELDS) {
    std::string line;
    ASSERT_TRUE(std::getline(out, line));
    double v = 0;
    const bool ok = fortran_read_real(f.text, f.d, &v);
    if (line.find("ERROR") != std::string::npos) {
      EXPECT_FALSE(ok) << "'" << f.text << "': gfortran refuses it";
      continue;
    }
    ASSERT_TRUE(ok) << "'" << f.text << "': gfortran reads it";
    // Bit for bit, except the sign of a zero (the runtime gives "--1" a negative one).
    const std::int64_t want_bits = std::stoll(line);
    double want;
    std::memcpy(&want, &want_bits, sizeof want);
    if (want == 0 && v == 0) continue;
    std::int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    EXPECT_EQ(bits, want_bits) << "'" << f.text << "' read as " << v << ", gfortran " << want;
  }
}

}  // namespace
}  // namespace atmotab
