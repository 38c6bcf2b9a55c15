// The private state of hop and xkarsas (opacity/hop.cpp): the level photoionization tables,
// converted once per run, and the temperature-only factors of the model. Held in the opacity
// workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); hydrogen level
// N = 1..15; grid point I of the level cross-sections = 1..29.
#pragma once

#include "common/array.h"
#include "common/elements.h"
#include "common/model_key.h"
#include "common/per_frequency.h"

namespace atmotab {

struct Run;

// xkarsas: level photoionization tables (data/xnk.txt), converted at the first call of the run.
struct XkarsasRec {
  Arr<float, 29, 15> FREQN;  // FREQN(I,N)  log10 photon frequency [Hz] at grid point I of level N
  Arr<float, 29, 15> XNK;    // XNK(I,N)    log10 cross-section of level N per atom in it [cm^2]
  bool LOADED = false;       // LOADED      true once FREQN and XNK are filled
};

// hop: temperature-only factors of the hydrogen bound-free and free-free sums, per model.
struct HopRec {
  ModelKey MODEL;                // MODEL       model of the tables below (common/model_key.h)
  Arr<double, NDEPTH, 15> BOLT;  // BOLT(J,N) exp(-E_N HCKT(J)), Boltzmann factor of level N >= 2
  Dep EXPLIM;                    // EXPLIM(J)   exp(-109678.766 HCKT(J)), at the ionization limit
  Dep EXPQC;                     // EXPQC(J)    exp(-109250.336 HCKT(J)), at the quasi-continuum's
                                 //             fixed lower end
  Dep QCDEN;                     // QCDEN(J)    HCKT(J) x 109677.58, the quasi-continuum's divisor
  Dep FFCON;                     // FFCON(J)    3.6919e8 / sqrt(T(J)), the free-free coefficient
  PerFrequency<15> XN;  // XN          per frequency of the set: VAL(N) the cross-section of
                        //             level N per atom in it [cm^2], 0 for N below NLOW
};

XkarsasRec& xkarsas_cache(Run& run);
HopRec& hop_cache(Run& run);

}  // namespace atmotab
