// The private state of h2collop (opacity/h2collop.cpp): the collision-induced absorption tables
// (data/tabh2h2.txt, tabh2he.txt), converted at the first call of the run, and the per-model H2
// density and temperature cells. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful).
#pragma once

#include "common/array.h"
#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct H2collopRec {
  Arr<double, 7, 81> TABH2H2;  // TABH2H2(T,K) log10 H2-H2 coefficient per pair [cm^5] at
                               //              T x 1000 K, (K-1) x 250 cm^-1
  Arr<double, 7, 81> TABH2HE;  // TABH2HE(T,K) log10 H2-He coefficient per pair [cm^5]
  bool LOADED = false;         // LOADED       true once both tables are filled
  ModelKey MODEL;              // MODEL        model of XNH2, IT, DELT (common/model_key.h)
  Dep XNH2;                    // XNH2(J)      H2 number density [cm^-3]
  Arr<int, NDEPTH> IT;         // IT(J)        lower temperature column 1..6 of depth J
  Dep DELT;                    // DELT(J)      fraction of the way to column IT(J)+1, 0..1
  Arr<int, NDEPTH> ICOL;       // ICOL(J)      the column depth J takes unchanged (DELT(J) 0 or 1),
                               //              0 where it interpolates
  Arr<bool, 7> EXACT;          // EXACT(T)     true when some depth takes column T unchanged
};

H2collopRec& h2collop_cache(Run& run);

}  // namespace atmotab
