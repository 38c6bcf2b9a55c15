// Field editing of the Fortran formatter (fortran_format.h): each function appends one field of
// width W to OUT, exactly as gfortran writes it.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The two ways fmt_edit_f and fmt_edit_e convert a number; declared for the tests, which check
// that they agree.
//
// Fast paths for fields up to FMT_FAST_W wide with few digits: write the W characters of the field
// to FIELD and return true, or return false (FIELD undefined) when the value is too close to a
// rounding boundary to be certain of the digits, or out of their range.
constexpr int FMT_FAST_W = 48;
bool fmt_fast_f(char* field, double x, int w, int d, int k);
bool fmt_fast_e(char* field, double x, int w, int d, int e, int k, char letter);
// The same for a run of COUNT fields of one descriptor side by side (FIELD, FIELD + W, ...) from
// X[0], X[1], ...: the choice of route is made once per run. Returns how many fields were written
// before the first one declined (COUNT when none).
std::size_t fmt_fast_f_run(char* field, const double* x, std::size_t count, int w, int d, int k);
std::size_t fmt_fast_e_run(char* field, const double* x, std::size_t count, int w, int d, int e,
                           int k, char letter);
// The same with the route chosen once for a descriptor and kept: RUN edits COUNT fields from the
// reals at X, X + STRIDE bytes, ... (the values of a list of items read where they are).
struct FmtRealRoute {
  std::size_t (*run)(char* field, const char* x, std::size_t stride, std::size_t count,
                     const FmtRealRoute& route);
  int w, d, e, k;
  char letter;
};
FmtRealRoute fmt_fast_f_route(int w, int d, int k);
FmtRealRoute fmt_fast_e_route(int w, int d, int e, int k, char letter);
// Iw without a minimum digit count, 1 <= W <= 16: the W characters of the field at FIELD.
constexpr int FMT_FAST_INT_W = 16;
void fmt_fast_int(char* field, long long v, int w);
// Their two ways of rounding |x| x 10^S to an integer N, ties to even (|x| zero or normal, else
// false): in double precision, declining ties and values too near one; exactly in 128-bit
// integers, declining only when the numbers do not fit.
bool fmt_round_scaled(double ax, int s, std::uint64_t* n);
bool fmt_round_scaled_exact(double ax, int s, std::uint64_t* n);
// The general conversions, through std::to_chars, for any value and field.
void fmt_exact_f(std::string& out, double x, int w, int d, int k);
void fmt_exact_e(std::string& out, double x, int w, int d, int e, int k, char letter);

}  // namespace atmotab
