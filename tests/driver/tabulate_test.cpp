// The per-model tabulation: element table slots, Doppler widths, the H2 estimate, the
// line-strength maxima, the listing, and both table files read back by gfortran.
#include "driver/tabulate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

#include "driver/atmotab.h"
#include "driver/edges.h"
#include "input/readin_support.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::DeckRun;
using testing::TempDir;

// Three edges 400, 500, 600 nm: two intervals, six frequencies.
void three_edges(Run& run) {
  const double edges[] = {500., 400., 600.};
  run.EDGE.NEDGE = 3;
  for (int n = 1; n <= 3; ++n) classify_edge(run, n, edges[n - 1]);
  sort_edges(run);
  build_frequency_set(run);
  run.FRESET.NUMNU = run.EDGE.NUMFREQ;
}

// A cool and a hot depth: 5000 K and 12000 K.
constexpr const char* TWO_DEPTHS =
    "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\nREAD DECK 2\n"
    " 1.0 5000. 1.0E5 1.0E12 0.1 0.0 2.0E5\n"
    " 2.0 12000. 2.0E5 1.0E15 0.1 0.0 2.0E5\nBEGIN\n";

struct Tabulated : DeckRun {
  TempDir dir;
  Tabulated() : DeckRun(TWO_DEPTHS, 6) {
    three_edges(*run);
    run->UNITS.table.set_path((dir / "fort.10").string());
    run->UNITS.maxima.set_path((dir / "fort.11").string());
    read();
    EXPECT_TRUE(model) << message;
    apply_model_overrides(*run);
    tabulate_model(*run);
  }
};

TEST(tabulate, element_table_slots_and_doppler_widths) {
  Tabulated t;
  const atmotab::Run& run = *t.run;
  const TablesRec& TB = run.TABLES;
  // The tables of the last depth (J = 2) are the ones left in XNFPEL and DOPPLE.
  const int j = 2;
  for (int z = 40; z <= 99; ++z) EXPECT_EQ(TB.XNFPEL(6, z), 0.0) << "molecule slot of Z = " << z;
  for (int z = 29; z <= 99; ++z) {
    const bool packed = (z >= 50 && z <= 88 && z % 10 <= 8);
    for (int s = 4; s <= (packed ? 4 : 5); ++s) EXPECT_EQ(TB.XNFPEL(s, z), 0.0) << s << " " << z;
  }
  for (int s = 3; s <= 6; ++s) EXPECT_EQ(TB.XNFPEL(s, 1), 0.0);
  for (int k = 0; k <= 8; ++k)
    for (int stage = 7; stage <= 10; ++stage) {
      const int z = 50 + 10 * (stage - 7) + k;
      EXPECT_EQ(TB.XNFPEL(5, z), TB.XNFP(j, stage, 20 + k))
          << "stage " << stage << " of " << 20 + k;
      EXPECT_GT(TB.XNFPEL(5, z), 0.0) << "stage " << stage << " of " << 20 + k << " at 12000 K";
      EXPECT_EQ(TB.DOPPLE(5, z), TB.DOPPLE(1, 20 + k));
    }
  // Thermal plus turbulent width of iron: sqrt(2 kT/m + v^2)/c.
  const double tk = 1.38054e-16 * 12000;
  const double fe =
      std::sqrt(2 * tk / (run.ELEM.ATMASS(26) * 1.66e-24) + 2.0e5 * 2.0e5) / 2.99792458e10;
  EXPECT_DOUBLE_EQ(TB.DOPPLE(1, 26), fe);
  EXPECT_NEAR(fe, 9.18e-6, 0.01e-6);  // 2.75 km/s: 1.89 km/s thermal for iron at 12000 K and 2 km/s
  // CO (k = 7 at element 46): thermal only, mass 28.
  EXPECT_DOUBLE_EQ(TB.DOPPLE(6, 46), std::sqrt(2 * tk / (28 * 1.66e-24)) / 2.99792458e10);
  // H2 estimate: present at 5000 K, zero at 12000 K.
  EXPECT_GT(TB.XNFH2(1), 0.0);
  EXPECT_EQ(TB.XNFH2(2), 0.0);
}

// The H2 estimate of every depth at or below 9000 K, written out as the formula reads:
// EQH2 = exp(4.478/TKEV - 46.4584 + (1.6366e-3 + ... - 3.0872e-23 T) T - 1.5 ln T) with 4.478 a
// single-precision constant, and XNFH2 = EQH2 XNFH^2 with the square formed first.
TEST(tabulate, h2_estimate_squares_the_hydrogen_density_first) {
  std::string deck = "TEFF 5000. GRAVITY 4.0\nITERATIONS 1\nREAD DECK 12\n";
  for (int j = 1; j <= 12; ++j) {
    char line[120];
    std::snprintf(line, sizeof line, " %.3f %.1f %.4E %.4E 0.1 0.0 2.0E5\n", 0.5 * j,
                  3000. + 500. * (j - 1) + 17. * j, 1.3e4 * j * j, 3.7e10 * j * j * j);
    deck += line;
  }
  deck += "BEGIN\n";
  DeckRun d(deck, 6);
  TempDir dir;
  three_edges(*d.run);
  d.run->UNITS.table.set_path((dir / "fort.10").string());
  d.run->UNITS.maxima.set_path((dir / "fort.11").string());
  d.read();
  ASSERT_TRUE(d.model) << d.message;
  apply_model_overrides(*d.run);
  tabulate_model(*d.run);
  const atmotab::Run& run = *d.run;
  int order_matters = 0;  // depths where (EQH2 XNFH) XNFH would round differently
  for (int j = 1; j <= 12; ++j) {
    const double T = run.TEMP.T(j);
    const double eq = std::exp(
        static_cast<double>(4.478f) / run.TEMP.TKEV(j) - 46.4584 +
        (1.6366e-3 + (-4.93992e-7 +
                      (1.11822e-10 + (-1.49567e-14 + (1.06206e-18 - 3.0872e-23 * T) * T) * T) * T) *
                         T) *
            T -
        1.5 * run.TEMP.TLOG(j));
    const double h = run.BHYD.XNFH(j);
    const double expected = T <= 9000 ? eq * (h * h) : 0.0;
    EXPECT_EQ(run.TABLES.XNFH2(j), expected) << "depth " << j << " T " << T;
    order_matters += (eq * h) * h != eq * (h * h);
  }
  EXPECT_GT(order_matters, 0) << "no depth tells the two orders apart";
}

TEST(tabulate, line_strength_maxima_recomputed_depth_by_depth) {
  Tabulated t;
  const atmotab::Run& run = *t.run;
  const TablesRec& TB = run.TABLES;
  // Recompute the maxima the plain way, depth by depth, from the element table.
  for (int m = 1; m <= 2; ++m)
    for (int z = 1; z <= 99; z += 7)
      for (int s = 1; s <= 6; ++s) {
        float best = 0;
        for (int j = 1; j <= 2; ++j) {
          const double cmin =
              std::pow(10.0, std::min({TB.CONTINALL(3 * m - 2, j), TB.CONTINALL(3 * m - 1, j),
                                       TB.CONTINALL(3 * m, j)}));
          const double tk = run.TEMP.TK(j);
          const double v2 = run.TURBPR.VTURB(j) * run.TURBPR.VTURB(j);
          double dop = std::sqrt(2 * tk / (run.ELEM.ATMASS(z) * 1.66e-24) + v2) / 2.99792458e10;
          if (s == 6 && z >= 40)
            dop = std::sqrt(2 * tk / (TB.MOMASS(z - 39) * 1.66e-24)) / 2.99792458e10;
          if (s == 5 && z >= 50 && z <= 88 && z % 10 <= 8)
            dop =
                std::sqrt(2 * tk / (run.ELEM.ATMASS(20 + z % 10) * 1.66e-24) + v2) / 2.99792458e10;
          const double x = TB.XNFP(j, s, z) / dop / run.EDGE.FREQSET(3 * m - 1) / run.STATE.RHO(j) /
                           cmin / static_cast<double>(0.001f);
          best = std::max(best, static_cast<float>(x));
        }
        EXPECT_EQ(TB.XNFDOPMAX(m, s, z), best) << "interval " << m << " slot " << s << " Z " << z;
      }
  // Interval 3 and beyond do not exist with three edges.
  for (int z = 1; z <= 99; ++z) EXPECT_EQ(TB.XNFDOPMAX(3, 1, z), 0.0f);
  EXPECT_GT(TB.XNFDOPMAX(1, 1, 26), 0.0f);
}

TEST(tabulate, listing_frequency_lines_decrease) {
  Tabulated t;
  // Each frequency line (I5,1P,E25.15,0P,F20.7,F20.7) is followed by the log10 opacities of the
  // two depths, (1X,20F5.2): 11 characters.
  std::istringstream in(t.listing.str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<double> freqs;
  for (std::size_t k = 0; k + 1 < lines.size(); ++k)
    if (lines[k].size() == 70 && lines[k + 1].size() == 11 && lines[k + 1][0] == ' ')
      freqs.push_back(std::stod(lines[k].substr(5, 25)));
  ASSERT_EQ(freqs.size(), 6u);
  for (std::size_t k = 1; k < freqs.size(); ++k) EXPECT_LT(freqs[k], freqs[k - 1]) << k;
  EXPECT_NEAR(freqs[0], t.run->EDGE.FREQSET(1), 1e-14 * freqs[0]);  // E25.15: 16 digits
  const std::string out = t.listing.str();
  EXPECT_NE(out.find("0XNFPEL.....DOPPLE         1\n"), std::string::npos);
  EXPECT_NE(out.find("0XNFPEL.....DOPPLE         2\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 2), "1\n");  // the model ends with a new page
}

TEST(tabulate, gfortran_reads_both_table_files) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  TempDir dir;
  testing::write_file(dir / "edges", "400.\n500.\n600.\n0\n");
  std::istringstream cards(std::string("TITLE  TWO MODELS\n") + TWO_DEPTHS +
                           "READ DECK 1\n 1.5 6000. 1.5E5 1.0E13 0.1 0.0 1.0E5\nBEGIN\nEND\n");
  std::ostringstream listing, errors;
  const int status =
      atmotab_main({"--edges", (dir / "edges").string(), "--table", (dir / "fort.10").string(),
                    "--maxima", (dir / "fort.11").string()},
                   cards, listing, errors);
  ASSERT_EQ(status, 0) << errors.str();
  const std::string out = testing::run_fortran(dir, R"(
program readback
  implicit none
  integer :: nrhox, nedge, numnu, model, j, n10, n11, ios
  double precision :: teff, glog, edges(3,377), idmol(60), momass(60), freqset(1131)
  character(len=8) :: title(74)
  real :: block(400), xnfpel(6,99), dopple(6,99), contin(1131), maxima(377,6,99)
  open(10, file='fort.10', form='unformatted', status='old')
  open(11, file='fort.11', form='unformatted', status='old')
  do model = 1, 2
    read(10) nrhox, teff, glog, title
    read(11) nrhox, teff, glog, title
    read(10) nedge, edges(:,1:nedge), idmol, momass
    read(11) nedge, edges(:,1:nedge)
    read(10) numnu, freqset(1:numnu)
    read(11) numnu, freqset(1:numnu)
    read(10) block
    write(*,'(I3,F9.1,F5.1,1X,10A1)') nrhox, teff, glog, title(1:10)(1:1)
    write(*,'(I3,3F12.4,2F9.2)') nedge, edges(2,1:nedge), idmol(36), momass(60)
    write(*,'(I3,1P,2E16.8)') numnu, freqset(1), freqset(numnu)
    write(*,'(1P,4E14.6)') block(1), block(2*25+1), block(6*25+1), block(13*25+26)
    do j = 1, nrhox
      read(10) xnfpel, dopple, contin
      write(*,'(I3,1P,4E14.6,0P,F8.3)') j, xnfpel(1,1), xnfpel(2,26), dopple(1,26), dopple(6,46), contin(numnu)
      if (any(contin(numnu+1:) /= 0.)) write(*,'(A)') 'CONTIN NOT ZERO BEYOND NUMNU'
    end do
    read(11) maxima
    write(*,'(1P,2E14.6,I6)') maxima(1,1,26), maxima(2,2,20), count(maxima(3:,:,:) /= 0.)
  end do
  n10 = 0
  do
    read(10, iostat=ios)
    if (ios /= 0) exit
    n10 = n10 + 1
  end do
  n11 = 0
  do
    read(11, iostat=ios)
    if (ios /= 0) exit
    n11 = n11 + 1
  end do
  write(*,'(A,2I4)') 'RECORDS AFTER TWO MODELS', n10, n11
end program
)");
  std::istringstream in(out);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2u * 5 + 2 + 1 + 1) << out;
  EXPECT_EQ(lines[0],
            "  2   5000.0  0.0  TWO MODEL");  // TEFF = T(1), GLOG = 0; title from column 7
  EXPECT_EQ(lines[1], "  3    400.0000    500.0000    600.0000   106.01    28.00");
  EXPECT_EQ(lines[2].substr(0, 3), "  6");
  EXPECT_EQ(lines[7], "  1   6000.0  0.0  TWO MODEL");
  EXPECT_EQ(out.find("CONTIN NOT ZERO"), std::string::npos);
  EXPECT_EQ(lines.back(), "RECORDS AFTER TWO MODELS   0   0");
  // Both files end exactly after 8 + 2 + 1 records (unit 10) and 8 records (unit 11): nothing
  // is left to read.
}

}  // namespace
}  // namespace atmotab
