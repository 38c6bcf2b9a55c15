// pops — the population driver: number densities, number densities over partition functions and
// partition functions of any element stage (or listed molecule) at every depth of the model.
#pragma once

#include "common/state.h"

namespace atmotab {

// What a population request asks for (the units digit of a pops mode).
enum class Wanted : int {
  NumberOverU = 1,        // number density over partition function [cm^-3]
  Number = 2,             // number density [cm^-3]
  PartitionFunction = 3,  // partition function
};

// The typed requests. Each fills depths 1..NRHOX; the first request of a model (with IFPRES = 1)
// first runs the electron-density iteration (with molecules on, IFMOL = 1, the
// molecular equilibrium nmolec instead).
// Stage STAGE (1 = neutral) of element Z = 1..99 into OUT(J).
void pops_stage(Run& run, int z, int stage, Wanted what, double* out);
// Stages 1..NSTAGES of element Z into consecutive 99-slot columns, stage S in OUT(J,S).
void pops_stages(Run& run, int z, int nstages, Wanted what, double* out);
// Molecule CODE (the atomic numbers of its constituents, two digits each after the first; .01 for
// a singly ionised molecule) into OUT(J). Only with the molecular equilibrium in force: otherwise
// the run stops after "1MOLECULES OFF".
void pops_molecule(Run& run, double code, Wanted what, double* out);
// Only brings the model's electron density (or molecular equilibrium) up to date.
void pops_current(Run& run);

// The same requests by code and mode. CODE = Z.ss names element Z (1..99) and, through ss, the
// stage NION = ss + 1 (modes 1, 2, 3) or the number of stages (modes 11, 12, 13); CODE >= 100
// names a molecule. MODE's units digit is what is wanted (Wanted). CODE = 0 only brings the
// model's electron density up to date; NUMBER may then be null.
void pops(Run& run, double code, int mode, double* number);

// Stage number (or stage count) of a code Z.ss: int((CODE - Z) * 100 + 1.5).
int pops_nion(double code);

}  // namespace atmotab
