// The private state of the dissolved hydrogen levels (opacity/hydrogen_dissolved.cpp): the
// threshold cross-sections of the levels, once per run, and the per-model factors of their
// occupation probabilities and populations. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); hydrogen level
// N = 1..NHDISS.
#pragma once

#include "common/array.h"
#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

constexpr int NHDISS = 8;  // levels n = 1..8 have a dissolved part

struct HdissRec {
  ModelKey MODEL;                     // MODEL      model of the per-model tables below
  bool LOADED = false;                // LOADED     true once SIGTHR is filled (once per run)
  Arr<double, NHDISS> SIGTHR;         // SIGTHR(N)  cross-section of level N at its threshold [cm^2]
  Dep VH;                             // VH(J)      4 pi/3 n(H I) [cm^-3], neutral-perturber weight
  Dep VHE;                            // VHE(J)     4 pi/3 n(He I) [cm^-3]
  Dep C3;                             // C3(J)      coefficient of (n^4/K_n)^3 in 1/w_charged - 1
  Dep C15;                            // C15(J)     coefficient of (n^4/K_n)^1.5 in 1/w_charged - 1
  Arr<double, NDEPTH, NHDISS> LNW;    // LNW(J,N)   -ln w_neutral of level N at depth J
  Arr<double, NDEPTH, NHDISS> WCINV;  // WCINV(J,N) 1 / w_charged of level N at depth J
  Arr<double, NDEPTH, NHDISS> POP;    // POP(J,N)   LTE population of level N per gram [g^-1]
};

HdissRec& hydrogen_dissolved_cache(Run& run);

}  // namespace atmotab
