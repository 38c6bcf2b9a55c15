// ttaup to the bit: an independent transcription of the pressure integration and of map1 in
// Fortran, compiled with gfortran, integrates the same models from the same opacity table; every
// PTOTAL, P and ABSTD must agree exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/embedded_data.h"
#include "input/fortran_reference.h"
#include "input/grey.h"
#include "input/ttaup.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// The integration as the Fortran of the system writes it: map1 with its blended parabolas, the
// table converted from integers, the Milne predictor and the Hamming corrector with modifier.
constexpr const char* PROGRAM = R"(

program ttaupref
  use interp
  implicit none
  integer :: n, j, k, neval, idum, itab(36, 30)
  double precision :: grav, t(99), tau(99), prad(99), pturb(99), abstd(99), ptotal(99), p(99)
  double precision :: tabkap(36, 30), tabt(36), tabp(30), pkap(30), y(99), dd(99)
  double precision :: h, t1, yy, ynew, err, d, kk, x(1), r(1)
  real :: tabt4(36)
  data tabt4 /3.5, 3.525, 3.55, 3.575, 3.6, 3.625, 3.65, 3.675, 3.7, 3.725, 3.75, 3.775, &
              3.8, 3.825, 3.85, 3.875, 3.9, 3.925, 3.95, 3.975, 4.0, 4.05, 4.1, 4.15, 4.2, &
              4.25, 4.3, 4.35, 4.4, 4.45, 4.5, 4.6, 4.7, 4.8, 4.9, 5.0/
  tabp = (/ -2d0, -1.5d0, -1d0, -0.5d0, 0d0, 0.5d0, 1d0, 1.25d0, 1.5d0, 1.75d0, 2d0, 2.25d0, &
            2.5d0, 2.75d0, 3d0, 3.2d0, 3.4d0, 3.6d0, 3.8d0, 4d0, 4.2d0, 4.4d0, 4.6d0, 4.8d0, &
            5d0, 5.2d0, 5.4d0, 5.6d0, 5.8d0, 6d0 /)
  tabt = tabt4
  open(1, file='model.txt', status='old')
  read(1, *) n, grav
  read(1, *) (t(j), tau(j), prad(j), pturb(j), j = 1, n)
  read(1, *) itab
  tabkap = itab / 1000d0
  kk = 0
  h = log(tau(2) / tau(1))
  if (prad(1) <= 0) then
    abstd(1) = 0.1
  else
    abstd(1) = min(0.5d0 * grav * tau(1) / prad(1), dble(0.1))
  end if
  t1 = t(1)
  t(1) = t(2)
  do j = 1, n
    x(1) = log10(t(j))
    do k = 1, 30
      idum = map1(tabt, tabkap(1, k), 36, x, r, 1)
      pkap(k) = r(1)
    end do
    if (j == 1) then
      yy = log(grav / abstd(1) * tau(1))
    else if (j <= 4) then
      yy = y(j - 1) + dd(j - 1)
    else
      yy = (3 * y(j - 4) + 8 * dd(j - 1) - 4 * dd(j - 2) + 8 * dd(j - 3)) / 3
      kk = 126 * y(j - 1) - 14 * y(j - 3) + 108 * dd(j - 1) - 54 * dd(j - 2) + 9 * y(j - 4) &
           + 24 * dd(j - 3)
    end if
    err = 1
    neval = 0
    do
      ptotal(j) = exp(yy)
      p(j) = prad(1) + ptotal(j) - prad(j) - pturb(j)
      if (p(j) <= 0) stop 3
      x(1) = log10(p(j))
      idum = map1(tabp, pkap, 30, x, r, 1)
      abstd(j) = exp(r(1) * 2.30258509299405d0)
      neval = neval + 1
      d = h * grav * tau(j) / (abstd(j) * ptotal(j))
      if (neval == 1000) stop 4
      if (err <= 5e-5) then
        y(j) = yy
        dd(j) = d
        exit
      end if
      if (j == 1) then
        ynew = log(grav / abstd(1) * tau(1))
      else if (j <= 4) then
        ynew = (yy + 2 * y(j - 1) + dd(j - 1) + d) / 3
      else
        ynew = (42 * d + kk) / 121
      end if
      err = abs(ynew - yy)
      yy = (yy + ynew) / 2
    end do
  end do
  t(1) = t1
  write(6, '(3ES26.17E3)') (ptotal(j), p(j), abstd(j), j = 1, n)
end program ttaupref
)";

struct Model {
  int n = 0;
  double grav = 0;
  Depth T, TAU, PRAD, PTURB;
};

// A grey model at TEFF and log g on log10 tau = TAU1 + (j-1) DTAU, radiation pressure of the
// pressure start plus PRAD0 everywhere, and PTURB = TURB x GRAV x TAU.
Model grey_model(double teff, double logg, int n, double tau1, double dtau, double prad0,
                 double turb) {
  Model m;
  m.n = n;
  m.grav = std::pow(10.0, logg);
  const double floor4 = 0.5 * ((teff * teff) * (teff * teff));
  double pradk1 = 0;
  for (int j = 1; j <= n; ++j) {
    m.TAU(j) = std::pow(10.0, tau1 + (j - 1) * dtau);
    m.T(j) = grey_t(teff, m.TAU(j));
    const double t = m.T(j);
    const double pradk = 2.521e-15 * std::max((t * t) * (t * t), floor4);
    if (j == 1) pradk1 = pradk;
    m.PRAD(j) = pradk - pradk1 + prad0;
    m.PTURB(j) = turb * m.grav * m.TAU(j);
  }
  return m;
}

std::string model_file(const Model& m) {
  std::string s;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%d %.17g\n", m.n, m.grav);
  s += buf;
  for (int j = 1; j <= m.n; ++j) {
    std::snprintf(buf, sizeof buf, "%.17g %.17g %.17g %.17g\n", m.T(j), m.TAU(j), m.PRAD(j),
                  m.PTURB(j));
    s += buf;
  }
  Arr<double, TTAUP_NT, TTAUP_NP> tab;
  ttaup_load(embedded_data("ttaup_kappa.txt"), tab);
  for (int k = 1; k <= TTAUP_NP; ++k) {
    for (int i = 1; i <= TTAUP_NT; ++i) s += std::to_string(std::lround(tab(i, k) * 1000)) + " ";
    s += "\n";
  }
  return s;
}

TEST(ttaup, matches_an_independent_fortran_transcription_to_the_bit) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
  struct Case {
    const char* what;
    Model model;
  };
  const Case cases[] = {
      {"grey solar model, 72 depths", grey_model(5777, 4.44, 72, -6.875, 0.125, 0, 0)},
      {"surface radiation pressure and turbulent pressure",
       grey_model(6500, 4.0, 40, -5, 0.15, 0.5, 1e-3)},
      {"hot star beyond the table's temperatures", grey_model(40000, 4.5, 30, -4, 0.2, 0, 0)},
  };
  for (const Case& c : cases) {
    Model m = c.model;
    testing::TempDir dir;
    testing::write_file(dir / "model.txt", model_file(m));
    std::ostringstream listing;
    auto run = make_run(listing);
    Depth ABSTD, PTOTAL, P;
    ASSERT_NO_THROW(ttaup(*run, m.T, m.TAU, ABSTD, PTOTAL, P, m.PRAD, m.PTURB, m.grav, m.n))
        << c.what << "\n"
        << listing.str();
    const std::string ref =
        testing::run_fortran(dir, std::string(testing::FORTRAN_INTERP_MODULE) + PROGRAM);

    std::istringstream in(ref);
    for (int j = 1; j <= m.n; ++j) {
      std::string f[3];
      ASSERT_TRUE(in >> f[0] >> f[1] >> f[2]) << c.what << " depth " << j << "\n" << ref;
      EXPECT_EQ(PTOTAL(j), std::strtod(f[0].c_str(), nullptr)) << c.what << " depth " << j;
      EXPECT_EQ(P(j), std::strtod(f[1].c_str(), nullptr)) << c.what << " depth " << j;
      EXPECT_EQ(ABSTD(j), std::strtod(f[2].c_str(), nullptr)) << c.what << " depth " << j;
    }
  }
}

}  // namespace
}  // namespace atmotab
