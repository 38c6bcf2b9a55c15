// parcoe, integ — piecewise parabolic coefficients and the running integral built on them.
#include "common/parcoe.h"

#include <cmath>
#include <string>
#include <vector>

#include "fortio/error.h"

namespace atmotab {

void parcoe(const double* f, const double* x, double* a, double* b, double* c, int n) {
  if (n < 2) {
    throw atmo_error(EXIT_FAILURE_REPORTED, "parcoe",
                     "coefficients need at least 2 tabulated points, got " + std::to_string(n));
  }
  auto F = [f](int i) { return f[i - 1]; };
  auto X = [x](int i) { return x[i - 1]; };
  auto A = [a](int i) -> double& { return a[i - 1]; };
  auto B = [b](int i) -> double& { return b[i - 1]; };
  auto C = [c](int i) -> double& { return c[i - 1]; };

  // End intervals: straight lines through the first two and the last two points.
  B(1) = (F(2) - F(1)) / (X(2) - X(1));
  C(1) = 0;
  A(1) = F(1) - B(1) * X(1);
  B(n) = (F(n) - F(n - 1)) / (X(n) - X(n - 1));
  C(n) = 0;
  A(n) = F(n) - B(n) * X(n);
  if (n == 2) return;

  // Parabola through points j-1, j, j+1 for every inner point.
  for (int j = 2; j <= n - 1; ++j) {
    const double x1 = X(j - 1), x2 = X(j), x3 = X(j + 1);
    const double f1 = F(j - 1), f2 = F(j), f3 = F(j + 1);
    const double d = (f2 - f1) / (x2 - x1);
    C(j) = f3 / ((x3 - x2) * (x3 - x1)) + (f1 / (x3 - x1) - f2 / (x3 - x2)) / (x2 - x1);
    B(j) = d - (x2 + x1) * C(j);
    A(j) = f1 + (x2 * C(j) - d) * x1;
  }

  // Intervals 2 and 3 are straight lines. With three points slot 3 is the end slot and keeps
  // the line through points 2 and 3 set above.
  C(2) = 0;
  B(2) = (F(3) - F(2)) / (X(3) - X(2));
  A(2) = F(2) - X(2) * B(2);
  if (n >= 4) {
    C(3) = 0;
    B(3) = (F(4) - F(3)) / (X(4) - X(3));
    A(3) = F(3) - X(3) * B(3);
  }

  // Blend each interval with the (not yet blended) next one; the flatter parabola gets the
  // larger weight.
  for (int j = 2; j <= n - 1; ++j) {
    if (C(j) == 0) continue;
    const double wt = std::abs(C(j + 1)) / (std::abs(C(j)) + std::abs(C(j + 1)));
    A(j) = A(j + 1) + wt * (A(j) - A(j + 1));
    B(j) = B(j + 1) + wt * (B(j) - B(j + 1));
    C(j) = C(j + 1) + wt * (C(j) - C(j + 1));
  }
}

void integ(const double* x, const double* f, double* fint, int n, double start) {
  if (n < 1) {
    throw atmo_error(EXIT_FAILURE_REPORTED, "integ",
                     "integration needs at least 1 tabulated point, got " + std::to_string(n));
  }
  fint[0] = start;
  if (n == 1) return;

  std::vector<double> a(n), b(n), c(n);
  parcoe(f, x, a.data(), b.data(), c.data(), n);
  // Interval N-1 takes the straight line through the last two points.
  a[n - 2] = a[n - 1];
  b[n - 2] = b[n - 1];
  c[n - 2] = c[n - 1];

  for (int i = 1; i <= n - 1; ++i) {
    const double x0 = x[i - 1], x1 = x[i];
    const double ai = a[i - 1], bi = b[i - 1], ci = c[i - 1];
    // Exact integral of ai + bi x + ci x^2 from x0 to x1.
    fint[i] =
        fint[i - 1] + (ai + bi * (x0 + x1) / 2 + ci / 3 * ((x0 + x1) * x1 + x0 * x0)) * (x1 - x0);
  }
}

}  // namespace atmotab
