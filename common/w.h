// w — labelled print of an array on the listing.
#pragma once

#include <string_view>

namespace atmotab {

struct Run;

// Prints a blank line, then LABEL (six columns: cut or blank-padded on the right) followed by the
// first ten values of ARRAY(1..N) as 1PE12.4, and further lines of ten values indented by seven
// columns. N <= 0 prints the label alone.
void w(Run& run, std::string_view label, const double* array, int n);

}  // namespace atmotab
