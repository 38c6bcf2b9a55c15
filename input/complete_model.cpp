// complete_model — abundances per heavy particle, mean molecular weight, and the temperature,
// density and turbulent-pressure quantities of every depth of a model that has just been read.
#include "input/complete_model.h"

#include <cmath>

#include "common/constants.h"
#include "input/cards.h"

namespace atmotab {

void complete_model(Run& run) {
  ElemRec& E = run.ELEM;
  E.XABUND(1) = E.ABUND(1);
  E.XABUND(2) = E.ABUND(2);
  for (int k = 3; k <= 99; ++k) E.XABUND(k) = card_pow10(E.ABUND(k)) * run.JUNK.XSCALE;
  E.WTMOLE = 0;
  for (int k = 1; k <= 99; ++k) E.WTMOLE += E.XABUND(k) * E.ATMASS(k);

  Run::TempRec& T = run.TEMP;
  Run::StateRec& S = run.STATE;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    T.TK(j) = KBOLTZ * T.T(j);
    T.HKT(j) = HPLANCK / T.TK(j);
    T.HCKT(j) = T.HKT(j) * CLIGHT;
    T.TKEV(j) = KBOLTZ_EV * T.T(j);
    T.TLOG(j) = std::log(T.T(j));
    S.XNATOM(j) = S.P(j) / T.TK(j) - S.XNE(j);
    S.RHO(j) = S.XNATOM(j) * E.WTMOLE * AMU;
    const double v = run.TURBPR.VTURB(j);
    run.TURBPR.PTURB(j) = 0.5 * S.RHO(j) * (v * v);
  }
}

}  // namespace atmotab
