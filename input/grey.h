// grey — grey starting model (GREY n tau1 dtau): the Eddington-Hopf temperature law on a grid
// equally spaced in log10 Rosseland depth, then the pressure start.
#pragma once

#include "common/state.h"

namespace atmotab {

// T [K] of the grey law at Rosseland depth TAU for the effective temperature TEFF [K]:
// TEFF (3/4 (TAU + 0.71 - 0.1331 exp(-3.4488 TAU)))^(1/4), the constants single precision.
double grey_t(double teff, double tau);

// Reads n, tau1, dtau from CARD (required); NRHOX = n, TAUROS(j) = 10^(tau1 + (j-1) dtau), T(j) by
// grey_t at TEFF; then the pressure start (readst.h). n outside 2..99, dtau <= 0, or TEFF or
// GRAVITY not set stop the run (status 1).
void grey(Run& run, Card& card);

}  // namespace atmotab
