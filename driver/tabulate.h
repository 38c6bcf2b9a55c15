// The per-model tabulation: after a model has been read, write the table headers, bring the
// populations up to date, evaluate the continuous opacity at every frequency of the set, and
// write the per-depth population, Doppler-width and opacity tables (unit 10) and the per-interval
// line-strength maxima (unit 11), with their listing.
#pragma once

#include "common/state.h"
#include "driver/line_strength.h"

namespace atmotab {

// The driver's settings for every model, whatever the cards said: its own frequency count, no
// line opacities, populations brought up to date, one iteration. The deck's TEFF, GRAV and GLOG
// stay in force for the models that follow (the table headers carry T(1) and log g = 0 instead,
// see table_header_teff).
void apply_model_overrides(Run& run);

// The populations that the opacity sources read, for every depth of the current model: the H, He
// and metal fields of the element records and, with molecules on, CH and OH.
void fill_element_records(Run& run);

class Hdf5Output;

// Everything after the overrides for one model, ending with the new-page line and the counters
// NUMNU = NULO = NUHI = 1. With HDF5, the finished model is also written there, in one step with
// the commit of the table files.
void tabulate_model(Run& run, Hdf5Output* hdf5 = nullptr);

// Stage count code of element Z in the element table: Z + (stages - 1) / 100, as pops takes it.
double element_code(int z);
// Doppler width over frequency of element Z at depth J: thermal and microturbulent.
double element_doppler(const Run& run, int j, int z);
// Thermal Doppler width over frequency of molecule slot K (1..60) at depth J.
double molecule_doppler(const Run& run, int j, int k);

// The effective temperature and log g that the first record of both tables carries: T(1) of the
// model and 0, whatever the deck's TEFF and GRAVITY cards said.
double table_header_teff(const Run& run);
constexpr double TABLE_HEADER_GLOG = 0.0;

// Records 1..3 of units 10 and 11, interleaved unit 10 record 1, unit 11 record 1, ...
void write_table_headers(Run& run);
// Record 4 of unit 10: the single-precision depth block (depths 1..25).
void write_depth_block(Run& run);
// Record 4 + J of unit 10: XNFPEL4, DOPPLE4 and CONTINALL4 of depth J.
void write_depth_record(Run& run);
// Record 4 of unit 11: XNFDOPMAX, interval index fastest.
void write_maxima(Run& run);

}  // namespace atmotab
