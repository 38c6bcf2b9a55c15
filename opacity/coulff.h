// coulff — free-free Gaunt factor of a hydrogenic ion, interpolated in a table of
// log10 gamma^2 (gamma^2 = Z^2 Ry/kT) and log10 u (u = h nu/kT).
#pragma once

namespace atmotab {

struct Run;

// The free-free Gaunt factor at depth J (temperature T(J)) and the current frequency (FREQLG of
// the FREQ record) for an ion of charge NZ = 1..6. Bilinear in the table; outside it the edge cell
// is extrapolated linearly.
double coulff(const Run& run, int J, int NZ);

// The same for every depth J = 1..NRHOX at once, in two steps so that a caller can keep the
// temperature part per model: GAMLOG[J - 1] for ion charge NZ (coulff_gamlog), then the Gaunt
// factors G[J - 1] = coulff(run, J, NZ) at the current frequency from them (coulff_depths).
void coulff_gamlog(const Run& run, int NZ, double* GAMLOG);
void coulff_depths(const Run& run, const double* GAMLOG, double* G);

}  // namespace atmotab
