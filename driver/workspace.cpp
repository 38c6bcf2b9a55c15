// The driver workspace of a run and the accessors of its caches (driver/workspace.h).
#include "driver/workspace.h"

namespace atmotab {

DriverWorkspace& driver_workspace(Run& run) { return layer_workspace(run.DRIVER_WS); }

LineStrengthRec& line_strength_cache(Run& run) { return driver_workspace(run).LS; }

}  // namespace atmotab
