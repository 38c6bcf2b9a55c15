// Fortran formatted output: a format string such as "(I5,1P,E25.15,0P,F20.7,F20.7)" applied to a
// list of items, printing exactly what gfortran prints for the same WRITE statement: I, F, E, D,
// ES, A, X, P (scale factor), "/" (new record), quoted literals, nH, ":", nested repeat groups and
// format reversion when items remain. Carriage-control characters are ordinary text in column 1.
//
// gfortran's rules (libgfortran, default ROUND mode; checked against gfortran 12 by the tests):
// - Rounding: the exact binary value is rounded to nearest, ties to even (0.125 -> "0.12" in F5.2,
//   2.5 -> "2." in F3.0); 9.9995 is 9.99949999... in binary and gives "9.999" in F6.3.
// - F: kP prints the value times 10^k, rounded at the shifted position (also for k < -d).
//   The zero before the point is written only if the field has room ("0.50" in F4.2, ".50" in
//   F3.2, "-.50" in F4.2), and always when d = 0 ("0." in F2.0; F1.0 of 0.4 is "*").
// - E (and D): 0P gives "0.1234E+01" (the leading zero again only if there is room); kP with
//   0 < k < d+2 gives k digits before the point and d-k+1 after, -d < k <= 0 gives "0." and -k
//   zeros then d+k digits; other k is a run-time error. Zero has exponent +00 ("0.0000E+00"
//   for any k). Exponent |x| <= 99: "E+dd"; 100..999: "+ddd" without the letter
//   ("0.1500+101"); Ew.dEe: "E+" and e digits, asterisks if they do not suffice.
// - Sign: "-" only; the sign bit decides, so -0.0 and negatives rounding to zero print "-0.00",
//   " -0.0000E+00".
// - Overflow of any field prints w asterisks. Iw.m pads to m digits; Iw.0 of 0 is all blanks.
// - Infinity: "Inf" (w 3..7), "Infinity" (w >= 8), "-Inf" (w 4..8), "-Infinity" (w >= 9),
//   asterisks if narrower; NaN: "NaN" right-justified (w >= 3), no sign.
// - Aw right-justifies shorter text and takes the leftmost w characters of longer text.
// - Items running out: processing continues through literals, X, P and "/" (so "/" before the
//   next data descriptor still ends a record, e.g. an empty line), and stops at the next data
//   descriptor, at ":" or at the final ")". Blanks from X are written only when more text
//   follows on the record: trailing X blanks never appear. No items at all: the literals up to
//   the first data descriptor, e.g. ('1') prints "1".
// - Reversion (items left at the final ")"): a new record, then back to the last top-level
//   group, with its repeat count (to the start if there is no group); kP stays in effect.
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace atmotab {

// One item of an output list: an integer, a real or a character value (the member KIND names).
struct FItem {
  enum class Kind { Integer, Real, Text };
  Kind kind;
  union {
    long long i;
    double r;
    std::string_view text;
  };

  FItem(int v) : kind(Kind::Integer), i(v) {}
  FItem(long long v) : kind(Kind::Integer), i(v) {}
  FItem(double v) : kind(Kind::Real), r(v) {}
  FItem(float v) : kind(Kind::Real), r(v) {}
  FItem(std::string_view s) : kind(Kind::Text), text(s) {}
  FItem(const char* s) : kind(Kind::Text), text(s) {}
};

// Appends N one-character items (the A1 items of a character-word array) starting at P.
void append_chars(std::vector<FItem>& items, const char* p, int n);

class FortranFormat {
 public:
  // Parses the format once; throws atmo_error on a malformed format.
  explicit FortranFormat(std::string_view format);
  ~FortranFormat();
  FortranFormat(FortranFormat&&) noexcept;
  FortranFormat& operator=(FortranFormat&&) noexcept;

  // The records the WRITE statement produces, each terminated by '\n'.
  std::string write(std::span<const FItem> items);
  std::string write(std::initializer_list<FItem> items) {
    return write(std::span<const FItem>(items.begin(), items.size()));
  }
  // The same records appended to OUT (which the caller may reuse from call to call); after an
  // exception OUT holds part of them.
  // The walk through the format depends on the item count alone, so a write keeps the plan it
  // finds for a count (the text between the fields, the runs of fields) in the format object,
  // and the next write of as many items follows that plan: writing changes the object.
  void write_to(std::string& out, std::span<const FItem> items);
  // The same records by walking the format descriptor by descriptor, without a plan: leaves the
  // object as it is (a const format may be shared between threads and written through this).
  void write_unplanned_to(std::string& out, std::span<const FItem> items) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Convenience: parse and write in one call.
std::string fortran_write(std::string_view format, std::span<const FItem> items);
inline std::string fortran_write(std::string_view format, std::initializer_list<FItem> items) {
  return fortran_write(format, std::span<const FItem>(items.begin(), items.size()));
}

}  // namespace atmotab
