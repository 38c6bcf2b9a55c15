// Frequency-set listing: four columns filled column by column, for 10, 9 and 1128 entries.
#include "input/readin_print.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"

namespace atmotab {
namespace {

// The entry indices of each line after the FREQID line (each entry is 3X,I3 then two E13.6);
// -1 for an index printed as "***".
std::vector<std::vector<int>> entry_lines(const std::string& listing) {
  std::vector<std::vector<int>> lines;
  std::istringstream in(listing);
  std::string line;
  std::getline(in, line);  // 0FREQID ...
  while (std::getline(in, line)) {
    std::vector<int> idx;
    for (std::size_t p = 0; p + 6 <= line.size(); p += 32)
      idx.push_back(line.substr(p + 3, 3) == "***" ? -1 : std::stoi(line.substr(p + 3, 3)));
    lines.push_back(idx);
  }
  return lines;
}

struct Layout {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  explicit Layout(int numnu) {
    run->FRESET.NUMNU = numnu;
    for (int i = 1; i <= MAXFRESET; ++i) {
      run->FRESET.FRESET(i) = 1e14 * i;
      run->FRESET.RCOSET(i) = 0.5;
    }
    print_frequency_set(*run);
  }
};

TEST(print_frequency_set, ten_entries) {
  Layout l(10);
  const std::vector<std::vector<int>> expected = {{1, 4, 7, 10}, {2, 5, 8}, {3, 6, 9}};
  EXPECT_EQ(entry_lines(l.listing.str()), expected);
  EXPECT_EQ(l.listing.str(),
            "0FREQID          NUMNU  10   NULO   0   NUHI   0\n"
            "     1 1.000000E+14 5.000000E-01     4 4.000000E+14 5.000000E-01"
            "     7 7.000000E+14 5.000000E-01    10 1.000000E+15 5.000000E-01\n"
            "     2 2.000000E+14 5.000000E-01     5 5.000000E+14 5.000000E-01"
            "     8 8.000000E+14 5.000000E-01\n"
            "     3 3.000000E+14 5.000000E-01     6 6.000000E+14 5.000000E-01"
            "     9 9.000000E+14 5.000000E-01\n");
}

TEST(print_frequency_set, nine_entries_run_in_order) {
  Layout l(9);
  const std::vector<std::vector<int>> expected = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9}};
  EXPECT_EQ(entry_lines(l.listing.str()), expected);
}

TEST(print_frequency_set, driver_set_of_1128) {
  Layout l(1128);
  const std::vector<std::vector<int>> lines = entry_lines(l.listing.str());
  ASSERT_EQ(lines.size(), 282u);
  for (int r = 1; r <= 282; ++r) {
    // I3 prints indices from 1000 on as asterisks.
    const std::vector<int> expected = {r, r + 282, r + 564, r + 846 < 1000 ? r + 846 : -1};
    EXPECT_EQ(lines[static_cast<std::size_t>(r - 1)], expected) << r;
  }
  // Entries beyond the 500 slots of the table print as zeros.
  EXPECT_NE(l.listing.str().find("\n   219 2.190000E+16 5.000000E-01   501 0.000000E+00 "
                                 "0.000000E+00   783 0.000000E+00 0.000000E+00"),
            std::string::npos);
}

}  // namespace
}  // namespace atmotab
