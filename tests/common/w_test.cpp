#include "common/w.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "support/tools.h"

namespace atmotab {
namespace {

std::string printed(std::string_view label, const std::vector<double>& v, int n) {
  std::ostringstream out;
  auto run = make_run(out);
  w(*run, label, v.data(), n);
  return out.str();
}

TEST(w, hand_derived_lines) {
  // ('0',A6,1P,10E12.4,/,(7X,10E12.4)): '0' in column 1, the label in columns 2-7, then values
  // in fields of 12 with one digit before the point and four after.
  struct Case {
    const char* what;
    std::string label;
    std::vector<double> values;
    int n;
    std::string want;
  };
  std::vector<double> twelve;
  for (int i = 1; i <= 12; ++i) twelve.push_back(1.5 * i);
  const Case cases[] = {
      {"three values",
       "P     ",
       {1.0, -2.5e-3, 12345.678},
       3,
       "0P       1.0000E+00 -2.5000E-03  1.2346E+04\n"},
      {"depth index as one real", "J     ", {17.0}, 1, "0J       1.7000E+01\n"},
      {"zero", "ERROR ", {0.0}, 1, "0ERROR   0.0000E+00\n"},
      {"no values", "PTURB ", {}, 0, "0PTURB \n"},
      {"negative count", "PTURB ", {1.0, 2.0}, -2, "0PTURB \n"},
      {"short label padded", "J", {2.0}, 1, "0J       2.0000E+00\n"},
      {"long label cut", "PTOTALS", {2.0}, 1, "0PTOTAL  2.0000E+00\n"},
      {"second line indented", "ABSTD ", twelve, 12,
       "0ABSTD   1.5000E+00  3.0000E+00  4.5000E+00  6.0000E+00  7.5000E+00  9.0000E+00"
       "  1.0500E+01  1.2000E+01  1.3500E+01  1.5000E+01\n"
       "         1.6500E+01  1.8000E+01\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(printed(c.label, c.values, c.n), c.want) << c.what;
}

TEST(w, matches_gfortran) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
  // Values exact in binary (multiples of powers of two), so both sides print the same numbers;
  // 2^-400 needs a three-digit exponent.
  std::vector<double> a;
  for (int i = 1; i <= 25; ++i) a.push_back((i % 2 ? -1.0 : 1.0) * std::ldexp(1.5 * i, 4 * i - 50));
  const std::vector<double> tiny = {std::ldexp(1.0, -400), std::ldexp(-3.0, 300)};
  std::ostringstream out;
  auto run = make_run(out);
  w(*run, "PTOTAL", a.data(), 25);  // reversion to the indented group for the third line
  w(*run, "PRAD  ", a.data(), 10);  // exactly one full line
  w(*run, "ERROR ", a.data(), 0);
  w(*run, "TINY  ", tiny.data(), 2);

  const std::string program = R"(
program wref
  implicit none
  double precision :: a(25), tiny(2)
  integer :: i
  do i = 1, 25
    a(i) = merge(-1d0, 1d0, mod(i, 2) == 1) * (1.5d0 * i) * 2d0**(4 * i - 50)
  end do
  tiny(1) = 2d0**(-400)
  tiny(2) = -3d0 * 2d0**300
  write(6, 100) 'PTOTAL', (a(i), i = 1, 25)
  write(6, 100) 'PRAD  ', (a(i), i = 1, 10)
  write(6, 100) 'ERROR '
  write(6, 100) 'TINY  ', (tiny(i), i = 1, 2)
100 format('0',A6,1P,10E12.4,/,(7X,10E12.4))
end program wref
)";
  testing::TempDir dir;
  EXPECT_EQ(out.str(), testing::run_fortran(dir, program));
}

}  // namespace
}  // namespace atmotab
