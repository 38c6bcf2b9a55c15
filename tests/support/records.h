// Reading the table files back in tests: the records of a Fortran unformatted sequential file and
// the models they make.
#pragma once

#include <string>
#include <vector>

namespace atmotab::testing {

// The data of every whole record of BYTES (each framed by equal 4-byte lengths before and after);
// COMPLETE, when given, is set to whether the bytes end with the last whole record.
std::vector<std::string> unformatted_records(const std::string& bytes, bool* complete = nullptr);

// Models in the records of a unit 10 file (4 + NRHOX records each, NRHOX the first integer of the
// first record of each model) or, with UNIT11, of a unit 11 file (4 records each); -1 when the
// records do not make whole models.
int table_models(const std::vector<std::string>& records, bool unit11 = false);

// Checks the values of the table files of a run, unit 10 (T10) and unit 11 (T11), independently of
// the program's own checks: whole records making the same number of whole models; every real and
// single finite; the populations XNFPEL, the densities of the depth block and the line-strength
// maxima non-negative; the Doppler widths positive. Returns the first break as text, or an empty
// string.
std::string table_values_break(const std::string& t10, const std::string& t11);

}  // namespace atmotab::testing
