// The private state of the metal photoionization of switch XCONT (opacity/xcont.cpp): the n/U of
// its species and the temperature weights of the model, and the cross-section columns of each
// frequency of the set, kept across models. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful), species
// S = 1..NPHOT_SPECIES in the order of PHOT_SPECIES (opacity/photoionization_tables.h).
#pragma once

#include <memory>

#include "common/elements.h"
#include "common/model_key.h"
#include "common/per_frequency.h"
#include "opacity/photoionization_tables.h"

namespace atmotab {

struct Run;

struct XcontRec {
  ModelKey MODEL;                           // MODEL      model of the per-model values below
  Arr<double, NDEPTH, NPHOT_SPECIES> XNFP;  // XNFP(J,S)  n/U of species S [cm^-3]
  Arr<int, NDEPTH> MT;  // MT(J)  first of the four temperatures of depth J, 0..NPHOT_TEMP-4
  Arr<double, NDEPTH, NPHOT_SPECIES> W0, W1, W2, W3;  // WK(J,S)  XNFP x weight of temperature
                                                      //          MT(J)+K
  // COLUMNS  per frequency of the set (4.7 MB), made at the first call of xcont: a run that never
  // turns XCONT on neither clears nor maps it
  std::unique_ptr<PerFrequency<NPHOT_COLUMN>> COLUMNS;
};

XcontRec& xcont_cache(Run& run);

}  // namespace atmotab
