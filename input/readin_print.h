// The printouts of the card interpreter at the begin card.
#pragma once

#include "common/state.h"

namespace atmotab {

// New page; TEFF, LOG G and LTE/NLTE; the title; XSCALE with the hydrogen and helium fractions;
// the log10 abundances of elements 3..99, ten to a line.
void print_model_header(Run& run);

// Opacity switches, run switches with convection and turbulence, iteration controls, and the
// frequency description (print_frequency_set, or the wavelength range).
void print_model_settings(Run& run);

// The frequency set of the cards, entries 1..NUMNU in four columns filled column by column.
// Slots beyond the 500 of the table (the count can be the driver's, up to 1131) print as zeros.
void print_frequency_set(Run& run);

// New page; one line per depth: RHOX, T, P, XNE, ABROSS, PRAD, VTURB, BHYD(1..6), BMIN.
void print_model_table(Run& run);

}  // namespace atmotab
