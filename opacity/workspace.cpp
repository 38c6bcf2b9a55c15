// The opacity workspace of a run and the accessors of the source caches (opacity/workspace.h).
#include "opacity/workspace.h"

namespace atmotab {

OpacityWorkspace& opacity_workspace(Run& run) { return layer_workspace(run.OPACITY_WS); }

XkarsasRec& xkarsas_cache(Run& run) { return opacity_workspace(run).XKARSAS; }
HopRec& hop_cache(Run& run) { return opacity_workspace(run).HOP; }
HdissRec& hydrogen_dissolved_cache(Run& run) { return opacity_workspace(run).HDISS; }
CoulffRec& coulff_cache(Run& run) { return opacity_workspace(run).COULFF; }
HminopRec& hminop_cache(Run& run) { return opacity_workspace(run).HMINOP; }
H2opRec& h2op_cache(Run& run) { return opacity_workspace(run).H2OP; }
H2collopRec& h2collop_cache(Run& run) { return opacity_workspace(run).H2COLLOP; }
He1opRec& he1op_cache(Run& run) { return opacity_workspace(run).HE1OP; }
He2opRec& he2op_cache(Run& run) { return opacity_workspace(run).HE2OP; }
CoolopRec& coolop_cache(Run& run) { return opacity_workspace(run).COOLOP; }
LukeopRec& lukeop_cache(Run& run) { return opacity_workspace(run).LUKEOP; }
HotopRec& hotop_cache(Run& run) { return opacity_workspace(run).HOTOP; }
XcontRec& xcont_cache(Run& run) { return opacity_workspace(run).XCONT; }
KappRec& kapp_cache(Run& run) { return opacity_workspace(run).KAPP; }
ElecopRec& elecop_cache(Run& run) { return opacity_workspace(run).ELECOP; }

}  // namespace atmotab
