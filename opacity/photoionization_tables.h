// Reader of the metal photoionization tables (data/photoionization_<Species>.txt, written by
// tools/make_photoionization.py): the effective bound-free cross-section per unit n/U of one
// species, sigma_eff(nu, T) = sum_i g_i exp(-E_i / kT) <sigma_i>(nu) [cm^2], on a frequency grid
// that lists every threshold twice (the value below it, then the value at and above it) and a
// temperature grid uniform in 1/T. Kept apart from the physics (opacity/metal_bf_op.cpp) so that
// the build reads the tables with it too (cmake/bake_tables.cpp) and compiles them in.
#pragma once

#include <string_view>
#include <vector>

namespace atmotab {

constexpr int NPHOT_SPECIES = 14;  // species of the photoionization tables
constexpr int NPHOT_TEMP = 36;     // temperatures of every table
constexpr int NPHOT_FREQ = 600;    // frequencies of a table, at most

// The species, in table order: file name part, element Z and stage (1 = neutral).
struct PhotSpecies {
  std::string_view name;
  int z;
  int stage;
};
constexpr PhotSpecies PHOT_SPECIES[NPHOT_SPECIES] = {
    {"C_I", 6, 1},   {"C_II", 6, 2},   {"N_I", 7, 1},   {"O_I", 8, 1},    {"Na_I", 11, 1},
    {"Mg_I", 12, 1}, {"Mg_II", 12, 2}, {"Al_I", 13, 1}, {"Si_I", 14, 1},  {"Si_II", 14, 2},
    {"Ca_I", 20, 1}, {"Ca_II", 20, 2}, {"Fe_I", 26, 1}, {"Fe_II", 26, 2},
};

// One table as read.
struct PhotTable {
  std::vector<double> T;      // T(M)        temperatures [K], M = 0..NPHOT_TEMP-1, rising
  std::vector<double> nu;     // nu(K)       frequencies [Hz], non-decreasing, K = 0..nfreq-1
  std::vector<double> sigma;  // sigma(K*NPHOT_TEMP + M)  sigma_eff [cm^2]
};

// Parses data/photoionization_<SPECIES.name>.txt. Checks the format line, the species line (name,
// Z, stage and the counts), the temperatures (rising, positive), the term rows, the frequencies
// (positive, non-decreasing, a frequency at most twice) and the values (finite, >= 0); a table
// that fails stops the run with atmo_error (status 2) naming the file and line.
PhotTable photoionization_read(std::string_view text, const PhotSpecies& species);

// The compiled-in tables, read at build time with photoionization_read from the embedded texts,
// bit for bit: the temperatures (common to every table), and for species S the first frequency
// index FIRST[S] into NU and SIGMA (NU[FIRST[S] + K], SIGMA[(FIRST[S] + K) * NPHOT_TEMP + M])
// and the count NFREQ[S].
struct PhotTables {
  const double* T;
  const double* nu;
  const double* sigma;
  const int* first;
  const int* nfreq;
};
PhotTables photoionization_builtin();

}  // namespace atmotab
