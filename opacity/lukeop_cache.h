// The private state of the intermediate metals N I, O I, Mg II, Si II, Ca II (opacity/lukeop.cpp):
// the populations and Boltzmann factors of the model, formed at the first call of a model even
// when its temperatures equal the last model's, and the cross-sections of the last frequency
// seen (keyed by FREQ; 0, no frequency, at first). Held in the opacity workspace
// (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful). "n/U" is number
// density over partition function [cm^-3].
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct LukeopRec {
  ModelKey MODEL;  // MODEL      model of the populations below (common/model_key.h)
  Dep XNFN1;       // XNFN1(J)   n/U of N I
  Dep XNFO1;       // XNFO1(J)   n/U of O I
  Dep XNFMG2;      // XNFMG2(J)  n/U of Mg II
  Dep XNFSI2;      // XNFSI2(J)  n/U of Si II
  Dep XNFCA2;      // XNFCA2(J)  n/U of Ca II
  struct N1 {
    ModelKey MODEL;    // MODEL     model of C1020, C1130
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
    ModelKey MODEL;    // MODEL     model of C1169
    double FREQ1 = 0;  // FREQ1     FREQ of X824, X1169 [Hz]
    Dep C1169;         // C1169(J)  6 exp(-4.43 eV / kT): the 3p level
    double X824 = 0;   // X824      cross-section of the 3s ground level [cm^2]
    double X1169 = 0;  // X1169     of 3p [cm^2]
  } MG2OP;
  struct Si2 {
    ModelKey MODEL;       // MODEL   model of NT, DT
    double FREQ1 = 0;     // FREQ1   FREQ of X, D, D1 [Hz]
    Arr<int, NDEPTH> NT;  // NT(J)   temperature interval 1..5 of the Si II table
    Dep DT;               // DT(J)   fraction of it in ln T (extrapolates outside 1e4..2e4 K)
    Arr<double, 6> X;     // X(IT)   ln cross-section [cm^2] at FREQ for temperature IT = 1..6
    double D = 0;         // D       interpolation weight of the upper table row
    double D1 = 0;        // D1      1 - D
  } SI2OP;
  struct Ca2 {
    ModelKey MODEL;    // MODEL     model of C1420, C1218
    double FREQ1 = 0;  // FREQ1     FREQ of X1044, X1218, X1420 [Hz]
    Dep C1420;         // C1420(J)  6 exp(-3.142 eV / kT): the 4p level
    Dep C1218;         // C1218(J)  10 exp(-1.697 eV / kT): the 3d level
    double X1044 = 0;  // X1044     cross-section of the 4s ground level [cm^2]
    double X1218 = 0;  // X1218     of 3d [cm^2]
    double X1420 = 0;  // X1420     of 4p [cm^2]
  } CA2OP;
};

LukeopRec& lukeop_cache(Run& run);

}  // namespace atmotab
