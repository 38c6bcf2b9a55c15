// coulff — free-free Gaunt factor of a hydrogenic ion, interpolated in a table of
// log10 gamma^2 (gamma^2 = Z^2 Ry/kT) and log10 u (u = h nu/kT).
#pragma once

namespace atmotab {

struct Run;

// The free-free Gaunt factor at depth J (temperature T(J)) and the current frequency (FREQLG of
// the FREQ record) for an ion of charge NZ = 1..6. Bilinear in the table; outside it the edge cell
// is extrapolated linearly.
double coulff(const Run& run, int J, int NZ);

}  // namespace atmotab
