// setfreq — fills the FREQ record (frequency, its logarithm, the Boltzmann factor, the stimulated-
// emission factor, the Planck function and the wavenumber) before an opacity evaluation.
#pragma once

namespace atmotab {

struct Run;

// Sets FREQ = nu [Hz], FREQLG = ln nu, WAVENO [cm^-1] and, for J = 1..NRHOX from HKT(J),
// EHVKT(J) = exp(-nu HKT), STIM(J) = 1 - EHVKT and BNU(J) [erg s^-1 cm^-2 Hz^-1 sr^-1].
// IFREQ = I, the index of nu in the frequency set FREQSET (0: nu is not taken from the set), by
// which the sources keep their frequency-only values across the models of a run.
// Needs TEMP filled for the current model; nu > 0.
void setfreq(Run& run, double nu, int I = 0);

}  // namespace atmotab
