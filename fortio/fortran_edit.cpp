// Field editing of the Fortran formatter: one I, F, E or A field at a time (the rules are listed in
// fortran_format.h). The general conversion uses std::to_chars at a given precision, which rounds
// the exact binary value to nearest, ties to even, like printf and as gfortran does with its
// default rounding mode (and several times faster than snprintf).
//
// Listing fields have few digits (F5.2, E12.4, F10.2), and for them a shorter route gives the
// same digits (fortran_edit_fast.cpp): the value times a power of ten in double precision, rounded
// to an integer when the product is provably far enough from a half-integer; values too close to
// a rounding boundary take the general conversion.
#include "fortio/fortran_edit.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace atmotab {

namespace {

// Conversion buffer: 309 integer digits of the largest double, the point, FMT_MAX_DIGITS +
// FMT_MAX_SCALE fraction digits, sign and exponent.
constexpr int FMT_BUF = 640;
static_assert(FMT_BUF > 309 + 1 + FMT_MAX_DIGITS + FMT_MAX_SCALE + 8);

// |x| as printf's "%.*f" (FMT fixed) or "%.*e" (scientific) with PREC digits, NUL-terminated in
// BUF; returns the length.
template <std::size_t N>
int to_decimal(std::array<char, N>& buf, double ax, std::chars_format fmt, int prec) {
  const auto r = std::to_chars(buf.data(), buf.data() + N - 1, ax, fmt, prec);
  *r.ptr = '\0';
  return static_cast<int>(r.ptr - buf.data());
}

// The exponent part of E: LETTER (when not 0), the sign and NDIG digits of |EXPO|.
int exponent_text(char* p, char letter, int expo, int ndig) {
  int n = 0;
  if (letter) p[n++] = letter;
  p[n++] = expo < 0 ? '-' : '+';
  int a = expo < 0 ? -expo : expo;
  for (int j = ndig - 1; j >= 0; --j, a /= 10) p[n + j] = static_cast<char>('0' + a % 10);
  return n + ndig;
}

void put_stars(std::string& out, int w) { out.append(static_cast<std::size_t>(w), '*'); }

// The start of a field of width W whose digits take LEN characters (sign included): the blanks,
// the sign and, with LEAD_ZERO, a zero before the point (one character more). False, with W
// asterisks written, when the field is too narrow.
bool start_field(std::string& out, int w, int len, bool neg, bool lead_zero) {
  if (lead_zero) ++len;
  if (len > w) {
    put_stars(out, w);
    return false;
  }
  out.append(static_cast<std::size_t>(w - len), ' ');
  if (neg) out.push_back('-');
  if (lead_zero) out.push_back('0');
  return true;
}

// Right-justifies the LEN characters at P in a field of W (LEN <= W).
void put_right(std::string& out, int w, const char* p, int len) {
  out.append(static_cast<std::size_t>(w - len), ' ');
  out.append(p, static_cast<std::size_t>(len));
}

// Infinity and NaN in an F or E field of width W, as gfortran writes them.
void put_infnan(std::string& out, int w, double x) {
  if (std::isnan(x)) {
    if (w < 3) return put_stars(out, w);
    return put_right(out, w, "NaN", 3);
  }
  if (std::signbit(x)) {
    if (w < 4) return put_stars(out, w);
    if (w >= 9) return put_right(out, w, "-Infinity", 9);
    return put_right(out, w, "-Inf", 4);
  }
  if (w < 3) return put_stars(out, w);
  if (w >= 8) return put_right(out, w, "Infinity", 8);
  put_right(out, w, "Inf", 3);
}

// The digit string S = |x| x 10^PREC rounded to an integer, ties to even; PREC < 0 rounds to tens,
// hundreds, ... of |x|. S may carry leading zeros.
void fixed_digits(double ax, int prec, char* digits, int* ndigits) {
  std::array<char, FMT_BUF> buf;
  if (prec >= 0) {
    const int n = to_decimal(buf, ax, std::chars_format::fixed, prec);
    int len = 0;
    for (int j = 0; j < n; ++j)
      if (buf[static_cast<std::size_t>(j)] != '.') digits[len++] = buf[static_cast<std::size_t>(j)];
    *ndigits = len;
    return;
  }
  // Rounding left of the point. Scale by the exact decimal exponent: the value has E10+1 integer
  // digits, of which NSIG = E10+1+PREC survive.
  to_decimal(buf, ax, std::chars_format::scientific, 40);
  const int e10 = ax == 0 ? 0 : std::atoi(std::strchr(buf.data(), 'e') + 1);
  const int nsig = e10 + 1 + prec;
  int units = 0;  // S when it has a single digit
  if (ax == 0 || nsig < 0) {
    units = 0;
  } else if (nsig == 0) {
    // Compare with half a unit, 5 x 10^E10: the 41 digits above show an exact tie.
    const char first = buf[0];
    bool rest_zero = true;
    for (const char* p = buf.data() + 2; *p != 'e'; ++p) rest_zero = rest_zero && *p == '0';
    units = (first > '5' || (first == '5' && !rest_zero)) ? 1 : 0;  // a tie goes to even (0)
  } else {
    to_decimal(buf, ax, std::chars_format::scientific, nsig - 1);
    int len = 0;
    for (const char* p = buf.data(); *p != 'e'; ++p)
      if (*p != '.') digits[len++] = *p;
    const int e_round = std::atoi(std::strchr(buf.data(), 'e') + 1);
    // Rounding up to a power of ten adds a digit: 9.5 -> 1e1.
    const int nint = e_round + 1 + prec;
    if (nint > len) digits[len++] = '0';
    *ndigits = len;
    return;
  }
  digits[0] = static_cast<char>('0' + units);
  *ndigits = 1;
}

}  // namespace

void fmt_edit_int(std::string& out, long long v, int w, int m) {
  const bool neg = v < 0;
  unsigned long long u =
      neg ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  if (u == 0 && m == 0) {  // Iw.0 of zero: an all-blank field
    out.append(static_cast<std::size_t>(w), ' ');
    return;
  }
  // Digits from the right end of BUF, which starts blank: a field of at most 16 characters
  // without a minimum digit count is then the last W characters of BUF.
  std::array<char, 24> buf;
  std::memset(buf.data(), ' ', buf.size());
  char* const end = buf.data() + buf.size();
  char* p = end;
  do {
    *--p = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  const int n = static_cast<int>(end - p);
  if (m <= 0 && w > 0 && w <= 16) {
    if (neg) *--p = '-';
    if (end - p > w) return put_stars(out, w);
    out.append(end - w, static_cast<std::size_t>(w));
    return;
  }
  const int ndig = std::max(n, m);
  const int len = ndig + (neg ? 1 : 0);
  if (w == 0) w = len;  // I0: the minimal width
  if (len > w) return put_stars(out, w);
  // The field in place: blanks, sign, zeros up to M digits, digits.
  const std::size_t pos = out.size();
  out.resize(pos + static_cast<std::size_t>(w));
  char* f = out.data() + pos;
  std::memset(f, ' ', static_cast<std::size_t>(w - len));
  f += w - len;
  if (neg) *f++ = '-';
  std::memset(f, '0', static_cast<std::size_t>(ndig - n));
  std::memcpy(f + (ndig - n), p, static_cast<std::size_t>(n));
}

void fmt_exact_f(std::string& out, double x, int w, int d, int k) {
  if (!std::isfinite(x)) return put_infnan(out, w, x);
  const bool neg = std::signbit(x);  // also for values rounding to zero: "-0.00"
  // S x 10^-(D+K) approximates |x|, so S x 10^-D is the printed value: its last D digits are the
  // fraction, the others the integer part.
  std::array<char, FMT_BUF> s;
  int ns = 0;
  fixed_digits(std::fabs(x), d + k, s.data(), &ns);
  int first = 0;  // first nonzero integer digit
  while (first < ns - d && s[static_cast<std::size_t>(first)] == '0') ++first;
  const int nip = std::max(ns - d - first, 0);
  int len = (neg ? 1 : 0) + nip + 1 + d;
  // The zero before the point is printed when there is room, and always when D = 0.
  if (!start_field(out, w, len, neg, nip == 0 && (len < w || d == 0))) return;
  out.append(s.data() + first, static_cast<std::size_t>(nip));
  out.push_back('.');
  for (int j = ns - d; j < ns; ++j) out.push_back(j >= 0 ? s[static_cast<std::size_t>(j)] : '0');
}

void fmt_exact_e(std::string& out, double x, int w, int d, int e, int k, char letter) {
  if (!std::isfinite(x)) return put_infnan(out, w, x);
  const bool neg = std::signbit(x);
  const double ax = std::fabs(x);
  const int nsig = k > 0 ? d + 1 : d + k;
  std::array<char, FMT_BUF> buf;
  to_decimal(buf, ax, std::chars_format::scientific, nsig - 1);
  std::array<char, FMT_BUF> dig;
  int nd = 0;
  const char* p = buf.data();
  for (; *p != 'e'; ++p)
    if (*p != '.') dig[static_cast<std::size_t>(nd++)] = *p;
  const int e10 = std::atoi(p + 1);
  const int expo = ax == 0 ? 0 : e10 + 1 - k;
  // Exponent part.
  std::array<char, 16> ex;
  int nex = 0;
  const int aexp = std::abs(expo);
  if (e == 0) {
    if (aexp <= 99) {
      nex = exponent_text(ex.data(), letter, expo, 2);
    } else if (aexp <= 999) {
      nex = exponent_text(ex.data(), 0, expo, 3);
    } else {
      return put_stars(out, w);
    }
  } else {
    int lim = 1;
    for (int j = 0; j < e; ++j) lim *= 10;
    if (aexp >= lim) return put_stars(out, w);
    nex = exponent_text(ex.data(), letter, expo, e);
  }
  // Mantissa: K digits before the point (K > 0), or "0." and -K zeros (K <= 0).
  int len = (neg ? 1 : 0) + (k > 0 ? d + 2 : d + 1) + nex;
  if (!start_field(out, w, len, neg, k <= 0 && len < w)) return;
  if (k > 0) {
    out.append(dig.data(), static_cast<std::size_t>(k));
    out.push_back('.');
    out.append(dig.data() + k, static_cast<std::size_t>(nd - k));
  } else {
    out.push_back('.');
    out.append(static_cast<std::size_t>(-k), '0');
    out.append(dig.data(), static_cast<std::size_t>(nd));
  }
  out.append(ex.data(), static_cast<std::size_t>(nex));
}

void fmt_edit_f(std::string& out, double x, int w, int d, int k) {
  const std::size_t pos = out.size();
  out.resize(pos + static_cast<std::size_t>(w));
  if (fmt_fast_f(out.data() + pos, x, w, d, k)) return;
  out.resize(pos);
  fmt_exact_f(out, x, w, d, k);
}

void fmt_edit_e(std::string& out, double x, int w, int d, int e, int k, char letter) {
  const std::size_t pos = out.size();
  out.resize(pos + static_cast<std::size_t>(w));
  if (fmt_fast_e(out.data() + pos, x, w, d, e, k, letter)) return;
  out.resize(pos);
  fmt_exact_e(out, x, w, d, e, k, letter);
}

void fmt_edit_a(std::string& out, std::string_view t, int w) {
  const int len = static_cast<int>(t.size());
  if (w == 0 || w == len) {
    out.append(t);
  } else if (len > w) {
    out.append(t.substr(0, static_cast<std::size_t>(w)));
  } else {
    out.append(static_cast<std::size_t>(w - len), ' ');
    out.append(t);
  }
}

}  // namespace atmotab
