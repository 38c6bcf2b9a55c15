// regrid — a model moved onto a new depth grid: on mass column depth (RHOX n x1..xn) or on
// Rosseland optical depth with optional rescaling to another TEFF and gravity (SCALE n tau1 dtau
// t g). Values are interpolated with map1 through the eight CONVQ scratch arrays.
#pragma once

#include "common/state.h"

namespace atmotab {

// RHOX n x1..xn: the n new RHOX values [g cm^-2] (read with refill, so they may continue on the
// following cards) go to CONVQ(.,8); T, P, XNE, ABROSS, VTURB, PRAD (through CONVQ 1..6), BMIN
// and BHYD(.,1..6) (through CONVQ 1; an array that is all 1 stays exactly 1) are interpolated from
// the old grid RHOX(1..NRHOX) onto them; PRADK = PRAD + PRADK0; then NRHOX = n and RHOX = the new
// values. Stops the run (status 1) when n is outside 1..99, the model has fewer than two depths, or
// either grid does not increase strictly.
void regrid_rhox(Run& run, Card& card);

// SCALE n tau1 dtau [t [g]]: the first n depths of the model are moved onto TAUSTD(j) =
// 10^(tau1 + (j-1) dtau), j = 1..n (held in XNATOM), interpolating RHOX, T, P, XNE, ABROSS, PRAD,
// VTURB (through CONVQ 1..7), BMIN and BHYD(.,1..6) (all 1 stays exactly 1) against the model's
// Rosseland depth TAUROS = integral of ABROSS over RHOX from ABROSS(1) RHOX(1), with TAUROS(1) then
// set to 0. When t is not 0 and t or g (g < 10: log10 g; missing: 0, that is g = 1) differs from
// TEFF or GRAV, the model is rescaled: T x t/TEFF, radiation pressures x (t/TEFF)^4, TAUROS =
// TAUSTD, TEFF = t, GRAV = g, and ttaup gives the pressures, ABROSS and RHOX anew. Stops the run
// (status 1) when TEFF or GRAVITY is not set, n is outside 2..NRHOX, dtau <= 0, or the model's
// Rosseland depths do not increase strictly (ABROSS missing).
void regrid_scale(Run& run, Card& card);

}  // namespace atmotab
