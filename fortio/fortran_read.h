// Formatted input of the Fortran runtime: the value of one real field read with an Fw.d or Ew.d
// edit descriptor, as a unit opened without BLANK= (blanks ignored) reads it.
#pragma once

#include <string_view>

namespace atmotab {

// Value of the W characters of FIELD read with Fw.d or Ew.d (the two read alike). Blanks are
// ignored wherever they stand; an all-blank field is 0. The field is an optional sign, digits with
// at most one decimal point, and an optional exponent: E, D or Q (either case) followed by a signed
// integer, or a sign followed by an integer ("1.5-3" is 1.5e-3). Without a decimal point the last
// D digits are the fraction ("101" read with F18.2 is 1.01). The value is the nearest double of
// the decimal number. Returns false, VALUE untouched, for any other text, for an exponent without
// digits and for values beyond the double range; NaN and Infinity are refused too.
bool fortran_read_real(std::string_view field, int d, double* value);

}  // namespace atmotab
