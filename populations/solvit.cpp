// solvit — Gauss-Jordan elimination with full pivoting (Press et al. 2007, Numerical Recipes,
// 3rd ed., section 2.1): each pass takes the largest remaining element as pivot, moves its row to
// the pivot's column position, normalises it and clears the pivot column from every other row.
// The right-hand side is carried along, so it holds the solution at the end without reordering.
// Only the solution is wanted, so the columns already pivoted (which would build the inverse) are
// not updated: the columns not yet pivoted are kept together at the front of every row (a column
// permutation, PHYS), and each row remembers its largest element there, renewed while the row is
// updated, so that the pivot search looks at one number per row. The pivots, their order and every
// operation on the remaining columns and the right-hand side are those of the full elimination.
// Rows with a zero multiplier are skipped: subtracting 0 times a finite row changes nothing.
#include "populations/solvit.h"

#include <cmath>
#include <utility>

namespace atmotab {
namespace {

// Largest |row| over the first M physical columns, and the smallest logical column holding it
// (-1 when every element is 0): the first maximum of the row in logical order. The value comes
// from four independent running maxima (the maximum does not depend on the order), the column from
// a second sweep; a NaN is never taken, as in a sequential search with ">".
void row_max(const double* row, int m, const int* logical, double& big, int& arg) {
  double v0 = 0, v1 = 0, v2 = 0, v3 = 0;
  int c = 0;
  for (; c + 3 < m; c += 4) {
    const double x0 = std::fabs(row[c]), x1 = std::fabs(row[c + 1]);
    const double x2 = std::fabs(row[c + 2]), x3 = std::fabs(row[c + 3]);
    v0 = x0 > v0 ? x0 : v0;
    v1 = x1 > v1 ? x1 : v1;
    v2 = x2 > v2 ? x2 : v2;
    v3 = x3 > v3 ? x3 : v3;
  }
  for (; c < m; ++c) {
    const double x = std::fabs(row[c]);
    v0 = x > v0 ? x : v0;
  }
  v0 = v1 > v0 ? v1 : v0;
  v2 = v3 > v2 ? v3 : v2;
  big = v2 > v0 ? v2 : v0;
  arg = -1;
  if (!(big > 0)) return;
  for (c = 0; c < m; ++c)
    if (std::fabs(row[c]) == big && (arg < 0 || logical[c] < arg)) arg = logical[c];
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
      double v0 = 0, v1 = 0;
      int c = 0;
      for (; c + 1 < m; c += 2) {
        const double x0 = r[c] - f * prow[c], x1 = r[c + 1] - f * prow[c + 1];
        r[c] = x0;
        r[c + 1] = x1;
        const double a0 = std::fabs(x0), a1 = std::fabs(x1);
        v0 = a0 > v0 ? a0 : v0;
        v1 = a1 > v1 ? a1 : v1;
      }
      if (c < m) {
        const double x0 = r[c] - f * prow[c];
        r[c] = x0;
        const double a0 = std::fabs(x0);
        v0 = a0 > v0 ? a0 : v0;
      }
      const double big = v1 > v0 ? v1 : v0;
      int arg = -1;
      if (big > 0)
        for (c = 0; c < m; ++c)
          if (std::fabs(r[c]) == big && (arg < 0 || logical[c] < arg)) arg = logical[c];
      rmax[l] = big;
      rarg[l] = arg;
    }
  }
  return true;
}

}  // namespace atmotab
