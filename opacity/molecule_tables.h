// Readers of the molecular opacity tables: CH and OH photodissociation (data/tabch.txt,
// taboh.txt) and H2 collision-induced absorption (data/tabh2h2.txt, tabh2he.txt). They are kept
// apart from the physics so that the build can run them too: cmake/bake_tables.cpp reads the
// embedded tables with them and compiles the results in (choh_builtin, h2collop_builtin), so that
// the first model of a run does not parse 5000 numbers.
#pragma once

#include <string_view>

#include "common/array.h"

namespace atmotab {

constexpr int NCHROW = 105;  // photon-energy rows of TABCH
constexpr int NOHROW = 130;  // of TABOH
constexpr int NCHOHT = 15;   // temperature columns of TABCH and TABOH

// Parses a table in the layout of data/tabch.txt (NAME "tabch", NROW 105) or data/taboh.txt
// ("taboh", 130) into TAB(IT,N), IT = 1..15 fastest: log10 cross-section [cm^2], single-precision
// values widened to double. Throws atmo_error (status 2) naming the file and line when the format
// line, the counts or a row do not match.
void choh_load(std::string_view text, std::string_view name, int nrow, double* tab);

// Parses a table in the layout of data/tabh2h2.txt (NAME "tabh2h2.txt") or tabh2he.txt: rows
// "k wavenumber tag v(1) .. v(7)" after the format and count lines, into TAB(T,K), log10 of the
// coefficient per pair [cm^5] at T x 1000 K and (K-1) x 250 cm^-1. Throws atmo_error like
// choh_load.
void h2collop_read(std::string_view text, std::string_view name, Arr<double, 7, 81>& tab);

// The same tables as choh_load and h2collop_read make of the embedded texts, bit for bit, compiled
// in when atmotab was built. A table that fails its reader's checks stops the build.
void choh_builtin(Arr<double, NCHOHT, NCHROW>& tabch, Arr<double, NCHOHT, NOHROW>& taboh);
void h2collop_builtin(Arr<double, 7, 81>& tabh2h2, Arr<double, 7, 81>& tabh2he);

}  // namespace atmotab
