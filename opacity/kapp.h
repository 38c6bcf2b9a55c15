// kapp — the opacity driver: at the current frequency it clears the source arrays, runs the
// switched-on sources in their fixed order and forms the continuum and line totals of OPTOT, all
// from one table of the sources (kapp_sources).
#pragma once

#include <array>
#include <span>

#include "common/opacity_records.h"

namespace atmotab {

struct Run;

// One opacity evaluation at the frequency of the FREQ record, for depths 1..NRHOX. N is the
// sub-step at this frequency (the driver passes 1: the whole evaluation); NSTEPS is set to 1 and
// STEPWT to 1.0. Reads FREQ, TEMP, STATE, RHOX, IF (IFOP) and the element records through the
// sources; writes OPS, OPTOT and the per-source arrays of the element records. The arrays of a
// switch that is off hold 0 after the call: kapp clears them at the first call after the switch
// went off (KAPP records it), and only their source writes them.
void kapp(Run& run, int N, int& NSTEPS, double& STEPWT);

// The name of switch I = 1..NIFOP (H1 ... XSCAT).
const char* kapp_switch_name(int i);

// How the totals take one array of a source.
enum class OpacityTerm {
  ContinuumLte,        // absorption in the LTE group of ACONT: source function BNU in SCONT
  ContinuumAbsorber,   // absorption in ACONT, with its own source function in SCONT
  ContinuumScatterer,  // scattering in SIGMAC
  LineLte,             // absorption in the LTE group of ALINE: source function BNU in SLINE
  LineAbsorber,        // absorption in ALINE, with its own source function in SLINE
  LineScatterer,       // scattering in SIGMAL
  NoTotal,             // no total reads it; it is only cleared (ACOOL, the cool-metal sum)
};

// The totals a term enters.
enum class OpacityTotal { Continuum, Line, None };
constexpr OpacityTotal total_of(OpacityTerm t) {
  return t == OpacityTerm::NoTotal              ? OpacityTotal::None
         : t <= OpacityTerm::ContinuumScatterer ? OpacityTotal::Continuum
                                                : OpacityTotal::Line;
}
constexpr bool is_scatterer(OpacityTerm t) {
  return t == OpacityTerm::ContinuumScatterer || t == OpacityTerm::LineScatterer;
}

// One array of the run state (the accessor of a field: the table is a constant, the run is not).
using RunArray = Dep& (*)(Run&);

// One array a source writes at each frequency: absorption [cm^2 g^-1], stimulated emission
// included, or scattering [cm^2 g^-1]; an absorber with its own source function names that array
// too (SOURCE, in units of BNU), an LTE absorber does not (its source function is BNU).
struct SourceArray {
  OpacityTerm term = OpacityTerm::NoTotal;
  RunArray array = nullptr;
  RunArray source = nullptr;
};

// One row of the source table: the switch, the routine that runs when it is on (nullptr: none;
// the arrays then keep the 0 of the clearing step) and the arrays that routine writes, in the
// order in which they enter the totals.
constexpr int MAX_SOURCE_ARRAYS = 8;
struct OpacitySource {
  int ifop = 0;                                         // switch position (IfopSwitch)
  void (*routine)(Run&) = nullptr;                      // the source routine
  std::array<SourceArray, MAX_SOURCE_ARRAYS> arrays{};  // arrays[0..count-1]
  std::size_t count = 0;

  constexpr std::span<const SourceArray> written() const { return {arrays.data(), count}; }
};

// The source table: one row per switch, in the order in which the sources run and their arrays
// enter the sums. Adding a source is its row here (and its routine's file, test and data); the
// clearing step clears exactly the arrays the rows name.
const std::array<OpacitySource, NIFOP>& kapp_sources();

// The totals step alone: ACONT, SCONT, SIGMAC, ALINE, SLINE, SIGMAL for depths 1..NRHOX from the
// source arrays as they stand (kapp calls it after the sources).
void kapp_totals(Run& run);
// The same from the rows of the switches that are on (IFOP = 1) only, as kapp forms them: the
// arrays of the other rows must hold +0, and the totals then have the bits of kapp_totals.
void kapp_totals_of_switches_on(Run& run);

}  // namespace atmotab
