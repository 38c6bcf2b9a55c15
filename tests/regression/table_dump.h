// Text dump of atmotab's table files for the regression cases: every value of every record, one
// labelled row per line, so that two dumps compare exactly and their diff reads as a list of the
// values that changed.
#pragma once

#include <string>

namespace atmotab::testing {

// The dump of the bytes of a unit 10 (--table) or unit 11 (--maxima) file. Reals are written with
// 17 significant digits and singles with 9 (both enough to give back the exact binary value);
// "n*v" stands for n equal values v in a row, as in Fortran list-directed input. Throws
// std::runtime_error when the bytes are not a sequence of whole table records.
std::string dump_tables(const std::string& bytes);

}  // namespace atmotab::testing
