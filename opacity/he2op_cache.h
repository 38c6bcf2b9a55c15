// The private state of he2op (opacity/he2op.cpp): per-model tables, formed at the first call of a
// model, that make the Boltzmann factors of the levels cost one exponential per level and depth
// per model instead of per frequency. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); He II level
// N = 1..9.
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct He2opRec {
  DepK<9> BOLTZ;   // BOLTZ(J,N)  exp(-E_N HCKT(J)) of He II level N (1 for N = 1)
  Dep EXLIM;       // EXLIM(J)    exp(-438908.84 HCKT(J)), at the He II ionization limit
  Dep EXHIGH;      // EXHIGH(J)   exp(-434519.959 HCKT(J)), at the n = 10 start of the merged levels
  Dep HCKTRY;      // HCKTRY(J)   HCKT(J) x 438889.06 [1], hc/kT times 4 Rydberg constants of He
  Dep SQRTT;       // SQRTT(J)    sqrt(T(J)) [K^1/2]
  Dep GAMLOG;      // GAMLOG(J)   2 log10 gamma^2 of the free-free Gaunt factor, Z = 2
  Dep XPERG;       // XPERG(J)    XNFPHE(J,2) / RHO(J), He II n/U per gram [g^-1]
  ModelKey MODEL;  // MODEL       model of the tables (common/model_key.h)
};

He2opRec& he2op_cache(Run& run);

}  // namespace atmotab
