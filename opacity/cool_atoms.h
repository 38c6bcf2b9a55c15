// Bound-free absorption of the neutral metals C I, Mg I, Al I and Si I, from explicit levels with
// departure coefficients, and of Fe I from pseudo-levels (part of the cool-metal block, switch
// COOL). The Boltzmann factors of the levels are kept per model in COOLOP (opacity/coolop_cache.h).
#pragma once

namespace atmotab {

struct Run;

// Each writes, for depths 1..NRHOX at the current frequency, the atom's absorption per gram
// [cm^2 g^-1] (stimulated emission in the form b - b_c EHVKT) and its source function [units of
// BNU]: c1op AC1, SC1; mg1op AMG1, SMG1; al1op AAL1, SAL1; si1op ASI1, SSI1. Below the lowest
// threshold the absorption is 1e-30 XNFP / RHO and the source function 0.
void c1op(Run& run);
void mg1op(Run& run);
void al1op(Run& run);
void si1op(Run& run);

// Fe I: AFE1 [cm^2 g^-1] and, at WAVENO >= 21000 cm^-1, SFE1 [units of BNU], with the Si I
// ground-level departure coefficient BSI1(J,1) copied to FLXWRK(J) for the source function.
void fe1op(Run& run);

// The cross-section [cm^2] of row I (1-based, in walk order) of the level table at wavenumber
// WAVENO [cm^-1] >= the row's threshold, per unit weight: the sigma of the tables of c1op ...
// si1op. 0 for the rows that carry no cross-section.
double c1op_sigma(int i, double WAVENO);
double mg1op_sigma(int i, double WAVENO);
double al1op_sigma(int i, double WAVENO);
double si1op_sigma(int i, double WAVENO);

// The cross-section [cm^2] of Fe I pseudo-level I = 1..48 at WAVENO >= its threshold, per unit
// weight.
double fe1op_xsect(int i, double WAVENO);

}  // namespace atmotab
