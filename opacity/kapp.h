// kapp — the opacity driver: at the current frequency it clears every source array, runs the
// switched-on sources in their fixed order and forms the continuum and line totals of OPTOT.
#pragma once

namespace atmotab {

struct Run;

// One opacity evaluation at the frequency of the FREQ record, for depths 1..NRHOX. N is the
// sub-step at this frequency (the driver passes 1: the whole evaluation); NSTEPS is set to 1 and
// STEPWT to 1.0. Reads FREQ, TEMP, STATE, RHOX, IF (IFOP) and the element records through the
// sources; writes OPS, OPTOT and the per-source arrays of the element records.
void kapp(Run& run, int N, int& NSTEPS, double& STEPWT);

// Number of opacity-source switches IFOP(1..20), and the name of switch I (H1 ... XSCAT).
constexpr int NIFOP = 20;
const char* kapp_switch_name(int i);

// The totals step alone: ALINE, SIGMAL, SIGMAC, SLINE, ACONT, SCONT for depths 1..NRHOX from the
// source arrays as they stand (kapp calls it after the sources).
void kapp_totals(Run& run);

}  // namespace atmotab
