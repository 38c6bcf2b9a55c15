// parcoe, integ — piecewise parabolic coefficients of a tabulated function and its running
// integral.
#pragma once

namespace atmotab {

// Coefficients A, B, C (N values each) of F(1..N) tabulated at the increasing X(1..N), such that
// on X(j) <= x <= X(j+1) the function is A(j) + B(j) x + C(j) x^2. Interval j blends the
// parabola through points j-1, j, j+1 with that of interval j+1, each weighted by the other's
// |curvature|; intervals 1, 2 and 3 are straight lines; slot N holds the line through the last
// two points, which interval N-1 takes over. With N = 3 every coefficient is linear (no fourth
// point to read). Requires N >= 2 (atmo_error otherwise).
void parcoe(const double* f, const double* x, double* a, double* b, double* c, int n);

// Running integral FINT(1..N) of F(1..N) over X(1..N): FINT(1) = START, then each interval adds
// the exact integral of its parabola from parcoe, with interval N-1 taken as the straight line
// through the last two points. N = 1 gives FINT(1) = START. Requires N >= 1.
void integ(const double* x, const double* f, double* fint, int n, double start);

}  // namespace atmotab
