// Line-strength maxima: for every edge interval, stage slot and element, the largest over all
// depths of the indicator v = XNFPEL/DOPPLE/nu_M/RHO/CMIN/0.001, the population per Doppler width
// relative to the smallest continuum opacity of the interval, rounded to single precision.
#pragma once

#include "common/state.h"
#include "common/vector_clones.h"

namespace atmotab {

// Lists the stage-element slots that hold a population at some depth (the element table XNFP must
// be filled); the maxima of the others are 0.
void begin_line_strength_maxima(Run& run);
// Takes in depth J, for the NUMNU frequencies of the set: the populations per Doppler width of
// the listed slots (XNFPEL/DOPPLE, which must be filled for depth J), and for every interval
// CMIN = 10^(smallest CONTINALL of its three frequencies) with nu_M its middle frequency.
void update_line_strength_maxima(Run& run, int j);
// XNFDOPMAX from the depths taken in (1..NRHOX).
void end_line_strength_maxima(Run& run);

// V(K) = float(A(K) / NU / RHO / CMIN / NORM) for K = 0..N-1: the four divisions in this order in
// double precision, the quotient rounded to single precision. Computed as the product of A(K) and
// the reciprocal of the divisors wherever that provably rounds to the same single, by the chain of
// divisions elsewhere (see line_strength.cpp).
void line_strengths(const double* a, int n, double nu, double rho, double cmin, double norm,
                    float* v);

// The search of end_line_strength_maxima for one register tile of 8 slots: Y(M,II) = max(+0,
// max over J < NJ of A[II + 600 J] R[M + 384 J]) into Y[II + 8 M], for II < 8 and M < NM (a
// multiple of LS_BLOCK); a NaN product is passed over. VERSION picks the instructions: the
// x86-64 baseline, AVX2 or AVX-512, which only a processor that has them may run
// (widest_vector_set gives the widest this one has).
constexpr int LS_BLOCK = 8;
void line_strength_tile(const double* a, const double* r, int nj, int nm, double* y,
                        VectorSet version);

}  // namespace atmotab
