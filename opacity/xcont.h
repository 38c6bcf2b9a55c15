// xcont — the additional continuum absorption of switch XCONT: the bound-free absorption of
// fourteen metal atoms and ions from Opacity Project and Iron Project cross-sections
// (opacity/metal_bf_op.h), in LTE.
#pragma once

namespace atmotab {

struct Run;

// AXCONT(J) = sum over species of sigma_eff(FREQ, T(J)) x n/U(J) x STIM(J) / RHO(J) [cm^2 g^-1]
// and SXCONT(J) = BNU(J), J = 1..NRHOX. The n/U and the temperature weights are formed once per
// model, the cross-section columns once per frequency of the set and kept across models
// (opacity/xcont_cache.h).
void xcont(Run& run);

// True when XCONT is on: the cool-metal atoms (C I, Mg I, Al I, Si I, Fe I) and the intermediate
// metals (N I, O I, Mg II, Si II, Ca II), which it covers, then add nothing, so that no species
// counts twice.
bool xcont_covers_metals(const Run& run);

}  // namespace atmotab
