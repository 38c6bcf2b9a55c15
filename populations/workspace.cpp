// The populations workspace of a run and the accessors of its caches (populations/workspace.h).
#include "populations/workspace.h"

namespace atmotab {

PopulationsWorkspace& populations_workspace(Run& run) {
  return layer_workspace(run.POPULATIONS_WS);
}

SahacRec& sahac_cache(Run& run) { return populations_workspace(run).SAHAC; }
PopsRec& pops_cache(Run& run) { return populations_workspace(run).POPS; }

}  // namespace atmotab
