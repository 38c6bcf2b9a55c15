// Field editing of the Fortran formatter (fortran_format.h): each function appends one field of
// width W to OUT, exactly as gfortran writes it.
#pragma once

#include <string>
#include <string_view>

namespace atmotab {

// Limits the format parser enforces, so that the conversions work in fixed buffers.
constexpr int FMT_MAX_SCALE = 100;     // largest |k| of kP
constexpr int FMT_MAX_DIGITS = 200;    // largest d of Fw.d / Ew.d
constexpr int FMT_MAX_EXP_DIGITS = 9;  // largest e of Ew.dEe

// Iw.m (M = -1: no minimum digit count; W = 0: the minimal width, as I0).
void fmt_edit_int(std::string& out, long long v, int w, int m);
// Fw.d with scale factor K: the value printed is X times 10^K.
void fmt_edit_f(std::string& out, double x, int w, int d, int k);
// Ew.dEe (E = 0: the default exponent form) with scale factor K, -D < K < D+2 (the caller
// checks); LETTER is 'E' or 'D'. ESw.d is this with K = 1.
void fmt_edit_e(std::string& out, double x, int w, int d, int e, int k, char letter);
// Aw (W = 0: the text's own length).
void fmt_edit_a(std::string& out, std::string_view t, int w);

}  // namespace atmotab
