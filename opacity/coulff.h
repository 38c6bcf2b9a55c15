// coulff — free-free Gaunt factor of a hydrogenic ion, interpolated in a table of
// log10 gamma^2 (gamma^2 = Z^2 Ry/kT) and log10 u (u = h nu/kT).
#pragma once

#include "common/array.h"

namespace atmotab {

struct Run;
struct CoulffRec;

// The free-free Gaunt factor at depth J (temperature T(J)) and the current frequency (FREQLG of
// the FREQ record) for an ion of charge NZ = 1..6. Bilinear in the table; outside it the edge cell
// is extrapolated linearly.
double coulff(const Run& run, int J, int NZ);

// The two table coordinates and the table, for callers that keep the temperature-only part per
// model: GAMLOG = 10.39638 - TLOG/1.15129 + log10 NZ^4 (2 log10 gamma^2, TLOG = ln T) and HVKTLG =
// (FREQLG - TLOG)/1.15129 - 20.63764 (2 log10 u, FREQLG = ln nu); coulff is
// coulff_at(coulff_gamlog(TLOG, NZ), coulff_hvktlg(FREQLG, TLOG)).
inline double coulff_gamlog(double TLOG, int NZ) {
  constexpr double Z4LOG[6] = {0.0, 1.20412, 1.90849, 2.40824, 2.79588, 3.11261};  // log10 Z^4
  return sp(10.39638f) - TLOG / sp(1.15129f) + Z4LOG[NZ - 1];
}
inline double coulff_hvktlg(double FREQLG, double TLOG) {
  return (FREQLG - TLOG) / sp(1.15129f) - sp(20.63764f);
}
double coulff_at(double GAMLOG, double HVKTLG);
// The same at N points: G[i] = coulff_at(GAMLOG[i], HVKTLG[i]), i = 0..N-1.
void coulff_at(const double* GAMLOG, const double* HVKTLG, double* G, int N);

// The COULFF cache (opacity/coulff_cache.h) brought up to date for the current model and frequency
// (FREQLG): HVKTLG(J) = coulff_hvktlg(FREQLG, TLOG(J)) and G1(J) = coulff(run, J, 1), J = 1..NRHOX.
const CoulffRec& coulff_columns(Run& run);

}  // namespace atmotab
