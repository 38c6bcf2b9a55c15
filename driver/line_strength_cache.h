// The private state of the line-strength maxima (driver/line_strength.cpp): which intervals of
// XNFDOPMAX the last model wrote, and the scratch of the search over the stage-element slots
// K = S + 6 (Z - 1) that hold a population at some depth of the model (the others stay 0):
// LSACTIVE(I) = K for I = 1..NLSACTIVE. Held in the driver workspace (driver/workspace.h).
#pragma once

#include "common/array.h"
#include "common/tables.h"

namespace atmotab {

struct Run;

struct LineStrengthRec {
  static constexpr int LS_TILE = 8;         // slots per register tile
  static constexpr int LS_SLOTS = 600;      // rows of LSA: 6 x 99 slots rounded up to whole tiles
  static constexpr int LS_INTERVALS = 384;  // rows of LSR: the intervals rounded up to whole tiles
  // Past interval NDOPMAX(K), slot K of XNFDOPMAX holds 0; end_line_strength_maxima clears only
  // what the last model wrote and this one does not. A new run's table is all 0, with NDOPMAX 0.
  Arr<int, 6 * 99> NDOPMAX;  // NDOPMAX(K)   intervals of slot K the last model wrote
  Arr<int, 6 * 99> LSACTIVE;
  int NLSACTIVE = 0;
  // LSA(I,J)  XNFPEL/DOPPLE of slot LSACTIVE(I) [cm^-3]
  Arr<double, LS_SLOTS, NTAB_DEPTH> LSA;
  // LSR(M,J)  1/(nu_M RHO CMIN 0.001) of interval M, or 0 where the divisions are needed
  Arr<double, LS_INTERVALS, NTAB_DEPTH> LSR;
  Arr<double, LS_TILE, LS_INTERVALS> LSTILE;  // LSTILE(II,M)  largest product of one tile
};

LineStrengthRec& line_strength_cache(Run& run);

}  // namespace atmotab
