// With molecules on, the per-depth records of unit 10 carry the molecular populations in stage
// slot 6 of elements 39 + k and the molecules' Doppler widths beside them; the CH and OH
// populations reach the cool-metal record; population requests come from the equilibrium.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "driver/molecule_table.h"
#include "populations/molecules_fixture.h"
#include "populations/pfsaha.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::MoleculeRun;

// Record N (1-based) of an unformatted sequential file as raw bytes.
std::string record(const std::string& bytes, int n) {
  std::size_t at = 0;
  for (int i = 1;; ++i) {
    std::int32_t len;
    std::memcpy(&len, bytes.data() + at, 4);
    if (i == n) return bytes.substr(at + 4, static_cast<std::size_t>(len));
    at += 8 + static_cast<std::size_t>(len);
  }
}

TEST(molecule_slots, unit_10_carries_the_equilibrium_populations) {
  const std::string src = ATMOTAB_SOURCE_DIR;
  testing::TempDir dir;
  std::ifstream deck(src + "/examples/cool4000_molecules.deck");
  std::ostringstream listing, errors;
  ASSERT_EQ(atmotab_main(
                {"--edges", src + "/examples/edges.txt", "--molecules", src + "/data/molecules.dat",
                 "--table", (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                deck, listing, errors),
            0)
      << errors.str();
  const std::string t10 = testing::read_file(dir / "t10");
  MoleculeRun m("cool4000.deck");  // the same model and list, in process
  fill_molecule_table(m.r.TABLES);
  const TablesRec& TB = m.r.TABLES;
  for (int j : {1, 21, 41, 56}) {
    const std::string rec = record(t10, 4 + j);
    ASSERT_EQ(rec.size(), (594u + 594u + 1131u) * 4u);
    auto xnfpel = [&](int s, int z) {
      float v;
      std::memcpy(&v, rec.data() + 4 * ((s - 1) + 6 * (z - 1)), 4);
      return v;
    };
    auto dopple = [&](int s, int z) {
      float v;
      std::memcpy(&v, rec.data() + 4 * (594 + (s - 1) + 6 * (z - 1)), 4);
      return v;
    };
    int listed = 0;
    for (int k = 1; k <= NMOLTAB; ++k) {
      const int e = m.entry(TB.IDMOL(k));
      const float want = e > 0 ? static_cast<float>(m.r.XNMOL.XNFPMOL(j, e)) : 0.0f;
      EXPECT_EQ(xnfpel(6, 39 + k), want) << "molecule " << TB.IDMOL(k) << " depth " << j;
      if (e > 0) {
        ++listed;
        EXPECT_GT(xnfpel(6, 39 + k), 0) << "molecule " << TB.IDMOL(k) << " depth " << j;
      }
      // Doppler width of the molecule: sqrt(2 kT / (M amu)) / c, no microturbulence.
      const double width =
          std::sqrt(2 * m.r.TEMP.TK(j) / (TB.MOMASS(k) * 1.66e-24)) / 2.99792458e10;
      EXPECT_EQ(dopple(6, 39 + k), static_cast<float>(width)) << "molecule " << TB.IDMOL(k);
    }
    EXPECT_EQ(listed, 56);  // all but ScH, VH, CaH+ and CoO; the ions included
    // The slot of CH+ (k = 36, element 75) holds the ion of the equilibrium.
    EXPECT_GT(xnfpel(6, 75), 0);
  }
}

TEST(molecule_slots, requests_are_answered_from_the_equilibrium) {
  MoleculeRun m("cool4000.deck");
  atmotab::Run& r = m.r;
  const int j = 41;
  Arr<double, MAXD, 10> out;
  // Molecules by code, including a molecular ion given as the table's single-precision code.
  for (double code : {106.0, 108.0, sp(106.01f), sp(608.01f)}) {
    pops(r, code, 1, out.data());
    EXPECT_EQ(out(j, 1), r.XNMOL.XNFPMOL(j, m.entry(code))) << code;
    EXPECT_GT(out(j, 1), 0) << code;
  }
  pops(r, 608, 3, out.data());  // the partition function of CO
  EXPECT_EQ(out(j, 1), r.XNMOL.XNMOL(j, m.entry(608)) / r.XNMOL.XNFPMOL(j, m.entry(608)));
  pops(r, 121, 1, out.data());  // ScH: not in the list
  EXPECT_EQ(out(j, 1), 0.0);
  // Stages of a listed element: those in the list from it, the others 0.
  pops(r, 6.02, 12, out.data());
  EXPECT_EQ(out(j, 1), r.XNMOL.XNMOL(j, m.entry(6.0)));
  EXPECT_EQ(out(j, 2), r.XNMOL.XNMOL(j, m.entry(6.01)));
  EXPECT_EQ(out(j, 3), 0.0);
  // An element outside the list: the Saha balance with the equilibrium's XNE and XNATOM.
  pops(r, 30.01, 12, out.data());
  Arr<double, MAXD, PF_MAXION> f;
  pfsaha(r, j, 30, 2, 12, f.data());
  EXPECT_EQ(out(j, 2), f(j, 2) * (r.ELEM.XABUND(30) * r.STATE.XNATOM(j)));
  // The driver's cool-metal populations of CH and OH.
  pops(r, 106, 11, r.CHOH.XNFPCH.data());
  EXPECT_EQ(r.CHOH.XNFPCH(j), r.XNMOL.XNFPMOL(j, m.entry(106)));
}

}  // namespace
}  // namespace atmotab
