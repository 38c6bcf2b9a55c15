// The molecule table of the output files: every code decodes into atoms whose mass numbers add up
// to the tabulated mass, and the codes of singly ionised molecules are single-precision values.
#include "driver/molecule_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

namespace atmotab {
namespace {

// Mass number of the most abundant isotope of the elements that occur in the table.
const std::map<int, int> MASS_NUMBER = {
    {1, 1},   {3, 7},   {4, 9},   {5, 11},  {6, 12},  {7, 14},  {8, 16},  {9, 19},
    {12, 24}, {13, 27}, {14, 28}, {15, 31}, {16, 32}, {17, 35}, {20, 40}, {21, 45},
    {22, 48}, {23, 51}, {24, 52}, {25, 55}, {26, 56}, {27, 59}, {28, 58}, {29, 63},
};

// A tables record with the molecule table filled (on the heap: the record is large).
std::unique_ptr<TablesRec> filled() {
  auto tb = std::make_unique<TablesRec>();
  fill_molecule_table(*tb);
  return tb;
}

TEST(molecule_table, molecule_masses_are_the_sums_of_their_atoms) {
  const std::unique_ptr<TablesRec> filled_tb = filled();
  const TablesRec& tb = *filled_tb;
  for (int k = 1; k <= NMOLTAB; ++k) {
    // The integer part: the first atom's number, then two digits per further atom.
    long code = static_cast<long>(tb.IDMOL(k));
    int mass = 0;
    while (code > 0) {
      const int z = static_cast<int>(code >= 100 ? code % 100 : code);
      ASSERT_TRUE(MASS_NUMBER.count(z)) << "molecule " << k << " atom " << z;
      mass += MASS_NUMBER.at(z);
      code = code >= 100 ? code / 100 : 0;
    }
    EXPECT_EQ(tb.MOMASS(k), mass) << "molecule " << k << " code " << tb.IDMOL(k);
  }
}

TEST(molecule_table, ion_codes_are_single_precision_values) {
  const std::unique_ptr<TablesRec> filled_tb = filled();
  const TablesRec& tb = *filled_tb;
  struct Case {
    int k;
    float code;
  };
  const Case ions[] = {{36, 106.01f}, {37, 107.01f}, {38, 108.01f}, {39, 112.01f},
                       {40, 113.01f}, {41, 114.01f}, {42, 120.01f}, {60, 608.01f}};
  int n_ions = 0;
  for (const Case& c : ions) {
    EXPECT_EQ(tb.IDMOL(c.k), static_cast<double>(c.code)) << c.k;
    EXPECT_NE(tb.IDMOL(c.k), std::round(tb.IDMOL(c.k) * 100) / 100) << "double 0.01 in " << c.k;
  }
  for (int k = 1; k <= NMOLTAB; ++k) n_ions += tb.IDMOL(k) != std::floor(tb.IDMOL(k));
  EXPECT_EQ(n_ions, 8);
  // Order spot checks: H2 first, CO seventh (element 46 of the tables), H2O fiftieth.
  EXPECT_EQ(tb.IDMOL(1), 101);
  EXPECT_EQ(tb.IDMOL(7), 608);
  EXPECT_EQ(tb.IDMOL(50), 10108);
}

}  // namespace
}  // namespace atmotab
