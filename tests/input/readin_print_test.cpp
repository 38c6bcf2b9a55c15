// Begin-card listing: the frequency set in four columns filled column by column, for 10, 9 and
// 1128 entries; every begin-card printout against gfortran writing the same record values with
// the same formats.
#include "input/readin_print.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "input/readin_support.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// The entry indices of each line after the FREQID line (each entry is 3X,I3 then two E13.6);
// -1 for an index printed as "***".
std::vector<std::vector<int>> entry_lines(const std::string& listing) {
  std::vector<std::vector<int>> lines;
  std::istringstream in(listing);
  std::string line;
  std::getline(in, line);  // 0FREQID ...
  while (std::getline(in, line)) {
    std::vector<int> idx;
    for (std::size_t p = 0; p + 6 <= line.size(); p += 32)
      idx.push_back(line.substr(p + 3, 3) == "***" ? -1 : std::stoi(line.substr(p + 3, 3)));
    lines.push_back(idx);
  }
  return lines;
}

struct Layout {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  explicit Layout(int numnu) {
    run->FRESET.NUMNU = numnu;
    for (int i = 1; i <= MAXFRESET; ++i) {
      run->FRESET.FRESET(i) = 1e14 * i;
      run->FRESET.RCOSET(i) = 0.5;
    }
    print_frequency_set(*run);
  }
};

TEST(print_frequency_set, ten_entries) {
  Layout l(10);
  const std::vector<std::vector<int>> expected = {{1, 4, 7, 10}, {2, 5, 8}, {3, 6, 9}};
  EXPECT_EQ(entry_lines(l.listing.str()), expected);
  EXPECT_EQ(l.listing.str(),
            "0FREQID          NUMNU  10   NULO   0   NUHI   0\n"
            "     1 1.000000E+14 5.000000E-01     4 4.000000E+14 5.000000E-01"
            "     7 7.000000E+14 5.000000E-01    10 1.000000E+15 5.000000E-01\n"
            "     2 2.000000E+14 5.000000E-01     5 5.000000E+14 5.000000E-01"
            "     8 8.000000E+14 5.000000E-01\n"
            "     3 3.000000E+14 5.000000E-01     6 6.000000E+14 5.000000E-01"
            "     9 9.000000E+14 5.000000E-01\n");
}

TEST(print_frequency_set, nine_entries_run_in_order) {
  Layout l(9);
  const std::vector<std::vector<int>> expected = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9}};
  EXPECT_EQ(entry_lines(l.listing.str()), expected);
}

TEST(print_frequency_set, driver_set_of_1128) {
  Layout l(1128);
  const std::vector<std::vector<int>> lines = entry_lines(l.listing.str());
  ASSERT_EQ(lines.size(), 282u);
  for (int r = 1; r <= 282; ++r) {
    // I3 prints indices from 1000 on as asterisks.
    const std::vector<int> expected = {r, r + 282, r + 564, r + 846 < 1000 ? r + 846 : -1};
    EXPECT_EQ(lines[static_cast<std::size_t>(r - 1)], expected) << r;
  }
  // Entries beyond the 500 slots of the table print as zeros.
  EXPECT_NE(l.listing.str().find("\n   219 2.190000E+16 5.000000E-01   501 0.000000E+00 "
                                 "0.000000E+00   783 0.000000E+00 0.000000E+00"),
            std::string::npos);
}

// The values the begin card prints, in the order of the printouts, one per line (%.17g, read back
// exactly by a Fortran list-directed read); character items quoted.
std::string printed_values(const Run& r) {
  std::string v;
  auto num = [&v](double x) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g\n", x);
    v += buf;
  };
  auto text = [&v](const char* p, int n) {
    v += "'" + std::string(p, static_cast<std::size_t>(n)) + "'\n";
  };
  num(r.TEFF.TEFF);
  num(r.TEFF.GLOG);
  text(r.JUNK.WLTE.data(), 4);
  text(r.JUNK.TITLE.data(), 74);
  num(r.JUNK.XSCALE);
  for (int k = 1; k <= 99; ++k) {
    text(r.ELEM.ELEMSYM(k).data(), 2);
    num(r.ELEM.ABUND(k));
  }
  for (int k = 1; k <= 20; ++k) num(r.IF.IFOP(k));
  for (double x :
       {double(r.IF.IFCORR), double(r.IF.IFPRES), double(r.IF.IFSURF), double(r.IF.IFSCAT),
        double(r.CONV.IFCONV), r.CONV.MIXLTH, double(r.IF.IFMOL), double(r.TURBPR.IFTURB),
        r.TURBPR.TRBFDG, r.TURBPR.TRBPOW, r.TURBPR.TRBSND, r.TURBPR.TRBCON})
    num(x);
  num(r.ITER.NUMITS);
  for (int i = 1; i <= 15; ++i) num(r.ITER.IFPRNT(i));
  for (int i = 1; i <= 15; ++i) num(r.ITER.IFPNCH(i));
  num(r.FRESET.IFWAVE);
  text(r.JUNK.FREQID.data(), 6);
  for (double x : {double(r.FRESET.NUMNU), double(r.FRESET.NULO), double(r.FRESET.NUHI),
                   r.FRESET.WBEGIN, r.FRESET.DELTAW})
    num(x);
  for (int i = 1; i <= r.FRESET.NUMNU && r.FRESET.IFWAVE == 0; ++i) {
    num(r.FRESET.FRESET(i));
    num(r.FRESET.RCOSET(i));
  }
  num(r.RHOX.NRHOX);
  for (int j = 1; j <= r.RHOX.NRHOX; ++j) {
    for (double x : {r.RHOX.RHOX(j), r.TEMP.T(j), r.STATE.P(j), r.STATE.XNE(j), r.ABROSS.ABROSS(j),
                     r.RAD.PRAD(j), r.TURBPR.VTURB(j)})
      num(x);
    for (int n = 1; n <= 6; ++n) num(r.BHYD.BHYD(j, n));
    num(r.BHYD.BMIN(j));
  }
  return v;
}

// The begin-card printouts written by gfortran from values.txt, with the listing's formats.
constexpr const char* BEGIN_CARD_REFERENCE = R"(
program begin_card
  implicit none
  double precision :: teff, glog, xscale, ab(99), mixlth, trb(4), wbegin, deltaw
  double precision :: fr(500), rc(500), m(99,7), b(99,7)
  character(len=4) :: wlte
  character(len=74) :: title
  character(len=2) :: sym(99)
  character(len=6) :: freqid
  integer :: ifop(20), isw(6), numits, ifprnt(15), ifpnch(15), ifwave, numnu, nulo, nuhi
  integer :: ifturb, nrhox, i, j, k, r, nrow, n4
  open(1, file='values.txt', status='old')
  read(1, *) teff, glog, wlte, title, xscale
  read(1, *) (sym(k), ab(k), k = 1, 99)
  read(1, *) ifop
  read(1, *) (isw(k), k = 1, 5), mixlth, isw(6), ifturb, trb
  read(1, *) numits, ifprnt, ifpnch
  read(1, *) ifwave, freqid, numnu, nulo, nuhi, wbegin, deltaw
  if (ifwave == 0) read(1, *) (fr(i), rc(i), i = 1, numnu)
  read(1, *) nrhox
  read(1, *) ((m(j, k), k = 1, 7), (b(j, k), k = 1, 7), j = 1, nrhox)
  write(6, 1) teff, glog, wlte, (title(i:i), i = 1, 74), xscale, (sym(k), ab(k), k = 1, 99)
1 format('1',/,/,/,/,/,' TEFF',F7.0,'   LOG G',F8.4,3X,A4,/,'0TITLE ',74A1,/,'0XSCALE',F10.6, &
         2(3X,A2,F8.5),/,(10(1X,A2,F6.2)))
  write(6, 2) ifop
2 format('0H1',I2,' H2PLUS',I2,' HMINUS',I2,' HRAY',I2,' HE1',I2,' HE2',I2,' HEMINUS',I2, &
         ' HERAY',I2,' COOL',I2,' LUKE',I2,/,' HOT',I2,' ELECTRON',I2,' H2RAY',I2,' HLINES',I2, &
         ' LINES',I2,' LINESCAT',I2,' XLINES',I2,' XLSCAT',I2,' XCONT',I2,' XSCAT',I2)
  write(6, 3) (isw(k), k = 1, 5), mixlth, isw(6), ifturb, trb
3 format('0IFCORR',I2,'  IFPRES',I2,'  IFSURF',I2,'  IFSCAT',I2,'  IFCONV',I2,'  MIXLTH',F6.2, &
         '  IFMOL',I2,/,' IFTURB',I2,'  TRBFDG',F6.2,'  TRBPOW',F6.2,'  TRBSND',F6.2, &
         '  TRBCON',F6.2)
  write(6, 4) numits, ifprnt, ifpnch
4 format(' NUMITS',I3,'  IFPRNT',15I2,'  IFPNCH',15I2)
  if (ifwave == 0) then
    write(6, 5) (freqid(i:i), i = 1, 6), numnu, nulo, nuhi
5   format('0FREQID ',6A1,'   NUMNU',I4,'   NULO',I4,'   NUHI',I4)
    nrow = (numnu + 3) / 4
    n4 = numnu - 3 * nrow
    if (n4 <= 0) then
      nrow = 1
      n4 = 1
    end if
    write(6, 6) ((i, fr(i), rc(i), i = r, numnu, nrow), r = 1, n4)
6   format((4(3X,I3,1P,2E13.6)))
    if (nrow /= n4) write(6, 7) ((i, fr(i), rc(i), i = r, r + 2 * nrow, nrow), r = n4 + 1, nrow)
7   format((3(3X,I3,1P,2E13.6)))
  else
    write(6, 8) wbegin, deltaw, numnu
8   format('0WBEGIN',F11.4,'   DELTAW',F7.4,'   NUMNU',I5)
  end if
  write(6, 9) (j, (m(j, k), k = 1, 7), (b(j, k), k = 1, 7), j = 1, nrhox)
9 format('1',/,/,/,/,/,8X,'RHOX',9X,'T',8X,'P',8X,'XNE',6X,'ABROSS',5X,'PRAD',6X,'VTURB',24X, &
         'BHYD',25X,'BMIN',/,(I3,1P,E13.6,0P,F9.1,1P,5E10.3,1X,0P,7F8.4))
end program begin_card
)";

// Each deck runs to its begin card; the listing must equal what gfortran prints for the same
// record values. The first deck uses a frequency set of 10 entries (rows of four and of three),
// the second a wavelength range; both print a model table with log RHOX, zeros, negative and
// large values, and departure coefficients.
TEST(begin_card_listing, matches_gfortran) {
  if (!atmotab::testing::have_gfortran()) GTEST_SKIP() << "gfortran not found at configure time";
  const std::string model =
      "READ DECK 3\n"
      " -3.2906 3719.6 1.609E-01 1.109E+09 4.944E-04 1.518E-01 2.000E+05\n"
      " -2.5 5777.449 1.2345E+05 9.995E+14 0.12345 -2.5E-3\n"
      " 0.5 65432.1 9.999E+29 1.0 1234.5 0.0 1.5E6\n"
      "READ DEPARTURES 3\n"
      " 1 1.1 1.2 1.3 1.4 1.5 1.6 0.9\n"
      " 2 0.99995 12.34567 0.00005 1.0 1.0 1.0 99.99999\n"
      " 3 1 1 1 1 1 1 -0.5\n"
      "BEGIN\n";
  const std::string decks[] = {
      "TEFF   5777.  GRAVITY 4.43770 LTE\n"
      "TITLE  SOLAR MODEL  VTURB=2 KM/S  (columns 7 to 80 of the card, whatever stands there)\n"
      " OPACITY IFOP 1 1 1 1 1 1 1 1 1 1 1 1 1 0 1 0 0 0 0 12\n"
      " CONVECTION ON   1.25 TURBULENCE ON 0.005 -1.5 99.994 2.\n"
      "ABUNDANCE SCALE   1.23456789 ABUNDANCE CHANGE 1 0.92140 2 -1.1\n"
      " ABUNDANCE CHANGE  3 -10.94  4 -10.645  5  -9.49  6  3.2E-4  26 -4.555 99 -20.\n"
      "ITERATIONS 3 PRINT 1 0 3 PUNCH 0 1 1 MOLECULES ON SURFACE INTENSITY 2 0.5 1.0\n"
      "READ FREQUENCIES 10 2 9 SOLAR1\n"
      " 1 500. 0.25 2 5.99584916E14 0.5 3 2.E29 0.125 4 1000. 1. 5 3.E15 2.\n"
      " 6 91.1 0.0 7 364.6 -1. 8 1.E-3 1.E7 9 1.E19 3.3 10 2.E25 1.E-30\n" +
          model,
      "TEFF 45000.5 GRAVITY 27400 NLTE\n"
      "ITERATIONS 15 PUNCH 1 0 1 0 1 0 1 0 1 0 1 0 1 0 1 CORRECTION OFF SCATTERING OFF\n"
      "WAVELENGTHS 300. 0.5 310. PRESSURE OFF\n" +
          model,
  };
  for (const std::string& deck : decks) {
    atmotab::testing::DeckRun d(deck, 0);
    d.read();
    ASSERT_TRUE(d.model) << d.message;
    atmotab::testing::TempDir dir;
    atmotab::testing::write_file(dir / "values.txt", printed_values(*d.run));
    EXPECT_EQ(d.listing.str(), atmotab::testing::run_fortran(dir, BEGIN_CARD_REFERENCE)) << deck;
  }
}

}  // namespace
}  // namespace atmotab
