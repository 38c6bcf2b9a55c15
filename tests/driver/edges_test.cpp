// Edge list and frequency set: classification of the three kinds of value, sign handling, the
// stable sort, the frequency set, and the listing lines against gfortran.
#include "driver/edges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <sstream>
#include <vector>

#include "fortio/error.h"
#include "support/tools.h"

namespace atmotab {
namespace {

struct EdgeRun {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  std::istringstream edges;
  explicit EdgeRun(const std::string& text) : edges(text) {
    run->UNITS.edges = &edges;
    run->UNITS.edges_name = "test-edges";
  }
};

TEST(edges, three_kinds_of_value_describe_the_same_edge) {
  EdgeRun r("500. 5.99584916E14 2.E29 0\n");
  read_edge_list(*r.run);
  const Run::EdgeRec& E = r.run->EDGE;
  ASSERT_EQ(E.NEDGE, 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(E.WLEDGE(i), 500.0, 1e-9) << i;
    EXPECT_NEAR(E.FRQEDG(i), 5.99584916e14, 1e1) << i;
    EXPECT_NEAR(E.CMEDGE(i), 20000.0, 1e-9) << i;
  }
  // Equal wavelengths keep their input order: the first is the wavelength given directly.
  EXPECT_EQ(E.WLEDGE(1), 500.0);
  EXPECT_EQ(E.FRQEDG(2), 5.99584916e14);
  EXPECT_DOUBLE_EQ(E.CMEDGE(3), 20000.0);  // 2.E29 is read as 10^29 x 2
}

TEST(edges, two_edges_give_three_frequencies) {
  EdgeRun r("500.\n400.\n\n");  // any order; the blank card ends the list
  read_edge_list(*r.run);
  const Run::EdgeRec& E = r.run->EDGE;
  ASSERT_EQ(E.NEDGE, 2);
  EXPECT_EQ(E.WLEDGE(1), 400.0);
  ASSERT_EQ(E.NUMFREQ, 3);
  EXPECT_EQ(r.run->FRESET.NUMNU, 3);
  const double offset = 1.0 + std::ldexp(1.0, -23);  // single-precision 1.0000001
  EXPECT_EQ(E.FREQSET(1), (2.99792458e17 / 400.0) / offset);
  EXPECT_EQ(E.FREQSET(2), 2 * 2.99792458e17 / 900.0);
  EXPECT_EQ(E.FREQSET(3), (2.99792458e17 / 500.0) * offset);
  EXPECT_NEAR(E.FREQSET(1), 7.4948e14, 1e10);
  EXPECT_NEAR(E.FREQSET(3), 5.99585e14, 1e10);
  // Strictly inside the interval, decreasing.
  EXPECT_LT(E.FREQSET(1), E.FRQEDG(1));
  EXPECT_GT(E.FREQSET(3), E.FRQEDG(2));
  EXPECT_GT(E.FREQSET(1), E.FREQSET(2));
  EXPECT_GT(E.FREQSET(2), E.FREQSET(3));
  EXPECT_EQ(r.run->TEMP.ITEMP, 0);
}

TEST(edges, negative_values_sort_by_absolute_wavelength_and_keep_their_sign) {
  EdgeRun r("300. -200. 100. 0.\n");
  read_edge_list(*r.run);
  const Run::EdgeRec& E = r.run->EDGE;
  ASSERT_EQ(E.NEDGE, 3);
  EXPECT_EQ(E.WLEDGE(1), 100.0);
  EXPECT_EQ(E.WLEDGE(2), -200.0);
  EXPECT_LT(E.FRQEDG(2), 0);
  EXPECT_LT(E.CMEDGE(2), 0);
  EXPECT_EQ(E.FREQSET(3), (2.99792458e17 / 200.0) * (1.0 + std::ldexp(1.0, -23)));
  EXPECT_EQ(E.FREQSET(5), 2 * 2.99792458e17 / 500.0);
}

// The exchange sort stops after a pass without an exchange: lists in order, in reverse order,
// with one edge far out of place and with ties (+-200 nm, kept in input order) end sorted by
// |wavelength| as a stable sort leaves them.
TEST(edges, sort_is_stable_by_absolute_wavelength_whatever_the_order) {
  const std::vector<std::vector<double>> lists = {
      {100, 200, 300, 400},      {400, 300, 200, 100},        {200, 300, 400, 500, 100},
      {500, 100, 200, 300, 400}, {300, -200, 200, 100, -200}, {7},
  };
  for (const std::vector<double>& wl : lists) {
    std::ostringstream listing;
    auto run = make_run(listing);
    Run::EdgeRec& E = run->EDGE;
    E.NEDGE = static_cast<int>(wl.size());
    for (int i = 1; i <= E.NEDGE; ++i) {
      E.WLEDGE(i) = wl[static_cast<std::size_t>(i - 1)];
      E.A(i) = std::fabs(E.WLEDGE(i));
      E.FRQEDG(i) = i;  // the input position, to see the order of ties
    }
    std::vector<int> expected(wl.size());
    std::iota(expected.begin(), expected.end(), 1);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
      return std::fabs(wl[static_cast<std::size_t>(a - 1)]) <
             std::fabs(wl[static_cast<std::size_t>(b - 1)]);
    });
    sort_edges(*run);
    for (int i = 1; i <= E.NEDGE; ++i) {
      EXPECT_EQ(E.FRQEDG(i), expected[static_cast<std::size_t>(i - 1)]) << "position " << i;
      EXPECT_EQ(E.WLEDGE(i),
                wl[static_cast<std::size_t>(expected[static_cast<std::size_t>(i - 1)] - 1)]);
    }
  }
}

TEST(edges, fewer_than_two_edges_give_an_empty_set) {
  EdgeRun r("656.3 0\n");
  read_edge_list(*r.run);
  EXPECT_EQ(r.run->EDGE.NEDGE, 1);
  EXPECT_EQ(r.run->EDGE.NUMFREQ, 0);
  EXPECT_EQ(r.run->FRESET.NUMNU, 0);
}

TEST(edges, bad_lists_are_io_errors) {
  {
    EdgeRun r("500. 400.\n");  // no terminating 0 or blank card
    try {
      read_edge_list(*r.run);
      FAIL();
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_NE(std::string(e.what()).find("test-edges"), std::string::npos);
    }
  }
  {
    std::string many;
    for (int i = 1; i <= MAXEDGE + 1; ++i) many += std::to_string(100 + i) + ".\n";
    EdgeRun r(many + "0\n");
    try {
      read_edge_list(*r.run);
      FAIL();
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_EQ(r.run->EDGE.NEDGE, MAXEDGE);
    }
  }
}

TEST(edges, listing_matches_gfortran) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  EdgeRun r("911.7535 364.705,820.59 -1458.\n 1.0E15 2.E29 0.\n");
  read_edge_list(*r.run);
  const Run::EdgeRec& E = r.run->EDGE;
  // The same WRITE statements in gfortran, with the values passed bit for bit.
  std::ostringstream prog;
  prog << "program edges\n  implicit none\n  character(*), parameter :: f = "
          "'(I5,1P,E25.15,0P,F20.7,F20.7)'\n"
       << "  integer(8) :: b(4)\n  double precision :: v(4)\n";
  const double read_as[6] = {911.7535, 364.705, 820.59, -1458., 1.0e15, 2.e29};
  auto bits = [](double x) {
    std::int64_t i;
    std::memcpy(&i, &x, 8);
    return std::to_string(i) + "_8";
  };
  // Values as read and as converted, in input order: recompute them the way the driver does.
  Run::EdgeRec saved = E;
  for (int n = 1; n <= 6; ++n) {
    classify_edge(*r.run, n, read_as[n - 1]);
    prog << "  b(1) = " << bits(read_as[n - 1]) << "; v(1) = transfer(b(1), 1d0)\n"
         << "  write(*,f) " << n << ", v(1)\n";
    prog << "  b = [" << bits(E.FRQEDG(n)) << ", " << bits(E.WLEDGE(n)) << ", " << bits(E.CMEDGE(n))
         << ", 0_8]; v = transfer(b, v)\n  write(*,f) " << n << ", v(1), v(2), v(3)\n";
  }
  r.run->EDGE = saved;
  prog << "  write(*,f) ";
  for (int i = 1; i <= 6; ++i) {
    prog << (i > 1 ? ", &\n    " : "") << i << ", transfer(" << bits(E.FRQEDG(i))
         << ", 1d0), transfer(" << bits(E.WLEDGE(i)) << ", 1d0), transfer(" << bits(E.CMEDGE(i))
         << ", 1d0)";
  }
  prog << "\n  write(*,f) " << E.NUMFREQ << "\nend program\n";
  testing::TempDir dir;
  EXPECT_EQ(r.listing.str(), testing::run_fortran(dir, prog.str()));
}

}  // namespace
}  // namespace atmotab
