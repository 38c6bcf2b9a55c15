// Bound-free absorption of metal atoms and ions from the Opacity Project and Iron Project
// photoionization tables (opacity/photoionization_tables.h): the kernel, a function of explicit
// inputs, and the steps it is made of, which the XCONT adapter keeps (opacity/xcont.h): the
// temperature weights once per model, the frequency bracket once per frequency of the set, each
// table row interpolated to the model's temperatures once per model, and the sum.
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

// The temperature weights: the first M (0..NPHOT_TEMP-4) of the four table temperatures
// T_M < .. < T_M+3 around T (T between the middle two, or in an end interval of the table), and the
// weights W[0..3] of the cubic through them in 1/T (Lagrange); outside the tabulated temperatures
// the end value is held (weights 1, 0, 0, 0 or 0, 0, 0, 1).
void metal_bf_temperature(const PhotTables& tables, double T, int& m, double* w);

// The frequency bracket: the row ROW of species S's table (an index into tables.nu and
// tables.sigma) at or below NU and the weight U of the next row, NU = (1 - U) nu_ROW + U nu_ROW+1;
// false (ROW -1, U 0) where NU lies outside the table: below its first frequency (the lowest
// threshold) and at or above its last. At a threshold frequency, listed twice, the row is the
// second of the pair: the value at and above the threshold. HINT, a row of an earlier frequency
// (or -1), is where the search starts: the result does not depend on it, its time does (one test
// when the frequencies come in order).
bool metal_bf_bracket(const PhotTables& tables, int s, double nu, int& row, double& u,
                      int hint = -1);

// The temperature interpolation of one table row at the depths: OUT[J] = sum over K = 0..3 of
// W[K][J] x SIGMA_ROW[MT[J] + K], J = 0..N-1 (W holds n/U x the weights of metal_bf_temperature,
// MT the first of their temperatures). Run in the version of instruction set SET
// (common/vector_clones.h); every version gives the same bits.
void metal_bf_row(VectorSet set, const double* sigma_row, const int* mt, const double* const w[4],
                  int n, double* out);

// The frequency interpolation summed over the species: OUT[J] = max(0, sum over S of
// LO[S][J] + U[S] x (HI[S][J] - LO[S][J])), J = 0..N-1, for the NS species given (rows made by
// metal_bf_row). (The cubic in 1/T of four positive values can dip below 0 only where they grow by
// more than a factor 9 from one temperature to the next, which a Boltzmann factor does only above
// 14 eV of excitation.) Run in the version of instruction set SET; every version gives the same
// bits.
void metal_bf_sum(VectorSet set, const double* const* lo, const double* const* hi, const double* u,
                  int ns, int n, double* out);

}  // namespace atmotab
