// Private state of the metal opacity sources, kept in the run state between calls: the per-model
// tables (keyed by the model counter ITEMP; a new model refreshes them even when its temperatures
// equal the last model's) and the per-frequency values (keyed by the last FREQ seen). The model
// keys start at -1, which no model counter takes, so the first call of a run fills the tables
// whatever ITEMP is (the driver's first model has ITEMP 1; a caller that never sets ITEMP gets
// tables of its model too, not tables never formed); the frequency keys start at 0, no frequency.
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful). "n/U" is number
// density over partition function [cm^-3].
#pragma once

#include "common/elements.h"
#include "common/per_frequency.h"

namespace atmotab {

constexpr int NC1ROW = 21;   // level-table rows of C I
constexpr int NMG1ROW = 10;  // of Mg I
constexpr int NAL1ROW = 10;  // of Al I
constexpr int NSI1ROW = 18;  // of Si I
constexpr int NFE1LEV = 48;  // Fe I pseudo-levels
constexpr int NCHROW = 105;  // photon-energy rows of TABCH
constexpr int NOHROW = 130;  // of TABOH
constexpr int NCHOHT = 15;   // temperature columns of TABCH and TABOH
constexpr int NHOTROW = 60;  // hot-metal levels
constexpr int NHOTION = 21;  // hot-metal ion stages

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
  int ITEMP1 = -1;                       // ITEMP1       ITEMP of the atom tables below
  CoolAtomTables<NC1ROW> C1;             // C1           C I rows
  CoolAtomTables<NMG1ROW> MG1;           // MG1          Mg I rows
  CoolAtomTables<NAL1ROW> AL1;           // AL1          Al I rows
  CoolAtomTables<NSI1ROW> SI1;           // SI1          Si I rows
  Arr<double, NDEPTH, NFE1LEV> BOLTFE1;  // BOLTFE1(J,I) exp(-E(I) hc/kT) of Fe I pseudo-level I
  Dep AH2COLL;                        // AH2COLL(J)   H2-H2 and H2-He collision-induced absorption
                                      //              [cm^2 g^-1], scratch of the block
  Arr<double, NCHOHT, NCHROW> TABCH;  // TABCH(IT,N)  log10 CH photodissociation cross-section
                                      //              [cm^2] at 1500+500 IT K and 0.1 N eV
  Arr<double, NCHOHT, NOHROW> TABOH;  // TABOH(IT,N)  the same for OH at 2.0 + 0.1 N eV
  int IFTAB = 0;                      // IFTAB        1 once TABCH and TABOH are loaded
  ChohColumn CH;                      // CH           per-frequency column of chop (CROSSCHT)
  ChohColumn OH;                      // OH           per-frequency column of ohop (CROSSOHT)
};

// LUKEOP: the intermediate metals N I, O I, Mg II, Si II, Ca II.
struct LukeopRec {
  int ITEMP1 = -1;  // ITEMP1   ITEMP of the populations below
  Dep XNFN1;        // XNFN1(J)   n/U of N I
  Dep XNFO1;        // XNFO1(J)   n/U of O I
  Dep XNFMG2;       // XNFMG2(J)  n/U of Mg II
  Dep XNFSI2;       // XNFSI2(J)  n/U of Si II
  Dep XNFCA2;       // XNFCA2(J)  n/U of Ca II
  struct N1 {
    int ITEMP1 = -1;   // ITEMP1    ITEMP of C1020, C1130
    double FREQ1 = 0;  // FREQ1     FREQ of X853, X1020, X1130 [Hz]
    Dep C1020;         // C1020(J)  10 exp(-2.384 eV / kT): weight x Boltzmann factor of 2D
    Dep C1130;         // C1130(J)  6 exp(-3.575 eV / kT): the same for 2P
    double X853 = 0;   // X853      cross-section of the 4S ground term [cm^2]
    double X1020 = 0;  // X1020     of 2D [cm^2]
    double X1130 = 0;  // X1130     of 2P [cm^2]
  } N1OP;
  struct O1 {
    double FREQ1 = 0;  // FREQ1  FREQ of X911 [Hz]
    double X911 = 0;   // X911   cross-section of the 4S ionization of the ground term [cm^2]
  } O1OP;
  struct Mg2 {
    int ITEMP1 = -1;   // ITEMP1    ITEMP of C1169
    double FREQ1 = 0;  // FREQ1     FREQ of X824, X1169 [Hz]
    Dep C1169;         // C1169(J)  6 exp(-4.43 eV / kT): the 3p level
    double X824 = 0;   // X824      cross-section of the 3s ground level [cm^2]
    double X1169 = 0;  // X1169     of 3p [cm^2]
  } MG2OP;
  struct Si2 {
    int ITEMP1 = -1;      // ITEMP1  ITEMP of NT, DT
    double FREQ1 = 0;     // FREQ1   FREQ of X, D, D1 [Hz]
    Arr<int, NDEPTH> NT;  // NT(J)   temperature interval 1..5 of the Si II table
    Dep DT;               // DT(J)   fraction of it in ln T (extrapolates outside 1e4..2e4 K)
    Arr<double, 6> X;     // X(IT)   ln cross-section [cm^2] at FREQ for temperature IT = 1..6
    double D = 0;         // D       interpolation weight of the upper table row
    double D1 = 0;        // D1      1 - D
  } SI2OP;
  struct Ca2 {
    int ITEMP1 = -1;   // ITEMP1    ITEMP of C1420, C1218
    double FREQ1 = 0;  // FREQ1     FREQ of X1044, X1218, X1420 [Hz]
    Dep C1420;         // C1420(J)  6 exp(-3.142 eV / kT): the 4p level
    Dep C1218;         // C1218(J)  10 exp(-1.697 eV / kT): the 3d level
    double X1044 = 0;  // X1044     cross-section of the 4s ground level [cm^2]
    double X1218 = 0;  // X1218     of 3d [cm^2]
    double X1420 = 0;  // X1420     of 4p [cm^2]
  } CA2OP;
};

// HOTOP: the hot metals, ions of C, N, O and Ne.
struct HotopRec {
  int ITEMP1 = -1;                       // ITEMP1        ITEMP of the two tables below
  Arr<double, NDEPTH, NHOTION> XNFPHOT;  // XNFPHOT(J,ID) n/U of ion ID: 1-4 C I-IV, 5-9 N I-V,
                                         //               10-15 O I-VI, 16-21 Ne I-VI
  Arr<double, NDEPTH, NHOTROW> BOLTHOT;  // BOLTHOT(J,I)  exp(-E(I)/kT) of level I
};

// XCONT: the metal photoionization of the OP/IP tables (opacity/xcont.cpp, opacity/metal_bf_op.cpp).
constexpr int NPHOT_SPECIES = 14;  // species of the photoionization tables
constexpr int NPHOT_TEMP = 36;     // temperatures of every photoionization table
// Per frequency: the cross-section column of each species at the table temperatures, then one
// flag per species, 1 where the frequency lies inside its table.
constexpr int NPHOT_COLUMN = NPHOT_SPECIES * NPHOT_TEMP + NPHOT_SPECIES;
struct XcontRec {
  int ITEMP1 = -1;  // ITEMP1   ITEMP of the per-model values below
  int NRHOX1 = 0;   // NRHOX1   NRHOX of the per-model values below
  Arr<double, NDEPTH, NPHOT_SPECIES> XNFP;  // XNFP(J,S)  n/U of species S [cm^-3]
  Arr<int, NDEPTH> MT;  // MT(J)  first of the three temperatures of depth J, 0..NPHOT_TEMP-3
  Arr<double, NDEPTH, NPHOT_SPECIES> W0, W1, W2;  // WK(J,S)  XNFP x weight of temperature MT(J)+K
  PerFrequency<NPHOT_COLUMN> COLUMNS;       // COLUMNS    per frequency of the set
};

}  // namespace atmotab
