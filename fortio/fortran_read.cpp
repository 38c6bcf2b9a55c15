// Formatted input of one real field (Fw.d, Ew.d) as the Fortran runtime reads it with blanks
// ignored: the decimal digits are collected with their implied or explicit decimal point and
// exponent, and the nearest double is taken by std::from_chars (correctly rounded, as the runtime's
// own conversion).
#include "fortio/fortran_read.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace atmotab {
namespace {

constexpr int MAX_EXPONENT_DIGITS = 6;  // beyond this any exponent is out of the double range

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool fortran_read_real(std::string_view field, int d, double* value) {
  std::string s;  // the field without blanks
  for (char c : field)
    if (c != ' ') s += c;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::string digits;
  int fraction = -1;  // digits after the decimal point; -1 without a point
  for (; i < s.size(); ++i) {
    if (is_digit(s[i])) {
      digits += s[i];
      if (fraction >= 0) ++fraction;
    } else if (s[i] == '.' && fraction < 0) {
      fraction = 0;
    } else {
      break;
    }
  }
  long exponent = 0;
  if (i < s.size()) {
    const char c = s[i];
    const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q';
    if (!letter && c != '+' && c != '-') return false;
    if (letter) ++i;
    bool exp_negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) exp_negative = s[i++] == '-';
    const std::size_t first = i;
    for (; i < s.size() && is_digit(s[i]); ++i) {
      if (static_cast<int>(i - first) >= MAX_EXPONENT_DIGITS) return false;
      exponent = 10 * exponent + (s[i] - '0');
    }
    if (i == first || i != s.size()) return false;
    if (exp_negative) exponent = -exponent;
  }
  if (digits.empty()) {  // a blank field, a lone sign or point: 0
    *value = 0.0;
    return true;
  }
  exponent -= fraction >= 0 ? fraction : d;
  const std::string text = digits + "e" + std::to_string(exponent);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) {
    // Underflow to zero is a value; anything beyond the double range is not.
    if (ec == std::errc::result_out_of_range && exponent < 0) {
      *value = negative ? -0.0 : 0.0;
      return true;
    }
    return false;
  }
  *value = negative ? -v : v;
  return true;
}

}  // namespace atmotab
