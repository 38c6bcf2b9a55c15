// The populations workspace: the private caches of the population routines, one member per
// cache, each declared beside its routine (populations/<routine>_cache.h with its accessor). The
// run holds it (Run::POPULATIONS_WS) and makes it at the first access
// (populations/workspace.cpp); only that file and tests include this header.
#pragma once

#include "common/state.h"
#include "populations/pops_cache.h"
#include "populations/saha_cache.h"

namespace atmotab {

struct PopulationsWorkspace : PagedStorage {
  SahacRec SAHAC;  // pfsaha  stage-wise Saha values of the model
  PopsRec POPS;    // pops    the model of the last electron-density solution
};

// The run's populations workspace, made at the first call.
PopulationsWorkspace& populations_workspace(Run& run);

}  // namespace atmotab
