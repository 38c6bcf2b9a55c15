// Integer powers of the opacity fits, evaluated one way everywhere so that results are fixed to the
// bit: binary exponentiation from the lowest bit up, the order a Fortran run-time library uses for
// X**N with an integer N (x^6 = x^2 x^4, x^7 = (x x^2) x^4).
#pragma once

namespace atmotab {

// x^n for n >= 0 [dimensionless]; ipow(x, 0) = 1.
constexpr double ipow(double x, int n) {
  double y = (n & 1) ? x : 1.0;
  for (n >>= 1; n != 0; n >>= 1) {
    x *= x;
    if (n & 1) y *= x;
  }
  return y;
}

}  // namespace atmotab
