// pfsaha — ionization balance of one element at one depth: partition functions of every stage
// combined with the Saha equation, answered as fractions, fractions over partition functions,
// partition functions or free electrons per atom.
#pragma once

#include "common/array.h"
#include "common/state.h"

namespace atmotab {

constexpr int PF_MAXION = 10;  // most stages any element has in the ionization balance

// Per-stage work data of one pfsaha call (stage ION = 1 is the neutral atom).
struct SahaWork {
  Arr<double, PF_MAXION> IP;     // IP(ION)     ionization potential of stage ION [eV]
  Arr<double, PF_MAXION> POTLO;  // POTLO(ION)  lowering of that potential, POTLOW*ION [eV]
  Arr<double, PF_MAXION> PART;   // PART(ION)   partition function of stage ION
  Arr<double, PF_MAXION> F;      // F(ION)      fraction of the element's atoms in stage ION
  int NIONS = 0;                 // NIONS       stages available for the element
  int NUSED = 0;                 // NUSED       stages in the balance, min(NIONS, NION + 2)
                                 //             (NION when only partition functions are asked)
};

// Fills ANSWER for depth J of element IZ (1..99). NION is the stage asked for (MODE < 10) or the
// number of stages (MODE >= 10); MODE's units digit: 1 fraction over partition function,
// 2 fraction, 3 partition function, 4 free electrons per atom. ANSWER points at the (1,1) slot of
// a 99 x NION array (99-slot columns per stage); modes below 10 and the electron modes write
// ANSWER(J) only. The answer is per atom of the element.
// Throws atmo_error (status 1) when P, T or XNE at depth J is not positive, or T lies below
// PFTAB.TMIN, the lowest temperature the partition functions and the Saha balance support.
void pfsaha(Run& run, int j, int iz, int nion, int mode, double* answer);

// pfsaha for an iteration whose calls at a depth differ in the electron density only (nelect):
// the level sums of the light rows, which do not depend on it, are formed once per depth and
// kept in SAHAC.LSUM. Call pfsaha_forget_levels before the first call of an iteration, so that
// they are formed with the departure coefficients in force.
void pfsaha_iteration(Run& run, int j, int iz, int nion, int mode, double* answer);
void pfsaha_forget_levels(Run& run);

// pfsaha at every depth 1..NRHOX of the model, into ANSWER(J) or ANSWER(J,1..NION), with each
// stage's partition function and Saha ratio formed once per model (kept in SAHAC, see
// common/state.h) and the depths in the inner loops. The answer is pfsaha's to the bit. Returns
// false, having written nothing, where pfsaha would stop the run at some depth (or the element
// lacks the stage): the caller then asks pfsaha depth by depth, which stops with its message.
// For requests after the electron density of the model is final; the iterations that change XNE
// call pfsaha (nmolec) or pfsaha_iteration (nelect).
bool pfsaha_depths(Run& run, int iz, int nion, int mode, double* answer);

// Debye lowering of the ionization potential of a neutral atom at depth J [eV], at most 1 eV.
double pfsaha_potlow(const Run& run, int j);

// Stages available for element IZ in the ionization balance.
int pfsaha_nions(int iz);

// Ionization potential of stage ION of element IZ [eV] from POTION, the preceding slot taken
// where the stage's slot holds 0.
double pfsaha_ip(const Run& run, int iz, int ion);

// Fills W.IP, W.POTLO and W.PART for stages 1..NUSED (set W.NUSED first) at depth J. LEVELS,
// where given, holds the level sums of the light rows at the depth (pflight_levels, in the order
// of PF_LIGHT_ROWS); otherwise they are formed here.
void pfsaha_partition(const Run& run, int j, int iz, SahaWork& w, const double* levels = nullptr);

// Partition-function methods (populations/pflight.cpp, pftable.cpp, pfiron.cpp).

// The row layout of the packed table (defined beside its loader, atomic_data.cpp).
// LOCZ(IZ), IZ = 1..29: first packed-table row of element IZ in the regular layout (C and N
// have their six rows at the end of the table).
int pf_locz(int iz);

// Packed-table row of stage ION of element IZ (not used for Z = 20..28).
int pf_row(int iz, int ion);

// The thirteen rows with explicit level sums: H I, He I, He II, B I, C I, C II, Na I, Mg I,
// Mg II, Al I, Si I, Si II, K I.
constexpr int PF_NLIGHT = 13;
constexpr int PF_LIGHT_ROWS[PF_NLIGHT] = {1, 3, 4, 14, 354, 355, 45, 51, 52, 57, 63, 64, 91};

// Position 1..13 of a row in PF_LIGHT_ROWS, 0 for a row without a level sum.
int pf_light_index(int row);

// True for the thirteen rows with explicit level sums.
bool pf_is_light(int row);

// Explicit level sum of a light row at depth J, with departure coefficients (unless IFNLTE = -1)
// and the high-level tail where the ion has one: pflight_tail(pflight_levels).
double pflight(const Run& run, int j, int row, const SahaWork& w);

// The level sum of a light row at depth J without the tail: it depends on T, HCKT, IFNLTE and
// the departure coefficients of the depth, not on the electron density.
double pflight_levels(const Run& run, int j, int row);

// LEVELS (pflight_levels of the row at depth J) plus the high-level tail of the row, where the
// ion has one and T reaches its gate; the tail depends on the lowering in W.
double pflight_tail(const Run& run, int j, int row, const SahaWork& w, double levels);

// Packed-table interpolation for stage ION of IZ (row N) at depth J, with the ground-configuration
// floor below 2 Ts and the high-level tail above 4 Ts.
double pftable(const Run& run, int j, int iz, int ion, int row, const SahaWork& w);

// pftable at depths 1..NRHOX into U(1..NRHOX), the lowering of the stage POTLOW(J) * ION, the
// row's words unpacked once.
void pftable_depths(const Run& run, int iz, int ion, int row, double ip, const double* potlow,
                    double* u);

// Ground-configuration level sum of NELION = 6 (IZ - 1) + ION at temperature T [K].
double pfground(const Run& run, int nelion, double t);

// High-level (Rydberg) tail of stage ION: the hydrogenic levels between the first level not
// included (D2 = its distance below the limit over TV) and the lowered limit, with weight G.
// IP, POTLO and TV in eV.
double pf_tail(int ion, double g, double ip, double potlo, double tv, double d2);

// Iron-group partition function (Z = 20..28) at depth J for lowering POTLO [eV], in single
// precision.
float pfiron(const Run& run, int j, int iz, int ion, double potlo);

// The lowest temperature [K] at which every iron-group partition function, extrapolated below
// the first row of its table, is still positive (the tables must be loaded).
double pfiron_lowest_temperature(const Run& run);

// The lowest temperature [K] at which the Saha exponent of the most easily ionized element
// (smallest first ionization potential) stays below its cap of 75; below it the ionization
// balance of every element is set by the cap rather than by the temperature.
double pfsaha_lowest_temperature(const Run& run);

}  // namespace atmotab
