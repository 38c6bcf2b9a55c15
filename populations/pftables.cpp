// load_pf_tables — fills the run's partition-function tables once, when the run starts (or at the
// first population request of a run that did not load them), from the tables read at build time.
#include "populations/pftables.h"

#include <algorithm>

#include "populations/atomic_data.h"
#include "populations/pfsaha.h"

namespace atmotab {

void pftables_load(Arr<double, 1000>& potion, Arr<int, 6, 365>& ipftab,
                   Arr<float, 7, 56, 90>& fegrpf, Arr<int, 337>& pfgloc, Arr<double, 336>& pfgw,
                   Arr<double, 600>& pfge, Arr<double, 600>& pfgg) {
  PfgroundLevels pfg;
  load_atomic_data_builtin(potion, ipftab, fegrpf, pfg);
  // Level lists one after the other: NELION N owns slots PFGLOC(N) .. PFGLOC(N+1) - 1.
  int next = 1;
  for (int n = 1; n <= NELION_MAX; ++n) {
    pfgloc(n) = next;
    pfgw(n) = pfg.GCON(n);
    for (int k = 0; k < pfg.NLEV(n); ++k) {
      pfge(next) = pfg.E(pfg.LOC(n) + k);
      pfgg(next) = pfg.G(pfg.LOC(n) + k);
      ++next;
    }
  }
  pfgloc(NELION_MAX + 1) = next;
}

void load_pf_tables(Run& run) {
  Run::PftabRec& pf = run.PFTAB;
  pftables_load(run.POTION.POTION, pf.IPFTAB, pf.FEGRPF, pf.PFGLOC, pf.PFGW, pf.PFGE, pf.PFGG);
  pf.TMINPF = pfiron_lowest_temperature(run);
  pf.TMINSAHA = pfsaha_lowest_temperature(run);
  pf.TMIN = std::max(pf.TMINPF, pf.TMINSAHA);
  pf.LOADED = true;
}

}  // namespace atmotab
