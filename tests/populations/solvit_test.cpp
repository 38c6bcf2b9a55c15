// solvit: solutions checked against hand values and residuals, bit for bit against a plain
// Gauss-Jordan elimination with full pivoting written out here, and singular systems refused.
#include "populations/solvit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace atmotab {
namespace {

constexpr int LDA = SOLVIT_MAXN;

// Gauss-Jordan elimination with full pivoting as a textbook writes it: every pass searches the
// whole remaining matrix (rows outer, columns inner, the first strict maximum kept), swaps the
// pivot row into place and eliminates the pivot column from every other row over all columns.
bool plain_gauss_jordan(std::vector<double>& a, int n, std::vector<double>& b) {
  auto A = [&](int i, int k) -> double& { return a[static_cast<std::size_t>(i * LDA + k)]; };
  std::vector<int> ipiv(static_cast<std::size_t>(n), 0);
  for (int pass = 0; pass < n; ++pass) {
    double big = 0;
    int irow = -1, icol = -1;
    for (int i = 0; i < n; ++i) {
      if (ipiv[static_cast<std::size_t>(i)] == 1) continue;
      for (int k = 0; k < n; ++k) {
        if (ipiv[static_cast<std::size_t>(k)] == 1) continue;
        if (std::fabs(A(i, k)) > big) {
          big = std::fabs(A(i, k));
          irow = i;
          icol = k;
        }
      }
    }
    if (icol < 0) return false;
    ++ipiv[static_cast<std::size_t>(icol)];
    if (irow != icol) {
      for (int c = 0; c < n; ++c) std::swap(A(irow, c), A(icol, c));
      std::swap(b[static_cast<std::size_t>(irow)], b[static_cast<std::size_t>(icol)]);
    }
    const double p = A(icol, icol);
    A(icol, icol) = 1;
    for (int c = 0; c < n; ++c) A(icol, c) /= p;
    b[static_cast<std::size_t>(icol)] /= p;
    for (int l = 0; l < n; ++l) {
      if (l == icol) continue;
      const double f = A(l, icol);
      A(l, icol) = 0;
      for (int c = 0; c < n; ++c) A(l, c) -= f * A(icol, c);
      b[static_cast<std::size_t>(l)] -= f * b[static_cast<std::size_t>(icol)];
    }
  }
  return true;
}

bool run_solvit(std::vector<double> a, int n, std::vector<double>& b) {
  int ipiv[SOLVIT_MAXN];
  return solvit(a.data(), LDA, n, b.data(), ipiv);
}

TEST(solvit, hand_solved_system_needing_a_row_exchange) {
  // x + y + z = 6, 2y + 5z = -4, 2x + 5y - z = 27: x = 5, y = 3, z = -2. A(1,1) = 1 is not the
  // largest element, and A(2,1) = 0.
  std::vector<double> a(LDA * LDA, 0.0);
  const double m[3][3] = {{1, 1, 1}, {0, 2, 5}, {2, 5, -1}};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) a[static_cast<std::size_t>(i * LDA + k)] = m[i][k];
  std::vector<double> b = {6, -4, 27};
  ASSERT_TRUE(run_solvit(a, 3, b));
  EXPECT_NEAR(b[0], 5, 1e-14);
  EXPECT_NEAR(b[1], 3, 1e-14);
  EXPECT_NEAR(b[2], -2, 1e-14);
}

TEST(solvit, same_bits_as_the_plain_elimination) {
  // Random systems of every size, with entries spread over many decades (as the molecular
  // Jacobian's are), sparse ones, and small-integer ones full of equal values, where the order of
  // the pivot search decides between ties.
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> u(-1, 1), decade(-12, 12);
  std::uniform_int_distribution<int> small(-2, 2), coin(0, 3);
  int cases = 0;
  for (int kind = 0; kind < 3; ++kind) {
    for (int n = 1; n <= SOLVIT_MAXN; ++n) {
      for (int rep = 0; rep < 6; ++rep) {
        std::vector<double> a(LDA * LDA, 0.0), b(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
          for (int k = 0; k < n; ++k) {
            double v = 0;
            if (kind == 0) v = u(rng) * std::pow(10.0, decade(rng));
            if (kind == 1) v = coin(rng) == 0 || i == k ? u(rng) * std::pow(10.0, decade(rng)) : 0;
            if (kind == 2) v = small(rng);
            a[static_cast<std::size_t>(i * LDA + k)] = v;
          }
          b[static_cast<std::size_t>(i)] = kind == 2 ? small(rng) : u(rng);
        }
        std::vector<double> a2 = a, b2 = b;
        const bool ok_plain = plain_gauss_jordan(a2, n, b2);
        std::vector<double> b3 = b;
        const bool ok = run_solvit(a, n, b3);
        ASSERT_EQ(ok, ok_plain) << "kind " << kind << " n " << n;
        if (!ok) continue;
        ++cases;
        for (int i = 0; i < n; ++i)
          ASSERT_EQ(std::memcmp(&b3[static_cast<std::size_t>(i)], &b2[static_cast<std::size_t>(i)],
                                sizeof(double)),
                    0)
              << "kind " << kind << " n " << n << " x(" << i << ") " << b3[i] << " vs " << b2[i];
      }
    }
  }
  EXPECT_GT(cases, 400);
}

TEST(solvit, solution_satisfies_the_system) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  const int n = SOLVIT_MAXN;
  std::vector<double> a(LDA * LDA), x(n), b(n, 0.0);
  for (double& v : a) v = u(rng);
  for (int i = 0; i < n; ++i) a[static_cast<std::size_t>(i * LDA + i)] += 8;  // well conditioned
  for (double& v : x) v = u(rng);
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < n; ++k)
      b[static_cast<std::size_t>(i)] +=
          a[static_cast<std::size_t>(i * LDA + k)] * x[static_cast<std::size_t>(k)];
  ASSERT_TRUE(run_solvit(a, n, b));
  for (int i = 0; i < n; ++i) EXPECT_NEAR(b[static_cast<std::size_t>(i)], x[i], 1e-13);
}

TEST(solvit, singular_systems_are_refused_without_dividing_by_zero) {
  struct Case {
    const char* what;
    std::vector<double> rows;  // 3 x 3
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"zero matrix", {0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"zero row", {1, 2, 3, 0, 0, 0, 4, 5, 6}},
      {"zero column", {1, 0, 3, 2, 0, 6, 4, 0, 5}},
      {"dependent rows", {1, 2, 3, 2, 4, 6, 1, 1, 1}},
      {"NaN everywhere", {nan, nan, nan, nan, nan, nan, nan, nan, nan}},
  };
  for (const Case& c : cases) {
    std::vector<double> a(LDA * LDA, 0.0);
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 3; ++k)
        a[static_cast<std::size_t>(i * LDA + k)] = c.rows[static_cast<std::size_t>(i * 3 + k)];
    std::vector<double> b = {1, 2, 3};
    EXPECT_FALSE(run_solvit(a, 3, b)) << c.what;
    for (double v : b) EXPECT_FALSE(std::isinf(v)) << c.what;
  }
}

}  // namespace
}  // namespace atmotab
