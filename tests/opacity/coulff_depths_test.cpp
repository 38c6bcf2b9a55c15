// coulff_depths: every depth at once gives coulff's value to the bit, inside and outside the
// table, for every ion charge.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "opacity/coulff.h"

namespace atmotab {
namespace {

TEST(coulff_depths, equals_coulff_at_every_depth) {
  std::ostringstream listing;
  auto run = make_run(listing);
  // 99 depths from 500 K to 5e8 K: GAMLOG from below the table (Z = 1, 5e8 K) to above it.
  run->RHOX.NRHOX = 99;
  for (int j = 1; j <= 99; ++j) run->TEMP.TLOG(j) = std::log(500.0 * std::pow(1e6, (j - 1) / 98.0));
  for (int nz = 1; nz <= 6; ++nz) {
    double GAMLOG[99], G[99];
    coulff_gamlog(*run, nz, GAMLOG);
    // Frequencies from 1e6 to 1e24 Hz: HVKTLG below, across and above the table.
    for (double lg = 6.0; lg <= 24.0; lg += 0.37) {
      run->FREQ.FREQLG = lg * std::log(10.0);
      coulff_depths(*run, GAMLOG, G);
      for (int j = 1; j <= 99; ++j)
        ASSERT_EQ(G[j - 1], coulff(*run, j, nz))
            << "Z " << nz << " log nu " << lg << " depth " << j;
    }
  }
}

}  // namespace
}  // namespace atmotab
