// The driver workspace: the private caches and scratch of the driver's routines, one member per
// cache, each declared beside its routine (driver/<routine>_cache.h with its accessor). The run
// holds it (Run::DRIVER_WS) and makes it at the first access (driver/workspace.cpp); only that
// file and tests include this header.
#pragma once

#include "common/state.h"
#include "driver/line_strength_cache.h"

namespace atmotab {

struct DriverWorkspace : PagedStorage {
  LineStrengthRec LS;  // line-strength maxima: intervals written, search scratch
};

// The run's driver workspace, made at the first call.
DriverWorkspace& driver_workspace(Run& run);

}  // namespace atmotab
