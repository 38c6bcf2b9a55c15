// The private state of coulff (opacity/coulff.cpp): the free-free Gaunt factor of charge 1 at the
// current frequency, which hop (electrons on protons) and he1op (electrons on He II) both take,
// and its frequency coordinate, which he2op (charge 2) takes too: formed once per frequency
// instead of once per source. GAMLOG1 is formed again for each model, HVKTLG and G1 when that
// happens or FREQLG changes. Held in the opacity workspace (opacity/workspace.h).
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct CoulffRec {
  ModelKey MODEL;        // MODEL       model of GAMLOG1 (common/model_key.h)
  bool CURRENT = false;  // CURRENT     HVKTLG and G1 belong to FREQLG and this model
  double FREQLG = 0;     // FREQLG      ln nu [Hz] of HVKTLG and G1
  Dep GAMLOG1;           // GAMLOG1(J)  2 log10 gamma^2 at T(J), Z = 1
  Dep HVKTLG;            // HVKTLG(J)   2 log10 (h nu / kT(J)) at FREQLG
  Dep G1;                // G1(J)       the Gaunt factor of charge 1 at T(J) and FREQLG
};

CoulffRec& coulff_cache(Run& run);

}  // namespace atmotab
