// load_pf_tables — fills the run's partition-function tables once, when the run starts (or at the
// first population request of a run that did not load them).
#include "populations/pftables.h"

namespace atmotab {

void load_pf_tables(Run& run) {
  Run::PftabRec& pf = run.PFTAB;
  pftables_load(run.POTION.POTION, pf.IPFTAB, pf.FEGRPF, pf.PFGLOC, pf.PFGW, pf.PFGE, pf.PFGG);
  pf.LOADED = true;
}

}  // namespace atmotab
