// The cool-metal atoms and CH/OH to the bit: an independent transcription in Fortran of the level
// walks (C I, Mg I, Al I, Si I with departure coefficients, Fe I pseudo-levels) and of the CH and
// OH column interpolation, compiled with gfortran, at several hundred frequencies including every
// threshold and the wavenumber just below it; every absorption and source function must agree
// exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "common/constants.h"
#include "common/state.h"
#include "opacity/choh.h"
#include "opacity/cool_atoms.h"
#include "opacity/setfreq.h"
#include "opacity_model.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// Exponents are read into variables so that every power is a call of the mathematical library's
// pow, as in the program.
constexpr const char* ATOMS = R"(
module atoms
  implicit none
  integer, parameter :: dp = kind(1.d0)
contains
  function pw(x, e) result(y)
    real(dp), intent(in) :: x
    real, intent(in) :: e
    real(dp) :: y
    y = x**e
  end function pw

  function res(a, b, w, c, wid) result(r)
    real(dp), intent(in) :: a, b, w, c, wid
    real(dp) :: r, y
    y = 2.d0*(w - c)/wid
    r = (a*y + b)/(y**2 + 1.d0)
  end function res

  function c1bg(t, w) result(p)
    real, intent(in) :: t
    real(dp), intent(in) :: w
    real(dp) :: p
    p = 10.d0**(-16.8 - (w - t)/(3.d0*109732.3))
  end function c1bg

  ! sigma of C I row i at wavenumber w
  function c1sig(i, w) result(s)
    integer, intent(in) :: i
    real(dp), intent(in) :: w
    real(dp) :: s, x
    real :: t(21) = [16886.79, 18251.98, 19487.8, 20118.75, 21140.7, 22006.37, 28880.88, &
      30489.7, 58601.27, 69172.4, 69235.82, 69767.35, 80627.76, 80691.18, 90777., 90804., &
      90820.42, 90840.42, 90867.42, 90883.84, 100121.]
    x = t(i)/w
    select case (i)
    case (6)
      s = 6.3d-18*pw(x, 1.5)
    case (7)
      s = 4.62d-18*pw(x, 1.2)
    case (8)
      s = 1.8d-18*pw(x, 1.2)
    case (10, 11)
      s = (c1bg(t(10), w) + res(6.8d-17, 1.18d-16, w, 97700.d0, 2743.d0))/3.d0
    case (12)
      s = 2.4d-16*pw(x, 3.)
    case (13, 14)
      s = (c1bg(t(13), w) + res(2.2d-17, 2.6d-17, w, 93917.d0, 9230.d0) &
           + res(-1.05d-17, 4.6d-17, w, 111130.d0, 2743.d0))/3.d0
    case (15:20)
      s = c1bg(t(15), w)/3.d0
    case (21)
      s = 5.d-18*pw(x, 3.)
    case default
      s = 0
    end select
  end function c1sig

  function mg1sig(i, w) result(s)
    integer, intent(in) :: i
    real(dp), intent(in) :: w
    real(dp) :: s, x, z
    real :: t(10) = [13713.986, 13823.223, 15267.955, 18167.688, 20473.617, 26619.756, &
      39759.844, 39800.555, 39820.613, 61671.02]
    x = t(i)/w
    z = t(7)/w
    select case (i)
    case (1)
      s = 3.75d-16*pw(x, 2.7)
    case (2)
      s = 3.042d-16*pw(x, 2.8)
    case (3)
      s = 2.25d-16*pw(x, 2.7)
    case (4)
      s = 4.3d-19*pw(x, 2.6)
    case (5)
      s = 6.3d-18*pw(x, 2.6)
    case (6)
      s = 1.6d-17*pw(x, 2.1) - 7.8d-18*pw(x, 9.5)
    case (7:9)
      s = max(2.d-17*pw(z, 2.7), 4.d-17*pw(z, 14.))
    case default
      s = 1.1d-18*pw(x, 10.)
    end select
  end function mg1sig

  function al1sig(i, w) result(s)
    integer, intent(in) :: i
    real(dp), intent(in) :: w
    real(dp) :: s, x, z
    real :: t(10) = [6958.993, 8002.467, 9346.231, 10588.957, 15318.007, 15842.129, &
      22930.613, 48166.31, 48278.37, 55903.26]
    x = t(i)/w
    z = t(8)/w
    select case (i)
    case (2)
      s = 3.d-16*pw(x, 3.)
    case (3)
      s = 5.d-16*pw(x, 3.)
    case (4)
      s = 5.67d-17*pw(x, 1.9)
    case (5)
      s = 1.45d-17*pw(x, 1.)
    case (6)
      s = 4.7d-16*pw(x, 1.83)
    case (7)
      s = 1.d-17*pw(x, 2.)
    case (8, 9)
      s = 6.5d-17*pw(z, 5.)
    case (10)
      s = 1.2d-16*pw(x, 2.)
    case default
      s = 0
    end select
  end function al1sig

  function si1sig(i, w) result(s)
    integer, intent(in) :: i
    real(dp), intent(in) :: w
    real(dp) :: s, x, z, sg
    real :: t(18) = [16810.969, 17777.64, 18587.547, 18655.04, 24947.217, 26079.18, &
      50353.18, 50640.63, 59448.7, 59736.15, 63446.51, 65524.395, 65670.44, 65747.55, &
      65811.84, 65957.88, 66035., 75423.766]
    real :: c2 = 2.7e-16
    x = t(i)/w
    z = t(12)/w
    select case (i)
    case (2)
      s = c2*pw(x, 3.)
    case (5)
      s = 1.227d-17*pw(x, 2.)
    case (6)
      s = 1.125d-17*pw(x, 2.)
    case (7, 8)
      s = (3.7d-17*pw(x, 2.4) + res(9.7d-17, 9.4d-17, w, 70000.d0, 6500.d0))/3.d0
    case (9, 10)
      s = max(0.d0, (2.45d-17*pw(x, 1.85) + res(-1.d-17, 7.7d-17, w, 78600.d0, 13000.d0))/3.d0)
    case (11)
      s = 2.7d-16*pw(x, 3.)
    case (12:17)
      if (w <= 74000.) then
        sg = 7.2d-17*pw(z, 1.9)
      else
        sg = 9.3d-17*pw(z, 4.)
      end if
      s = sg/3.d0
    case (18)
      s = 7.5d-17*pw(x, 3.)
    case default
      s = 0
    end select
  end function si1sig
end module atoms

program cool
  use atoms
  implicit none
  integer :: nd, nw, j, k, iw, i, nrow(4), lev(21, 4)
  real(dp) :: hckt(3), rho(3), xn(3, 5), b1(3, 14, 4), bion(3, 4)
  real(dp) :: w, ehvkt(3), stim(3), bnu(3), a, s, term, b, ab(3, 5), sf(3, 5), xs, g(21, 4)
  real :: thr(21, 4), e(21, 4)
  real(dp) :: fw(48), fe(48), fg(48), v
  nrow = [21, 10, 10, 18]
  thr = 0
  e = 0
  g = 0
  lev = 0
  thr(:, 1) = [16886.79, 18251.98, 19487.8, 20118.75, 21140.7, 22006.37, 28880.88, 30489.7, &
    58601.27, 69172.4, 69235.82, 69767.35, 80627.76, 80691.18, 90777., 90804., 90820.42, &
    90840.42, 90867.42, 90883.84, 100121.]
  lev(:, 1) = [0, 0, 0, 0, 0, 8, 6, 5, 0, 3, 3, 7, 2, 2, 1, 1, 1, 1, 1, 1, 4]
  e(:, 1) = [0., 0., 0., 0., 0., 68856.33, 61981.82, 60373., 0., 21648.02, 21648.02, 64088.85, &
    10192.66, 10192.66, 43.42, 16.42, 0., 43.42, 16.42, 0., 33735.2]
  g(:, 1) = [0, 0, 0, 0, 0, 1, 1, 1, 0, 1, 2, 1, 5, 10, 5, 3, 1, 10, 6, 2, 1]
  thr(1:10, 2) = [13713.986, 13823.223, 15267.955, 18167.688, 20473.617, 26619.756, &
    39759.844, 39800.555, 39820.613, 61671.02]
  lev(1:10, 2) = [8, 7, 6, 5, 4, 3, 2, 2, 2, 1]
  e(1:10, 2) = [47957.035, 47847.797, 46403.066, 43503.332, 41197.043, 35051.266, 21911.178, &
    21870.465, 21850.404, 0.]
  g(1:10, 2) = [1, 1, 1, 1, 1, 3, 5, 3, 1, 1]
  thr(1:10, 3) = [6958.993, 8002.467, 9346.231, 10588.957, 15318.007, 15842.129, 22930.613, &
    48166.31, 48278.37, 55903.26]
  lev(1:10, 3) = [0, 8, 7, 6, 5, 4, 2, 1, 1, 3]
  e(1:10, 3) = [0., 40275.902, 38932.14, 37689.414, 32960.363, 32436.24, 25347.756, 112.061, &
    0., 29097.11]
  g(1:10, 3) = [0, 1, 1, 2, 6, 1, 2, 4, 2, 1]
  thr(1:18, 4) = [16810.969, 17777.64, 18587.547, 18655.04, 24947.217, 26079.18, 50353.18, &
    50640.63, 59448.7, 59736.15, 63446.51, 65524.395, 65670.44, 65747.55, 65811.84, &
    65957.88, 66035., 75423.766]
  lev(1:18, 4) = [0, 10, 0, 0, 6, 5, 3, 3, 2, 2, 7, 1, 1, 1, 1, 1, 1, 4]
  e(1:18, 4) = [0., 48161.46, 0., 0., 40991.883, 39859.92, 15394.37, 15394.37, 6298.85, &
    6298.85, 45303.31, 223.157, 77.115, 0., 223.157, 77.115, 0., 33326.055]
  g(1:18, 4) = [0, 1, 0, 0, 1, 1, 1, 2, 5, 10, 1, 5, 3, 1, 10, 6, 2, 1]
  fw = [63500, 58500, 53500, 59500, 45000, 44500, 44500, 43000, 58000, 41000, 54000, 40000, &
    40000, 57500, 55500, 38000, 57500, 57500, 37000, 54500, 53500, 55000, 34500, 34500, 34500, &
    34000, 32500, 32500, 32500, 32500, 32000, 29500, 29500, 31000, 30500, 29000, 27000, 54000, &
    27500, 24000, 47000, 23000, 44000, 42000, 42000, 21000, 42000, 42000]
  fe = [500, 7500, 12500, 17500, 19000, 19500, 19500, 21000, 22000, 23000, 23000, 24000, &
    24000, 24500, 24500, 26000, 26500, 26500, 27000, 27500, 28500, 29000, 29500, 29500, 29500, &
    30000, 31500, 31500, 33500, 33500, 34000, 34500, 34500, 35000, 35500, 37000, 37000, 37000, &
    38500, 40000, 40000, 41000, 41000, 43000, 43000, 43000, 43000, 44000]
  fg = [25, 35, 21, 15, 9, 35, 33, 21, 27, 49, 9, 21, 27, 9, 9, 25, 33, 15, 35, 3, 5, 11, 15, &
    13, 15, 9, 21, 15, 21, 25, 35, 9, 5, 45, 27, 21, 15, 21, 15, 25, 21, 35, 5, 15, 45, 35, &
    55, 25]
  b1 = 1
  open(1, file='in.txt', status='old')
  read(1, *) nd
  do j = 1, nd
    read(1, *) hckt(j), rho(j), (xn(j, k), k = 1, 5)
    read(1, *) (b1(j, k, 1), k = 1, 14), bion(j, 1)
    read(1, *) (b1(j, k, 2), k = 1, 8), bion(j, 2)
    read(1, *) (b1(j, k, 3), k = 1, 9), bion(j, 3)
    read(1, *) (b1(j, k, 4), k = 1, 11), bion(j, 4)
  end do
  read(1, *) nw
  do iw = 1, nw
    read(1, *) w
    do j = 1, nd
      read(1, *) ehvkt(j), stim(j), bnu(j)
    end do
    do k = 1, 4
      do j = 1, nd
        a = 1.d-30
        s = 0
        do i = 1, nrow(k)
          if (thr(i, k) > w) exit
          if (lev(i, k) == 0) cycle
          select case (k)
          case (1)
            xs = c1sig(i, w)
          case (2)
            xs = mg1sig(i, w)
          case (3)
            xs = al1sig(i, w)
          case default
            xs = si1sig(i, w)
          end select
          b = b1(j, lev(i, k), k)
          term = g(i, k)*xs*(b - bion(j, k)*ehvkt(j))
          if (e(i, k) /= 0) term = term*exp(-e(i, k)*hckt(j))
          a = a + term
          s = s + term*bnu(j)*stim(j)/(b/bion(j, k) - ehvkt(j))
        end do
        ab(j, k) = a*xn(j, k)/rho(j)
        sf(j, k) = s/a
      end do
    end do
    ! Fe I, with the Si I ground-level departure coefficient
    do j = 1, nd
      ab(j, 5) = 0
      sf(j, 5) = -1
    end do
    if (w >= 21000) then
      do i = 1, 48
        if (fw(i) <= w) then
          v = (3000 + fw(i) - w)/fw(i)/0.1
          xs = 3.d-18/(1 + v**4)
          do j = 1, nd
            ab(j, 5) = ab(j, 5) + xs*fg(i)*exp(-fe(i)*hckt(j))
          end do
        end if
      end do
      do j = 1, nd
        ab(j, 5) = ab(j, 5)*stim(j)*xn(j, 5)/rho(j)
        sf(j, 5) = bnu(j)*stim(j)/(b1(j, 1, 4) - ehvkt(j))
      end do
    end if
    do j = 1, nd
      write(*, '(10ES26.17E3)') (ab(j, k), sf(j, k), k = 1, 5)
    end do
  end do
end program cool
)";

// Wavenumbers: a log-spaced sweep from 5000 cm^-1 to 3e7 cm^-1, and every threshold of the four
// atoms and of Fe I with the wavenumber just below it, and the Si I switch at 74000.
std::vector<double> wavenumbers() {
  std::vector<double> w;
  for (int i = 0; i <= 240; ++i) w.push_back(5000.0 * std::pow(6000.0, i / 240.0));
  const float thresholds[] = {
      16886.79f,  18251.98f,  19487.8f,   20118.75f,  21140.7f,   22006.37f,  28880.88f,
      30489.7f,   58601.27f,  69172.4f,   69235.82f,  69767.35f,  80627.76f,  80691.18f,
      90777.0f,   90804.0f,   90820.42f,  90840.42f,  90867.42f,  90883.84f,  100121.0f,
      13713.986f, 13823.223f, 15267.955f, 18167.688f, 20473.617f, 26619.756f, 39759.844f,
      39800.555f, 39820.613f, 61671.02f,  6958.993f,  8002.467f,  9346.231f,  10588.957f,
      15318.007f, 15842.129f, 22930.613f, 48166.31f,  48278.37f,  55903.26f,  16810.969f,
      17777.64f,  18587.547f, 18655.04f,  24947.217f, 26079.18f,  50353.18f,  50640.63f,
      59448.7f,   59736.15f,  63446.51f,  65524.395f, 65670.44f,  65747.55f,  65811.84f,
      65957.88f,  66035.0f,   75423.766f, 74000.0f,   21000.0f,   42000.0f,   63500.0f,
      66500.0f};
  for (float t : thresholds) {
    w.push_back(sp(t));
    w.push_back(std::nextafter(sp(t), 0.0));
    w.push_back(std::nextafter(sp(t), 1e30));
  }
  return w;
}

std::string number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

TEST(CoolFortran, atoms_agree_to_the_bit_with_a_fortran_transcription) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  atmotab::Run& r = *run;
  testing::fill_model(r, testing::SOLAR3);
  start_model(r);
  // Departure coefficients away from 1, different per level and depth.
  auto b = [](int j, int k) { return 0.6 + 0.07 * k + 0.11 * j; };
  std::ostringstream in;
  in << 3 << "\n";
  for (int j = 1; j <= 3; ++j) {
    r.BC.XNFPC(j, 1) = 1.3e10 * j;
    r.BMG.XNFPMG(j, 1) = 2.7e10 * j;
    r.BAL.XNFPAL(j, 1) = 3.1e9 * j;
    r.BSI.XNFPSI(j, 1) = 4.4e10 * j;
    r.BFE.XNFPFE(j) = 5.9e10 * j;
    for (int k = 1; k <= 14; ++k) r.BC.BC1(j, k) = b(j, k);
    for (int k = 1; k <= 8; ++k) r.BMG.BMG1(j, k) = b(j, k + 1);
    for (int k = 1; k <= 9; ++k) r.BAL.BAL1(j, k) = b(j, k + 2);
    for (int k = 1; k <= 11; ++k) r.BSI.BSI1(j, k) = b(j, k + 3);
    r.BC.BC2(j, 1) = 0.9 + 0.05 * j;
    r.BMG.BMG2(j, 1) = 1.1 - 0.05 * j;
    r.BAL.BAL2(j, 1) = 1.2;
    r.BSI.BSI2(j, 1) = 0.8 + 0.1 * j;
    in << number(r.TEMP.HCKT(j)) << " " << number(r.STATE.RHO(j)) << " " << number(r.BC.XNFPC(j, 1))
       << " " << number(r.BMG.XNFPMG(j, 1)) << " " << number(r.BAL.XNFPAL(j, 1)) << " "
       << number(r.BSI.XNFPSI(j, 1)) << " " << number(r.BFE.XNFPFE(j)) << "\n";
    for (int k = 1; k <= 14; ++k) in << number(r.BC.BC1(j, k)) << " ";
    in << number(r.BC.BC2(j, 1)) << "\n";
    for (int k = 1; k <= 8; ++k) in << number(r.BMG.BMG1(j, k)) << " ";
    in << number(r.BMG.BMG2(j, 1)) << "\n";
    for (int k = 1; k <= 9; ++k) in << number(r.BAL.BAL1(j, k)) << " ";
    in << number(r.BAL.BAL2(j, 1)) << "\n";
    for (int k = 1; k <= 11; ++k) in << number(r.BSI.BSI1(j, k)) << " ";
    in << number(r.BSI.BSI2(j, 1)) << "\n";
  }
  const std::vector<double> ws = wavenumbers();
  in << ws.size() << "\n";
  std::vector<double> mine;
  for (double w : ws) {
    setfreq(r, w * CLIGHT);
    r.FREQ.WAVENO = w;
    in << number(w) << "\n";
    for (int j = 1; j <= 3; ++j)
      in << number(r.FREQ.EHVKT(j)) << " " << number(r.FREQ.STIM(j)) << " " << number(r.FREQ.BNU(j))
         << "\n";
    for (int j = 1; j <= 3; ++j) r.BFE.SFE1(j) = -1;  // the Fortran's mark for "not written"
    c1op(r);
    mg1op(r);
    al1op(r);
    si1op(r);
    fe1op(r);
    for (int j = 1; j <= 3; ++j)
      for (double v : {r.BC.AC1(j), r.BC.SC1(j), r.BMG.AMG1(j), r.BMG.SMG1(j), r.BAL.AAL1(j),
                       r.BAL.SAL1(j), r.BSI.ASI1(j), r.BSI.SSI1(j), r.BFE.AFE1(j), r.BFE.SFE1(j)})
        mine.push_back(v);
  }
  testing::TempDir dir;
  testing::write_file(dir / "in.txt", in.str());
  std::istringstream out(testing::run_fortran(dir, ATOMS));
  int mismatches = 0;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    std::string field;
    ASSERT_TRUE(out >> field) << "Fortran output ends at value " << i;
    const double ref = std::strtod(field.c_str(), nullptr);
    if (ref != mine[i] && ++mismatches <= 10)
      ADD_FAILURE() << "wavenumber " << ws[i / 30] << " depth " << (i % 30) / 10 + 1 << " value "
                    << i % 10 + 1 << ": " << number(mine[i]) << " against Fortran " << field;
  }
  EXPECT_EQ(mismatches, 0);
}

// CH and OH: the tables read from the data files as the program embeds them, single-precision
// values held in double precision; the column per frequency, then per temperature.
constexpr const char* CHOH = R"(
program choh
  implicit none
  integer, parameter :: dp = kind(1.d0)
  real(dp) :: tch(15, 105), toh(15, 130), pch(41), poh(41), t(40), f, w, evolt, en, c(15), r
  real :: v(15), pp(41), e
  character(len=16) :: tag, word
  integer :: n, i, k, it, nt, nf, m, mol, nrow
  character(len=200) :: line
  do mol = 1, 2
    if (mol == 1) then
      open(1, file='tabch.txt', status='old')
      nrow = 105
    else
      open(1, file='taboh.txt', status='old')
      nrow = 130
    end if
    do
      read(1, '(a)') line
      if (line(1:1) /= '#') exit
    end do
    read(1, *) word
    do k = 1, nrow
      read(1, *) n, e, tag, v
      if (mol == 1) then
        tch(:, k) = v
      else
        toh(:, k) = v
      end if
    end do
    close(1)
  end do
  pp = [203.741, 249.643, 299.341, 353.477, 412.607, 477.237, 547.817, 624.786, 708.543, &
    799.463, 897.912, 1004.227, 1118.738, 1241.761, 1373.588, 1514.481, 1664.677, 1824.394, &
    1993.801, 2173.05, 2362.234, 2561.424, 2770.674, 2989.93, 3219.204, 3458.378, 3707.355, &
    3966.005, 4234.155, 4511.604, 4798.135, 5093.554, 5397.593, 5709.948, 6030.401, &
    6358.646, 6694.379, 7037.313, 7387.147, 7743.579, 8106.313]
  pch = pp
  pp = [145.979, 178.033, 211.618, 247.053, 284.584, 324.398, 366.639, 411.425, 458.854, &
    509.012, 561.976, 617.823, 676.626, 738.448, 803.363, 871.437, 942.735, 1017.33, &
    1095.284, 1176.654, 1261.51, 1349.898, 1441.875, 1537.483, 1636.753, 1739.733, 1846.434, &
    1956.883, 2071.08, 2189.029, 2310.724, 2436.155, 2565.283, 2698.103, 2834.571, 2974.627, &
    3118.242, 3265.366, 3415.912, 3569.837, 3727.077]
  poh = pp
  open(1, file='in.txt', status='old')
  read(1, *) nt
  read(1, *) (t(k), k = 1, nt)
  read(1, *) nf
  do i = 1, nf
    read(1, *) f
    do mol = 1, 2
      w = f/2.99792458d10
      evolt = w/8065.479
      if (mol == 1) then
        n = int(10*evolt)
        en = 0.1*n
      else
        n = int(10*evolt - 20)
        en = 0.1*n + 2.0
      end if
      if ((mol == 1 .and. n >= 20 .and. n <= 104) .or. (mol == 2 .and. n >= 1 .and. n <= 129)) then
        do it = 1, 15
          if (mol == 1) then
            c(it) = tch(it, n) + (tch(it, n + 1) - tch(it, n))*(evolt - en)/0.1
          else
            c(it) = toh(it, n) + (toh(it, n + 1) - toh(it, n))*(evolt - en)/0.1
          end if
        end do
        do k = 1, nt
          if (t(k) >= 9000) then
            r = 0
          else
            m = max(1, int((t(k) - 1000)/200 + 1))
            if (mol == 1) then
              r = pch(m) + (pch(m + 1) - pch(m))*(t(k) - (200*m + 800))/200
            else
              r = poh(m) + (poh(m + 1) - poh(m))*(t(k) - (200*m + 800))/200
            end if
            r = max(0.d0, r)
            it = max(1, int((t(k) - 2000)/500 + 1))
            r = exp(2.30258509299405d0*(c(it) + (c(it + 1) - c(it))*(t(k) - (500*it + 1500))/500)) &
                * r
          end if
          write(*, '(ES26.17E3)') r
        end do
      else
        do k = 1, nt
          write(*, '(ES26.17E3)') 0.d0
        end do
      end if
    end do
  end do
end program choh
)";

TEST(CoolFortran, ch_and_oh_agree_to_the_bit_with_a_fortran_transcription) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  std::ostringstream listing;
  std::unique_ptr<atmotab::Run> run = make_run(listing);
  atmotab::Run& r = *run;
  const double temps[] = {150,  800,  1000, 1499.5, 1500, 2000, 2250, 3333.3,
                          4999, 5000, 6123, 7777,   8500, 8999, 9000, 12000};
  constexpr int NT = sizeof temps / sizeof temps[0];
  static_assert(NT <= 40);
  r.RHOX.NRHOX = NT;
  for (int j = 1; j <= NT; ++j) r.TEMP.T(j) = temps[j - 1];
  std::ostringstream in;
  in << NT << "\n";
  for (double t : temps) in << number(t) << " ";
  std::vector<double> freqs;
  for (int i = 0; i <= 1600; ++i) freqs.push_back((1.0 + 0.01 * i) * 2.41798924e14);  // eV
  for (int n = 1; n <= 150; ++n) freqs.push_back(0.1 * n * sp(EV_TO_CM_FLOAT) * CLIGHT);
  in << "\n" << freqs.size() << "\n";
  std::vector<double> mine;
  for (double f : freqs) {
    in << number(f) << "\n";
    r.FREQ.FREQ = f;
    for (int j = 1; j <= NT; ++j) mine.push_back(chop(r, j));
    for (int j = 1; j <= NT; ++j) mine.push_back(ohop(r, j));
  }
  testing::TempDir dir;
  testing::write_file(dir / "in.txt", in.str());
  const std::string src = ATMOTAB_SOURCE_DIR;
  for (const char* name : {"tabch.txt", "taboh.txt"})
    testing::write_file(dir / name, testing::read_file(src + "/data/" + name));
  std::istringstream out(testing::run_fortran(dir, CHOH));
  int mismatches = 0, nonzero = 0;
  for (std::size_t i = 0; i < mine.size(); ++i) {
    std::string field;
    ASSERT_TRUE(out >> field) << "Fortran output ends at value " << i;
    const double ref = std::strtod(field.c_str(), nullptr);
    nonzero += ref != 0;
    if (ref != mine[i] && ++mismatches <= 10)
      ADD_FAILURE() << "frequency " << freqs[i / (2 * NT)] << (i % (2 * NT) < NT ? " CH" : " OH")
                    << " T " << temps[i % NT] << ": " << number(mine[i]) << " against Fortran "
                    << field;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(nonzero, static_cast<int>(mine.size()) / 3);
}

}  // namespace
}  // namespace atmotab
