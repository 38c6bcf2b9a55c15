// Fast F and E editing for fields with few digits; the layout rules are those of fmt_exact_f and
// fmt_exact_e (fortran_edit.cpp), which remain the reference and take every case this file
// declines.
//
// Both edits need N = |x| x 10^S rounded to an integer, ties to even: S = d+k for Fw.d under kP,
// and for E the S that leaves nsig significant digits before the point. Here T = fl(|x| x 10^S)
// in double, in K correctly rounded steps. For -307 <= S <= 308 one multiplication by the double
// nearest to 10^S (fortio/pow10_table.h): K = 2, the power's own rounding and the product's.
// Beyond, multiplications (S > 0) or divisions (S < 0) by 10^22 while |S| > 22, then one by the
// rest (10^0 .. 10^22 are exact doubles); |S| <= 352, K <= 17.
// With u = 2^-53 and no underflow each step has relative error at most u, so the exact V obeys
//   |T - V| <= ((1+u)^K - 1) |V| < 1.001 K u |V| < 1.002 K u |T|.
// We use ERR = K 2^-52 T, about twice that; the factor 2 also covers the rounding of |F - 1/2|
// below (relative 2^-53 at most). Underflow cannot hurt: multiplications start from a normal
// |x| and only grow it; divisions only shrink it, so if one underflows then V < 2^-1000 and the
// result N = 0 is right anyway. Overflow gives Inf, which the T < 2^49 test rejects.
// For T < 2^49 the fraction F = T - floor(T) is computed exactly (T's integer part and its
// fraction are both representable). When |F - 1/2| > ERR, the nearest half-integer
// h = floor(T) + 1/2 is farther from T than V is (the others are at least 1/2 away, and
// ERR < 1/2 when it matters), so V lies strictly on T's side of h: N = floor(T) + (F > 1/2), and V
// is not a tie. Exact ties (V a half-integer) and near-ties fail the test, as do T >= 2^49 and
// |S| > 352; for the listing's values (T < 10^7, K = 2) that is below 10^-7 of them.
//
// Those take a second, exact route in integers: |x| = M 2^Q with M < 2^53, so V is the fraction
// M 10^S 2^Q with numerator and denominator in 128 bits when |S| <= 19 and Q is moderate; the
// quotient and remainder round it exactly (ties to even). That covers 1PE25.15 of frequencies,
// with 16 digits, too. What is left (subnormal |x|, Inf, NaN, |S| > 19 with a near-tie, N >= 2^64,
// fields wider than FMT_FAST_W) goes to the general conversion.
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "fortio/fortran_edit.h"
#include "fortio/pow10_table.h"

namespace atmotab {

namespace {

constexpr std::array<double, 23> POW10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double REL_ERR = 0x1p-52;  // bound on |T - V| / T per step, see above
constexpr double T_LIMIT = 0x1p49;   // largest T whose fraction and rounding are handled

// Largest significant-digit count of the E fast path: 10^nsig times 10 (from an exponent estimate
// one too low) stays below 2^64.
constexpr int FAST_E_MAX_SIG = 17;

constexpr std::array<std::uint64_t, 20> POW10_U64 = [] {
  std::array<std::uint64_t, 20> t{};
  t[0] = 1;
  for (std::size_t j = 1; j < t.size(); ++j) t[j] = t[j - 1] * 10;
  return t;
}();

// T = |x| x 10^S in K steps (see above); -1 when |S| > 352.
inline double scaled(double ax, int s, int* k) {
  if (s >= FMT_POW10_MIN && s <= FMT_POW10_MAX) {
    *k = 2;
    return ax * FMT_POW10[static_cast<std::size_t>(s - FMT_POW10_MIN)];
  }
  constexpr int MAX_S = 352;
  *k = 1;
  if (s >= 0) {
    if (s > MAX_S) return -1;
    for (; s > 22; s -= 22, ++*k) ax *= 1e22;
    return ax * POW10[static_cast<std::size_t>(s)];
  }
  if (s < -MAX_S) return -1;
  for (; s < -22; s += 22, ++*k) ax /= 1e22;
  return ax / POW10[static_cast<std::size_t>(-s)];
}

using u128 = unsigned __int128;

// Number of significant bits of V.
inline int bit_width_128(u128 v) {
  const auto hi = static_cast<std::uint64_t>(v >> 64);
  return hi ? 64 + std::bit_width(hi) : std::bit_width(static_cast<std::uint64_t>(v));
}

// N = |x| x 10^S rounded to an integer, ties to even, when the double product decides it.
inline bool round_scaled(double ax, int s, std::uint64_t* n) {
  int k = 0;
  const double t = scaled(ax, s, &k);
  if (!(t >= 0 && t < T_LIMIT)) return false;
  const auto m = static_cast<std::int64_t>(t);     // T < 2^49: the signed conversion is exact
  const double frac = t - static_cast<double>(m);  // exact
  if (std::fabs(frac - 0.5) <= t * REL_ERR * k) return false;
  *n = static_cast<std::uint64_t>(m) + (frac > 0.5 ? 1 : 0);
  return true;
}

// The same, exactly in integers: NUM / DEN = M 10^S 2^Q with both below 2^127 (DEN below 2^126,
// so that 2 x remainder does not overflow); false when they do not fit or N >= 2^64. |x| is zero
// or normal.
bool round_scaled_exact(double ax, int s, std::uint64_t* n) {
  if (ax == 0) {
    *n = 0;
    return true;
  }
  if (s > 19 || s < -19) return false;
  std::uint64_t bits;
  std::memcpy(&bits, &ax, sizeof bits);
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = static_cast<int>(bits >> 52) - 1075;  // |x| = M 2^Q
  u128 num = m, den = 1;
  if (s >= 0)
    num *= POW10_U64[static_cast<std::size_t>(s)];  // below 2^117
  else
    den = POW10_U64[static_cast<std::size_t>(-s)];
  u128 quo, rem;
  if (q >= 0) {
    if (q > 126 - bit_width_128(num)) return false;
    num <<= q;
    quo = num / den;
    rem = num % den;
  } else {
    if (-q > 125 - bit_width_128(den)) return false;
    den <<= -q;
    if (s >= 0) {  // DEN is a power of two
      quo = num >> -q;
      rem = num & (den - 1);
    } else {
      quo = num / den;
      rem = num % den;
    }
  }
  if (2 * rem > den || (2 * rem == den && (quo & 1) != 0)) ++quo;
  if (quo >> 64) return false;
  *n = static_cast<std::uint64_t>(quo);
  return true;
}

// N by the double product, or else exactly.
inline bool round_decimal(double ax, int s, std::uint64_t* n) {
  return round_scaled(ax, s, n) || round_scaled_exact(ax, s, n);
}

// |x| is zero or a normal number (subnormals would break the error bound; also rejects NaN):
// all bits 0, or an exponent field of 1..2046 (AX has no sign bit).
inline bool normal_or_zero(double ax) {
  std::uint64_t b;
  std::memcpy(&b, &ax, sizeof b);
  return b == 0 || (b >> 52) - 1 < 2046;
}

// floor(E2 x log10(2)), exactly for every |E2| <= 1100 (78913 / 2^18 is log10(2) to 3e-6
// relative; checked value by value against a 50-digit log10(2)). fmt_fast_e relies on it: an
// estimate above the true exponent could print 0.1000E+01 for 0.9996.
inline int floor_log10_pow2(int e2) { return (e2 * 78913) >> 18; }

// "00" .. "99".
constexpr std::array<char, 200> DIGIT_PAIRS = [] {
  std::array<char, 200> t{};
  for (int j = 0; j < 100; ++j) {
    t[static_cast<std::size_t>(2 * j)] = static_cast<char>('0' + j / 10);
    t[static_cast<std::size_t>(2 * j + 1)] = static_cast<char>('0' + j % 10);
  }
  return t;
}();

// Writes the COUNT lowest decimal digits of N to the left of Q; returns N without them.
inline void put_pair(char* p, unsigned v) {
  std::memcpy(p, &DIGIT_PAIRS[static_cast<std::size_t>(2 * v)], 2);
}

// The four digits of V < 10^4 at P (two independent pairs, a shorter chain of divisions).
inline void put_four(char* p, unsigned v) {
  put_pair(p, v / 100);
  put_pair(p + 2, v % 100);
}

inline std::uint64_t put_low_digits(char*& q, std::uint64_t n, int count) {
  for (; count >= 4; count -= 4, n /= 10000) {
    q -= 4;
    put_four(q, static_cast<unsigned>(n % 10000));
  }
  if (count >= 2) {
    q -= 2;
    put_pair(q, static_cast<unsigned>(n % 100));
    n /= 100;
    count -= 2;
  }
  if (count) {
    *--q = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return n;
}

// Writes all digits of N > 0 to the left of Q, but not past FIELD; false if they do not fit.
inline bool put_all_digits(char*& q, const char* field, std::uint64_t n) {
  for (; n >= 10000; n /= 10000) {
    if (q - field < 4) return false;
    q -= 4;
    put_four(q, static_cast<unsigned>(n % 10000));
  }
  if (n >= 100) {
    if (q - field < 2) return false;
    q -= 2;
    put_pair(q, static_cast<unsigned>(n % 100));
    n /= 100;
  }
  if (n >= 10) {
    if (q - field < 2) return false;
    q -= 2;
    put_pair(q, static_cast<unsigned>(n));
    return true;
  }
  if (n > 0) {
    if (q == field) return false;
    *--q = static_cast<char>('0' + n);
  }
  return true;
}

inline bool stars(char* field, int w) {
  std::memset(field, '*', static_cast<std::size_t>(w));
  return true;
}

inline void blanks(char* field, char* q) {
  while (q > field) *--q = ' ';
}

// E fields of at most 16 characters with at most nine significant digits and the default
// exponent form (E12.4, the listing's most frequent field) take a shorter route: the same scaling
// and rounding test, 32-bit digits, and the blanks laid down first in two overlapping stores. It
// declines (false, nothing promised about FIELD) wherever the general route below might differ in
// the least; it follows the same rules.
constexpr int SHORT_W = 16;
constexpr int SHORT_DIGITS = 9;

// The exponent part of a field without an exponent width, for exponents -999 .. 999: "E+dd" up to
// 99 in magnitude, "+ddd" without the letter from 100 on.
constexpr int EXPONENT_MAX = 999;
constexpr std::array<std::array<char, 4>, 2 * EXPONENT_MAX + 1> EXPONENT_FIELDS = [] {
  std::array<std::array<char, 4>, 2 * EXPONENT_MAX + 1> t{};
  for (int expo = -EXPONENT_MAX; expo <= EXPONENT_MAX; ++expo) {
    const int a = expo < 0 ? -expo : expo;
    std::array<char, 4>& f = t[static_cast<std::size_t>(expo + EXPONENT_MAX)];
    const char sign = expo < 0 ? '-' : '+';
    if (a <= 99)
      f = {'E', sign, static_cast<char>('0' + a / 10), static_cast<char>('0' + a % 10)};
    else
      f = {sign, static_cast<char>('0' + a / 100), static_cast<char>('0' + a / 10 % 10),
           static_cast<char>('0' + a % 10)};
  }
  return t;
}();

// Blanks over the 1..16 characters of a short field.
inline void short_blanks(char* field, int w) {
  constexpr char B[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (w >= 8) {
    std::memcpy(field, B, 8);
    std::memcpy(field + w - 8, B, 8);
  } else if (w >= 4) {
    std::memcpy(field, B, 4);
    std::memcpy(field + w - 4, B, 4);
  } else {
    field[0] = field[w - 1] = field[w / 2] = ' ';
  }
}

// The COUNT lowest digits of N to the left of Q; returns N without them.
inline std::uint32_t put_low_digits32(char*& q, std::uint32_t n, int count) {
  for (; count >= 2; count -= 2, n /= 100) {
    q -= 2;
    put_pair(q, n % 100);
  }
  if (count) {
    *--q = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  return n;
}

// N = |x| x 10^S rounded, ties to even, by the K steps of scaled(), when the double product
// decides it and N < 2^34 (so that 32-bit digits take it after the range check of the caller).
inline bool short_round(double ax, int s, std::uint64_t* n) {
  int k = 0;
  const double t = scaled(ax, s, &k);
  if (!(t >= 0 && t < 0x1p34)) return false;
  const auto m = static_cast<std::uint64_t>(t);
  const double frac = t - static_cast<double>(m);  // exact
  if (std::fabs(frac - 0.5) <= t * REL_ERR * k) return false;
  *n = m + (frac > 0.5 ? 1 : 0);
  return true;
}

// Fw.d without a scale factor for 4 <= W <= 16 and 1 <= D <= 3 (F5.2 of the opacity tables, the
// listing's most frequent field, and F10.2): |x| 10^D < 10^7 in one exact step (K = 1), 32-bit
// digits; a subnormal |x| gives N = 0, which is right. Declines (false) a near-tie or a larger
// value.
[[gnu::always_inline]] inline bool tiny_f(char* field, double x, int w, int d) {
  const double t = std::fabs(x) * POW10[static_cast<std::size_t>(d)];
  if (!(t < 1e7)) return false;  // also Inf and NaN
  const auto m = static_cast<std::uint32_t>(t);
  const double frac = t - static_cast<double>(m);  // exact
  if (std::fabs(frac - 0.5) <= t * REL_ERR) return false;
  std::uint32_t n = m + (frac > 0.5 ? 1u : 0u);
  short_blanks(field, w);
  char* q = field + w;
  if (d >= 2) {
    q -= 2;
    put_pair(q, n % 100);
    n /= 100;
  }
  if (d != 2) {
    *--q = static_cast<char>('0' + n % 10);
    n /= 10;
  }
  *--q = '.';
  const bool neg = std::signbit(x);
  const auto room = static_cast<int>(q - field) - (neg ? 1 : 0);  // for the integer part
  if (n == 0) {
    if (room > 0) *--q = '0';
    if (neg && q == field) return stars(field, w);
  } else if (n < 10 && room > 0) {  // one digit, the usual case
    *--q = static_cast<char>('0' + n);
  } else {
    // N <= 10^7 / 10^D: up to seven digits (F8.1 of 999999.95 rounds to 1000000.0).
    const int nd = n < 10        ? 1
                   : n < 100     ? 2
                   : n < 1000    ? 3
                   : n < 10000   ? 4
                   : n < 100000  ? 5
                   : n < 1000000 ? 6
                                 : 7;
    if (nd > room) return stars(field, w);
    for (; n >= 100; n /= 100) {
      q -= 2;
      put_pair(q, n % 100);
    }
    if (n >= 10) {
      q -= 2;
      put_pair(q, n);
    } else {
      *--q = static_cast<char>('0' + n);
    }
  }
  if (neg) *--q = '-';
  return true;
}

// Ew.d with the default exponent form, NSIG <= 9; declines a subnormal |x|, Inf and NaN.
[[gnu::always_inline]] inline bool short_e(char* field, double x, int w, int d, int k, int nsig,
                                           char letter) {
  const double ax = std::fabs(x);
  std::uint64_t bits;
  std::memcpy(&bits, &ax, sizeof bits);
  std::uint64_t n64 = 0;  // the nsig digits
  int expo = 0;           // the printed exponent (0 for zero)
  if (bits != 0) {
    if ((bits >> 52) - 1 >= 2046) return false;  // not a normal number
    const auto top = static_cast<std::uint32_t>(POW10_U64[static_cast<std::size_t>(nsig)]);
    // The decimal exponent: the estimate from the binary one (exact or one too low), or one more
    // when |x| reaches the double nearest to 10^(E10+1). No double lies between the power and
    // that double, so only |x| equal to it, where it is below the power, takes the higher
    // exponent wrongly: then N is TOP/10 (|x| rounds up to the power, and the field is the same)
    // or below TOP/10, which the general route takes.
    int e10 = floor_log10_pow2(static_cast<int>(bits >> 52) - 1023);
    if (ax >= FMT_POW10[static_cast<std::size_t>(e10 + 1 - FMT_POW10_MIN)]) ++e10;
    if (!short_round(ax, nsig - 1 - e10, &n64)) return false;
    if (n64 == top) {  // rounds up to the next power of ten
      n64 = top / 10;
      ++e10;
    }
    if (n64 < top / 10 || n64 >= top) return false;
    expo = e10 + 1 - k;
  }
  auto n = static_cast<std::uint32_t>(n64);
  if (expo < -EXPONENT_MAX || expo > EXPONENT_MAX) return false;
  const bool neg = std::signbit(x);
  int len = (neg ? 1 : 0) + (k > 0 ? d + 2 : d + 1) + 4;
  const bool lead_zero = k <= 0 && len < w;
  if (lead_zero) ++len;
  if (len > w) return stars(field, w);
  short_blanks(field, w);
  char* q = field + w - 4;
  std::memcpy(q, &EXPONENT_FIELDS[static_cast<std::size_t>(expo + EXPONENT_MAX)], 4);
  if (letter != 'E' && expo >= -99 && expo <= 99) *q = letter;
  if (k == 1 && nsig == 5) {  // 1PEw.4: d.dddd
    q -= 4;
    put_four(q, n % 10000);
    *--q = '.';
    *--q = static_cast<char>('0' + n / 10000);
  } else if (k > 0) {
    n = put_low_digits32(q, n, nsig - k);
    *--q = '.';
    put_low_digits32(q, n, k);
  } else {
    put_low_digits32(q, n, nsig);
    for (int j = 0; j < -k; ++j) *--q = '0';
    *--q = '.';
    if (lead_zero) *--q = '0';
  }
  if (neg) *--q = '-';
  return true;
}

}  // namespace

bool fmt_round_scaled(double ax, int s, std::uint64_t* n) {
  return normal_or_zero(ax) && round_scaled(ax, s, n);
}
bool fmt_round_scaled_exact(double ax, int s, std::uint64_t* n) {
  return normal_or_zero(ax) && round_scaled_exact(ax, s, n);
}

// The field is filled from the right: fraction digits, the point, integer digits, the sign; an
// overflow is seen as running into the left end of the field.
namespace {

// The general Fw.d under kP.
[[gnu::noinline]] bool general_f(char* field, double x, int w, int d, int k) {
  const int p = d + k;
  if (w > FMT_FAST_W || d >= w || p < 0) return false;
  const double ax = std::fabs(x);
  if (!normal_or_zero(ax)) return false;
  std::uint64_t n = 0;
  if (!round_decimal(ax, p, &n)) return false;
  char* q = field + w;
  n = put_low_digits(q, n, d);  // d < w: they fit, with the point
  *--q = '.';
  const bool neg = std::signbit(x);
  if (n == 0) {
    // The zero before the point when there is room, and always when D = 0.
    if (q - field > (neg ? 1 : 0) || d == 0) {
      if (q == field) return stars(field, w);
      *--q = '0';
    }
  } else if (!put_all_digits(q, field, n)) {
    return stars(field, w);
  }
  if (neg) {
    if (q == field) return stars(field, w);
    *--q = '-';
  }
  blanks(field, q);
  return true;
}

// A run of fields of one descriptor, FIELD by FIELD while EDIT takes them; the values are read at
// X, X + STRIDE bytes, ...
template <class Edit>
[[gnu::always_inline]] inline std::size_t run_of(char* field, const char* x, std::size_t stride,
                                                 std::size_t count, int w, Edit edit) {
  std::size_t j = 0;
  for (; j < count; ++j, field += w, x += stride) {
    double v;
    std::memcpy(&v, x, sizeof v);
    if (!edit(field, v)) break;
  }
  return j;
}

template <int D>
using Digits = std::integral_constant<int, D>;

// The short F route over a run, W a constant or not, and the general one for what it declines.
// Each route is a function of its own, so that a call for one field only sets up what its
// route needs.
template <int D, int W>
std::size_t tiny_f_route(char* field, const char* x, std::size_t stride, std::size_t count,
                         const FmtRealRoute& r) {
  const int w = W > 0 ? W : r.w;
  return run_of(field, x, stride, count, w,
                [=](char* f, double v) { return tiny_f(f, v, w, D) || general_f(f, v, w, D, 0); });
}

std::size_t general_f_route(char* field, const char* x, std::size_t stride, std::size_t count,
                            const FmtRealRoute& r) {
  if (count == 1) {
    double v;
    std::memcpy(&v, x, sizeof v);
    return general_f(field, v, r.w, r.d, r.k) ? 1 : 0;
  }
  return run_of(field, x, stride, count, r.w,
                [&r](char* f, double v) { return general_f(f, v, r.w, r.d, r.k); });
}

}  // namespace

FmtRealRoute fmt_fast_f_route(int w, int d, int k) {
  FmtRealRoute r{nullptr, w, d, 0, k, 'E'};
  if (k == 0 && w >= 4 && w <= SHORT_W && d >= 1 && d <= 3) {
    // F5.2, the listing's most frequent field, with its width a constant too.
    r.run = w == 5 && d == 2 ? tiny_f_route<2, 5>
            : d == 2         ? tiny_f_route<2, 0>
            : d == 1         ? tiny_f_route<1, 0>
                             : tiny_f_route<3, 0>;
  } else {
    r.run = general_f_route;
  }
  return r;
}

std::size_t fmt_fast_f_run(char* field, const double* x, std::size_t count, int w, int d, int k) {
  const FmtRealRoute r = fmt_fast_f_route(w, d, k);
  return r.run(field, reinterpret_cast<const char*>(x), sizeof(double), count, r);
}

bool fmt_fast_f(char* field, double x, int w, int d, int k) {
  return fmt_fast_f_run(field, &x, 1, w, d, k) == 1;
}

namespace {

// The general Ew.dEe under kP.
[[gnu::noinline]] bool general_e(char* field, double x, int w, int d, int e, int k, char letter) {
  const int nsig = k > 0 ? d + 1 : d + k;
  if (w > FMT_FAST_W || d >= w || nsig > FAST_E_MAX_SIG) return false;
  const double ax = std::fabs(x);
  if (!normal_or_zero(ax)) return false;
  std::uint64_t n = 0;  // the nsig digits
  int expo = 0;         // the printed exponent
  if (ax != 0) {
    const std::uint64_t top = POW10_U64[static_cast<std::size_t>(nsig)];
    // 10^EST <= |x| < 10^(EST+2), from |x| in [2^E2, 2^(E2+1)) (|x| is normal).
    std::uint64_t bits;
    std::memcpy(&bits, &ax, sizeof bits);
    const int est = floor_log10_pow2(static_cast<int>(bits >> 52) - 1023);
    const int s = nsig - 1 - est;
    int e10 = est;
    if (!round_decimal(ax, s, &n)) return false;
    if (n >= top) {  // |x| >= 10^(EST+1), or rounds up to it
      if (!round_decimal(ax, s - 1, &n)) return false;
      e10 = est + 1;
      if (n == top) {  // rounds up to the next power of ten
        n = top / 10;
        e10 = est + 2;
      }
    }
    if (n < top / 10 || n >= top) return false;  // only if the estimate were wrong
    expo = e10 + 1 - k;
  }
  // Exponent: E+dd, +ddd for 100..999 without the letter, or E+ and e digits.
  const int aexp = expo < 0 ? -expo : expo;
  int ndig = e;
  if (e == 0) {
    if (aexp > 999) return stars(field, w);
    ndig = aexp <= 99 ? 2 : 3;
  } else {
    int lim = 1;
    for (int j = 0; j < e; ++j) lim *= 10;
    if (aexp >= lim) return stars(field, w);
  }
  // The length is known beforehand (the exponent part is 4 characters, or e + 2), so the field
  // is filled from the right in place.
  const bool neg = std::signbit(x);
  const int nex = e == 0 ? 4 : e + 2;
  int len = (neg ? 1 : 0) + (k > 0 ? d + 2 : d + 1) + nex;
  const bool lead_zero = k <= 0 && len < w;
  if (lead_zero) ++len;
  if (len > w) return stars(field, w);
  char* q = field + w;
  put_low_digits(q, static_cast<std::uint64_t>(aexp), ndig);
  *--q = expo < 0 ? '-' : '+';
  if (e != 0 || aexp <= 99) *--q = letter;
  // Mantissa: K digits, the point and NSIG-K digits (K > 0), or the point, -K zeros and NSIG
  // digits (K <= 0) with the zero before the point when there is room.
  if (k > 0) {
    n = put_low_digits(q, n, nsig - k);
    *--q = '.';
    put_low_digits(q, n, k);
  } else {
    put_low_digits(q, n, nsig);
    for (int j = 0; j < -k; ++j) *--q = '0';
    *--q = '.';
    if (lead_zero) *--q = '0';
  }
  if (neg) *--q = '-';
  blanks(field, q);
  return true;
}

}  // namespace

void fmt_fast_int(char* field, long long v, int w) {
  const bool neg = v < 0;
  std::uint64_t u = neg ? 0ULL - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  // At most W - 1 digits with the sign, W without (U >= 1 when negative, so W = 1 overflows).
  if (u >= POW10_U64[static_cast<std::size_t>(w - (neg ? 1 : 0))]) {
    stars(field, w);
    return;
  }
  short_blanks(field, w);
  char* q = field + w;
  for (; u >= 100; u /= 100) {
    q -= 2;
    put_pair(q, static_cast<unsigned>(u % 100));
  }
  if (u >= 10) {
    q -= 2;
    put_pair(q, static_cast<unsigned>(u));
  } else {
    *--q = static_cast<char>('0' + u);
  }
  if (neg) *--q = '-';
}

namespace {

// The short E route over a run, W, D, K and LETTER constants or not, and the general route for
// what it declines.
template <class WC, class DC, class KC, class LC>
[[gnu::always_inline]] inline std::size_t short_e_run(char* field, const char* x,
                                                      std::size_t stride, std::size_t count, WC wc,
                                                      DC dc, KC kc, LC lc) {
  return run_of(field, x, stride, count, wc, [=](char* f, double v) {
    return short_e(f, v, wc, dc, kc, kc > 0 ? dc + 1 : dc + kc, lc) ||
           general_e(f, v, wc, dc, 0, kc, lc);
  });
}

// 1PE12.4, the listing's field, with all of its parameters constants.
std::size_t e12_4_route(char* field, const char* x, std::size_t stride, std::size_t count,
                        const FmtRealRoute&) {
  return short_e_run(field, x, stride, count, Digits<12>{}, Digits<4>{}, Digits<1>{},
                     std::integral_constant<char, 'E'>{});
}

std::size_t short_e_route(char* field, const char* x, std::size_t stride, std::size_t count,
                          const FmtRealRoute& r) {
  return short_e_run(field, x, stride, count, r.w, r.d, r.k, r.letter);
}

std::size_t general_e_route(char* field, const char* x, std::size_t stride, std::size_t count,
                            const FmtRealRoute& r) {
  if (count == 1) {
    double v;
    std::memcpy(&v, x, sizeof v);
    return general_e(field, v, r.w, r.d, r.e, r.k, r.letter) ? 1 : 0;
  }
  return run_of(field, x, stride, count, r.w,
                [&r](char* f, double v) { return general_e(f, v, r.w, r.d, r.e, r.k, r.letter); });
}

}  // namespace

FmtRealRoute fmt_fast_e_route(int w, int d, int e, int k, char letter) {
  FmtRealRoute r{general_e_route, w, d, e, k, letter};
  const int nsig = k > 0 ? d + 1 : d + k;
  if (w <= SHORT_W && e == 0 && nsig <= SHORT_DIGITS && d < w)
    r.run = w == 12 && d == 4 && k == 1 && letter == 'E' ? e12_4_route : short_e_route;
  return r;
}

std::size_t fmt_fast_e_run(char* field, const double* x, std::size_t count, int w, int d, int e,
                           int k, char letter) {
  const FmtRealRoute r = fmt_fast_e_route(w, d, e, k, letter);
  return r.run(field, reinterpret_cast<const char*>(x), sizeof(double), count, r);
}

bool fmt_fast_e(char* field, double x, int w, int d, int e, int k, char letter) {
  return fmt_fast_e_run(field, &x, 1, w, d, e, k, letter) == 1;
}

}  // namespace atmotab
