// SAHAC: the stage-wise values of the Saha balance of the current model, each formed once
// although the element records, the opacity sources and the element table ask for the same
// stages (populations/pfsaha.cpp, pfsaha_depths). Keyed by the model (which also stands for the
// departure coefficients of the model; common/model_key.h) and by the state of every depth the
// values come from: a change of T, TK, TKEV, HCKT, TLOG, P or XNE at any depth forms them all
// anew, within a model too (the electron-density iteration changes XNE between its requests).
// Held in the populations workspace (populations/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful).
#pragma once

#include "common/array.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

constexpr int SAHAC_KEYS = 7;  // state arrays that key the Saha cache (SahacRec::KEY)

struct SahacRec {
  static constexpr int NJ = 99;  // depth slots
  ModelKey MODEL;                // MODEL        model of the values held (EPOCH -1: none)
  // KEY(J,K)  T, TK, TKEV, HCKT, TLOG, P, XNE (K = 1..7) of depth J when the values were formed
  Arr<double, NJ, SAHAC_KEYS> KEY;
  Arr<double, NJ> POTLOW;        // POTLOW(J)    Debye lowering of the neutral potential [eV]
  Arr<double, NJ> CF;            // CF(J)        Saha factor 4.8296e15 T^1.5 / XNE
  Arr<int, 99> NPART;            // NPART(Z)     stages 1..NPART of element Z held in PART
  Arr<int, 99> NRAT;             // NRAT(Z)      stages 2..NRAT of element Z held in RAT
  Arr<double, NJ, 10, 99> PART;  // PART(J,I,Z)  partition function of stage I of element Z
  Arr<double, NJ, 10, 99> RAT;   // RAT(J,I,Z)   Saha ratio n(I)/n(I-1) at depth J, I = 2..10
  // The level sums of the thirteen light rows (pflight_levels) depend on T, HCKT, IFNLTE and
  // the departure coefficients, not on XNE: formed once per depth for the electron iteration
  // (dropped when it starts, pfsaha_forget_levels) and for the requests of the same model.
  Arr<bool, NJ> LHELD;       // LHELD(J)    true once LSUM of depth J is formed
  Arr<ModelKey, NJ> LMODEL;  // LMODEL(J)   model of LSUM(.,J)
  Arr<int, NJ> LNLTE;        // LNLTE(J)    IFNLTE of LSUM(.,J)
  Arr<double, NJ> LT;        // LT(J)       T of LSUM(.,J) [K]
  Arr<double, NJ> LHCKT;     // LHCKT(J)    HCKT of LSUM(.,J) [cm]
  Arr<double, 13, NJ> LSUM;  // LSUM(K,J)  level sum of light row K (PF_LIGHT_ROWS) at depth J
};

SahacRec& sahac_cache(Run& run);

}  // namespace atmotab
