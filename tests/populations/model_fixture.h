// A run with the partition-function tables loaded, the initial abundances turned into XABUND and
// WTMOLE as the begin card does, and helpers that set the thermodynamic state of a depth.
#pragma once

#include <cmath>
#include <memory>
#include <sstream>

#include "common/state.h"
#include "populations/pftables.h"

namespace atmotab::testing {

struct PopsRun {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Run& r = *run;

  PopsRun() {
    load_pf_tables(r);
    ElemRec& E = r.ELEM;
    E.XABUND(1) = E.ABUND(1);
    E.XABUND(2) = E.ABUND(2);
    for (int z = 3; z <= 99; ++z) E.XABUND(z) = std::pow(10.0, E.ABUND(z));
    E.WTMOLE = 0;
    for (int z = 1; z <= 99; ++z) E.WTMOLE += E.XABUND(z) * E.ATMASS(z);
  }

  // Temperature quantities of depth J as the model completion forms them.
  void set_t(int j, double t) {
    Run::TempRec& T = r.TEMP;
    T.T(j) = t;
    T.TKEV(j) = 8.6171e-5 * t;
    T.TK(j) = 1.38054e-16 * t;
    T.HKT(j) = 6.6256e-27 / T.TK(j);
    T.TLOG(j) = std::log(t);
    T.HCKT(j) = T.HKT(j) * 29979245800.0;
  }
  void set_depth(int j, double t, double p, double xne) {
    set_t(j, t);
    r.STATE.P(j) = p;
    r.STATE.XNE(j) = xne;
    r.STATE.XNATOM(j) = p / r.TEMP.TK(j) - xne;
    if (r.RHOX.NRHOX < j) r.RHOX.NRHOX = j;
  }
};

}  // namespace atmotab::testing
