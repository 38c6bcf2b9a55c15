// Edge list and frequency set: the spectral edges read from unit 17, sorted by wavelength, and the
// set of three frequencies strictly inside every interval between neighbouring edges at which every
// model's continuous opacity is tabulated.
#pragma once

#include "common/state.h"

namespace atmotab {

// Listing line of an edge or a frequency: index, frequency [Hz] (or the value as read), wavelength
// [nm], wavenumber [cm^-1].
inline constexpr const char* EDGE_FORMAT = "(I5,1P,E25.15,0P,F20.7,F20.7)";

// Reads the edge list from unit 17 (free-format numbers ended by a 0 or a blank card), prints each
// value as read and converted, sorts by wavelength, prints the sorted list, builds FREQSET and
// prints its size. Throws atmo_error (status 2) at end of file before the terminating 0 and when
// the list holds more than 377 edges.
void read_edge_list(Run& run);

// One edge value v: |v| < 1e6 a wavelength [nm], 1e6 <= |v| < 1e25 a frequency [Hz], larger a
// wavenumber [cm^-1] times 1e25. Stores edge N, signs kept.
void classify_edge(Run& run, int n, double v);

// Bubble sort of the edges by |wavelength|; equal wavelengths keep their input order.
void sort_edges(Run& run);

// FREQSET and NUMFREQ from the sorted edges: just below the higher edge frequency, the mean
// wavelength, just above the lower edge frequency, for each interval.
void build_frequency_set(Run& run);

}  // namespace atmotab
