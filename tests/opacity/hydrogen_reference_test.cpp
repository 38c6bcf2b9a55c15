// The hydrogen sources to the bit: hop (with xkarsas and coulff), hminop, h2plop, h2raop and
// h2collop against a Fortran transcription of their definitions compiled with gfortran, over six
// layers (2500 to 30000 K, departure coefficients different from 1) and 400 frequencies from 1e10
// to 1e21 Hz with every level threshold. The C++ routines keep temperature-only factors per model
// and loop level by level; the Fortran evaluates everything where it stands, depth by depth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "input/fortran_reference.h"
#include "opacity/fortran_hydrogen.h"
#include "opacity/h2collop.h"
#include "opacity/h2collop_cache.h"
#include "opacity/h2op.h"
#include "opacity/hminop.h"
#include "opacity/hop.h"
#include "opacity/hop_cache.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"
#include "support/tools.h"

namespace atmotab {
namespace {

constexpr const char* PROGRAM = R"F(
program hydrogenref
  use interp
  use hydrogen
  implicit none
  integer :: nrhox, nfreq, j, f
  double precision :: t(6), tkev(6), tlog(6), hckt(6), xne(6), rho(6), xnfph1(6), xnfph2(6)
  double precision :: xnfhe1(6), bmin(6), bhyd(6, 6), ehvkt(6), stim(6), bnu(6)
  double precision :: freq, freqlg, waveno, ahyd, shyd, ahmin, shmin, xnh2
  open(1, file='input.txt', status='old')
  read(1, *) nrhox, nfreq
  do j = 1, nrhox
    read(1, *) t(j), tkev(j), tlog(j), hckt(j), xne(j), rho(j), xnfph1(j), xnfph2(j), xnfhe1(j), &
               bmin(j), bhyd(:, j)
  end do
  read(1, *) xnk
  read(1, *) tabh2h2
  read(1, *) tabh2he
  call setup()
  do f = 1, nfreq
    read(1, *) freq, freqlg, waveno
    do j = 1, nrhox
      read(1, *) ehvkt(j), stim(j), bnu(j)
      call hop(freq, freqlg, waveno, ehvkt(j), stim(j), bnu(j), t(j), tlog(j), hckt(j), xne(j), &
               rho(j), xnfph1(j), xnfph2(j), bhyd(:, j), ahyd, shyd)
      call hminop(freq, ehvkt(j), stim(j), bnu(j), t(j), tkev(j), xne(j), rho(j), xnfph1(j), &
                  bhyd(1, j), bmin(j), ahmin, shmin)
      xnh2 = nh2(t(j), tkev(j), tlog(j), xnfph1(j), bhyd(1, j))
      write(6, '(7ES26.17E3)') ahyd, shyd, ahmin, shmin, &
        h2plop(freq, freqlg, stim(j), tkev(j), rho(j), xnfph1(j), xnfph2(j), bhyd(1, j)), &
        h2raop(freq, rho(j), xnh2), h2collop(freq, stim(j), t(j), rho(j), xnh2, xnfhe1(j))
    end do
  end do
end program hydrogenref
)F";

// Six layers from a cool dwarf's surface to a hot star's interior.
constexpr testing::Layer LAYERS[] = {
    {2500.0, 1.0e9, 2.0e-8, 3.0e15},
    {4500.0, 3.0e11, 1.0e-7, 2.0e16},
    {6400.0, 6.0e13, 2.8e-7, 7.0e16},
    {9500.0, 3.0e15, 4.5e-7, 1.0e17},
    {30000.0, 1.0e16, 2.0e-8, 1.0e12},
    // A node of the collision-induced table's temperatures: h2collop takes the column unchanged.
    {3000.0, 4.0e10, 5.0e-8, 8.0e15},
};

std::string num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.17g ", v);
  return b;
}

TEST(hydrogen_sources, agree_to_the_bit_with_a_fortran_transcription) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not available";
  std::ostringstream listing;
  auto run = make_run(listing);
  atmotab::Run& r = *run;
  testing::fill_model(r, LAYERS);
  const int n = r.RHOX.NRHOX;
  for (int j = 1; j <= n; ++j) {
    r.BHYD.XNFPH(j, 2) = 0.7 * r.STATE.XNE(j);
    r.BHE.XNFHE(j, 1) = 0.17 * r.BHYD.XNFPH(j, 1);
    r.BHYD.BMIN(j) = 0.8 + 0.1 * j;
    for (int lev = 1; lev <= 6; ++lev) r.BHYD.BHYD(j, lev) = 0.6 + 0.13 * lev + 0.05 * j;
  }
  r.BHYD.BHYD(3, 2) = 1.0;  // LTE levels at one depth
  start_model(r);
  xkarsas_load(r);
  h2collop_load(r);

  // Frequencies: log-spaced, every level threshold and the quasi-continuum limit as wavenumbers,
  // and the cut-offs of H-minus, H2+, H2 Rayleigh and the collision-induced tables.
  std::vector<double> nus;
  for (int i = 0; i < 360; ++i) nus.push_back(1e10 * std::pow(1e11, i / 359.0));
  for (double waveno :
       {109678.766, 27419.658, 12186.462, 6854.871, 4387.113, 3046.604, 2238.32, 1713.713, 1354.044,
        1096.776, 906.426, 761.649, 648.98, 559.579, 487.456, 428.428, 20000.0, 5000.0})
    for (double f : {1.0, 1 + 1e-9}) nus.push_back(double(float(waveno)) * 29979245800.0 * f);
  for (double nu : {1.82365e14, 3.28805e15, 2.922e15, 3.2880512e15}) nus.push_back(nu);

  std::string in = std::to_string(n) + " " + std::to_string(nus.size()) + "\n";
  for (int j = 1; j <= n; ++j) {
    for (double v : {r.TEMP.T(j), r.TEMP.TKEV(j), r.TEMP.TLOG(j), r.TEMP.HCKT(j), r.STATE.XNE(j),
                     r.STATE.RHO(j), r.BHYD.XNFPH(j, 1), r.BHYD.XNFPH(j, 2), r.BHE.XNFHE(j, 1),
                     r.BHYD.BMIN(j)})
      in += num(v);
    for (int lev = 1; lev <= 6; ++lev) in += num(r.BHYD.BHYD(j, lev));
    in += "\n";
  }
  for (float v : xkarsas_cache(r).XNK) in += num(v);
  in += "\n";
  for (double v : h2collop_cache(r).TABH2H2) in += num(v);
  in += "\n";
  for (double v : h2collop_cache(r).TABH2HE) in += num(v);
  in += "\n";

  struct Values {
    double a[7];
  };
  std::vector<Values> ours;
  Dep acoll;
  for (double nu : nus) {
    setfreq(r, nu);
    in += num(r.FREQ.FREQ) + num(r.FREQ.FREQLG) + num(r.FREQ.WAVENO) + "\n";
    for (int j = 1; j <= n; ++j)
      in += num(r.FREQ.EHVKT(j)) + num(r.FREQ.STIM(j)) + num(r.FREQ.BNU(j)) + "\n";
    r.BHYD.AH2P.fill(0.0);  // the opacity driver's clearing: h2plop writes nothing above its limit
    hop(r);
    hminop(r);
    h2plop(r);
    h2raop(r);
    h2collop(r, acoll);
    for (int j = 1; j <= n; ++j)
      ours.push_back({{r.BHYD.AHYD(j), r.BHYD.SHYD(j), r.BHYD.AHMIN(j), r.BHYD.SHMIN(j),
                       r.BHYD.AH2P(j), r.BHYD.SIGH2(j), acoll(j)}});
  }

  testing::TempDir dir;
  testing::write_file(dir / "input.txt", in);
  std::istringstream out(testing::run_fortran(dir, std::string(testing::FORTRAN_INTERP_MODULE) +
                                                       testing::FORTRAN_HYDROGEN_MODULE + PROGRAM));
  const char* names[7] = {"AHYD", "SHYD", "AHMIN", "SHMIN", "AH2P", "SIGH2", "ACOLL"};
  std::size_t k = 0;
  int mismatches = 0;
  for (std::string line; std::getline(out, line); ++k) {
    ASSERT_LT(k, ours.size());
    std::istringstream fields(line);
    for (int q = 0; q < 7; ++q) {
      std::string f;
      fields >> f;
      const double expected = std::strtod(f.c_str(), nullptr);
      if (ours[k].a[q] != expected && mismatches++ < 20)
        ADD_FAILURE() << names[q] << " at nu = " << nus[k / n] << " Hz, depth " << k % n + 1 << ": "
                      << ours[k].a[q] << " against " << expected;
    }
  }
  EXPECT_EQ(k, ours.size());
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace atmotab
