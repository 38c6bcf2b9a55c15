// The private state of the cool-metal block (opacity/coolop.cpp, cool_atoms.cpp, choh.cpp): the
// per-model tables, formed at the first call of a model even when its temperatures equal the last
// model's, and the per-frequency values (keyed by the frequency). Held in the opacity workspace
// (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful).
#pragma once

#include "common/elements.h"
#include "common/model_key.h"
#include "common/per_frequency.h"
#include "opacity/molecule_tables.h"

namespace atmotab {

struct Run;

constexpr int NC1ROW = 21;   // level-table rows of C I
constexpr int NMG1ROW = 10;  // of Mg I
constexpr int NAL1ROW = 10;  // of Al I
constexpr int NSI1ROW = 18;  // of Si I
constexpr int NFE1LEV = 48;  // Fe I pseudo-levels

// Per-model tables of one atom of the cool block, row I of its level table.
template <int NROW>
struct CoolAtomTables {
  Arr<double, NDEPTH, NROW> BOLT;   // BOLT(J,I)   exp(-E hc/kT) of the row's level (1 where E = 0)
  Arr<double, NDEPTH, NROW> RATIO;  // RATIO(J,I)  b/b_c: the level's departure coefficient over
                                    //             the ion ground level's (0 for empty rows)
  PerFrequency<NROW> SIG;           // SIG         per frequency of the set: VAL(I) the cross-
                                    //             section [cm^2] of row I, for the rows reached
};

// The per-frequency column of chop or ohop.
struct ChohColumn {
  double FREQ1 = 0;           // FREQ1     frequency of the column [Hz]; 0: none yet
  double EVOLT = 0;           // EVOLT     its photon energy [eV]
  int N = 0;                  // N         table row below EVOLT (in range: CH 20..104, OH 1..129)
  double EN = 0;              // EN        photon energy of row N [eV]
  Arr<double, NCHOHT> CROSS;  // CROSS(IT) log10 cross-section [cm^2] at EVOLT, column IT = 1..15
};

// COOLOP: the cool-metal block.
struct CoolopRec {
  ModelKey MODEL;                        // MODEL        model of the atom tables below
  CoolAtomTables<NC1ROW> C1;             // C1           C I rows
  CoolAtomTables<NMG1ROW> MG1;           // MG1          Mg I rows
  CoolAtomTables<NAL1ROW> AL1;           // AL1          Al I rows
  CoolAtomTables<NSI1ROW> SI1;           // SI1          Si I rows
  Arr<double, NDEPTH, NFE1LEV> BOLTFE1;  // BOLTFE1(J,I) exp(-E(I) hc/kT) of Fe I pseudo-level I
  Dep AH2COLL;                        // AH2COLL(J)   H2-H2 and H2-He collision-induced absorption
                                      //              [cm^2 g^-1], scratch of the block
  Dep AMOLEC;                         // AMOLEC(J)    AH2COLL + (CH and OH cross-section x n/U) /
                                      //              RHO [cm^2 g^-1], the block's molecular
                                      //              absorption: an LTE term of the continuum
  Arr<double, NCHOHT, NCHROW> TABCH;  // TABCH(IT,N)  log10 CH photodissociation cross-section
                                      //              [cm^2] at 1500+500 IT K and 0.1 N eV
  Arr<double, NCHOHT, NOHROW> TABOH;  // TABOH(IT,N)  the same for OH at 2.0 + 0.1 N eV
  int IFTAB = 0;                      // IFTAB        1 once TABCH and TABOH are loaded
  ChohColumn CH;                      // CH           per-frequency column of chop (CROSSCHT)
  ChohColumn OH;                      // OH           per-frequency column of ohop (CROSSOHT)
};

CoolopRec& coolop_cache(Run& run);

}  // namespace atmotab
