// coulff: the free-free Gaunt factor at its table origin, in the Born limit, and to the bit
// against a Fortran transcription compiled with gfortran over temperatures, frequencies and ion
// charges inside and outside the table.
#include "opacity/coulff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// One depth at temperature T and the frequency nu: TLOG and FREQLG as the model completion and
// setfreq form them.
struct Point {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  double at(double tlog, double freqlg, int nz) {
    run->TEMP.TLOG(1) = tlog;
    run->FREQ.FREQLG = freqlg;
    return coulff(*run, 1, nz);
  }
};

TEST(coulff, table_origin_gives_1_32) {
  // GAMLOG = 0 and HVKTLG = 0 (T = 1.58e5 K, h nu = kT): the table value A(7,9) = 1.32.
  Point p;
  const double tlog = sp(10.39638f) * sp(1.15129f);
  const double freqlg = tlog + sp(20.63764f) * sp(1.15129f);
  EXPECT_NEAR(p.at(tlog, freqlg, 1), sp(1.32f), 1e-13);
  // Charge 2 at four times the temperature: the same gamma^2 and u, the same Gaunt factor.
  const double tlog2 = tlog + std::log(4.0);
  EXPECT_NEAR(p.at(tlog2, freqlg + std::log(4.0), 2), sp(1.32f), 2e-5);
}

TEST(coulff, born_limit_at_high_temperature_and_low_frequency) {
  // For gamma^2 << 1 and u = h nu/kT << 1, g = (sqrt 3/pi) ln(4/(zeta u)), zeta = exp(Euler's
  // gamma) (Born approximation; Rybicki & Lightman 1979, section 5.3). The table's corner,
  // gamma^2 = 1e-3 (T = 1.58e8 K), agrees within 0.2 % at u = 1e-4 and 1 % at u = 1e-3.
  Point p;
  const double T = 1.58e8;
  struct Case {
    double u, tol;
  };
  for (const Case c : {Case{1e-4, 0.002}, Case{3e-4, 0.006}, Case{1e-3, 0.01}}) {
    const double nu = c.u * T * 1.380649e-16 / 6.62607015e-27;
    const double born = std::sqrt(3.0) / M_PI * std::log(4.0 / (std::exp(0.5772156649) * c.u));
    EXPECT_NEAR(p.at(std::log(T), std::log(nu), 1) / born, 1.0, c.tol) << "u = " << c.u;
  }
}

// The routine as the Fortran of the system writes it: single-precision constants and table in
// mixed-mode double arithmetic, integer truncation, unclamped fractions.
constexpr const char* PROGRAM = R"(
program coulffref
  implicit none
  real :: a4(11, 12)
  double precision :: a(11, 12), z4log(6), tlog, freqlg, gamlog, hvktlg, p, q, g
  integer :: nz, igam, ihvkt, ios
  data a4 / 5.53, 5.49, 5.46, 5.43, 5.4, 5.25, 5.0, 4.69, 4.48, 4.16, 3.85, &
            4.91, 4.87, 4.84, 4.8, 4.77, 4.63, 4.4, 4.13, 3.87, 3.52, 3.27, &
            4.29, 4.25, 4.22, 4.18, 4.15, 4.02, 3.8, 3.57, 3.27, 2.98, 2.7, &
            3.64, 3.61, 3.59, 3.56, 3.54, 3.41, 3.22, 2.97, 2.7, 2.45, 2.2, &
            3.0, 2.98, 2.97, 2.95, 2.94, 2.81, 2.65, 2.44, 2.21, 2.01, 1.81, &
            2.41, 2.41, 2.41, 2.41, 2.41, 2.32, 2.19, 2.02, 1.84, 1.67, 1.5, &
            1.87, 1.89, 1.91, 1.93, 1.95, 1.9, 1.8, 1.68, 1.52, 1.41, 1.3, &
            1.33, 1.39, 1.44, 1.49, 1.55, 1.56, 1.51, 1.42, 1.33, 1.25, 1.17, &
            0.9, 0.95, 1.0, 1.08, 1.17, 1.3, 1.32, 1.3, 1.2, 1.15, 1.11, &
            0.55, 0.58, 0.62, 0.7, 0.85, 1.01, 1.15, 1.18, 1.15, 1.11, 1.08, &
            0.33, 0.36, 0.39, 0.46, 0.59, 0.76, 0.97, 1.09, 1.13, 1.1, 1.08, &
            0.19, 0.21, 0.24, 0.28, 0.38, 0.53, 0.76, 0.96, 1.08, 1.09, 1.09 /
  z4log = (/ 0d0, 1.20412d0, 1.90849d0, 2.40824d0, 2.79588d0, 3.11261d0 /)
  a = a4
  open(1, file='points.txt', status='old')
  do
    read(1, *, iostat=ios) tlog, freqlg, nz
    if (ios /= 0) exit
    gamlog = 10.39638 - tlog / 1.15129 + z4log(nz)
    hvktlg = (freqlg - tlog) / 1.15129 - 20.63764
    igam = max(min(int(gamlog + 7.), 10), 1)
    ihvkt = max(min(int(hvktlg + 9.), 11), 1)
    p = gamlog - (igam - 7)
    q = hvktlg - (ihvkt - 9)
    g = (1. - p) * ((1. - q) * a(igam, ihvkt) + q * a(igam, ihvkt + 1)) &
        + p * ((1. - q) * a(igam + 1, ihvkt) + q * a(igam + 1, ihvkt + 1))
    write(6, '(ES26.17E3)') g
  end do
end program coulffref
)";

TEST(coulff, agrees_to_the_bit_with_a_fortran_transcription) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not available";
  // Temperatures from 1000 K to 2e8 K, frequencies 1e10..1e21 Hz: inside the table and beyond
  // every edge; all six ion charges.
  std::vector<double> tlog, freqlg;
  std::vector<int> nz;
  for (double T :
       {1000.0, 2200.0, 3981.0, 5777.0, 8000.0, 12345.0, 2.0e4, 5.0e4, 1.58e5, 1.0e6, 2.0e8}) {
    for (int k = 0; k <= 44; ++k) {
      for (int z = 1; z <= 6; ++z) {
        tlog.push_back(std::log(T));
        freqlg.push_back(std::log(1e10) + k * 0.25 * std::log(10.0));
        nz.push_back(z);
      }
    }
  }
  testing::TempDir dir;
  std::string points;
  char buf[96];
  for (std::size_t i = 0; i < nz.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%.17g %.17g %d\n", tlog[i], freqlg[i], nz[i]);
    points += buf;
  }
  testing::write_file(dir / "points.txt", points);
  std::istringstream out(testing::run_fortran(dir, PROGRAM));
  Point p;
  std::string line;
  std::size_t i = 0;
  while (std::getline(out, line)) {
    ASSERT_LT(i, nz.size());
    const double expected = std::strtod(line.c_str(), nullptr);
    EXPECT_EQ(p.at(tlog[i], freqlg[i], nz[i]), expected)
        << "ln T = " << tlog[i] << ", ln nu = " << freqlg[i] << ", Z = " << nz[i];
    ++i;
  }
  EXPECT_EQ(i, nz.size());
}

}  // namespace
}  // namespace atmotab
