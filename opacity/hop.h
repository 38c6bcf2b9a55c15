// hop — neutral-hydrogen bound-free and free-free absorption; xkarsas — the photoionization
// cross-section of a hydrogenic level from its table.
#pragma once

namespace atmotab {

struct Run;

// AHYD(J) [cm^2 g^-1], stimulated emission included, and its source function SHYD(J) [units of
// BNU] for J = 1..NRHOX at the current frequency: levels n = 1..15 (1..6 with the departure
// coefficients BHYD(J,1..6)), the quasi-continuum above n = 15 and proton free-free absorption.
// SHYD keeps the 0 of the opacity driver where AHYD <= 0. Switch H1, IFOP(1).
void hop(Run& run);

// Photoionization cross-section [cm^2] of level N = 1..15 (its sublevels together, per atom in
// the level) of a hydrogenic ion of effective charge squared ZEFF2 at frequency FREQ [Hz]: 0 below
// the level's threshold, the table interpolated linearly in log10 sigma against log10 nu in single
// precision, extrapolated from the first interval above 10000 Rydberg. Converts the table at the
// first call of the run.
double xkarsas(Run& run, double FREQ, double ZEFF2, int N);

// The excitation energy of hydrogen level N = 1..15 above the ground level and the lowest
// wavenumber that ionizes it [cm^-1], as hop's sums use them (single-precision term values).
double hop_level_energy(int N);
double hop_threshold(int N);

// The photoionization cross-section of level N = 1..15 at its threshold [cm^2] (ZEFF2 = 1): the
// table's last point, the value hop's interpolation reaches at the edge.
double xkarsas_threshold(Run& run, int N);

// Converts data/xnk.txt into XKARSAS (XNK and the frequency grid FREQN), once per run.
void xkarsas_load(Run& run);

struct XkarsasRec;
// The interval of level N's grid that holds log10 nu = FREQLG: the first I = 2..28 with FREQN(I,N)
// < FREQLG, else 29 (FREQN falls with I).
int xkarsas_cell(const XkarsasRec& t, float FREQLG, int N);

}  // namespace atmotab
