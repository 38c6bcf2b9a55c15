// TABLES: the tables the per-model driver builds and writes on units 10 and 11 — populations over
// partition functions per depth, stage and element, Doppler widths, the continuum opacity at
// every frequency of the set, and the largest line-strength indicator per edge interval. Only the
// record lives here, as part of the run state; the driver (driver/) fills it.
#pragma once

#include "common/array.h"

namespace atmotab {

constexpr int NTAB_DEPTH = 99;   // depth slots
constexpr int NTAB_FREQ = 1131;  // frequency slots (3 per edge interval)
constexpr int NTAB_EDGE = 377;   // edge-interval slots
constexpr int NTAB_HEAD = 25;    // depths of the single-precision block of record 4
constexpr int NMOLTAB = 60;      // molecules of IDMOL and MOMASS

struct TablesRec {
  Arr<double, NMOLTAB> IDMOL;    // IDMOL(K)     molecule codes, K = 1..60 (.01 codes single);
                                 //              set by fill_molecule_table (driver/)
  Arr<double, NMOLTAB> MOMASS;   // MOMASS(K)    molecular masses [amu]
  Arr<double, 99, 10, 99> XNFP;  // XNFP(J,S,Z)  n/U [cm^-3] of stage slot S = 1..10, element Z
  Arr<double, 6, 99> XNFPEL;     // XNFPEL(S,Z)  XNFP of the current depth, S = 1..6
  Arr<double, 6, 99> DOPPLE;     // DOPPLE(S,Z)  Doppler width / frequency of the current depth
  Arr<double, NTAB_FREQ, 99>
      CONTINALL;          // CONTINALL(I,J)  log10 total continuum opacity [cm^2 g^-1]
  Arr<double, 99> ABLOG;  // ABLOG(J)     log10 total opacity at the current frequency
  Arr<double, 99> XNFH2;  // XNFH2(J)     H2 number density estimate [cm^-3]
  Arr<float, NTAB_EDGE, 6, 99> XNFDOPMAX;  // XNFDOPMAX(M,S,Z)  largest line-strength indicator
  // Written by end_line_strength_maxima alone (driver/line_strength.cpp); a new run's table is
  // all 0.
  // Single-precision copies for record 4 of unit 10 (depths 1..25; later models overwrite only
  // their own depths).
  Arr<float, NTAB_HEAD> T4, TKEV4, TK4, HKT4, TLOG4, HCKT4, P4, XNE4, XNATOM4, RHO4, RHOX4, VTURB4,
      XNFH4, XNFH24;
  Arr<float, NTAB_HEAD, 2> XNFHE4;     // XNFHE4(J,K)  He I (K = 1) and He II (K = 2) [cm^-3]
  Arr<float, 6, 99> XNFPEL4, DOPPLE4;  // single copies of XNFPEL and DOPPLE for record 4 + J
  Arr<float, NTAB_FREQ> CONTINALL4;    // CONTINALL4(I)  single copy of CONTINALL(I,J)
};

}  // namespace atmotab
