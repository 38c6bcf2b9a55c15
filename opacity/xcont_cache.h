// The private state of the metal photoionization of switch XCONT (opacity/xcont.cpp): the n/U of
// its species, the temperature weights and the table rows of the model, and the frequency
// brackets of the set, kept across models. Held in the opacity workspace (opacity/workspace.h).
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

// Two table rows per species, taken to the model's temperatures: a run over the frequency set in
// order needs one new row per species every few frequencies (the tables' rows lie 2 % apart, the
// set's frequencies closer), so two slots hold the bracket of the current frequency and keep one
// row for the next.
constexpr int NXCONT_SLOTS = 2 * NPHOT_SPECIES;

struct XcontRec {
  ModelKey MODEL;                           // MODEL      model of the per-model values below
  Arr<double, NDEPTH, NPHOT_SPECIES> XNFP;  // XNFP(J,S)  n/U of species S [cm^-3]
  Arr<int, NDEPTH> MT;  // MT(J)  first of the four temperatures of depth J, 0..NPHOT_TEMP-4
  Arr<double, NDEPTH, NPHOT_SPECIES> W0, W1, W2, W3;  // WK(J,S)  XNFP x weight of temperature
                                                      //          MT(J)+K
  Arr<int, NXCONT_SLOTS> ROW;  // ROW(L)  table row held in slot L = 2S-1, 2S (species S) for the
                               //         model above; -1: none
  Arr<double, NDEPTH, NXCONT_SLOTS> SLOT;  // SLOT(J,L)  row ROW(L) at the temperature of depth J,
                                           //            times n/U [cm^-1] (metal_bf_row)
  // BRACKETS  per frequency of the set: for each species S the row at or below the frequency
  // (value S; -1 outside the table) and the weight of the next row (value NPHOT_SPECIES + S), made
  // at the first call of xcont: a run that never turns XCONT on neither clears nor maps it
  std::unique_ptr<PerFrequency<2 * NPHOT_SPECIES>> BRACKETS;
  Arr<int, NPHOT_SPECIES> HINT;  // HINT(S)  row of species S at the last bracket formed (where
                                 //          the next search starts; any value gives the same rows)
};

XcontRec& xcont_cache(Run& run);

}  // namespace atmotab
