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
#include "helium_model.h"
#include "input/fortran_reference.h"
#include "opacity/coulff_cache.h"
#include "opacity/fortran_hydrogen.h"
#include "opacity/he1op.h"
#include "opacity/he2op.h"
#include "opacity/hop.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// One depth at temperature T and the frequency nu: TLOG and FREQLG as the model completion and
// setfreq form them.
struct Point {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
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

TEST(coulff, columns_follow_the_model_the_depths_and_the_frequency) {
  // The per-frequency columns must equal the single-point routine after every change that can make
  // them stale: another frequency, the same frequency again, a new model with other temperatures,
  // more and fewer depths under the same model counter.
  constexpr testing::HeLayer HOT[] = {{30000.0, 1e15, 1e-9, 1e10, 5e14, 1e13},
                                      {2.0e5, 1e15, 1e-9, 0.0, 1e10, 1e14}};
  constexpr testing::HeLayer COOL[] = {{4000.0, 1e10, 1e-8, 1e15, 0.0, 0.0},
                                       {6000.0, 1e12, 1e-7, 1e15, 1e8, 0.0},
                                       {9000.0, 1e14, 1e-7, 1e14, 1e12, 1e6}};
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  enum Step { HOTMODEL, COOLMODEL, FEWER, MORE, FREQ };
  struct Case {
    Step step;
    double waveno;  // [cm^-1] for FREQ
  };
  constexpr Case CASES[] = {{HOTMODEL, 0},  {FREQ, 20000}, {FREQ, 3e5}, {FREQ, 20000},
                            {COOLMODEL, 0}, {FREQ, 3e5},   {FEWER, 0},  {FREQ, 1e7},
                            {MORE, 0},      {HOTMODEL, 0}, {FREQ, 1e7}};
  for (const Case& c : CASES) {
    switch (c.step) {
      case HOTMODEL:
        testing::fill_helium(*run, HOT);
        break;
      case COOLMODEL:
        testing::fill_helium(*run, COOL);
        break;
      case FEWER:
        run->RHOX.NRHOX = 2;
        break;
      case MORE:
        run->RHOX.NRHOX = 3;
        break;
      case FREQ:
        testing::set_waveno(*run, c.waveno);
        break;
    }
    const CoulffRec& r = coulff_columns(*run);
    for (int j = 1; j <= run->RHOX.NRHOX; ++j) {
      ASSERT_EQ(r.G1(j), coulff(*run, j, 1)) << "step " << &c - CASES << ", J = " << j;
      ASSERT_EQ(r.HVKTLG(j), coulff_hvktlg(run->FREQ.FREQLG, run->TEMP.TLOG(j)));
    }
  }
}

TEST(coulff, helium_takes_the_same_factors_with_or_without_hop_before_it) {
  // he1op takes hop's Gaunt factors of the frequency and he2op its frequency coordinate: each
  // must give the bits it gives on a fresh run, whichever source ran before it.
  constexpr testing::HeLayer LAYERS[] = {{5000.0, 1e12, 1e-8, 1e15, 0.0, 0.0},
                                         {15000.0, 1e14, 1e-9, 3e13, 4e13, 1e9},
                                         {60000.0, 1e15, 1e-9, 1e8, 1e13, 5e14}};
  for (double waveno : {3000.0, 25000.0, 2e5, 5e6}) {
    std::ostringstream l1, l2;
    std::unique_ptr<atmotab::Run> alone = make_run(l1), shared = make_run(l2);
    for (atmotab::Run* r : {alone.get(), shared.get()}) {
      testing::fill_helium(*r, LAYERS);
      testing::set_waveno(*r, waveno);
    }
    he1op(*alone);
    he2op(*alone);
    hop(*shared);
    he2op(*shared);
    he1op(*shared);
    for (int j = 1; j <= 3; ++j) {
      EXPECT_EQ(shared->BHE.AHE1(j), alone->BHE.AHE1(j)) << waveno << " J = " << j;
      EXPECT_EQ(shared->BHE.SHE1(j), alone->BHE.SHE1(j)) << waveno << " J = " << j;
      EXPECT_EQ(shared->BHE.AHE2(j), alone->BHE.AHE2(j)) << waveno << " J = " << j;
      EXPECT_EQ(shared->BHE.SHE2(j), alone->BHE.SHE2(j)) << waveno << " J = " << j;
    }
  }
}

// The routine as the Fortran of the system writes it (module hydrogen): single-precision constants
// and table in mixed-mode double arithmetic, integer truncation, unclamped fractions.
constexpr const char* PROGRAM = R"F(
program coulffref
  use hydrogen
  implicit none
  double precision :: tlog, freqlg
  integer :: nz, ios
  call setup()
  open(1, file='points.txt', status='old')
  do
    read(1, *, iostat=ios) tlog, freqlg, nz
    if (ios /= 0) exit
    write(6, '(ES26.17E3)') coulff(tlog, freqlg, nz)
  end do
end program coulffref
)F";

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
  std::istringstream out(testing::run_fortran(dir, std::string(testing::FORTRAN_INTERP_MODULE) +
                                                       testing::FORTRAN_HYDROGEN_MODULE + PROGRAM));
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
