// ttaup — gas pressure of a model given as temperature against Rosseland optical depth, from
// hydrostatic equilibrium dPTOTAL/dTAU = GRAV / kappa_Ross, with kappa_Ross from a built-in table
// of log10 kappa over log10 T and log10 P (data/ttaup_kappa.txt).
#pragma once

#include <string_view>

#include "common/state.h"

namespace atmotab {

constexpr int TTAUP_NT = 36;  // temperature nodes of the opacity table
constexpr int TTAUP_NP = 30;  // pressure nodes

// TABT(I)  log10 T [K] of temperature node I = 1..36: 3.5 .. 4.0 step 0.025, 4.05 .. 4.5 step
// 0.05, 4.6 .. 5.0 step 0.1, each the single-precision form of the decimal.
double ttaup_tabt(int i);
// TABP(K)  log10 P [dyn cm^-2] of pressure node K = 1..30: -2 .. 1 step 0.5, 1.25 .. 3 step 0.25,
// 3.2 .. 6 step 0.2.
double ttaup_tabp(int k);

// Parses TEXT (the format of data/ttaup_kappa.txt: '#' header, "format atmotab-ttaup_kappa 1",
// "temperatures 36 pressures 30", then rows "k log10P tag v1..v36") into TABKAP: each integer
// 1000 x log10 kappa divided by 1000. A table whose format line, counts, row numbers or pressure
// nodes do not match stops the run (atmo_error, status 2), naming the line.
void ttaup_load(std::string_view text, Arr<double, TTAUP_NT, TTAUP_NP>& tabkap);

// The pressure integration. TAU(1..N) Rosseland optical depths (> 0, increasing; the step is
// taken as the constant h = ln(TAU(2)/TAU(1)) in ln TAU), T(1..N) [K], PRAD(1..N) radiation
// pressure above its surface value and PTURB(1..N) turbulent pressure [dyn cm^-2], GRAV [cm s^-2].
// Writes PTOTAL(1..N) = total pressure minus its surface value, P(1..N) = PRAD(1) + PTOTAL - PRAD
// - PTURB gas pressure [dyn cm^-2] and ABSTD(1..N) Rosseland opacity [cm^2 g^-1]. T(1) is replaced
// by T(2) during the integration (the table opacity at the surface comes from the second
// temperature) and restored on return. The table is converted into run.TTAUP on the first call of
// the run.
//
// Integration in y = ln PTOTAL: Milne predictor from the fifth depth on, Hamming corrector with
// modifier, each corrector step averaged with the previous y, converged when |ynew - y| <= 5e-5.
// A non-positive gas pressure or a 1000th evaluation at one depth prints the labelled arrays (w)
// and stops the run (status 1). N < 2, TAU(1) <= 0 or TAU not increasing, a temperature <= 0 or
// GRAV <= 0 stop the run with a message (status 1) before any integration; N = 0 does nothing.
void ttaup(Run& run, Depth& T, const Depth& TAU, Depth& ABSTD, Depth& PTOTAL, Depth& P,
           const Depth& PRAD, const Depth& PTURB, double GRAV, int N);

}  // namespace atmotab
