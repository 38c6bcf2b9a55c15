// The private state of elecop (opacity/elecop.cpp): the electron-scattering coefficient of the
// current model, which every frequency shares. Held in the opacity workspace (opacity/workspace.h).
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct ElecopRec {
  ModelKey MODEL;  // MODEL     model of SIGEL below (common/model_key.h)
  Dep SIGEL;       // SIGEL(J)  XNE(J) x 6.653e-25 / RHO(J) [cm^2 g^-1], J = 1..NRHOX
};

ElecopRec& elecop_cache(Run& run);

}  // namespace atmotab
