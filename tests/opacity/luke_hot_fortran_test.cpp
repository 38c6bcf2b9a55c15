// lukeop and hotop to the bit: independent transcriptions in Fortran of the five Luke routines
// (with the Si II table and its row mapping) and of the 60 hot-metal levels with their 1 % skip
// test, compiled with gfortran, fed the same populations, temperatures and frequencies; every
// ALUKE and AHOT must agree exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "opacity/hotop.h"
#include "opacity/hotop_cache.h"
#include "opacity/lukeop.h"
#include "opacity/lukeop_cache.h"
#include "opacity/setfreq.h"
#include "populations/model_fixture.h"
#include "populations/pops.h"
#include "support/tools.h"

namespace atmotab {
namespace {

constexpr const char* PROGRAM = R"(
module luke
  implicit none
  integer, parameter :: dp = kind(1.d0)
contains
  function s3(f, nu0, s0, a, m2) result(s)
    real(dp), intent(in) :: f, nu0, s0, a
    integer, intent(in) :: m2
    real(dp) :: s, x
    if (f < nu0) then
      s = 0
    else
      x = nu0/f
      s = s0*(a + (1.d0 - a)*x)*sqrt(x**m2)
    end if
  end function s3
end module luke

program lukehot
  use luke
  implicit none
  integer :: nd, nf, i, j, k, n, m, it, nt
  real(dp) :: t(99), tkev(99), tlog(99), rho(99), stim(99), xl(99, 5), xh(99, 21), f, flg
  real(dp) :: freqsi(7), flog(9), tlg(6), x(6), d, d1, dt, xx, xs, ahot(99), aluke(99)
  real(dp) :: x853, x1020, x1130, x911, x824, x1169, x1044, x1218, x1420, xc, sn1, smg2, sca2
  real(dp) :: ssi2
  real :: pe(6, 14)
  real(dp) :: hn(60)
  real :: hs(60), ha(60), hg(60), he(60)
  integer :: hm(60), hid(60)
  freqsi = [4.9965417d15, 3.9466738d15, 1.5736321d15, 1.5171539d15, 9.2378947d14, &
    8.3825004d14, 7.6869872d14]
  flog = [36.32984d0, 36.14752d0, 35.91165d0, 34.99216d0, 34.95561d0, 34.45951d0, 34.36234d0, &
    34.27572d0, 34.20161d0]
  tlg = [9.21034d0, 9.39266d0, 9.54681d0, 9.68034d0, 9.79813d0, 9.90349d0]
  pe(:, 1) = -43.8941
  pe(:, 2) = -42.2444
  pe(:, 3) = -40.6054
  pe(:, 4) = [-54.2389, -52.2906, -50.8799, -49.8033, -48.9485, -48.249]
  pe(:, 5) = [-50.4108, -48.4892, -47.109, -46.0672, -45.251, -44.5933]
  pe(:, 6) = [-52.0936, -50.0741, -48.5999, -47.4676, -46.5649, -45.8246]
  pe(:, 7) = [-51.9548, -49.9371, -48.4647, -47.334, -46.4333, -45.6947]
  pe(:, 8) = [-54.2407, -51.7319, -49.9178, -48.5395, -47.4529, -46.5709]
  pe(:, 9) = [-52.7355, -50.2218, -48.4059, -47.0267, -45.9402, -45.0592]
  pe(:, 10) = [-53.5387, -50.9189, -49.02, -47.575, -46.4341, -45.5082]
  pe(:, 11) = [-53.2417, -50.6234, -48.7252, -47.281, -46.141, -45.2153]
  pe(:, 12) = [-53.5097, -50.8535, -48.9263, -47.4586, -46.2994, -45.3581]
  pe(:, 13) = [-54.0561, -51.2365, -49.198, -47.6497, -46.4302, -45.4414]
  pe(:, 14) = [-53.8469, -51.0256, -48.986, -47.4368, -46.2162, -45.2266]
  hn = [ &
    4.149945d15, 4.574341d15, 5.22077d15, 5.222307d15, 5.892577d15, 6.177022d15, &
    6.181062d15, 6.701879d15, 7.158382d15, 7.284488d15, 7.693612d15, 7.885955d15, &
    8.295079d15, 8.497686d15, 8.509966d15, 8.572854d15, 9.90637d15, 1.000693d16, &
    1.046078d16, 1.067157d16, 1.146734d16, 1.156813d16, 1.15784d16, 1.17722d16, &
    1.198813d16, 1.32592d16, 1.327649d16, 1.361466d16, 1.365932d16, 1.481487d16, &
    1.490032d16, 1.533389d16, 1.559452d16, 1.579688d16, 1.643205d16, 1.656208d16, &
    1.671401d16, 1.719725d16, 1.737839d16, 1.871079d16, 1.873298d16, 1.903597d16, &
    2.060738d16, 2.125492d16, 2.16261d16, 2.226127d16, 2.251163d16, 2.278001d16, &
    2.317678d16, 2.348946d16, 2.351911d16, 2.366973d16, 2.507544d16, 2.754065d16, &
    2.86485d16, 2.965598d16, 3.054151d16, 3.085141d16, 3.339687d16, 3.818757d16]
  hs = [ &
    6.9e-18, 2.5e-18, 1.08e-17, 5.35e-18, 4.6e-18, 3.5e-18, 6.75e-18, 6.65e-18, 6.65e-18, &
    3.43e-18, 3.53e-18, 2.32e-18, 3.97e-18, 7.32e-18, 2e-18, 1.68e-18, 4.16e-18, 2.4e-18, &
    4.8e-18, 2.71e-18, 2.06e-18, 5.2e-19, 9.1e-19, 5.3e-18, 3.97e-18, 3.79e-18, 3.65e-18, &
    7e-18, 9.3e-19, 1.1e-18, 5.49e-18, 1.8e-18, 8.7e-19, 4.17e-18, 1.39e-18, 2.5e-18, &
    1.3e-18, 1.48e-18, 2.7e-18, 1.27e-18, 9.1e-19, 2.9e-18, 4.6e-18, 5.9e-19, 1.69e-18, &
    1.69e-18, 9.3e-19, 7.9e-19, 1.65e-18, 3.11e-18, 7.3e-19, 5e-19, 6.9e-19, 7.6e-19, &
    1.54e-18, 1.53e-18, 1.4e-18, 2.8e-18, 3.6e-19, 4.9e-19]
  ha = [ &
    1.0, 1.0, 1.0, 3.769, 1.95, 1.0, 3.101, 2.789, 2.86, 4.174, 3.808, 3.11, 3.033, 3.837, &
    1.75, 3.751, 2.717, 1.75, 1.0, 2.148, 1.626, 2.126, 4.75, 1.0, 2.78, 2.777, 2.014, 1.0, &
    1.5, 1.75, 3.0, 2.277, 3.0, 2.074, 2.792, 2.346, 1.75, 2.225, 1.0, 0.831, 3.0, 1.0, &
    1.0, 1.0, 1.937, 1.841, 2.455, 1.0, 2.277, 1.963, 1.486, 1.0, 1.0, 1.0, 2.104, 2.021, &
    1.471, 1.0, 1.0, 1.145]
  hm = [ &
    6, 4, 4, 2, 6, 4, 5, 5, 6, 5, 5, 5, 5, 5, 7, 5, 3, 7, 4, 3, 6, 3, 4, 4, 6, 6, 6, 2, 7, &
    7, 5, 4, 6, 4, 5, 5, 7, 5, 4, 6, 4, 4, 3, 6, 5, 5, 6, 6, 6, 6, 5, 4, 6, 2, 6, 6, 6, 4, &
    6, 6]
  hg = [ &
    6.0, 2.0, 10.0, 1.0, 6.0, 12.0, 1.0, 5.0, 9.0, 6.0, 10.0, 6.0, 10.0, 4.0, 3.0, 6.0, &
    6.0, 9.0, 10.0, 6.0, 6.0, 6.0, 1.0, 12.0, 1.0, 5.0, 9.0, 5.0, 6.0, 3.0, 1.0, 9.0, 2.0, &
    5.0, 5.0, 9.0, 9.0, 9.0, 10.0, 6.0, 1.0, 12.0, 12.0, 6.0, 6.0, 10.0, 6.0, 9.0, 10.0, &
    4.0, 6.0, 2.0, 3.0, 1.0, 1.0, 5.0, 9.0, 5.0, 2.0, 6.0]
  he = [ &
    13.71, 11.96, 9.28, 0.0, 0.0, 5.33, 4.05, 1.9, 0.0, 5.02, 3.33, 5.02, 3.33, 0.0, 12.69, &
    5.02, 0.0, 6.5, 12.53, 0.0, 0.0, 0.0, 0.0, 7.1, 5.35, 2.51, 0.0, 7.48, 8.0, 16.2, 6.91, &
    0.0, 0.0, 3.2, 3.2, 0.0, 8.35, 0.0, 15.74, 0.0, 0.0, 8.88, 22.84, 9.99, 7.71, 5.08, &
    7.71, 10.2, 5.08, 0.0, 7.71, 0.0, 19.69, 0.0, 7.92, 3.76, 0.0, 11.01, 0.0, 0.0]
  hid = [ &
    2, 2, 2, 16, 2, 2, 6, 6, 6, 11, 11, 11, 11, 11, 3, 11, 17, 3, 7, 17, 7, 17, 3, 7, 12, &
    12, 12, 12, 4, 8, 18, 18, 4, 18, 18, 18, 8, 18, 13, 13, 8, 13, 19, 9, 19, 19, 19, 14, &
    19, 19, 19, 9, 14, 14, 20, 20, 20, 20, 15, 21]
  open(1, file='in.txt', status='old')
  read(1, *) nd
  do j = 1, nd
    read(1, *) t(j), tkev(j), tlog(j), rho(j)
    read(1, *) (xl(j, k), k = 1, 5)
    read(1, *) (xh(j, k), k = 1, 21)
  end do
  read(1, *) nf
  do i = 1, nf
    read(1, *) f, flg
    read(1, *) (stim(j), j = 1, nd)
    ! lukeop
    x853 = s3(f, 3.517915d15, 1.142d-17, 4.29d0, 4)
    x1020 = s3(f, 2.941534d15, 4.41d-18, 3.85d0, 3)
    x1130 = s3(f, 2.653317d15, 4.2d-18, 4.34d0, 3)
    x911 = s3(f, 3.28805d15, 2.94d-18, 2.66d0, 2)
    x824 = s3(f, 3.635492d15, 1.4d-19, 6.7d0, 8)
    x1169 = 0
    if (f >= 2.564306d15) then
      xc = 2.564306d15/f
      x1169 = 5.11e-19*xc**3
    end if
    x1044 = 0
    if (f >= 2.870454d15) then
      xc = 2.870454d15/f
      x1044 = 5.4e-20*xc**3
    end if
    x1218 = 0
    if (f >= 2.460127d15) x1218 = 1.64e-17*sqrt(2.460127d15/f)
    x1420 = s3(f, 2.110779d15, 4.13d-18, 0.69d0, 6)
    n = 8
    do k = 1, 7
      if (freqsi(k) < f) then
        n = k
        exit
      end if
    end do
    d = (flg - flog(n))/(flog(n + 1) - flog(n))
    d1 = 1 - d
    if (n <= 2) then
      m = n
    else
      m = 2*n - 2
    end if
    if (m == 14) m = 13
    do it = 1, 6
      x(it) = pe(it, m + 1)*d + pe(it, m)*d1
    end do
    do j = 1, nd
      nt = int(t(j)/2000) - 4
      nt = max(1, min(5, nt))
      dt = (tlog(j) - tlg(nt))/(tlg(nt + 1) - tlg(nt))
      sn1 = 4*x853 + x1020*(10.d0*exp(-2.384/tkev(j))) + x1130*(6.d0*exp(-3.575/tkev(j)))
      smg2 = x1169*(6.d0*exp(-4.43d0/tkev(j))) + 2*x824
      ssi2 = 6*exp((1 - dt)*x(nt) + dt*x(nt + 1))
      sca2 = 2*x1044 + x1218*(10.d0*exp(-1.697/tkev(j))) + x1420*(6.d0*exp(-3.142/tkev(j)))
      aluke(j) = (sn1*xl(j, 1) + 9*x911*xl(j, 2) + smg2*xl(j, 3) + ssi2*xl(j, 4) &
                  + sca2*xl(j, 5))*stim(j)/rho(j)
    end do
    ! hotop
    ahot = 0
    do k = 1, 60
      if (hn(k) <= f) then
        xc = hn(k)/f
        xs = hs(k)*(ha(k) + xc - ha(k)*xc)*sqrt(xc**hm(k))
        do j = 1, nd
          xx = xh(j, hid(k))*hg(k)*xs
          if (ahot(j)/100 < xx) ahot(j) = ahot(j) + xx*exp(-he(k)/tkev(j))
        end do
      end if
    end do
    do j = 1, nd
      ahot(j) = ahot(j)*stim(j)/rho(j)
      write(*, '(2ES26.17E3)') aluke(j), ahot(j)
    end do
  end do
end program lukehot
)";

std::string number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

TEST(LukeHotFortran, aluke_and_ahot_agree_to_the_bit_with_a_fortran_transcription) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  testing::PopsRun p;
  atmotab::Run& r = p.r;
  // Temperatures inside and outside the Si II table, pressures of photospheres.
  const double temps[] = {5000, 9000, 10000, 13500, 17999, 21000, 26000, 40000};
  constexpr int ND = sizeof temps / sizeof temps[0];
  for (int j = 1; j <= ND; ++j)
    p.set_depth(j, temps[j - 1], 10.0 * std::pow(10.0, 0.5 * j), 1e12 * std::pow(10.0, 0.5 * j));
  start_model(r);
  pops(r, 0, 1, nullptr);
  std::vector<double> freqs;
  for (int i = 0; i <= 300; ++i) freqs.push_back(1e13 * std::pow(1e4, i / 300.0));
  for (double nu : {4.9965417e15, 3.9466738e15, 1.5736321e15, 1.5171539e15, 9.2378947e14,
                    8.3825004e14, 7.6869872e14, 3.517915e15, 2.941534e15, 2.653317e15, 3.28805e15,
                    3.635492e15, 2.564306e15, 2.870454e15, 2.460127e15, 2.110779e15, 1e10, 1e21})
    for (double f : {nu, std::nextafter(nu, 0.0), std::nextafter(nu, 1e30)}) freqs.push_back(f);
  for (int i = 1; i <= 60; ++i) {
    freqs.push_back(hotop_nu0(i));
    freqs.push_back(std::nextafter(hotop_nu0(i), 0.0));
  }
  std::vector<double> mine;
  std::ostringstream in;
  bool first = true;
  for (double f : freqs) {
    setfreq(r, f);
    lukeop(r);
    r.OPS.AHOT.fill(0.0);
    hotop(r);
    if (first) {  // the populations, formed at the first call
      in << ND << "\n";
      for (int j = 1; j <= ND; ++j) {
        in << number(r.TEMP.T(j)) << " " << number(r.TEMP.TKEV(j)) << " " << number(r.TEMP.TLOG(j))
           << " " << number(r.STATE.RHO(j)) << "\n";
        for (const Dep* x :
             {&lukeop_cache(r).XNFN1, &lukeop_cache(r).XNFO1, &lukeop_cache(r).XNFMG2,
              &lukeop_cache(r).XNFSI2, &lukeop_cache(r).XNFCA2})
          in << number((*x)(j)) << " ";
        in << "\n";
        for (int k = 1; k <= 21; ++k) in << number(hotop_cache(r).XNFPHOT(j, k)) << " ";
        in << "\n";
      }
      in << freqs.size() << "\n";
      first = false;
    }
    in << number(f) << " " << number(r.FREQ.FREQLG) << "\n";
    for (int j = 1; j <= ND; ++j) in << number(r.FREQ.STIM(j)) << " ";
    in << "\n";
    for (int j = 1; j <= ND; ++j) {
      mine.push_back(r.OPS.ALUKE(j));
      mine.push_back(r.OPS.AHOT(j));
    }
  }
  testing::TempDir dir;
  testing::write_file(dir / "in.txt", in.str());
  std::istringstream out(testing::run_fortran(dir, PROGRAM));
  int mismatches = 0, hot = 0;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    std::string field;
    ASSERT_TRUE(out >> field) << "Fortran output ends at value " << i;
    const double ref = std::strtod(field.c_str(), nullptr);
    if (i % 2 == 1 && ref > 0) ++hot;
    if (ref != mine[i] && ++mismatches <= 10)
      ADD_FAILURE() << "frequency " << freqs[i / (2 * ND)] << " depth " << (i / 2) % ND + 1
                    << (i % 2 ? " AHOT " : " ALUKE ") << number(mine[i]) << " against Fortran "
                    << field;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(hot, 100);
}

}  // namespace
}  // namespace atmotab
