// pops — the population driver: number densities, number densities over partition functions and
// partition functions of any element stage (or listed molecule) at every depth of the model.
#pragma once

#include "common/state.h"

namespace atmotab {

// Fills NUMBER for depths 1..NRHOX. CODE = Z.ss names element Z (1..99) and, through ss, the
// stage NION = ss + 1 (modes 1, 2, 3) or the number of stages (modes 11, 12, 13, stages
// 1..NION into consecutive 99-slot columns NUMBER(J,ION)); CODE >= 100 names a molecule. MODE's
// units digit: 1 number density over partition function [cm^-3], 2 number density [cm^-3],
// 3 partition function. CODE = 0 only brings the model's electron density up to date. The
// first call of a model (with IFPRES = 1) runs the electron-density iteration (with
// molecules on, IFMOL = 1, the molecular equilibrium nmolec instead). NUMBER may
// be null when CODE = 0.
void pops(Run& run, double code, int mode, double* number);

// Stage number (or stage count) of a code Z.ss: int((CODE - Z) * 100 + 1.5).
int pops_nion(double code);

}  // namespace atmotab
