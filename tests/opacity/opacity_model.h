// A small hand-made model for the opacity tests: temperatures and the quantities derived from
// them as the model completion forms them, with electron, H I and mass densities per depth, and
// the gas pressure and heavy-particle density of a gas of mean mass 1.3 amu at that density (so
// that sources which ask the population driver can run; the abundances are left at 0).
#pragma once

#include <cmath>

#include "common/state.h"

namespace atmotab::testing {

struct Layer {
  double T, XNE, RHO, XNFPH1;  // [K], [cm^-3], [g cm^-3], n/U of H I [cm^-3]
};

// Fills depths 1..n from LAYERS and sets NRHOX = n.
template <int N>
void fill_model(Run& run, const Layer (&layers)[N]) {
  run.RHOX.NRHOX = N;
  for (int j = 1; j <= N; ++j) {
    const Layer& l = layers[j - 1];
    run.TEMP.T(j) = l.T;
    run.TEMP.TKEV(j) = 8.6171e-5 * l.T;
    run.TEMP.TK(j) = 1.38054e-16 * l.T;
    run.TEMP.HKT(j) = 6.6256e-27 / run.TEMP.TK(j);
    run.TEMP.TLOG(j) = std::log(l.T);
    run.TEMP.HCKT(j) = run.TEMP.HKT(j) * 29979245800.0;
    run.STATE.XNE(j) = l.XNE;
    run.STATE.RHO(j) = l.RHO;
    run.STATE.XNATOM(j) = l.RHO / (1.3 * 1.66e-24);
    run.STATE.P(j) = (run.STATE.XNATOM(j) + l.XNE) * run.TEMP.TK(j);
    run.BHYD.XNFPH(j, 1) = l.XNFPH1;
  }
}

// Three photospheric layers (cool surface, continuum-forming layer, deep).
inline constexpr Layer SOLAR3[] = {
    {4500.0, 3.0e10, 3.0e-9, 8.0e14},
    {6400.0, 6.0e13, 2.8e-7, 7.0e16},
    {9500.0, 3.0e15, 4.5e-7, 1.0e17},
};

}  // namespace atmotab::testing
