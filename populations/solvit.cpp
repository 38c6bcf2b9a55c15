// solvit — Gauss-Jordan elimination with full pivoting (Press et al. 2007, Numerical Recipes,
// 3rd ed., section 2.1): each pass takes the largest remaining element as pivot, moves its row to
// the pivot's column position, normalises it and clears the pivot column from every other row.
// The right-hand side is carried along, so it holds the solution at the end without reordering.
// Only the solution is wanted, so the columns already pivoted (which would build the inverse) are
// not updated: the columns not yet pivoted are kept together at the front of every row (a column
// permutation), and each row remembers its largest element there, renewed while the row is
// updated, so that the pivot search looks at one number per row. The pivots, their order and every
// operation on the remaining columns and the right-hand side are those of the full elimination.
// Rows with a zero multiplier are skipped: subtracting 0 times a finite row changes nothing.
#include "populations/solvit.h"

#include <cmath>
#include <utility>

namespace atmotab {
namespace {

// The first maximum of a row in logical order: the largest |value|, and among equal ones the
// smallest logical column. Kept in two interleaved halves of the row (even and odd physical
// positions), whose running maxima are independent, then merged; a NaN is never taken, as in a
// sequential search with ">".
struct RowMax {
  double v0 = 0, v1 = 0;
  int g0 = SOLVIT_MAXN, g1 = SOLVIT_MAXN;

  static void take(double a, int l, double& v, int& g) {
    const bool better = a > v || (a == v && l < g);
    v = better ? a : v;
    g = better ? l : g;
  }
  void even(double x, int l) { take(std::fabs(x), l, v0, g0); }
  void odd(double x, int l) { take(std::fabs(x), l, v1, g1); }
  // The row's largest |value| and its logical column (-1 when every element is 0).
  void result(double& big, int& arg) const {
    const bool second = v1 > v0 || (v1 == v0 && g1 < g0);
    big = second ? v1 : v0;
    arg = big > 0 ? (second ? g1 : g0) : -1;
  }
};

void row_max(const double* row, int m, const int* logical, double& big, int& arg) {
  RowMax r;
  int c = 0;
  for (; c + 1 < m; c += 2) {
    r.even(row[c], logical[c]);
    r.odd(row[c + 1], logical[c + 1]);
  }
  if (c < m) r.even(row[c], logical[c]);
  r.result(big, arg);
}

}  // namespace

bool solvit(double* a, int lda, int n, double* b, int* ipiv) {
  int logical[SOLVIT_MAXN];  // logical column at each physical position
  int phys[SOLVIT_MAXN];     // physical position of each logical column
  double rmax[SOLVIT_MAXN];  // per row: largest |A| over the remaining columns
  int rarg[SOLVIT_MAXN];     // ... and the first logical column holding it
  auto row = [a, lda](int i) { return a + static_cast<long>(i) * lda; };
  for (int i = 0; i < n; ++i) {
    ipiv[i] = 0;
    logical[i] = phys[i] = i;
  }
  int m = n;  // remaining columns: physical 0 .. m-1
  for (int i = 0; i < n; ++i) row_max(row(i), m, logical, rmax[i], rarg[i]);
  for (int pass = 0; pass < n; ++pass) {
    // Pivot: the first row (in order) whose largest element beats every earlier row's.
    double big = 0;
    int irow = -1, icol = -1;
    for (int i = 0; i < n; ++i) {
      if (ipiv[i] == 1 || !(rmax[i] > big)) continue;
      big = rmax[i];
      irow = i;
      icol = rarg[i];
    }
    if (icol < 0) return false;
    ++ipiv[icol];
    // The pivot column leaves the remaining block: swap it with the block's last column.
    const int pc = phys[icol], last = m - 1;
    if (pc != last) {
      for (int i = 0; i < n; ++i) std::swap(row(i)[pc], row(i)[last]);
      std::swap(logical[pc], logical[last]);
      phys[logical[pc]] = pc;
      phys[logical[last]] = last;
    }
    m = last;
    if (irow != icol) {
      double* r1 = row(irow);
      double* r2 = row(icol);
      for (int c = 0; c <= m; ++c) std::swap(r1[c], r2[c]);
      std::swap(b[irow], b[icol]);
      std::swap(rmax[irow], rmax[icol]);
      std::swap(rarg[irow], rarg[icol]);
    }
    double* __restrict prow = row(icol);
    const double p = prow[m];
    for (int c = 0; c < m; ++c) prow[c] /= p;
    b[icol] /= p;
    for (int l = 0; l < n; ++l) {
      if (l == icol) continue;
      double* __restrict r = row(l);
      const double f = r[m];
      const bool remaining = ipiv[l] != 1;
      if (f == 0) {
        if (remaining && rarg[l] == icol) row_max(r, m, logical, rmax[l], rarg[l]);
        continue;
      }
      b[l] -= f * b[icol];
      if (!remaining) {
        for (int c = 0; c < m; ++c) r[c] -= f * prow[c];
        continue;
      }
      // A row still to be pivoted: the update and its new maximum in one sweep.
      RowMax rm;
      int c = 0;
      for (; c + 1 < m; c += 2) {
        r[c] -= f * prow[c];
        r[c + 1] -= f * prow[c + 1];
        rm.even(r[c], logical[c]);
        rm.odd(r[c + 1], logical[c + 1]);
      }
      if (c < m) {
        r[c] -= f * prow[c];
        rm.even(r[c], logical[c]);
      }
      rm.result(rmax[l], rarg[l]);
    }
  }
  return true;
}

}  // namespace atmotab
