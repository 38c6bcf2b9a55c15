// Fortran transcriptions of the numerical utilities, for tests that compare the C++ routines
// with gfortran to the bit: map1 with its blended parabolas, and parcoe/integ.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace atmotab::testing {

// Module interp: parab (the parabola through three points), map1 (integer function, the index
// of the upper point of the last interval minus 1; beyond the last point always the straight line
// through the last two points), and integ (subroutine integ(x, f, fint, n,
// start, a, b, c), returning also parcoe's coefficients A, B, C before integ replaces interval
// N-1 by the end line; N >= 4).
constexpr const char* FORTRAN_INTERP_MODULE = R"(
module interp
  implicit none
contains
  subroutine parab(x1, f1, x2, f2, x3, f3, a, b, c)
    double precision, intent(in) :: x1, f1, x2, f2, x3, f3
    double precision, intent(out) :: a, b, c
    double precision :: d
    d = (f2 - f1) / (x2 - x1)
    c = f3 / ((x3 - x2) * (x3 - x1)) + (f1 / (x3 - x1) - f2 / (x3 - x2)) / (x2 - x1)
    b = d - (x2 + x1) * c
    a = f1 + (x2 * c - d) * x1
  end subroutine parab

  integer function map1(xold, fold, nold, xnew, fnew, nnew)
    integer, intent(in) :: nold, nnew
    double precision, intent(in) :: xold(nold), fold(nold), xnew(nnew)
    double precision, intent(out) :: fnew(nnew)
    integer :: k, l, ll
    double precision :: x, a, b, c, ab, bb, cb, af, bf, cf, wt
    l = 2
    ll = 0
    a = 0; b = 0; c = 0; af = 0; bf = 0; cf = 0
    do k = 1, nnew
      x = xnew(k)
      do
        if (l > nold) exit
        if (x < xold(l)) exit
        l = l + 1
      end do
      if (l > nold) then
        l = nold
        if (ll /= nold + 1) then
          b = (fold(nold) - fold(nold - 1)) / (xold(nold) - xold(nold - 1))
          c = 0
          a = fold(nold) - xold(nold) * b
          ll = nold + 1
        end if
      else if (l == ll) then
        continue
      else if (l == 2 .or. l == 3) then
        b = (fold(l) - fold(l - 1)) / (xold(l) - xold(l - 1))
        c = 0
        a = fold(l) - xold(l) * b
        ll = l
      else
        if (l == 4 .or. l /= ll + 1) then
          call parab(xold(l-2), fold(l-2), xold(l-1), fold(l-1), xold(l), fold(l), ab, bb, cb)
        else
          ab = af; bb = bf; cb = cf
        end if
        if (l == nold) then
          a = ab; b = bb; c = cb
        else
          call parab(xold(l-1), fold(l-1), xold(l), fold(l), xold(l+1), fold(l+1), af, bf, cf)
          wt = 0
          if (cf /= 0) wt = abs(cf) / (abs(cb) + abs(cf))
          a = af + wt * (ab - af)
          b = bf + wt * (bb - bf)
          c = cf + wt * (cb - cf)
        end if
        ll = l
      end if
      fnew(k) = x * (x * c + b) + a
    end do
    map1 = min(ll, nold) - 1
  end function map1
  subroutine integ(x, f, fint, n, start, a, b, c)
    integer, intent(in) :: n
    double precision, intent(in) :: x(n), f(n), start
    double precision, intent(out) :: fint(n), a(n), b(n), c(n)
    double precision :: aa(n), bb(n), cc(n), wt, x0, x1
    integer :: i, j
    b(1) = (f(2) - f(1)) / (x(2) - x(1))
    c(1) = 0
    a(1) = f(1) - b(1) * x(1)
    b(n) = (f(n) - f(n - 1)) / (x(n) - x(n - 1))
    c(n) = 0
    a(n) = f(n) - b(n) * x(n)
    do j = 2, n - 1
      call parab(x(j - 1), f(j - 1), x(j), f(j), x(j + 1), f(j + 1), a(j), b(j), c(j))
    end do
    c(2) = 0
    b(2) = (f(3) - f(2)) / (x(3) - x(2))
    a(2) = f(2) - x(2) * b(2)
    c(3) = 0
    b(3) = (f(4) - f(3)) / (x(4) - x(3))
    a(3) = f(3) - x(3) * b(3)
    do j = 2, n - 1
      if (c(j) /= 0) then
        wt = abs(c(j + 1)) / (abs(c(j)) + abs(c(j + 1)))
        a(j) = a(j + 1) + wt * (a(j) - a(j + 1))
        b(j) = b(j + 1) + wt * (b(j) - b(j + 1))
        c(j) = c(j + 1) + wt * (c(j) - c(j + 1))
      end if
    end do
    aa = a
    bb = b
    cc = c
    aa(n - 1) = a(n)
    bb(n - 1) = b(n)
    cc(n - 1) = c(n)
    fint(1) = start
    do i = 1, n - 1
      x0 = x(i)
      x1 = x(i + 1)
      fint(i + 1) = fint(i) + (aa(i) + bb(i) * (x0 + x1) / 2 + cc(i) / 3 * ((x0 + x1) * x1 &
                    + x0**2)) * (x1 - x0)
    end do
  end subroutine integ
end module interp
)";

// An irregular table with changing curvature: x_i = i + 0.3 sin(1.7 i), f_i = exp(-x_i / 4)
// cos(1.3 x_i) + 0.01 x_i^2, i = 1..N.
inline void irregular_table(int n, std::vector<double>& x, std::vector<double>& f) {
  x.resize(static_cast<std::size_t>(n));
  f.resize(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) {
    const double xi = i + 0.3 * std::sin(1.7 * i);
    x[static_cast<std::size_t>(i - 1)] = xi;
    f[static_cast<std::size_t>(i - 1)] = std::exp(-xi / 4) * std::cos(1.3 * xi) + 0.01 * xi * xi;
  }
}

// Numbers one per line, %.17g (read back exactly by a Fortran list-directed read).
inline std::string number_lines(const std::vector<double>& v) {
  std::string s;
  char buf[40];
  for (double d : v) {
    std::snprintf(buf, sizeof buf, "%.17g\n", d);
    s += buf;
  }
  return s;
}

}  // namespace atmotab::testing
