// The private state of the population driver pops (populations/pops.cpp): the model of the last
// electron-density (or molecular-equilibrium) solution. Held in the populations workspace
// (populations/workspace.h).
#pragma once

#include "common/model_key.h"

namespace atmotab {

struct Run;

struct PopsRec {
  ModelKey MODEL;  // MODEL  model of the last solution (common/model_key.h)
};

PopsRec& pops_cache(Run& run);

}  // namespace atmotab
