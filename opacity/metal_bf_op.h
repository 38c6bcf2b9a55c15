// Bound-free absorption of metal atoms and ions from the Opacity Project and Iron Project
// photoionization tables (opacity/photoionization_tables.h): the kernel, a function of explicit
// inputs, and the two halves it is made of, which the XCONT adapter keeps (opacity/xcont.h).
#pragma once

#include <array>
#include <span>

#include "common/vector_clones.h"
#include "opacity/photoionization_tables.h"

namespace atmotab {

// n/U [cm^-3] of each species of PHOT_SPECIES at the depths of the output span.
using PhotDensities = std::array<std::span<const double>, NPHOT_SPECIES>;

// OUT(J) = sum over species S of sigma_eff_S(NU, T(J)) x XNFP[S](J) [cm^-1] (stimulated emission
// not included), for J over the span OUT (T and every XNFP[S] at least as long).
void metal_bf_op(const PhotTables& tables, double nu, std::span<const double> T,
                 const PhotDensities& xnfp, std::span<double> out);

// The temperature half: the first M (0..NPHOT_TEMP-4) of the four table temperatures
// T_M < .. < T_M+3 around T (T between the middle two, or in an end interval of the table), and the
// weights W[0..3] of the cubic through them in 1/T (Lagrange); outside the tabulated temperatures
// the end value is held (weights 1, 0, 0, 0 or 0, 0, 0, 1).
void metal_bf_temperature(const PhotTables& tables, double T, int& m, double* w);

// The frequency half: COLUMN[S * NPHOT_TEMP + M] = sigma_eff_S(NU, T_M) [cm^2] and
// COLUMN[NPHOT_SPECIES * NPHOT_TEMP + S] = 1 where NU lies inside the table of species S, else 0
// (with the column 0): below the first frequency of a table (its lowest threshold) and at or above
// its last. Linear in nu between the table frequencies; at a threshold frequency the value at and
// above the threshold.
void metal_bf_column(const PhotTables& tables, double nu, double* column);

// The depth sum of the two halves: OUT[J] = max(0, sum over S flagged in COLUMN of
// sum over K = 0..3 of W[K][S][J] COLUMN[S][MT[J] + K]), J = 0..N-1, with
// W[K][S][J] = XNFP_S(J) x (weight K of depth J) held at W[K] + S * STRIDE + J. (The cubic in
// 1/T of four positive values can dip below 0 only where they grow by more than a factor 9 from
// one temperature to the next, which a Boltzmann factor does only above 14 eV of excitation.)
// Run in the version of instruction set SET (common/vector_clones.h); every version gives the
// same bits.
void metal_bf_sum(VectorSet set, const double* column, const int* mt, const double* const w[4],
                  int stride, int n, double* out);

}  // namespace atmotab
