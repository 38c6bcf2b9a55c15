#include "common/map1.h"

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

double at(const std::vector<double>& xo, const std::vector<double>& fo, double x) {
  double f = 0;
  map1(xo.data(), fo.data(), static_cast<int>(xo.size()), &x, &f, 1);
  return f;
}

// Points (0,2) (1,0) (2,0) (3,1) (4,0). By hand:
//   x < 2: straight lines through points 1,2 (2 - 2x) and 2,3 (0);
//   2 <= x < 3: backward (x-1)(x-2)/2 (curvature 1/2) blended with forward -(x-2)(x-4)
//     (curvature -1): the backward parabola weighs 1/(1/2+1) = 2/3, so f(2.5) = 2/3*0.375 +
//     1/3*0.75 = 0.5;
//   3 <= x < 4 (the last interval): backward parabola alone, -(x-2)(x-4), f(3.5) = 0.75;
//   x >= 4: straight line through points 4,5, 1 - (x-3).
const std::vector<double> XO = {0, 1, 2, 3, 4};
const std::vector<double> FO = {2, 0, 0, 1, 0};

TEST(map1, hand_computed_blend_and_end_rules) {
  struct Case {
    double x, f;
  };
  constexpr Case cases[] = {{-1, 4},    {0, 2}, {0.5, 1},    {1, 0}, {1.5, 0}, {2, 0},
                            {2.5, 0.5}, {3, 1}, {3.5, 0.75}, {4, 0}, {5, -1},  {7.5, -3.5}};
  for (const Case& c : cases) EXPECT_NEAR(at(XO, FO, c.x), c.f, 1e-14) << "x = " << c.x;
}

TEST(map1, one_call_over_increasing_abscissae_matches_single_calls) {
  // The second abscissa of an interval reuses its coefficients, the next interval reuses the
  // forward parabola as its backward one: neither may change a value.
  const std::vector<double> xn = {-1, 0.5, 0.7, 1.5, 2.2, 2.5, 2.9, 3.1, 3.5};
  std::vector<double> fn(xn.size());
  int last = map1(XO.data(), FO.data(), 5, xn.data(), fn.data(), static_cast<int>(xn.size()));
  for (size_t k = 0; k < xn.size(); ++k) EXPECT_EQ(fn[k], at(XO, FO, xn[k])) << "x = " << xn[k];
  EXPECT_EQ(last, 4);  // upper point of the last interval (5) minus 1
}

TEST(map1, beyond_last_point_is_the_straight_line_also_after_the_last_interval) {
  // With the last interval's backward parabola -(x-2)(x-4) in hand, an abscissa beyond the last
  // point still gets the straight line through the last two points, 1 - (x-3): -1 at 5, not the
  // parabola's -3. Alone, the same abscissa gets the same line.
  const std::vector<double> xn = {3.5, 5, 6};
  std::vector<double> fn(3);
  EXPECT_EQ(map1(XO.data(), FO.data(), 5, xn.data(), fn.data(), 3), 4);
  EXPECT_NEAR(fn[0], 0.75, 1e-14);
  EXPECT_NEAR(fn[1], -1, 1e-14);
  EXPECT_NEAR(fn[2], -2, 1e-14);
  EXPECT_NEAR(at(XO, FO, 5), -1, 1e-14);
}

TEST(map1, return_value_is_upper_point_minus_one) {
  struct Case {
    double x;
    int ret;
  };
  constexpr Case cases[] = {{-3, 1}, {0.5, 1}, {1.5, 2}, {2.5, 3}, {3.5, 4}, {4, 4}, {9, 4}};
  for (const Case& c : cases) {
    double f;
    EXPECT_EQ(map1(XO.data(), FO.data(), 5, &c.x, &f, 1), c.ret) << "x = " << c.x;
  }
  double f = 123;
  EXPECT_EQ(map1(XO.data(), FO.data(), 5, nullptr, &f, 0), -1);
  EXPECT_EQ(f, 123);  // nothing written
}

TEST(map1, flat_forward_parabola_takes_all_the_weight) {
  // Interval 3..4 of (0,0) (1,0) (2,0) (3,1) (4,2) (5,3): the forward parabola through (2,0) (3,1)
  // (4,2) is the straight line x - 2 with curvature 0, so it gets weight 1 and f(2.5) = 0.5
  // (the backward parabola alone would give 0.375).
  const std::vector<double> xo = {0, 1, 2, 3, 4, 5}, fo = {0, 0, 0, 1, 2, 3};
  EXPECT_NEAR(at(xo, fo, 2.5), 0.5, 1e-15);
}

TEST(map1, parabola_is_reproduced_beyond_the_linear_intervals) {
  // f = 3 - 2x + 0.5x^2 on an uneven grid: both parabolas of every interval from the third point
  // on are f itself, so the blend is exact there; the first two intervals are chords and beyond
  // the last point the chord of the last interval is continued.
  const std::vector<double> xo = {0.0, 0.3, 1.0, 1.4, 2.5, 3.1, 4.0, 5.2};
  auto f = [](double x) { return 3 - 2 * x + 0.5 * x * x; };
  std::vector<double> fo;
  for (double x : xo) fo.push_back(f(x));
  std::vector<double> xn, fn;
  for (double x = 1.0; x < 5.2; x += 0.05) xn.push_back(x);
  fn.resize(xn.size());
  map1(xo.data(), fo.data(), 8, xn.data(), fn.data(), static_cast<int>(xn.size()));
  for (size_t k = 0; k < xn.size(); ++k) EXPECT_NEAR(fn[k], f(xn[k]), 1e-12) << "x = " << xn[k];
  // Chord of the first interval at 0.15: (f(0) + f(0.3))/2 = (3 + 2.445)/2.
  EXPECT_NEAR(at(xo, fo, 0.15), 2.7225, 1e-14);
  // Second interval, chord through (0.3, 2.445) and (1, 1.5) at 0.65: 1.9725 (f itself: 1.91125).
  EXPECT_NEAR(at(xo, fo, 0.65), 1.9725, 1e-14);
  // Beyond 5.2: chord through (4, 3) and (5.2, 6.12), slope 2.6, at 6: 8.2 (f itself: 9.0).
  EXPECT_NEAR(at(xo, fo, 6.0), 8.2, 1e-12);
}

TEST(map1, tabulated_points_are_reproduced) {
  // At x = XOLD(L) the interval to its right is used; every node comes back.
  const std::vector<double> xo = {-2, -1.5, 0, 0.25, 1, 3, 3.5, 6, 7};
  std::vector<double> fo;
  for (double x : xo) fo.push_back(std::exp(0.3 * x) + std::sin(x));
  std::vector<double> fn(xo.size());
  map1(xo.data(), fo.data(), 9, xo.data(), fn.data(), 9);
  for (size_t k = 0; k < xo.size(); ++k) EXPECT_NEAR(fn[k], fo[k], 1e-13) << "x = " << xo[k];
}

TEST(map1, three_points_are_linear_everywhere) {
  // (1,1) (2,4) (4,16): chords 3x - 2 and 6x - 8, continued below and above.
  const std::vector<double> xo = {1, 2, 4}, fo = {1, 4, 16};
  struct Case {
    double x, f;
  };
  constexpr Case cases[] = {{0, -2}, {1.5, 2.5}, {2, 4}, {3, 10}, {4, 16}, {5, 22}};
  for (const Case& c : cases) EXPECT_EQ(at(xo, fo, c.x), c.f) << "x = " << c.x;
}

TEST(map1, two_points_give_the_straight_line) {
  const std::vector<double> xo = {1, 3}, fo = {2, 6};
  for (double x : {-1.0, 1.0, 2.0, 3.0, 10.0}) EXPECT_EQ(at(xo, fo, x), 2 * x) << "x = " << x;
}

TEST(map1, fewer_than_two_points_is_an_error) {
  const double xo = 1, fo = 1, x = 1;
  double f;
  EXPECT_THROW(map1(&xo, &fo, 1, &x, &f, 1), atmo_error);
}

// One call over many increasing abscissae (the re-gridding use): every interval rule and the
// reuse of the forward parabola as the next backward one, against a Fortran transcription.
TEST(map1, matches_a_fortran_transcription_to_the_bit) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
  struct Case {
    const char* what;
    int nold;
    std::vector<double> xnew;
  };
  std::vector<double> dense, sparse, tail;
  for (int k = 0; k <= 240; ++k) dense.push_back(-0.5 + 0.05 * k);  // several per interval
  for (int k = 0; k <= 12; ++k) sparse.push_back(0.2 + 1.37 * k);   // skips intervals
  for (int k = 0; k <= 6; ++k) tail.push_back(9.6 + 0.3 * k);       // last interval, then beyond
  const Case cases[] = {
      {"12 points, dense", 12, dense},
      {"12 points, sparse", 12, sparse},
      {"10 points, last interval then beyond", 10, tail},
      {"4 points", 4, dense},
      {"3 points", 3, dense},
  };
  for (const Case& c : cases) {
    std::vector<double> xo, fo;
    testing::irregular_table(c.nold, xo, fo);
    std::vector<double> fn(c.xnew.size());
    const int last = map1(xo.data(), fo.data(), c.nold, c.xnew.data(), fn.data(),
                          static_cast<int>(c.xnew.size()));

    testing::TempDir dir;
    testing::write_file(dir / "in.txt", std::to_string(c.nold) + " " +
                                            std::to_string(c.xnew.size()) + "\n" +
                                            testing::number_lines(xo) + testing::number_lines(fo) +
                                            testing::number_lines(c.xnew));
    const std::string program = R"(
program map1ref
  use interp
  implicit none
  integer :: nold, nnew, k, last
  double precision, allocatable :: xo(:), fo(:), xn(:), fn(:)
  open(1, file='in.txt', status='old')
  read(1, *) nold, nnew
  allocate(xo(nold), fo(nold), xn(nnew), fn(nnew))
  read(1, *) xo, fo, xn
  last = map1(xo, fo, nold, xn, fn, nnew)
  write(6, '(I6)') last
  write(6, '(ES26.17E3)') (fn(k), k = 1, nnew)
end program map1ref
)";
    std::istringstream ref(
        testing::run_fortran(dir, std::string(testing::FORTRAN_INTERP_MODULE) + program));
    int ref_last = 0;
    ref >> ref_last;
    EXPECT_EQ(last, ref_last) << c.what;
    for (std::size_t k = 0; k < fn.size(); ++k) {
      std::string v;
      ASSERT_TRUE(ref >> v) << c.what;
      EXPECT_EQ(fn[k], std::strtod(v.c_str(), nullptr)) << c.what << " x = " << c.xnew[k];
    }
  }
}

}  // namespace
}  // namespace atmotab
