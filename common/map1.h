// map1 — interpolation of a tabulated function onto new abscissae with blended parabolas.
#pragma once

namespace atmotab {

// Interpolates FOLD(1..NOLD), tabulated at the increasing abscissae XOLD(1..NOLD), onto
// XNEW(1..NNEW) and writes FNEW(1..NNEW). XNEW is taken in order and should increase: the interval
// search starts at the first interval for every call and never moves back.
//
// Within XOLD(L-1) <= x < XOLD(L) the value comes from the parabola through points L-2, L-1, L
// blended with the one through L-1, L, L+1, each weighted by the other's |curvature|; the first two
// intervals and everything below XOLD(2) use the straight line through the interval's end points,
// the last interval its backward parabola alone, and x >= XOLD(NOLD) the straight line through
// the last two points (linear extrapolation at both ends, by definition). NOLD = 3 is linear
// throughout. Requires NOLD >= 2 (atmo_error otherwise).
//
// Returns the upper point of the last interval used, minus 1 (-1 when NNEW = 0).
int map1(const double* xold, const double* fold, int nold, const double* xnew, double* fnew,
         int nnew);

}  // namespace atmotab
