// The four helium sources to the bit against a plain Fortran transcription compiled with
// gfortran: every level's Boltzmann factor computed at every frequency, the threshold chain as a
// loop with an exit, constants written as the Fortran literals they are (single-precision
// E, D for double). Same models, same FREQ records and Gaunt factors in; AHE1, SHE1, AHE2, SHE2,
// AHEMIN, SIGHE must agree exactly, with and without departure coefficients.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/constants.h"
#include "helium_model.h"
#include "opacity/coulff.h"
#include "opacity/he1op.h"
#include "opacity/he2op.h"
#include "opacity/hemiop.h"
#include "opacity/heraop.h"
#include "support/tools.h"

namespace atmotab {
namespace {

constexpr const char* PROGRAM = R"(
program helium
  implicit none
  integer :: n, nf, i, j, k
  double precision :: t(99), hckt(99), xne(99), rho(99), xnfphe(99, 3), xnfhe(99, 2)
  double precision :: bhe1(99, 29), bhe2(99, 6), ehvkt(99), stim(99), bnu(99), g1(99), g2(99)
  double precision :: freq, freqlg, waveno, freq3, w1(29), w2(9), gn(6), elow, bc, m, a, s
  double precision :: term, d, x, f, ahe1, she1, ahe2, she2, aa, bb, cc, xk, ahemin, sighe
  double precision :: nuh, wave, ww, sig
  real :: e1(29), thr1(29), gw1(29), e2(9), thr2(9)
  data e1 /0., 159856.06, 166277.55, 169087., 171135., 183236.89, 184864.94, 185564.69, &
           186101.66, 186105.06, 186209.47, 190298.2, 190940.33, 191217.14, 191444.6, &
           191446.56, 191451.8, 191452.08, 191492.81, 193347.1, 193663.62, 193800.78, &
           193917.25, 193918.39, 193921.31, 193921.38, 193922.5, 193922.5, 193942.56/
  data thr1 /198310.77, 38454.69, 32033.215, 29223.754, 27175.76, 15073.868, 13445.824, &
             12746.066, 12209.106, 12205.695, 12101.289, 8012.55, 7370.429, 7093.62, &
             6866.172, 6864.201, 6858.96, 6858.68, 6817.943, 4963.671, 4647.133, 4509.98, &
             4393.515, 4392.369, 4389.45, 4389.39, 4388.26, 4388.26, 4368.19/
  data gw1 /1., 3., 1., 9., 3., 3., 1., 9., 15., 5., 3., 3., 1., 9., 15., 5., 21., 7., 3., &
            3., 1., 9., 15., 5., 21., 7., 27., 9., 3./
  data e2 /0., 329182.3, 390142.34, 411477.94, 421353.12, 426717.4, 429951.9, 432051.2, &
           433490.47/
  data thr2 /438908.84, 109726.53, 48766.492, 27430.926, 17555.715, 12191.437, 8956.95, &
             6857.66, 5418.39/
  open(1, file='in.txt', status='old')
  read(1, *) n, nf
  do j = 1, n
    read(1, *) t(j), hckt(j), xne(j), rho(j), xnfphe(j, 1:3), xnfhe(j, 1:2)
    read(1, *) bhe1(j, 1:29), bhe2(j, 1:6)
  end do
  do i = 1, nf
    read(1, *) freq, freqlg, waveno
    do j = 1, n
      read(1, *) ehvkt(j), stim(j), bnu(j), g1(j), g2(j)
    end do
    freq3 = 2.815d29 / freq / freq / freq
    ! He I: the fits of levels 1..11, the hydrogenic levels n = 4 and 5
    w1(1) = exp(33.32 - 2. * freqlg)
    w1(2) = 3. * exp((21.035 - 0.318 * freqlg) * freqlg - 390.026)
    w1(3) = exp(26.83 - 1.91 * freqlg)
    w1(4) = 9. * exp(61.21 - 2.9 * freqlg)
    w1(5) = 3. * exp(81.35 - 3.5 * freqlg)
    w1(6) = 3. * exp(12.69 - 1.54 * freqlg)
    w1(7) = exp(23.85 - 1.86 * freqlg)
    w1(8) = 9. * exp(49.3 - 2.6 * freqlg)
    w1(9) = 15. * exp(85.2 - 3.69 * freqlg)
    w1(10) = 5. * exp(85.2 - 3.69 * freqlg)
    w1(11) = 3. * exp(58.81 - 2.89 * freqlg)
    do k = 12, 19
      w1(k) = gw1(k) * freq3 / 1024.
    end do
    do k = 20, 29
      w1(k) = gw1(k) * freq3 / 3125.
    end do
    elow = max(195262.919d0, 198310.76d0 - waveno)
    do j = 1, n
      bc = bhe2(j, 1)
      m = 2.d0 * freq3 / (hckt(j) * 109722.27d0) * (exp(-elow * hckt(j)) - &
          exp(-198310.77 * hckt(j))) * stim(j) * bc
      a = m
      s = bnu(j) * m
      do k = 29, 1, -1
        if (waveno < thr1(k)) exit
        if (k == 1) then
          term = w1(k) * (bhe1(j, k) - bc * ehvkt(j))
        else
          term = w1(k) * (bhe1(j, k) - bc * ehvkt(j)) * exp(-e1(k) * hckt(j))
        end if
        a = a + term
        s = s + term * (bnu(j) * stim(j) / (bhe1(j, k) / bc - ehvkt(j)))
      end do
      f = stim(j) * 3.619d8 * max(0.d0, g1(j)) * xne(j) * xnfhe(j, 2) / &
          (freq * freq * freq * sqrt(t(j)) * rho(j))
      ahe1 = a * xnfphe(j, 1) / rho(j) + f
      she1 = bnu(j)
      if (ahe1 > 0) she1 = (bnu(j) * f + s * xnfphe(j, 1) / rho(j)) / ahe1
      write(6, '(2ES26.17E3)') ahe1, she1
    end do
    ! He II: hydrogen's Gaunt polynomials at nu / Z^2
    nuh = freq / 4.d0
    gn(1) = 0.9916 + 2.719d13 / nuh - 2.268d30 / (nuh * nuh)
    gn(2) = 1.105 - 2.375d14 / nuh + 4.077d28 / (nuh * nuh)
    gn(3) = 1.101 - 9.863d13 / nuh + 1.035d28 / (nuh * nuh)
    gn(4) = 1.101 - 5.765d13 / nuh + 4.593d27 / (nuh * nuh)
    gn(5) = 1.102 - 3.909d13 / nuh + 2.371d27 / (nuh * nuh)
    gn(6) = 1.0986 - 2.704d13 / nuh + 1.229d27 / (nuh * nuh)
    w2(1) = 2.d0 * 16.d0 * freq3 * gn(1)
    w2(2) = 4.d0 * freq3 * gn(2)
    w2(3) = 16.d0 * freq3 / 243.d0 * 18.d0 * gn(3)
    w2(4) = 0.5d0 * freq3 * gn(4)
    w2(5) = 16.d0 * freq3 / 3125.d0 * 50.d0 * gn(5)
    w2(6) = 16.d0 * freq3 / 7776.d0 * 72.d0 * gn(6)
    w2(7) = 16.d0 * freq3 / 16807.d0 * 98.d0
    w2(8) = 0.0625d0 * freq3
    w2(9) = freq3 / 59049.d0 * 2592.d0
    elow = max(434519.959d0, 438908.85d0 - waveno)
    do j = 1, n
      x = xnfphe(j, 2) / rho(j)
      m = 16.d0 * freq3 / (hckt(j) * 438889.06d0) * (exp(-elow * hckt(j)) - &
          exp(-438908.84 * hckt(j))) * stim(j) * x
      a = m
      s = bnu(j) * m
      do k = 9, 1, -1
        if (waveno < thr2(k)) exit
        if (k >= 7) then
          term = stim(j) * w2(k) * x * exp(-e2(k) * hckt(j))
          s = s + term * bnu(j)
        else
          d = bhe2(j, k) - ehvkt(j)
          if (k == 1) then
            term = w2(k) * d * x
          else
            term = w2(k) * d * x * exp(-e2(k) * hckt(j))
          end if
          s = s + term * (bnu(j) * stim(j) / d)
        end if
        a = a + term
      end do
      f = stim(j) * 1.47676d9 * max(0.d0, g2(j)) * xne(j) * xnfphe(j, 3) / &
          (freq * freq * freq * sqrt(t(j)) * rho(j))
      ahe2 = a + f
      she2 = bnu(j)
      if (ahe2 > 0) she2 = (s + bnu(j) * f) / ahe2
      write(6, '(2ES26.17E3)') ahe2, she2
    end do
    ! He-minus free-free and helium Rayleigh scattering
    aa = (7.039d30 / freq - 5.216d14) / freq + 0.3397d0
    bb = (8.135d34 / freq + 1.067d19) / freq - 4116.d0
    cc = (-8.724d22 - 5.659d37 / freq) / freq + 5.081d8
    wave = 2.99792458d18 / min(freq, 5.15d15)
    ww = wave**2
    sig = 5.484d-14 / ww**2 * (1.d0 + (2.44d5 + 5.94d10 / (ww - 2.9d5)) / ww)**2
    do j = 1, n
      xk = max(aa * t(j) + bb + cc / t(j), 0.d0)
      ahemin = xk * 1.d-15 * xne(j) * 1.d-15 * xnfphe(j, 1) * 1.d-15 / rho(j)
      sighe = xnfphe(j, 1) * sig / rho(j) * bhe1(j, 1)
      write(6, '(2ES26.17E3)') ahemin, sighe
    end do
  end do
end program helium
)";

std::string num(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g ", x);
  return buf;
}

// Wavenumbers [cm^-1] that test the edges: at and just below every threshold that changes the
// sums, both switches of the merged levels, the Rayleigh cap; then 60 log-spaced frequencies
// from 1e10 to 1e21 Hz.
std::vector<double> frequencies(Run& run) {
  std::vector<double> nu;
  const float thresholds[] = {198310.77f, 38454.69f,  29223.754f, 12209.106f, 12205.695f,
                              8012.55f,   6858.68f,   4963.671f,  4389.39f,   4388.26f,
                              4368.19f,   438908.84f, 109726.53f, 48766.492f, 12191.437f,
                              8956.95f,   6857.66f,   5418.39f};
  for (float t : thresholds) {
    testing::waveno_at(run, t);
    nu.push_back(run.FREQ.FREQ);
    testing::waveno_below(run, t);
    nu.push_back(run.FREQ.FREQ);
  }
  for (double w : {3047.841, 4388.891}) {
    nu.push_back(w * (1 + 1e-12) * CLIGHT);
    nu.push_back(w * (1 - 1e-12) * CLIGHT);
  }
  nu.push_back(5.15e15);
  nu.push_back(std::nextafter(5.15e15, 0.0));
  for (int i = 0; i < 60; ++i) nu.push_back(std::pow(10.0, 10.0 + 11.0 * i / 59.0));
  return nu;
}

void compare_with_fortran(Run& run, const char* what) {
  const int n = run.RHOX.NRHOX;
  const std::vector<double> nu = frequencies(run);
  std::string in = std::to_string(n) + " " + std::to_string(nu.size()) + "\n";
  for (int j = 1; j <= n; ++j) {
    in +=
        num(run.TEMP.T(j)) + num(run.TEMP.HCKT(j)) + num(run.STATE.XNE(j)) + num(run.STATE.RHO(j));
    for (int s = 1; s <= 3; ++s) in += num(run.BHE.XNFPHE(j, s));
    for (int s = 1; s <= 2; ++s) in += num(run.BHE.XNFHE(j, s));
    in += "\n";
    for (int k = 1; k <= 29; ++k) in += num(run.BHE.BHE1(j, k));
    for (int k = 1; k <= 6; ++k) in += num(run.BHE.BHE2(j, k));
    in += "\n";
  }
  std::vector<double> got;
  for (double f : nu) {
    setfreq(run, f);
    in += num(run.FREQ.FREQ) + num(run.FREQ.FREQLG) + num(run.FREQ.WAVENO) + "\n";
    for (int j = 1; j <= n; ++j)
      in += num(run.FREQ.EHVKT(j)) + num(run.FREQ.STIM(j)) + num(run.FREQ.BNU(j)) +
            num(coulff(run, j, 1)) + num(coulff(run, j, 2)) + "\n";
    he1op(run);
    he2op(run);
    hemiop(run);
    heraop(run);
    for (int j = 1; j <= n; ++j) got.insert(got.end(), {run.BHE.AHE1(j), run.BHE.SHE1(j)});
    for (int j = 1; j <= n; ++j) got.insert(got.end(), {run.BHE.AHE2(j), run.BHE.SHE2(j)});
    for (int j = 1; j <= n; ++j) got.insert(got.end(), {run.BHE.AHEMIN(j), run.BHE.SIGHE(j)});
  }
  testing::TempDir dir;
  testing::write_file(dir / "in.txt", in);
  const std::string ref = testing::run_fortran(dir, PROGRAM);
  std::istringstream out(ref);
  const char* names[] = {"AHE1", "SHE1", "AHE2", "SHE2", "AHEMIN", "SIGHE"};
  std::size_t i = 0;
  int shown = 0;
  for (std::string word; out >> word; ++i) {
    ASSERT_LT(i, got.size()) << what;
    const double want = std::strtod(word.c_str(), nullptr);
    const std::size_t per_freq = 6 * static_cast<std::size_t>(n);
    const std::size_t r = i % per_freq, block = r / (2 * n);
    if (got[i] != want && ++shown <= 20)
      ADD_FAILURE() << what << ": nu = " << nu[i / per_freq] << " depth " << (r % (2 * n)) / 2 + 1
                    << " " << names[2 * block + r % 2] << ": " << got[i] << " against " << want;
  }
  EXPECT_EQ(i, got.size()) << what;
}

struct HeliumFortran : ::testing::Test {
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  void SetUp() override {
    if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
    constexpr testing::HeLayer LAYERS[] = {
        {4000.0, 1.0e11, 1.0e-8, 1.0e15, 1.0e6, 0.0},
        {5800.0, 5.0e13, 3.0e-7, 2.0e16, 1.0e10, 1.0e-5},
        {9000.0, 1.0e15, 5.0e-7, 3.0e16, 1.0e13, 1.0e6},
        {15000.0, 1.0e14, 1.0e-9, 3.0e13, 4.0e13, 1.0e9},
        {30000.0, 1.0e15, 1.0e-9, 1.0e10, 5.0e14, 1.0e13},
        {60000.0, 1.0e15, 1.0e-9, 1.0e6, 1.0e13, 5.0e14},
        {20000.0, 1.0e14, 1.0e-9, 0.0, 0.0, 0.0},
    };
    testing::fill_helium(*run, LAYERS);
  }
};

TEST_F(HeliumFortran, lte_to_the_bit) { compare_with_fortran(*run, "LTE"); }

TEST_F(HeliumFortran, departure_coefficients_to_the_bit) {
  // Every level its own departure coefficient, b_c of He I not 1, one depth with b_k = b_c.
  for (int j = 1; j <= run->RHOX.NRHOX; ++j) {
    for (int k = 1; k <= 29; ++k) run->BHE.BHE1(j, k) = 0.7 + 0.05 * k + 0.11 * j;
    for (int k = 1; k <= 6; ++k) run->BHE.BHE2(j, k) = 1.3 - 0.07 * k + 0.02 * j;
  }
  for (int k = 1; k <= 29; ++k) run->BHE.BHE1(3, k) = run->BHE.BHE2(3, 1);
  start_model(*run);
  compare_with_fortran(*run, "departure coefficients");
  // And all He I levels equal to b_c at every depth: the shared source function per depth.
  for (int j = 1; j <= run->RHOX.NRHOX; ++j)
    for (int k = 1; k <= 29; ++k) run->BHE.BHE1(j, k) = run->BHE.BHE2(j, 1);
  start_model(*run);
  compare_with_fortran(*run, "b_k = b_c");
}

}  // namespace
}  // namespace atmotab
