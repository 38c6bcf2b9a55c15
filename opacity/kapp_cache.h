// The private state of kapp (opacity/kapp.cpp) between calls: which source arrays are known to
// be clear. Held in the opacity workspace (opacity/workspace.h).
#pragma once

#include "common/array.h"
#include "common/opacity_records.h"

namespace atmotab {

struct Run;

struct KappRec {
  Arr<int, NIFOP> NCLEAR;  // NCLEAR(I)  depths 1..NCLEAR(I) of the arrays of switch I hold 0:
                           //            cleared while the switch was off, unwritten since
};

KappRec& kapp_cache(Run& run);

}  // namespace atmotab
