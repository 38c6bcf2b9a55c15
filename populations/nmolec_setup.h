// The equation set-up of the molecular equilibrium as nmolec works with it: the molecule list's
// records (IFEQUA, KCOMPS, LOCJ, EQUIL, CODEMOL) unpacked once per model into species and their
// component slots, and the elements whose ground-level departure coefficients correct it.
#pragma once

#include <string>
#include <vector>

#include "common/state.h"

namespace atmotab {

constexpr int MOL_ELECTRON = 100;  // IDEQUA of the electron equation

// The elements whose ground-level departure coefficient corrects the equilibrium, with the
// departure coefficients of their neutral levels (level k at depth j is FIELD[(j-1) + 99 (k-1)]).
struct MolNlte {
  int z;
  const double* (*field)(const Run& run);
  int levels;
  double b1(const Run& run, int j) const { return field(run)[j - 1]; }
  // True when every level of the field is in LTE at depth J: the neutral partition function is
  // then the same with and without departure coefficients, and R_Z is 1.
  bool lte(const Run& run, int j) const {
    const double* b = field(run);
    for (int k = 0; k < levels; ++k)
      if (b[(j - 1) + NDEPTH * k] != 1) return false;
    return true;
  }
};
extern const MolNlte MOL_NLTE[7];  // H, C, O, Mg, Al, Si, Ca

enum class MolKind { Atom, AtomicIon, Molecule };

struct MolSlot {
  int eq;       // equation whose unknown enters the product (E for a positive charge)
  bool charge;  // a positive charge: divide by XN(E)
  int z;        // element of the slot (0 for electrons and charges)
};

struct MolSpecies {
  MolKind kind;
  int first, ncomp;  // slots first .. first + ncomp - 1
  int z;             // element (atoms and atomic ions)
  int ion;           // positive charges
  double d0;         // EQUIL(1) [eV]
  bool h2;           // code 101: fixed coefficients
  int electrons;     // bound electrons (slots of the electron equation)
  double mass;       // sum of the atomic masses [amu]
};

// The equation set-up of the current molecule list, unpacked once per model.
struct MolSetup {
  int nequa = 0;
  int e = 0;  // the electron equation, 0 without one
  std::vector<MolSlot> slots;
  std::vector<MolSpecies> species;
  Arr<double, MAXEQUA> xab;  // XAB(K)
};

// The set-up of the molecule list in force, with the abundances XAB of the current model.
// Throws atmo_error (status 1) naming the card for a species of D0 = 0 (an atom or atomic ion)
// whose code names more than one element or more charges than the element has stages.
MolSetup nmolec_unpack(const Run& run);

// "molecule list 'NAME' card M (species CODE)": the card of species M, for messages.
std::string nmolec_card(const Run& run, int m);

}  // namespace atmotab
