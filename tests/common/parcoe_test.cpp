#include "common/parcoe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fortio/error.h"
#include "input/fortran_reference.h"
#include "support/tools.h"

namespace atmotab {
namespace {

struct Coeffs {
  std::vector<double> a, b, c;
};

Coeffs coeffs(const std::vector<double>& x, const std::vector<double>& f) {
  const int n = static_cast<int>(x.size());
  Coeffs k{std::vector<double>(n), std::vector<double>(n), std::vector<double>(n)};
  parcoe(f.data(), x.data(), k.a.data(), k.b.data(), k.c.data(), n);
  return k;
}

std::vector<double> running_integral(const std::vector<double>& x, const std::vector<double>& f,
                                     double start) {
  std::vector<double> fint(x.size());
  integ(x.data(), f.data(), fint.data(), static_cast<int>(x.size()), start);
  return fint;
}

// Points (0,0) (1,0) (2,0) (3,1) (4,0) (5,0) (6,1). By hand:
//   end slots: line 0 through the first two points, line x - 5 through the last two;
//   intervals 2 and 3 are chords: 0 and x - 2;
//   interval 4: parabola -(x-2)(x-4) (C = -1) blended with that of interval 5,
//     (x-4)(x-5)/2 (C = 1/2), weight 1/3 on its own: 4 - x;
//   interval 5: (x-4)(x-5)/2 with the identical parabola of interval 6, unchanged;
//   interval 6: its parabola blended with the end line (C = 0), which takes all the weight.
const std::vector<double> X7 = {0, 1, 2, 3, 4, 5, 6};
const std::vector<double> F7 = {0, 0, 0, 1, 0, 0, 1};

TEST(parcoe, hand_computed_blend) {
  const Coeffs k = coeffs(X7, F7);
  const double a[] = {0, 0, -2, 4, 10, -5, -5};
  const double b[] = {0, 0, 1, -1, -4.5, 1, 1};
  const double c[] = {0, 0, 0, 0, 0.5, 0, 0};
  for (int j = 0; j < 7; ++j) {
    EXPECT_NEAR(k.a[j], a[j], 1e-14) << "A(" << j + 1 << ")";
    EXPECT_NEAR(k.b[j], b[j], 1e-14) << "B(" << j + 1 << ")";
    EXPECT_NEAR(k.c[j], c[j], 1e-15) << "C(" << j + 1 << ")";
  }
  // Each interval's function passes through both of its end points.
  for (int j = 0; j < 6; ++j)
    for (int e : {j, j + 1})
      EXPECT_NEAR(k.a[j] + k.b[j] * X7[e] + k.c[j] * X7[e] * X7[e], F7[e], 1e-13)
          << "interval " << j + 1 << " at x = " << X7[e];
}

TEST(parcoe, first_three_intervals_and_end_slots_are_linear) {
  // f = x^2 on 0..3: chords x, 3x - 2, 5x - 6; slot 4 repeats the last chord.
  const Coeffs k = coeffs({0, 1, 2, 3}, {0, 1, 4, 9});
  const double a[] = {0, -2, -6, -6}, b[] = {1, 3, 5, 5};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(k.a[j], a[j]) << "A(" << j + 1 << ")";
    EXPECT_EQ(k.b[j], b[j]) << "B(" << j + 1 << ")";
    EXPECT_EQ(k.c[j], 0.0) << "C(" << j + 1 << ")";
  }
}

TEST(parcoe, three_and_two_points) {
  // Three points (no fourth to read): everything linear, slot 3 the chord through points 2, 3.
  const Coeffs k3 = coeffs({0, 1, 3}, {0, 1, 9});
  EXPECT_EQ(k3.b, (std::vector<double>{1, 4, 4}));
  EXPECT_EQ(k3.a, (std::vector<double>{0, -3, -3}));
  EXPECT_EQ(k3.c, (std::vector<double>{0, 0, 0}));
  const Coeffs k2 = coeffs({1, 3}, {2, 6});
  EXPECT_EQ(k2.b, (std::vector<double>{2, 2}));
  EXPECT_EQ(k2.a, (std::vector<double>{0, 0}));
  const double x = 1, f = 1;
  double a, b, c;
  EXPECT_THROW(parcoe(&f, &x, &a, &b, &c, 1), atmo_error);
}

TEST(integ, hand_computed_running_integral) {
  // Interval integrals of the coefficients above: 0, 0, 1/2, 1/2, -1/12 (of (x-4)(x-5)/2), 1/2.
  const std::vector<double> fint = running_integral(X7, F7, 10);
  const double want[] = {10, 10, 10, 10.5, 11, 11 - 1.0 / 12, 11.5 - 1.0 / 12};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(fint[i], want[i], 1e-13) << "FINT(" << i + 1 << ")";
}

TEST(integ, parabola_exact_except_on_the_linear_intervals) {
  // f = x^2 on 0..6: intervals 4 and 5 integrate the parabola exactly; intervals 1, 2, 3 and the
  // last one are chords, each over-estimating by h^3/6 = 1/6. FINT = x^3/3 plus the excess so far.
  const std::vector<double> x = {0, 1, 2, 3, 4, 5, 6};
  std::vector<double> f;
  for (double v : x) f.push_back(v * v);
  const std::vector<double> fint = running_integral(x, f, 0);
  const double want[] = {0, 0.5, 3, 9.5, 64.0 / 3 + 0.5, 125.0 / 3 + 0.5, 72 + 4.0 / 6};
  for (int i = 0; i < 7; ++i) EXPECT_NEAR(fint[i], want[i], 1e-12) << "FINT(" << i + 1 << ")";
}

TEST(integ, constant_and_linear_functions) {
  // F = 1 on an uneven grid: FINT(i) = START + X(i) - X(1).
  const std::vector<double> xu = {1e-4, 3e-4, 1e-3, 4e-3, 0.02, 0.1, 0.3, 1.5, 7, 20};
  const std::vector<double> ones(xu.size(), 1.0);
  const std::vector<double> f1 = running_integral(xu, ones, 0.25);
  for (size_t i = 0; i < xu.size(); ++i)
    EXPECT_NEAR(f1[i], 0.25 + xu[i] - xu[0], 1e-14 * (1 + xu[i])) << "i = " << i + 1;
  // F = x on an equally spaced grid: exact, (x^2 - x1^2)/2.
  std::vector<double> xe;
  for (int i = 0; i < 12; ++i) xe.push_back(-1.5 + 0.5 * i);
  const std::vector<double> fx = running_integral(xe, xe, -2);
  for (size_t i = 0; i < xe.size(); ++i)
    EXPECT_NEAR(fx[i], -2 + (xe[i] * xe[i] - 2.25) / 2, 1e-13) << "i = " << i + 1;
}

TEST(integ, short_tables) {
  // Two and three points: trapezoids. One point: the start value alone.
  EXPECT_EQ(running_integral({1, 3}, {2, 4}, 5), (std::vector<double>{5, 11}));
  EXPECT_EQ(running_integral({0, 1, 3}, {0, 1, 9}, 1), (std::vector<double>{1, 1.5, 11.5}));
  EXPECT_EQ(running_integral({2}, {7}, 4), (std::vector<double>{4}));
  double fint = 0;
  EXPECT_THROW(integ(nullptr, nullptr, &fint, 0, 1.0), atmo_error);
}

TEST(integ, mass_column_integral_as_the_radiation_pressure_uses_it) {
  // RAD constant g on a logarithmic RHOX grid with START = RAD(1) RHOX(1): PRAD(j) = g RHOX(j).
  std::vector<double> rhox, rad;
  for (int j = 0; j < 40; ++j) {
    rhox.push_back(1e-3 * std::pow(10.0, 0.1 * j));
    rad.push_back(2.5);
  }
  const std::vector<double> prad = running_integral(rhox, rad, rad[0] * rhox[0]);
  for (size_t j = 0; j < rhox.size(); ++j)
    EXPECT_NEAR(prad[j], 2.5 * rhox[j], 1e-12 * rhox[j]) << "j = " << j + 1;
}

// The coefficients of parcoe and the running integral of integ against a Fortran transcription,
// to the bit, on irregular tables of 4, 7 and 72 points.
TEST(integ, matches_a_fortran_transcription_to_the_bit) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
  const std::string program = R"(
program integref
  use interp
  implicit none
  integer :: n, i
  double precision :: start
  double precision, allocatable :: x(:), f(:), fint(:), a(:), b(:), c(:)
  open(1, file='in.txt', status='old')
  read(1, *) n, start
  allocate(x(n), f(n), fint(n), a(n), b(n), c(n))
  read(1, *) x, f
  call integ(x, f, fint, n, start, a, b, c)
  write(6, '(4ES26.17E3)') (a(i), b(i), c(i), fint(i), i = 1, n)
end program integref
)";
  for (int n : {4, 7, 72}) {
    std::vector<double> x, f;
    testing::irregular_table(n, x, f);
    const double start = 0.125 * n;
    const Coeffs k = coeffs(x, f);
    const std::vector<double> fint = running_integral(x, f, start);

    testing::TempDir dir;
    char head[64];
    std::snprintf(head, sizeof head, "%d %.17g\n", n, start);
    testing::write_file(dir / "in.txt", head + testing::number_lines(x) + testing::number_lines(f));
    std::istringstream ref(
        testing::run_fortran(dir, std::string(testing::FORTRAN_INTERP_MODULE) + program));
    for (int i = 0; i < n; ++i) {
      std::string v[4];
      ASSERT_TRUE(ref >> v[0] >> v[1] >> v[2] >> v[3]) << n;
      const std::size_t u = static_cast<std::size_t>(i);
      EXPECT_EQ(k.a[u], std::strtod(v[0].c_str(), nullptr)) << "N = " << n << " A(" << i + 1 << ")";
      EXPECT_EQ(k.b[u], std::strtod(v[1].c_str(), nullptr)) << "N = " << n << " B(" << i + 1 << ")";
      EXPECT_EQ(k.c[u], std::strtod(v[2].c_str(), nullptr)) << "N = " << n << " C(" << i + 1 << ")";
      EXPECT_EQ(fint[u], std::strtod(v[3].c_str(), nullptr))
          << "N = " << n << " FINT(" << i + 1 << ")";
    }
  }
}

}  // namespace
}  // namespace atmotab
