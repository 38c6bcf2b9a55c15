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
  Arr<double, MAXFREQ> KEY;  // KEY(I)    frequency [Hz] whose values slot I holds; 0: none
  // Not cleared when the run is made (its pages are touched only as slots fill): a slot is read
  // only after it has been filled for its key.
  FreshArr<double, N, MAXFREQ> VAL;  // VAL(K,I)  value K of frequency KEY(I)

  // The N values of frequency FREQ, index I of the set (0: not one of the set's): the slot to read
  // (HIT true) or to fill at once (HIT false); nullptr, HIT false, when there is no slot.
  double* slot(int I, double FREQ, bool& HIT) {
    HIT = false;
    if (I < 1 || I > MAXFREQ || !(FREQ > 0)) return nullptr;
    HIT = KEY(I) == FREQ;
    KEY(I) = FREQ;
    return &VAL(1, I);
  }
};

}  // namespace atmotab
