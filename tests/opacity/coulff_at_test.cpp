// coulff_at over many points: the vectorised passes give the single point's value to the bit,
// inside and outside the table, for every ion charge, also past one block of 99 points.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "opacity/coulff.h"

namespace atmotab {
namespace {

TEST(coulff_at, many_points_equal_one_at_a_time) {
  // 250 temperatures from 500 K to 5e8 K (GAMLOG below and above the table), frequencies from
  // 1e6 to 1e24 Hz (HVKTLG below, across and above it).
  constexpr int N = 250;
  for (int nz = 1; nz <= 6; ++nz)
    for (double lg = 6.0; lg <= 24.0; lg += 0.37) {
      std::vector<double> GAMLOG(N), HVKTLG(N), G(N);
      for (int i = 0; i < N; ++i) {
        const double TLOG = std::log(500.0 * std::pow(1e6, i / double(N - 1)));
        GAMLOG[i] = coulff_gamlog(TLOG, nz);
        HVKTLG[i] = coulff_hvktlg(lg * std::log(10.0), TLOG);
      }
      for (int set = VECTORS_BASE; set <= widest_vector_set(); ++set) {
        coulff_at(GAMLOG.data(), HVKTLG.data(), G.data(), N, static_cast<VectorSet>(set));
        for (int i = 0; i < N; ++i)
          ASSERT_EQ(G[i], coulff_at(GAMLOG[i], HVKTLG[i]))
              << "Z " << nz << " log nu " << lg << " i " << i << " instruction set " << set;
      }
    }
}

}  // namespace
}  // namespace atmotab
