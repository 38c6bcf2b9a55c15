// kapp — the opacity driver: at the current frequency it clears the source arrays, runs the
// switched-on sources in their fixed order and forms the continuum and line totals of OPTOT, all
// from one table of the sources (kapp_rows).
#pragma once

#include <array>

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

// The totals a row of the source table enters.
enum class OpacityTotal {
  Continuum,  // absorption into ACONT and SCONT, scattering into SIGMAC
  Line,       // absorption into ALINE and SLINE, scattering into SIGMAL
  None,       // no total: the array is only cleared (ACOOL, the sum of the cool-metal block)
};

// One row of the source table: the arrays that the routine of switch IFOP fills at each frequency.
// An LTE absorber has the Planck function as its source function (SOURCE = &FREQ.BNU, never
// cleared); any other SOURCE is the absorber's own array. Absent arrays are nullptr.
struct OpacityRow {
  int ifop;            // switch position (IfopSwitch) of the routine that fills the arrays
  OpacityTotal total;  // the totals the arrays enter
  Dep* absorption;     // absorption [cm^2 g^-1], stimulated emission included
  Dep* source;         // source function of the absorption [units of BNU]
  Dep* scattering;     // scattering [cm^2 g^-1]
};

// The source table of RUN, in the fixed order of the sums. Adding a source array is one row here;
// the clearing step clears exactly the arrays these rows name, and the arrays of switch I are
// those of the rows with ifop = I.
constexpr int NOPACITY_ROWS = 26;
std::array<OpacityRow, NOPACITY_ROWS> kapp_rows(Run& run);

// The totals step alone: ACONT, SCONT, SIGMAC, ALINE, SLINE, SIGMAL for depths 1..NRHOX from the
// source arrays as they stand (kapp calls it after the sources).
void kapp_totals(Run& run);
// The same from the rows of the switches that are on (IFOP = 1) only, as kapp forms them: the
// arrays of the other rows must hold +0, and the totals then have the bits of kapp_totals.
void kapp_totals_of_switches_on(Run& run);

}  // namespace atmotab
