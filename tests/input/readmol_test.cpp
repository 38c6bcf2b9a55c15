// The molecule list of unit 2: the equation set-up of a hand-worked list, the listing, the limits
// and bad cards, and the shipped list read as gfortran reads it.
#include "input/readmol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fortio/error.h"
#include "support/tools.h"

namespace atmotab {
namespace {

// One card of the list: code (F18.2), D0 (F7.3) and six coefficients (E11.4).
std::string card(double code, double d0 = 0, double a = 0) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%18.2f%7.3f", code, d0);
  std::string s(buf);
  for (int k = 0; k < 6; ++k) {
    std::snprintf(buf, sizeof buf, "%11.4E", a * (k + 1));
    s += buf;
  }
  return s + "\n";
}

struct ListRun {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Run& r = *run;
  int status = 0;
  std::string message;

  explicit ListRun(const std::string& text) {
    r.UNITS.molecules_name = "test.list";
    std::istringstream in(text);
    try {
      readmol(r, in);
    } catch (const atmo_error& e) {
      status = e.status();
      message = e.what();
    }
  }
};

TEST(readmol, worked_example_h_hplus_hminus_h2_ch) {
  ListRun l(card(1.0) + card(1.01) + card(100.0, 0.754, 1) + card(101.0, 4.478, 1) +
            card(106.0, 3.47, 1) + card(0) + card(8.0));  // the card after the 0 is not read
  ASSERT_EQ(l.status, 0) << l.message;
  const IfequaRec& Q = l.r.IFEQUA;
  EXPECT_EQ(l.r.XNMOL.NUMMOL, 5);
  EXPECT_EQ(Q.NLOC, 9);
  const int locj[] = {1, 2, 4, 6, 8, 10};
  for (int m = 1; m <= 6; ++m) EXPECT_EQ(Q.LOCJ(m), locj[m - 1]) << "LOCJ(" << m << ")";
  // Components 1 (H), 6 (C), 100 (electron): equations 2, 3, 4; a positive charge is 5.
  const int kcomps[] = {2, 2, 5, 2, 4, 2, 2, 2, 3};
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(Q.KCOMPS(i), kcomps[i - 1]) << "KCOMPS(" << i << ")";
  EXPECT_EQ(Q.NEQUA, 4);
  EXPECT_EQ(Q.IFEQUA(1), 2);
  EXPECT_EQ(Q.IFEQUA(6), 3);
  EXPECT_EQ(Q.IFEQUA(100), 4);
  EXPECT_EQ(Q.IFEQUA(101), 5);
  EXPECT_EQ(Q.IFEQUA(8), 0);
  EXPECT_EQ(Q.IDEQUA(2), 1);
  EXPECT_EQ(Q.IDEQUA(3), 6);
  EXPECT_EQ(Q.IDEQUA(4), 100);
  EXPECT_EQ(l.r.XNMOL.CODEMOL(5), 106.0);
  EXPECT_EQ(l.r.XNMOL.CODEMOL(6), 0.0);
  EXPECT_EQ(Q.EQUIL(1, 4), 4.478);
  EXPECT_EQ(Q.EQUIL(7, 4), 6.0);
  // The listing: a new page, one echo per entry with 1P on the six coefficients only, the usage.
  const std::string expected =
      "1MOLECULES INPUT\n"
      "    1              1.00  0.000 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 "
      "0.0000E+00\n"
      "    2              1.01  0.000 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 "
      "0.0000E+00\n"
      "    3            100.00  0.754 1.0000E+00 2.0000E+00 3.0000E+00 4.0000E+00 5.0000E+00 "
      "6.0000E+00\n"
      "    4            101.00  4.478 1.0000E+00 2.0000E+00 3.0000E+00 4.0000E+00 5.0000E+00 "
      "6.0000E+00\n"
      "    5            106.00  3.470 1.0000E+00 2.0000E+00 3.0000E+00 4.0000E+00 5.0000E+00 "
      "6.0000E+00\n"
      " MOLECULES  USED   5  MAX 200\n"
      " COMPONENTS USED   9  MAX 600\n"
      " EQUATIONS  USED   4  MAX  30\n";
  EXPECT_EQ(l.listing.str(), expected);
}

TEST(readmol, edge_cases_of_the_set_up) {
  {  // An empty list: only the particle equation.
    ListRun l(card(0));
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.r.XNMOL.NUMMOL, 0);
    EXPECT_EQ(l.r.IFEQUA.NLOC, 0);
    EXPECT_EQ(l.r.IFEQUA.NEQUA, 1);
    EXPECT_EQ(l.r.IFEQUA.IFEQUA(101), 2);
    EXPECT_NE(l.listing.str().find(" MOLECULES  USED   0  MAX 200\n COMPONENTS USED   0  MAX 600\n"
                                   " EQUATIONS  USED   1  MAX  30\n"),
              std::string::npos);
  }
  {  // No charged species: no electron equation, and the charge marker still NEQUA + 1.
    ListRun l(card(1.0) + card(8.0) + card(108.0, 4.417, 1) + card(0));
    EXPECT_EQ(l.r.IFEQUA.NEQUA, 3);
    EXPECT_EQ(l.r.IFEQUA.IFEQUA(100), 0);
    EXPECT_EQ(l.r.IFEQUA.IDEQUA(3), 8);
    EXPECT_EQ(l.r.IFEQUA.IFEQUA(101), 4);
  }
  {  // An inner 00 pair (600: C and an electron) makes the electron a component.
    ListRun l(card(6.0) + card(600.0, 1.26, 1) + card(0));
    EXPECT_EQ(l.r.IFEQUA.NEQUA, 3);
    EXPECT_EQ(l.r.IFEQUA.IDEQUA(3), 100);
    EXPECT_EQ(l.r.IFEQUA.KCOMPS(2), 2);
    EXPECT_EQ(l.r.IFEQUA.KCOMPS(3), 3);
  }
  {  // The end of the file ends the list as a blank card does; a code without a decimal point
     // is read with the field's two implied decimals (F18.2): "101" is H+.
    ListRun l(card(1.0) + "               101\n");
    ASSERT_EQ(l.status, 0) << l.message;
    EXPECT_EQ(l.r.XNMOL.NUMMOL, 2);
    EXPECT_EQ(l.r.XNMOL.CODEMOL(2), 1.01);
  }
  {  // Seven atoms and two charges: CO2 ... as far as eight pairs go.
    ListRun l(card(10101010101010.02, 1, 1) + card(0));
    ASSERT_EQ(l.status, 0) << l.message;
    EXPECT_EQ(l.r.IFEQUA.NLOC, 9);
    EXPECT_EQ(l.r.IFEQUA.NEQUA, 3);
  }
}

TEST(readmol, bad_cards_and_limits_stop_the_run) {
  // Distinct species (a species listed twice is refused): two atoms 100 a + b, and three atoms
  // with a charge 10000 + 100 a + b + 0.01 (four slots, as H2O+).
  std::vector<double> codes;
  std::string many;
  for (int i = 0; i < 201; ++i) {
    codes.push_back(100.0 * (1 + i / 99) + (1 + i % 99));
    many += card(codes.back(), 4.478, 1);
  }
  std::string slots;  // 150 entries of four slots fill the 600; the next one does not fit
  for (int i = 0; i < 151; ++i) slots += card(10000.01 + 100 * (1 + i / 12) + (1 + i % 12), 1, 1);
  std::string elements;  // 30 elements and their ions: 1 + 30 + the electron = 32 equations
  for (int z = 1; z <= 30; ++z) elements += card(z) + card(z + 0.01);
  struct Case {
    std::string text;
    int status;
    const char* message_part;
    const char* listing_part;
  };
  const Case cases[] = {
      {card(1.0) + card(0.5), 1, "test.list' card 2: code 0.5", " NOT A SPECIES CODE ON CARD    2"},
      {card(-106.0), 1, "card 1: code -106", " NOT A SPECIES CODE ON CARD    1"},
      {"10101010101010101.\n", 1, "names no species", " NOT A SPECIES CODE"},  // nine pairs
      {many, 1, "card 201: more than 200 entries", "1TOO MANY MOLECULES\n"},
      {slots, 1, "card 151: more than 600 component slots", "1TOO MANY MOLECULES\n"},
      {elements, 1, "need 32 equations", " EQUATIONS  USED  32  MAX  30\n TOO MANY EQUATIONS\n"},
      {card(1.0) + "              1.0X\n", 2, "card 2: columns 1-18 ('              1.0X')",
       "1MOLECULES INPUT\n"},
      {card(1.01) + card(1.0) + card(1.01), 1, "card 3: species 1.01 is listed already on card 1",
       " SPECIES LISTED TWICE ON CARDS    1 AND    3\n"},
      {card(1.0) + std::string(5000, '1'), 2, "card 2: the line runs on for more than 4096", ""},
  };
  for (const Case& c : cases) {
    ListRun l(c.text);
    EXPECT_EQ(l.status, c.status) << c.message_part;
    EXPECT_NE(l.message.find(c.message_part), std::string::npos) << l.message;
    EXPECT_NE(l.listing.str().find(c.listing_part), std::string::npos) << l.listing.str();
  }
  // Nothing is stored beyond the records: the 201st entry left the 200 in place.
  ListRun l(many);
  EXPECT_EQ(l.r.XNMOL.CODEMOL(200), codes[199]);
  EXPECT_EQ(l.r.IFEQUA.LOCJ(201), 401);
}

TEST(readmol, unit_2_must_exist) {
  testing::TempDir dir;
  for (const std::string& name : {(dir / "none.list").string(), dir.path().string()}) {
    std::ostringstream listing;
    auto run = make_run(listing);
    run->UNITS.molecules_name = name;
    try {
      readmol_unit2(*run);
      ADD_FAILURE() << name << " was read";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_NE(std::string(e.what()).find("cannot open the molecule list '" + name + "'"),
                std::string::npos)
          << e.what();
    }
  }
}

TEST(readmol, a_run_refuses_a_list_without_a_charged_species) {
  // No electron equation: the equilibrium would leave a model's electron density at its guess.
  testing::TempDir dir;
  const std::pair<std::string, bool> cases[] = {{card(1.0) + card(101.0, 4.478, 1), false},
                                                {card(1.0) + card(100.0, 0.754, 1), true},
                                                {card(1.0) + card(1.01), true}};
  for (const auto& [list, accepted] : cases) {
    testing::write_file(dir / "list", list);
    std::ostringstream listing;
    auto run = make_run(listing);
    run->UNITS.molecules_name = (dir / "list").string();
    if (accepted) {
      EXPECT_NO_THROW(readmol_unit2(*run));
      continue;
    }
    EXPECT_THROW(readmol_unit2(*run), atmo_error);
    EXPECT_NE(listing.str().find(" NO CHARGED SPECIES IN THE MOLECULE LIST\n"), std::string::npos);
  }
}

TEST(readmol, shipped_list_as_gfortran_reads_it) {
  const std::string path = std::string(ATMOTAB_SOURCE_DIR) + "/data/molecules.dat";
  std::ostringstream listing;
  auto run = make_run(listing);
  run->UNITS.molecules_name = path;
  readmol_unit2(*run);
  const atmotab::Run& r = *run;
  EXPECT_EQ(r.XNMOL.NUMMOL, 111);
  EXPECT_EQ(r.IFEQUA.NLOC, 206);
  EXPECT_EQ(r.IFEQUA.NEQUA, 29);
  EXPECT_EQ(r.IFEQUA.IDEQUA(29), 100);  // the electron's equation last
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  testing::TempDir dir;
  const std::string out = testing::run_fortran(dir, R"(
program readlist
  implicit none
  double precision :: c, e(7)
  integer :: k
  open (2, file=')" + path + R"(', status='old')
  do
    read (2, '(F18.2,F7.3,6E11.4)') c, e
    if (c == 0) exit
    write (*, '(8I21)') transfer(c, 0_8), (transfer(e(k), 0_8), k = 1, 7)
  end do
end program
)");
  std::istringstream in(out);
  int m = 0;
  for (std::string line; std::getline(in, line);) {
    ++m;
    std::istringstream f(line);
    std::int64_t bits[8];
    for (std::int64_t& b : bits) f >> b;
    double v[8];
    std::memcpy(v, bits, sizeof v);
    EXPECT_EQ(r.XNMOL.CODEMOL(m), v[0]) << "entry " << m;
    for (int k = 1; k <= 7; ++k) EXPECT_EQ(r.IFEQUA.EQUIL(k, m), v[k]) << "entry " << m;
  }
  EXPECT_EQ(m, 111);
}

}  // namespace
}  // namespace atmotab
