// atomic_data — loaders of the atomic data tables built from the NIST compilations
// (data/potion.txt, ipftab.txt, fegrpf.txt, pfground.txt; made by tools/make_atomic_tables.py,
// sources and method in data/PROVENANCE.md).
// Sources: NIST Atomic Spectra Database levels and ionization energies (Kramida, Ralchenko,
//          Reader & NIST ASD Team).
// Inputs:  the embedded table texts (embedded_data), or any text in the same format.
// Output:  the caller's arrays, filled in the program's index order (below).
// Errors:  a table whose format line, counts or row indices do not match throws atmo_error with
//          status 2 (EXIT_IO), naming the table and the offending line.
// The loaders keep no state: each call parses the text again into the arrays it is given.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/array.h"
#include "common/embedded_data.h"

namespace atmotab {

constexpr int NPOTION_USED = 840;     // slots of POTION that stages map to
constexpr int IPFTAB_ROWS = 365;      // rows of the packed partition-function table
constexpr int FEGRPF_SETS = 10 * 9;   // stages I..X of Ca..Ni
constexpr int NELION_MAX = 336;       // NELION = 6 (Z - 1) + stage, Z <= 56
constexpr int PFGROUND_MAXLEV = 600;  // level slots of the ground-configuration lists

// POTION(K)  ionization potential [cm-1] of the stage that maps to slot K (Z <= 30: slot
// Z(Z+1)/2 - 1 + stage, then 0 for the bare nucleus; Z = 31..99: slot 5 Z + 340 + stage);
// 0 = no value. The values are single-precision constants widened to double. Fills the POTION
// record's field POTION(1..840) and sets slots 841..N to 0.
void load_potion(std::string_view text, double* potion, int n);
template <int N>
void load_potion(std::string_view text, Arr<double, N>& potion) {
  static_assert(N >= NPOTION_USED, "POTION needs at least 840 slots");
  load_potion(text, potion.data(), N);
}

// IPFTAB(I,N)  word I = 1..6 of packed row N = 1..365 (words 1..5: two partition functions
// each, K1*SCALE(KS) and K2*SCALE(KS); word 6: 100 x IP[0.001 eV] + G). The table of the
// packed-table interpolation of the partition-function routine.
using Ipftab = Arr<std::int32_t, 6, IPFTAB_ROWS>;
void load_ipftab(std::string_view text, Ipftab& ipftab);

// FEGRPF(L,r,K)  partition function (single precision) of lowering column L = 1..7 (500 ...
// 32000 cm-1), temperature row r = 1..56 and set K = ION + 10 (IZ - 20), ION = 1..10,
// IZ = 20..28: the storage of FEGRPF(7,56,10,9) with its last two indices merged (first index
// fastest), read by the iron-group routine pfiron.
using Fegrpf = Arr<float, 7, 56, FEGRPF_SETS>;
void load_fegrpf(std::string_view text, Fegrpf& fegrpf);

// The level lists of pfground(NELION, T) = sum g exp(-1.4387884 E / T).
struct PfgroundLevels {
  Arr<int, NELION_MAX> NLEV;       // NLEV(NELION)   levels of the list; 0 = constant weight
  Arr<int, NELION_MAX> LOC;        // LOC(NELION)    slot of its first level in G and E
  Arr<double, NELION_MAX> GCON;    // GCON(NELION)   the constant weight when NLEV = 0
  Arr<double, PFGROUND_MAXLEV> G;  // G(K)  statistical weight of level slot K
  Arr<double, PFGROUND_MAXLEV> E;  // E(K)  its energy [cm-1], single-precision constant widened
  int NUSED = 0;                   // NUSED          level slots in use
};
void load_pfground(std::string_view text, PfgroundLevels& pfg);

// The four embedded tables, by name ("potion.txt" ...), into the caller's arrays.
template <int N>
void load_atomic_data(Arr<double, N>& potion, Ipftab& ipftab, Fegrpf& fegrpf, PfgroundLevels& pfg) {
  load_potion(embedded_data("potion.txt"), potion);
  load_ipftab(embedded_data("ipftab.txt"), ipftab);
  load_fegrpf(embedded_data("fegrpf.txt"), fegrpf);
  load_pfground(embedded_data("pfground.txt"), pfg);
}

// The same four tables as load_atomic_data fills them, read when atmotab was built: the build runs
// these loaders over the embedded texts (cmake/bake_tables.cpp) and compiles their results in as
// constant arrays, so that a run starts without parsing 40000 numbers. A table that fails its
// loader's checks stops the build. POTION beyond slot 840 is set to 0.
void load_atomic_data_builtin(Arr<double, 1000>& potion, Ipftab& ipftab, Fegrpf& fegrpf,
                              PfgroundLevels& pfg);

}  // namespace atmotab
