// Values that depend on the frequency alone (cross-sections at the frequency, interpolation
// weights), kept per frequency of the driver's set across the models of a run: the set is built
// once from the edge list, and every model runs over it again. A slot is keyed by the frequency
// itself, so a slot whose frequency is no longer the set's (another set, or a frequency set by
// hand) is formed again, never read.
#pragma once

#include "common/array.h"

namespace atmotab {

constexpr int MAXFREQ = 1131;  // frequencies of the driver's set (3 per edge interval)

// N values per frequency I = 1..MAXFREQ of the set.
template <int N>
struct PerFrequency {
  Arr<double, MAXFREQ> KEY;     // KEY(I)    frequency [Hz] whose values slot I holds; 0: none
  Arr<double, N, MAXFREQ> VAL;  // VAL(K,I)  value K of frequency KEY(I)

  // The N values of frequency FREQ, index I of the set (0: not one of the set's): those slot I
  // holds, or else the ones FORM(v) writes to v[0..N-1]. FORM writes into slot I, which is keyed
  // FREQ only once FORM has returned (an exception out of FORM leaves the slot holding nothing);
  // where there is no slot it writes into SCRATCH, which must have room for N values.
  template <class Form>
  const double* values(int I, double FREQ, double* SCRATCH, Form&& FORM) {
    if (I < 1 || I > MAXFREQ || !(FREQ > 0)) {
      FORM(SCRATCH);
      return SCRATCH;
    }
    double* v = &VAL(1, I);
    if (KEY(I) == FREQ) return v;
    KEY(I) = 0;
    FORM(v);
    KEY(I) = FREQ;
    return v;
  }
};

}  // namespace atmotab
