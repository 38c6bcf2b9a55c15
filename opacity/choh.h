// CH and OH photodissociation: cross-section times partition function per molecule (part of the
// cool-metal block, switch COOL).
#pragma once

#include <string_view>

#include "common/array.h"
#include "opacity/molecule_tables.h"

namespace atmotab {

struct Run;

// Cross-section times partition function [cm^2] of CH (chop) or OH (ohop) at the current
// frequency and the temperature of depth J, or 0: below 2.0 eV and from 10.5 eV on (CH), below
// 2.1 eV and from 15.0 eV on (OH), and at T(J) >= 9000 K. Multiplied by the molecule's n/U it
// gives absorption per cm^3. The column of the table at the current frequency is kept in COOLOP
// and formed again only when FREQ changes; then WAVENO of the FREQ record is rewritten as
// FREQ / 2.99792458e10. The tables (data/tabch.txt and data/taboh.txt, read when atmotab was
// built: choh_builtin) are copied into COOLOP on the first call of the run.
double chop(Run& run, int J);
double ohop(Run& run, int J);

// Brings the columns of chop and ohop to the current frequency (rewriting WAVENO when it changed),
// as their first calls at that frequency do; the cool block calls it once per frequency, so that
// a depth without CH or OH need not evaluate them.
void choh_frequency(Run& run);

// The partition functions of CH and OH [dimensionless] at T [K], linear in T between the
// 200 K nodes from 1000 to 9000 K, extrapolated from the first interval below 1000 K and held
// at 0 where that extrapolation would turn negative (below about 112 K for CH, 89 K for OH).
double chop_part(double T);
double ohop_part(double T);

}  // namespace atmotab
