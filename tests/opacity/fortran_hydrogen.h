// Fortran transcriptions of the hydrogen opacity sources, written straight from their definitions
// (one depth at a time, every exponential where it stands, single-precision constants as Fortran
// real constants in double expressions, xkarsas in real arithmetic), for tests that compare the
// C++ routines with gfortran to the bit. The tables are typed here from the definitions, apart from
// the photoionization and collision-induced tables, which the program reads from data/ and the
// tests pass in.
#pragma once

namespace atmotab::testing {

// Module hydrogen (uses module interp of input/fortran_reference.h for map1): call setup() once,
// with xnk, tabh2h2 and tabh2he filled; then coulff, xkarsas, and the per-depth sources hop,
// hminop, h2plop, h2raop and h2collop.
constexpr const char* FORTRAN_HYDROGEN_MODULE = R"F(
module hydrogen
  use interp
  implicit none
  real :: ekarsas(29), elev(15), thr(15), thetaff4(11), wavek4(22), tabff4(11, 22), wbf4(85)
  real :: bf4(85), a4(11, 12), freqn(29, 15), xnk(29, 15)
  double precision :: a(11, 12), thetaff(11), wavek(22), tabff(11, 22), wbf(85), bf(85)
  double precision :: fflog(22, 11), wfflog(22), tabh2h2(7, 81), tabh2he(7, 81), z4log(6)
  data ekarsas / 10000., 4444., 2500., 1111., 400., 204.1, 100., 44.44, 25., 16., &
    11.11, 6.25, 4., 2.778, 2.041, 1.562, 1.235, 1., 0.6944, 0.4444, &
    0.25, 0.1111, 0.04, 0.02041, 0.01, 0.004444, 0.0025, 0.001111, 0. /
  data elev / 0., 82259.1, 97492.305, 102823.89, 105291.65, &
    106632.16, 107440.445, 107965.055, 108324.72, 108581.99, &
    108772.336, 108917.12, 109029.79, 109119.19, 109191.31 /
  data thr / 109678.766, 27419.658, 12186.462, 6854.871, 4387.113, &
    3046.604, 2238.32, 1713.713, 1354.044, 1096.776, &
    906.426, 761.649, 648.98, 559.579, 487.456 /
  data thetaff4 / 0.5, 0.6, 0.8, 1., 1.2, 1.4, 1.6, 1.8, 2., 2.8, 3.6 /
  data wavek4 / 0.5, 0.4, 0.35, 0.3, 0.25, 0.2, 0.18, 0.16, 0.14, 0.12, 0.1, &
    0.09, 0.08, 0.07, 0.06, 0.05, 0.04, 0.03, 0.02, 0.01, 0.008, 0.006 /
  data tabff4 / 0.0178, 0.0222, 0.0308, 0.0402, 0.0498, 0.0596, 0.0695, 0.0795, 0.0896, 0.131, 0.172, &
    0.0228, 0.028, 0.0388, 0.0499, 0.0614, 0.0732, 0.0851, 0.0972, 0.11, 0.16, 0.211, &
    0.0277, 0.0342, 0.0476, 0.0615, 0.076, 0.0908, 0.105, 0.121, 0.136, 0.199, 0.262, &
    0.0364, 0.0447, 0.0616, 0.0789, 0.0966, 0.114, 0.132, 0.15, 0.169, 0.243, 0.318, &
    0.052, 0.0633, 0.0859, 0.108, 0.131, 0.154, 0.178, 0.201, 0.225, 0.321, 0.418, &
    0.0791, 0.0959, 0.129, 0.161, 0.194, 0.227, 0.26, 0.293, 0.327, 0.463, 0.602, &
    0.0965, 0.117, 0.157, 0.195, 0.234, 0.272, 0.311, 0.351, 0.39, 0.549, 0.711, &
    0.121, 0.146, 0.195, 0.241, 0.288, 0.334, 0.381, 0.428, 0.475, 0.667, 0.861, &
    0.154, 0.188, 0.249, 0.309, 0.367, 0.424, 0.482, 0.539, 0.597, 0.83, 1.07, &
    0.208, 0.25, 0.332, 0.409, 0.484, 0.557, 0.63, 0.702, 0.774, 1.06, 1.36, &
    0.293, 0.354, 0.468, 0.576, 0.677, 0.777, 0.874, 0.969, 1.06, 1.45, 1.83, &
    0.358, 0.432, 0.572, 0.702, 0.825, 0.943, 1.06, 1.17, 1.28, 1.73, 2.17, &
    0.448, 0.539, 0.711, 0.871, 1.02, 1.16, 1.29, 1.43, 1.57, 2.09, 2.6, &
    0.579, 0.699, 0.924, 1.13, 1.33, 1.51, 1.69, 1.86, 2.02, 2.67, 3.31, &
    0.781, 0.94, 1.24, 1.52, 1.78, 2.02, 2.26, 2.48, 2.69, 3.52, 4.31, &
    1.11, 1.34, 1.77, 2.17, 2.53, 2.87, 3.2, 3.51, 3.8, 4.92, 5.97, &
    1.73, 2.08, 2.74, 3.37, 3.9, 4.5, 5.01, 5.5, 5.95, 7.59, 9.06, &
    3.04, 3.65, 4.8, 5.86, 6.86, 7.79, 8.67, 9.5, 10.3, 13.2, 15.6, &
    6.79, 8.16, 10.7, 13.1, 15.3, 17.4, 19.4, 21.2, 23., 29.5, 35., &
    27., 32.4, 42.6, 51.9, 60.7, 68.9, 76.8, 84.2, 91.4, 117., 140., &
    42.3, 50.6, 66.4, 80.8, 94.5, 107., 120., 131., 142., 183., 219., &
    75.1, 90., 118., 144., 168., 191., 212., 234., 253., 325., 388. /
  data wbf4 / 18., 19.6, 21.4, 23.6, 26.4, 29.8, 34.3, 40.4, 49.1, 62.6, &
    111.3, 112.1, 112.67, 112.95, 113.05, 113.1, 113.2, 113.23, 113.5, 114.4, &
    121., 139., 164., 175., 200., 225., 250., 275., 300., 325., &
    350., 375., 400., 425., 450., 475., 500., 525., 550., 575., &
    600., 625., 650., 675., 700., 725., 750., 775., 800., 825., &
    850., 875., 900., 925., 950., 975., 1000., 1025., 1050., 1075., &
    1100., 1125., 1150., 1175., 1200., 1225., 1250., 1275., 1300., 1325., &
    1350., 1375., 1400., 1425., 1450., 1475., 1500., 1525., 1550., 1575., &
    1600., 1610., 1620., 1630., 1643.91 /
  data bf4 / 0.067, 0.088, 0.117, 0.155, 0.206, 0.283, 0.414, 0.703, 1.24, 2.33, &
    11.6, 13.9, 24.3, 66.7, 95., 56.6, 20., 14.6, 8.5, 7.1, &
    5.43, 5.91, 7.29, 7.918, 9.453, 11.08, 12.75, 14.46, 16.19, 17.92, &
    19.65, 21.35, 23.02, 24.65, 26.24, 27.77, 29.23, 30.62, 31.94, 33.17, &
    34.32, 35.37, 36.32, 37.17, 37.91, 38.54, 39.07, 39.48, 39.77, 39.95, &
    40.01, 39.95, 39.77, 39.48, 39.06, 38.53, 37.89, 37.13, 36.25, 35.28, &
    34.19, 33.01, 31.72, 30.34, 28.87, 27.33, 25.71, 24.02, 22.26, 20.46, &
    18.62, 16.74, 14.85, 12.95, 11.07, 9.211, 7.407, 5.677, 4.052, 2.575, &
    1.302, 0.8697, 0.4974, 0.1989, 0. /
  data a4 / 5.53, 5.49, 5.46, 5.43, 5.4, 5.25, 5., 4.69, 4.48, 4.16, 3.85, &
    4.91, 4.87, 4.84, 4.8, 4.77, 4.63, 4.4, 4.13, 3.87, 3.52, 3.27, &
    4.29, 4.25, 4.22, 4.18, 4.15, 4.02, 3.8, 3.57, 3.27, 2.98, 2.7, &
    3.64, 3.61, 3.59, 3.56, 3.54, 3.41, 3.22, 2.97, 2.7, 2.45, 2.2, &
    3., 2.98, 2.97, 2.95, 2.94, 2.81, 2.65, 2.44, 2.21, 2.01, 1.81, &
    2.41, 2.41, 2.41, 2.41, 2.41, 2.32, 2.19, 2.02, 1.84, 1.67, 1.5, &
    1.87, 1.89, 1.91, 1.93, 1.95, 1.9, 1.8, 1.68, 1.52, 1.41, 1.3, &
    1.33, 1.39, 1.44, 1.49, 1.55, 1.56, 1.51, 1.42, 1.33, 1.25, 1.17, &
    0.9, 0.95, 1., 1.08, 1.17, 1.3, 1.32, 1.3, 1.2, 1.15, 1.11, &
    0.55, 0.58, 0.62, 0.7, 0.85, 1.01, 1.15, 1.18, 1.15, 1.11, 1.08, &
    0.33, 0.36, 0.39, 0.46, 0.59, 0.76, 0.97, 1.09, 1.13, 1.1, 1.08, &
    0.19, 0.21, 0.24, 0.28, 0.38, 0.53, 0.76, 0.96, 1.08, 1.09, 1.09 /
contains
  subroutine setup()
    integer :: i, n, t
    a = a4
    thetaff = thetaff4
    wavek = wavek4
    tabff = tabff4
    wbf = wbf4
    bf = bf4
    z4log = (/ 0d0, 1.20412d0, 1.90849d0, 2.40824d0, 2.79588d0, 3.11261d0 /)
    do n = 1, 15
      do i = 1, 29
        freqn(i, n) = log10((ekarsas(i) + 1. / real(n * n)) * 109677.58 * 29979245800d0)
      end do
    end do
    do i = 1, 22
      wfflog(i) = log(91.134d0 / wavek(i))
      do t = 1, 11
        fflog(i, t) = log(tabff(t, i) / thetaff(t) * 6.95851632d-13)
      end do
    end do
  end subroutine setup

  double precision function coulff(tlog, freqlg, nz)
    double precision, intent(in) :: tlog, freqlg
    integer, intent(in) :: nz
    double precision :: gamlog, hvktlg, p, q
    integer :: igam, ihvkt
    gamlog = 10.39638 - tlog / 1.15129 + z4log(nz)
    hvktlg = (freqlg - tlog) / 1.15129 - 20.63764
    igam = max(min(int(gamlog + 7.), 10), 1)
    ihvkt = max(min(int(hvktlg + 9.), 11), 1)
    p = gamlog - (igam - 7)
    q = hvktlg - (ihvkt - 9)
    coulff = (1. - p) * ((1. - q) * a(igam, ihvkt) + q * a(igam, ihvkt + 1)) &
             + p * ((1. - q) * a(igam + 1, ihvkt) + q * a(igam + 1, ihvkt + 1))
  end function coulff

  double precision function xkarsas(freq, zeff2, n)
    double precision, intent(in) :: freq, zeff2
    integer, intent(in) :: n
    real :: freqlg, v
    integer :: i
    xkarsas = 0
    freqlg = log10(freq / zeff2)
    if (freqlg < freqn(29, n)) return
    do i = 2, 29
      if (freqn(i, n) < freqlg) exit
    end do
    if (i > 29) i = 29
    v = xnk(i, n) + (freqlg - freqn(i, n)) / (freqn(i - 1, n) - freqn(i, n)) * (xnk(i - 1, n) - xnk(i, n))
    xkarsas = exp(v * 2.30258509299405d0) / zeff2
  end function xkarsas

  ! AHYD and SHYD of one depth.
  subroutine hop(freq, freqlg, waveno, ehvkt, stim, bnu, t, tlog, hckt, xne, rho, xnfph1, xnfph2, &
                 bhyd, ahyd, shyd)
    double precision, intent(in) :: freq, freqlg, waveno, ehvkt, stim, bnu, t, tlog, hckt, xne, rho
    double precision, intent(in) :: xnfph1, xnfph2, bhyd(6)
    double precision, intent(out) :: ahyd, shyd
    double precision :: freq3, k, elow, qc, sa, ss, x, d, term, g, ff
    integer :: n
    freq3 = 2.815d29 / freq / freq / freq
    k = hckt
    elow = max(109250.336d0, 109678.764d0 - waveno)
    qc = (exp(-elow * k) - exp(-109678.766d0 * k)) * freq3 / (k * 109677.58d0) * stim
    sa = qc
    ss = qc * bnu
    do n = 15, 1, -1
      if (waveno < thr(n)) exit
      x = xkarsas(freq, 1d0, n)
      if (n >= 7) then
        term = stim * (2 * n * n) * x * exp(-elev(n) * k)
        sa = sa + term
        ss = ss + term * bnu
      else
        d = bhyd(n) - ehvkt
        if (d /= 0) then
          if (n == 1) then
            term = 2 * x * d
          else
            term = d * (2 * n * n) * x * exp(-elev(n) * k)
          end if
          ss = ss + bnu * stim * term / d
          sa = sa + term
        end if
      end if
    end do
    g = coulff(tlog, freqlg, 1)
    ff = stim * ((((3.6919d8 / sqrt(t)) * g / freq * xne) / freq * xnfph2) / freq) / rho
    ahyd = sa * xnfph1 / rho + ff
    shyd = 0
    if (ahyd > 0) shyd = (xnfph1 * ss / rho + ff * bnu) / ahyd
  end subroutine hop

  ! AHMIN and SHMIN of one depth.
  subroutine hminop(freq, ehvkt, stim, bnu, t, tkev, xne, rho, xnfph1, b1, bmin, ahmin, shmin)
    double precision, intent(in) :: freq, ehvkt, stim, bnu, t, tkev, xne, rho, xnfph1, b1, bmin
    double precision, intent(out) :: ahmin, shmin
    double precision :: theta, xhmin, wave, wavelog, fftt(11), fftheta, hminbf, h, hminff, x(1), r(1)
    integer :: i, it, idum
    theta = 5040 / t
    xhmin = exp(0.754209 / tkev) / (t * 4.8296d15 * sqrt(t)) * bmin * b1 * xnfph1 * xne
    wave = 2.99792458d17 / freq
    wavelog = log(wave)
    do i = 2, 22
      if (wfflog(i) > wavelog) exit
    end do
    if (i > 22) i = 22
    do it = 1, 11
      fftt(it) = exp(fflog(i - 1, it) + (fflog(i, it) - fflog(i - 1, it)) / (wfflog(i) - wfflog(i - 1)) &
                     * (wavelog - wfflog(i - 1)))
    end do
    hminbf = 0
    if (freq > 1.82365d14) then
      x(1) = wave
      idum = map1(wbf, bf, 85, x, r, 1)
      hminbf = max(0d0, r(1))
    end if
    do i = 2, 11
      if (thetaff(i) > theta) exit
    end do
    if (i > 11) i = 11
    fftheta = max(0d0, fftt(i - 1) + (fftt(i) - fftt(i - 1)) / (thetaff(i) - thetaff(i - 1)) &
                  * (theta - thetaff(i - 1)))
    h = (1 - ehvkt / bmin) * hminbf * 1d-18 * xhmin / rho
    hminff = fftheta * 2 * xnfph1 * b1 * xne / rho * 1d-26
    ahmin = hminff + h
    shmin = 0
    if (hminff + h > 0) shmin = (bnu * hminff + bnu * stim * h / (bmin - ehvkt)) / (hminff + h)
  end subroutine hminop

  ! H2 density in equilibrium with ground-level hydrogen [cm-3].
  double precision function nh2(t, tkev, tlog, xnfph1, b1)
    double precision, intent(in) :: t, tkev, tlog, xnfph1, b1
    nh2 = (2 * xnfph1 * b1)**2 * exp(4.478 / tkev - 46.4584d0 + (1.6366d-3 + t * (-4.93992d-7 &
          + t * (1.11822d-10 + t * (-1.49567d-14 + t * (1.06206d-18 - 3.0872d-23 * t))))) * t &
          - 1.5d0 * tlog)
  end function nh2

  double precision function h2plop(freq, freqlg, stim, tkev, rho, xnfph1, xnfph2, b1)
    double precision, intent(in) :: freq, freqlg, stim, tkev, rho, xnfph1, xnfph2, b1
    double precision :: freq15, fr, es
    h2plop = 0
    if (freq > 3.28805d15) return
    freq15 = freq / 1d15
    fr = -3023.3d0 + freqlg * (377.97d0 + freqlg * (-18.2496d0 + freqlg * (0.39207d0 - 0.0031672d0 * freqlg)))
    es = -0.007342d0 + freq15 * (-2.409d0 + freq15 * (1.028d0 + freq15 * (-0.423d0 + freq15 &
         * (0.1224d0 - 0.01351d0 * freq15))))
    h2plop = exp(log(xnfph1) + fr - es / tkev) * 2 * b1 * xnfph2 / rho * stim
  end function h2plop

  double precision function h2raop(freq, rho, xnh2)
    double precision, intent(in) :: freq, rho, xnh2
    double precision :: wave, ww, sig
    wave = 2.99792458d18 / min(freq, 2.922d15)
    ww = wave**2
    sig = (1.28d-6 / ww + 8.14d-13 + 1.61 / ww**2) / ww**2
    h2raop = xnh2 / rho * sig
  end function h2raop

  double precision function h2collop(freq, stim, t, rho, xnh2, xnfhe1)
    double precision, intent(in) :: freq, stim, t, rho, xnh2, xnfhe1
    double precision :: w, delnu, h2h2nu(7), h2henu(7), delt, xh2h2, xh2he
    integer :: k, it, itemp
    h2collop = 0
    w = freq / 29979245800d0
    if (w > 20000) return
    k = min(int(w / 250) + 1, 80)
    delnu = (w - 250. * (k - 1)) / 250
    do itemp = 1, 7
      h2h2nu(itemp) = (1 - delnu) * tabh2h2(itemp, k) + delnu * tabh2h2(itemp, k + 1)
      h2henu(itemp) = (1 - delnu) * tabh2he(itemp, k) + delnu * tabh2he(itemp, k + 1)
    end do
    it = max(1, min(6, int(t / 1000)))
    delt = max(0d0, min(1d0, (t - 1000. * it) / 1000))
    xh2h2 = h2h2nu(it) * (1 - delt) + h2h2nu(it + 1) * delt
    xh2he = h2henu(it) * (1 - delt) + h2henu(it + 1) * delt
    h2collop = (10d0**xh2h2 * xnh2 + 10d0**xh2he * xnfhe1) * xnh2 / rho * stim
  end function h2collop
end module hydrogen
)F";

}  // namespace atmotab::testing
