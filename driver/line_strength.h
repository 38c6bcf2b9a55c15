// Line-strength maxima: for every edge interval, stage slot and element, the largest over all
// depths of the indicator v = XNFPEL/DOPPLE/nu_M/RHO/CMIN/0.001, the population per Doppler width
// relative to the smallest continuum opacity of the interval, rounded to single precision.
#pragma once

#include "common/state.h"

namespace atmotab {

// Clears the maxima and lists the stage-element slots that hold a population at some depth (the
// element table XNFP must be filled).
void begin_line_strength_maxima(Run& run);
// The maxima of depth J folded in, for the NUMNU frequencies of the set: CMIN = 10^(smallest
// CONTINALL of the interval's three frequencies), nu_M its middle frequency.
void update_line_strength_maxima(Run& run, int j);
// XNFDOPMAX from the maxima of all depths.
void end_line_strength_maxima(Run& run);

// V(K) = float(A(K) / NU / RHO / CMIN / NORM) for K = 0..N-1: the four divisions in this order in
// double precision, the quotient rounded to single precision. Computed as the product of A(K) and
// the reciprocal of the divisors wherever that provably rounds to the same single, by the chain of
// divisions elsewhere (see line_strength.cpp).
void line_strengths(const double* a, int n, double nu, double rho, double cmin, double norm,
                    float* v);

}  // namespace atmotab
