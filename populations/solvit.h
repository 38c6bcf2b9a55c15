// solvit — dense linear solver of the molecular equilibrium's Newton steps.
#pragma once

namespace atmotab {

constexpr int SOLVIT_MAXN = 30;  // largest system (the equations of the molecular equilibrium)

// Solves A x = B for the N x N matrix A (N <= SOLVIT_MAXN), stored by rows: A(i,k) at
// A[(i-1) LDA + (k-1)], LDA >= N. Gauss-Jordan elimination with full pivoting: B receives x; A is
// overwritten (its columns permuted and partly eliminated). IPIV(1..N) (IPIV[0..N-1]) counts the
// passes that pivoted on each index. The pivot of each pass is the largest |A(i,k)| over the rows
// and columns not yet pivoted, rows searched in the outer loop and columns in the inner one, the
// first of equal values kept. Returns false, A and B partly eliminated, when no non-zero pivot is
// left (a singular matrix, or NaN entries): nothing is divided by zero.
bool solvit(double* a, int lda, int n, double* b, int* ipiv);

}  // namespace atmotab
