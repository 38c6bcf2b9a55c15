// map1 — interpolation with blended parabolas, linear in the first two intervals and beyond the
// last point. The forward parabola of one interval is the backward parabola of the next, so on
// increasing abscissae it is kept and reused rather than recomputed.
#include "common/map1.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "fortio/error.h"

namespace atmotab {

namespace {

struct Parabola {
  double a = 0, b = 0, c = 0;  // f(x) = a + b x + c x^2
};

// The parabola through (x1,f1), (x2,f2), (x3,f3), in this arithmetic order.
Parabola map1_parabola(double x1, double f1, double x2, double f2, double x3, double f3) {
  Parabola p;
  const double d = (f2 - f1) / (x2 - x1);
  p.c = f3 / ((x3 - x2) * (x3 - x1)) + (f1 / (x3 - x1) - f2 / (x3 - x2)) / (x2 - x1);
  p.b = d - (x2 + x1) * p.c;
  p.a = f1 + (x2 * p.c - d) * x1;
  return p;
}

// The straight line through (x1,f1) and (x2,f2), anchored at the second point.
Parabola map1_line(double x1, double f1, double x2, double f2) {
  Parabola p;
  p.b = (f2 - f1) / (x2 - x1);
  p.c = 0;
  p.a = f2 - x2 * p.b;
  return p;
}

}  // namespace

int map1(const double* xold, const double* fold, int nold, const double* xnew, double* fnew,
         int nnew) {
  if (nold < 2) {
    throw atmo_error(
        EXIT_FAILURE_REPORTED, "map1",
        "interpolation needs at least 2 tabulated points, got " + std::to_string(nold));
  }
  auto X = [xold](int i) { return xold[i - 1]; };
  auto F = [fold](int i) { return fold[i - 1]; };

  int l = 2;                    // upper point of the current interval
  int ll = 0;                   // interval whose coefficients are in hand (0: none yet)
  const int beyond = nold + 1;  // LL of the straight line beyond the last point
  Parabola cur, bac, fwd;
  for (int k = 1; k <= nnew; ++k) {
    const double x = xnew[k - 1];
    while (l <= nold && x >= X(l)) ++l;
    if (l > nold) {
      // At or beyond the last point: always the straight line through the last two points, also
      // right after an abscissa in the last interval, whose backward parabola would bend away
      // (a re-grid deeper than the model would follow it to negative temperatures). BEYOND marks
      // the line as the coefficients in hand.
      l = nold;
      if (ll != beyond) {
        cur = map1_line(X(nold - 1), F(nold - 1), X(nold), F(nold));
        ll = beyond;
      }
    } else if (l == ll) {
      // Same interval as the previous abscissa.
    } else if (l == 2 || l == 3) {
      cur = map1_line(X(l - 1), F(l - 1), X(l), F(l));
      ll = l;
    } else {
      if (l == 4 || l != ll + 1) {
        bac = map1_parabola(X(l - 2), F(l - 2), X(l - 1), F(l - 1), X(l), F(l));
      } else {
        bac = fwd;  // the forward parabola of the previous interval
      }
      if (l == nold) {
        cur = bac;
      } else {
        fwd = map1_parabola(X(l - 1), F(l - 1), X(l), F(l), X(l + 1), F(l + 1));
        double wt = 0;
        if (fwd.c != 0) wt = std::abs(fwd.c) / (std::abs(bac.c) + std::abs(fwd.c));
        cur.a = fwd.a + wt * (bac.a - fwd.a);
        cur.b = fwd.b + wt * (bac.b - fwd.b);
        cur.c = fwd.c + wt * (bac.c - fwd.c);
      }
      ll = l;
    }
    fnew[k - 1] = x * (x * cur.c + cur.b) + cur.a;
  }
  return std::min(ll, nold) - 1;  // the line beyond the last point belongs to the last interval
}

}  // namespace atmotab
