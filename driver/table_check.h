// The values of the table records: every value written to units 10 and 11 is finite, populations,
// densities and opacities are non-negative, and the continuum opacity is positive. Each record is
// checked where it is formed; a break stops the model (atmo_error, status 1, so that the files go
// back to the finished models) with a message naming the quantity, the depth (and frequency) and
// the likely cause.
#pragma once

#include <string>

#include "common/state.h"

namespace atmotab {

// What a value must be.
enum class ValueRule {
  Finite,       // any finite value
  NonNegative,  // finite and >= 0
  Positive,     // finite and > 0
};

// Index (from 0) of the first of V[0..N) that breaks RULE, -1 when none does.
int first_break(const double* v, int n, ValueRule rule);
int first_break(const float* v, int n, ValueRule rule);

// What is wrong with V: "NaN", "+Inf", "-Inf", "zero" or "negative (-1.2345E-05)".
std::string break_text(double v);

// Records 1..3 (edges and frequency set): finite.
void check_headers(const Run& run);
// After kapp at frequency I of the set: ABTOT(J) = ACONT + SIGMAC positive and finite at every
// depth; a break names the wavelength, the depth and the source that gives it, or says that no
// source is on.
void check_continuum(Run& run, int i);
// Record 4 of unit 10, the single-precision depth block (depths 1..min(NRHOX, 25)).
void check_depth_block(const Run& run);
// Record 4 + J of unit 10: XNFPEL (non-negative), DOPPLE (positive), CONTINALL (finite), as the
// singles written.
void check_depth_record(const Run& run, int j);
// Record 4 of unit 11: XNFDOPMAX non-negative.
void check_maxima(const Run& run);

}  // namespace atmotab
