// The private state of h2plop and h2raop (opacity/h2op.cpp): per-model quantities of the H2+ and
// H2 sources. Held in the opacity workspace (opacity/workspace.h).
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct H2opRec {
  ModelKey MODELP;  // MODELP     model of XNFPHLN (common/model_key.h)
  Dep XNFPHLN;      // XNFPHLN(J) ln XNFPH(J,1), log of n/U of H I
  ModelKey MODELR;  // MODELR     model of XNH2R
  Dep XNH2R;        // XNH2R(J)   H2 number density per gram [g^-1] (H2 Rayleigh scattering)
};

H2opRec& h2op_cache(Run& run);

}  // namespace atmotab
