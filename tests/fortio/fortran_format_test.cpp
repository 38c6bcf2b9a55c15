// Formatted output against gfortran: a table of formats x values printed by one generated Fortran
// program and by FortranFormat, compared byte for byte; whole listing statements (groups,
// reversion, items running out); hand-checked records and the error paths.
#include "fortio/fortran_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "fortio/error.h"
#include "fortio/fortran_edit.h"
#include "fortio/listing.h"
#include "fortio/pow10_table.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::have_gfortran;
using testing::run_fortran;
using testing::TempDir;
using testing::write_file;

std::string hex_of(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016" PRIX64, b);
  return buf;
}

std::string describe(double x) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g (0x%s)", x, hex_of(x).c_str());
  return buf;
}

// Lines of TEXT, each without its '\n'.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

// ---------------------------------------------------------------------------------------------
// Hand-checked records (each confirmed once with gfortran 12 as well).

struct Hand {
  const char* fmt;
  std::vector<FItem> items;
  const char* expected;
};

TEST(FortranFormat, HandCheckedRecords) {
  const double neg_zero = -0.0;
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<Hand> cases = {
      // Ties of the exact binary value go to even; 9.9995 is below its tie in binary.
      {"(F5.2)", {0.125}, " 0.12\n"},
      {"(F3.0)", {2.5}, " 2.\n"},
      {"(F10.0)", {0.5}, "        0.\n"},
      {"(F6.3)", {9.9995}, " 9.999\n"},
      // Leading zero only when there is room; with d = 0 it is the only digit.
      {"(F4.2)", {-0.5}, "-.50\n"},
      {"(F3.2)", {0.0}, ".00\n"},
      {"(F2.0)", {0.4}, "0.\n"},
      {"(F1.0)", {0.4}, "*\n"},
      {"(F2.0)", {-0.4}, "**\n"},
      // The sign of values rounding to zero, and of -0.
      {"(F5.2)", {-0.001}, "-0.00\n"},
      {"(F5.2)", {neg_zero}, "-0.00\n"},
      {"(E12.4)", {neg_zero}, " -0.0000E+00\n"},
      // E forms: leading zero, scale factors, three-digit exponents without the letter.
      {"(E12.4)", {1.5}, "  0.1500E+01\n"},
      {"(E10.4)", {1.5}, "0.1500E+01\n"},
      {"(E10.4)", {-1.5}, "-.1500E+01\n"},
      {"(1PE12.4)", {0.0}, "  0.0000E+00\n"},
      {"(-1PE12.4)", {1.5}, "  0.0150E+02\n"},
      {"(2PE12.4)", {1.5}, "  15.000E-01\n"},
      {"(3PE12.2)", {1.5}, "    150.E-02\n"},
      {"(E12.4)", {1.5e100}, "  0.1500+101\n"},
      {"(1PE12.4)", {9.99995}, "  1.0000E+01\n"},
      {"(E12.4)", {9.99995e99}, "  0.1000+101\n"},
      {"(E12.4E1)", {1.5e10}, "************\n"},
      {"(E12.4E3)", {1.5e10}, " 0.1500E+011\n"},
      {"(D12.4)", {1.5e10}, "  0.1500D+11\n"},
      {"(E8.2)", {-1e150}, "-.10+151\n"},
      // kP multiplies F values by 10^k, rounding at the shifted position.
      {"(1PF10.3)", {1.5}, "    15.000\n"},
      {"(-2PF10.3)", {1234.5678}, "    12.346\n"},
      {"(-4PF10.3)", {1245.0}, "     0.124\n"},
      {"(-4PF10.3)", {1255.0}, "     0.126\n"},
      {"(-1PF10.0)", {15.0}, "        2.\n"},
      {"(F20.7)", {1e120}, "********************\n"},
      // Integers.
      {"(I5.3,I5.0,I2)", {7, 0, 123}, "  007     **\n"},
      {"(I0,1X,I0)", {-7, 0}, "-7 0\n"},
      // Infinity and NaN.
      {"(F3.0,F4.0,F8.0,F9.0,F3.0)",
       {inf, -inf, -inf, -inf, -inf},
       "Inf-Inf    -Inf-Infinity***\n"},
      // Items running out: literals before the next data descriptor are written, X is not.
      {"(I5,'abc',I5)", {1}, "    1abc\n"},
      {"(I5,5X,I5)", {1}, "    1\n"},
      {"(I5,5X,/)", {1}, "    1\n\n"},
      {"(I5,:,'x',I5)", {1}, "    1\n"},
      {"(I5)", {}, "\n"},
      {"('1')", {}, "1\n"},
      {"('ab',3X,/,'c')", {}, "ab\nc\n"},
      {"(X,I2,3/,I2)", {1, 2}, "  1\n\n\n 2\n"},
      // Reversion: a new record, back to the last top-level group; no trailing X blanks.
      {"(I5,5X)", {1, 2}, "    1\n    2\n"},
      {"(1P,E12.4,(F10.3))", {1.0, 2.0, 3.0}, "  1.0000E+00    20.000\n    30.000\n"},
      // Literals, Hollerith, A.
      {"(3HABC,I2)", {5}, "ABC 5\n"},
      {"(\"a\"\"b\",'c''d')", {}, "a\"bc'd\n"},
      {"(A,A2,A5)", {"xyz", "xyz", "xyz"}, "xyzxy  xyz\n"},
  };
  for (const Hand& c : cases) {
    std::string got;
    try {
      got = fortran_write(c.fmt, std::span<const FItem>(c.items));
    } catch (const atmo_error& e) {
      got = std::string("throws: ") + e.what();
    }
    EXPECT_EQ(got, c.expected) << "format " << c.fmt;
  }
}

TEST(FortranFormat, AppendCharsMakesOneCharacterItems) {
  std::vector<FItem> items;
  const char card[] = "AB C";
  append_chars(items, card, 4);
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(FortranFormat("(1X,80A1)").write(items), " AB C\n");
}

TEST(FortranFormat, ErrorsNameTheFormat) {
  struct Bad {
    const char* fmt;
    std::vector<FItem> items;
  };
  const std::vector<Bad> cases = {
      {"(I5", {1}},      {"I5)", {1}},         {"(Q5)", {1}},         {"(F5)", {1.0}},
      {"(I5,,I5)", {1}}, {"('abc)", {}},       {"(I5)x", {1}},        {"(E0.3)", {1.0}},
      {"(I5)", {1.0}},   {"(F5.2)", {1}},      {"(A)", {1}},          {"(E12.4)", {"a"}},
      {"('1')", {1}},    {"(4PE12.2)", {1.0}}, {"(-2PE12.2)", {1.0}}, {"(I5,('x'))", {1, 2}},
  };
  for (const Bad& c : cases) {
    try {
      const std::string out = fortran_write(c.fmt, std::span<const FItem>(c.items));
      ADD_FAILURE() << "format " << c.fmt << " did not throw, wrote '" << out << "'";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), 1) << c.fmt;
      EXPECT_EQ(e.where(), "format") << c.fmt;
      EXPECT_NE(std::string(e.what()).find(c.fmt), std::string::npos)
          << "message does not name the format: " << e.what();
    }
  }
}

// Listing::print keeps parsed formats (and the last one used): a format text reused in one buffer
// with new contents, alternating formats and a failing call must all print what write() prints,
// each call's records reaching the stream at once.
TEST(FortranFormat, ListingPrintsEachCallAtOnce) {
  std::ostringstream out;
  Listing listing(out);
  std::string expected;
  std::string fmt = "(1X,3F5.2)";
  auto print = [&](const std::string& f, std::vector<FItem> items) {
    listing.print(f, items);
    expected += FortranFormat(f).write(items);
    EXPECT_EQ(out.str(), expected) << f;
  };
  print(fmt, {1.0, -4.61, 0.125});
  print(fmt, {2.0});
  fmt = "(I5,1P,E12.4)";  // same buffer, new text
  print(fmt, {3, 5770.0});
  fmt.replace(fmt.find('E'), 1, "F");  // same length, one character different
  print(fmt, {4, 5770.0});
  print("(1X,3F5.2)", {-0.0, 29.995, 30.0});
  EXPECT_THROW(listing.print("(I5)", {1.5}), atmo_error);
  EXPECT_EQ(out.str(), expected) << "a failing call writes nothing";
  print("(I5)", {7});
  print("('0   T     ',1P,E12.4,'    TK    ',E12.4,/,'0   RHOX  ',E12.4)", {5770.0, 0.4971, 1e-3});
}

// A stream buffer that keeps at most LIMIT characters and counts its flushes.
class CountingBuf : public std::stringbuf {
 public:
  explicit CountingBuf(std::size_t limit) : limit_(limit) {}
  int syncs = 0;

 protected:
  int sync() override {
    ++syncs;
    return 0;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const auto room = static_cast<std::streamsize>(limit_ - std::min(limit_, str().size()));
    return std::stringbuf::xsputn(s, std::min(n, room));
  }

 private:
  std::size_t limit_;
};

// The listing writes as an ostream write does: a stream tied to another flushes that one first,
// unitbuf flushes after every call, a buffer that takes only part of a record sets badbit, and a
// stream already failed receives nothing.
TEST(FortranFormat, ListingKeepsTheStreamRules) {
  CountingBuf tied_buf(1000), buf(1000);
  std::ostream tied(&tied_buf), out(&buf);
  out.tie(&tied);
  Listing listing(out);
  listing.print("(I5)", {1});
  EXPECT_EQ(buf.str(), "    1\n");
  EXPECT_EQ(tied_buf.syncs, 1) << "the tied stream is flushed before the write";
  out.tie(nullptr);
  out.setf(std::ios::unitbuf);
  listing.print("(I5)", {2});
  EXPECT_EQ(buf.syncs, 1) << "unitbuf flushes after the write";
  out.unsetf(std::ios::unitbuf);
  listing.print("(I5)", {3});
  EXPECT_EQ(buf.syncs, 1);
  EXPECT_EQ(buf.str(), "    1\n    2\n    3\n");

  CountingBuf short_buf(8);
  std::ostream cut(&short_buf);
  Listing partial(cut);
  partial.print("(I5)", {4});
  EXPECT_TRUE(cut.good());
  partial.print("(I5)", {5});
  EXPECT_TRUE(cut.bad()) << "a record taken only in part";
  partial.print("(I5)", {6});
  EXPECT_EQ(short_buf.str(), "    4\n  ") << "nothing after the failure";
}

// ---------------------------------------------------------------------------------------------
// Comparison with gfortran.

const char* const REAL_FORMATS[] = {
    "(E12.4)",    "(1PE12.4)", "(1P,E25.15)", "(F20.7)",   "(F5.2)",     "(F10.2)",    "(F6.3)",
    "(F9.1)",     "(F8.4)",    "(F11.4)",     "(F7.4)",    "(F6.2)",     "(1PE13.6)",  "(1PE10.3)",
    "(1PE11.4)",  "(1PE12.3)", "(F12.2)",     "(E9.2)",    "(E10.4)",    "(E8.1E3)",   "(2PE12.4)",
    "(-1PE12.4)", "(F3.0)",    "(F4.0)",      "(1PF10.3)", "(-2PF10.3)", "(-4PF10.3)", "(E12.4E1)",
    "(D12.4)",    "(ES12.4)",  "(1PE8.1)",    "(F4.2)",    "(F3.1)",     "(E7.1)",     "(E15.8E4)",
    "(3PE14.5)",  "(F40.20)",  "(1PF20.7)",   "(E30.20)",  "(1P,E9.2)",  "(F1.0)",     "(E12.4E2)",
};

const char* const INT_FORMATS[] = {"(I5)",   "(I1)", "(I3)",  "(I10)", "(I5.3)",
                                   "(I4.0)", "(I2)", "(I20)", "(I0)",  "(I12.10)"};

std::vector<double> real_values() {
  std::vector<double> v = {
      0.0,         -0.0,   0.125,       -0.125, 2.5,    0.5,     1.5e-5,  9.99995,  -9.99995,
      9.9995,      99.995, 0.995,       0.05,   0.005,  1.0,     10.0,    100.0,    0.1,
      1e-5,        1e5,    1e10,        9.5,    0.95,   0.0095,  1e99,    1e100,    9.99995e99,
      1e-99,       1e-100, 9.9995e-100, 1e300,  1e-300, DBL_MAX, DBL_MIN, 4.9e-324, -DBL_MAX,
      12345.5,     0.45,   1.25,        1.35,   2437.5, 24375.0, 1e15,    1.234e15, 123456789.123,
      0.000499999, 0.0005, 5e3,         1245.0, 1255.0, 15.0,    25.0};
  const double inf = std::numeric_limits<double>::infinity();
  v.push_back(inf);
  v.push_back(-inf);
  v.push_back(std::numeric_limits<double>::quiet_NaN());
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  // Random magnitudes 1e-120 .. 1e120, both signs.
  for (int j = 0; j < 1500; ++j) {
    const double x = (1.0 + 9.0 * u(rng)) * std::pow(10.0, std::floor(-120.0 + 240.0 * u(rng)));
    v.push_back(j % 2 ? -x : x);
  }
  // Moderate magnitudes where F fields print digits.
  for (int j = 0; j < 800; ++j) {
    const double x = u(rng) * std::pow(10.0, std::floor(-6.0 + 14.0 * u(rng)));
    v.push_back(j % 3 ? x : -x);
  }
  // Near-ties: short decimals ending in 5, and sums of powers of two that are exact ties.
  for (int j = 0; j < 500; ++j) {
    const int digits = 1 + static_cast<int>(u(rng) * 8);
    const long long m = static_cast<long long>(u(rng) * std::pow(10.0, digits)) * 10 + 5;
    const double x = static_cast<double>(m) * std::pow(10.0, -static_cast<int>(u(rng) * 10));
    v.push_back(j % 2 ? -x : x);
  }
  for (int j = 0; j < 300; ++j) {
    const double x = std::ldexp(static_cast<double>(rng() % 100000), -static_cast<int>(rng() % 12));
    v.push_back(j % 2 ? -x : x);
  }
  // Values just below a power of ten.
  for (int e = -10; e <= 10; ++e) {
    const double p = std::pow(10.0, e);
    v.push_back(p * 0.99995);
    v.push_back(p * 0.999995);
    v.push_back(std::nextafter(p, 0.0));
    v.push_back(-p * 0.9999999);
  }
  return v;
}

std::vector<long long> int_values() {
  std::vector<long long> v = {0,         1,         -1,         9,          10,     -9,
                              -10,       99,        100,        -99,        999,    -999,
                              1000,      99999,     100000,     -9999,      -10000, 12345,
                              LLONG_MAX, LLONG_MIN, 2147483647, -2147483647};
  std::mt19937_64 rng(7);
  for (int j = 0; j < 400; ++j) {
    const int digits = 1 + static_cast<int>(rng() % 18);
    long long x =
        static_cast<long long>(rng() % static_cast<unsigned long long>(std::pow(10.0, digits)));
    v.push_back(j % 2 ? -x : x);
  }
  return v;
}

// One item of a whole-statement case, with its Fortran spelling.
using Item = std::variant<long long, double, std::string>;

struct Statement {
  std::string fmt;
  std::vector<Item> items;
};

std::vector<Item> chars(const std::string& s) {
  std::vector<Item> v;
  for (char c : s) v.emplace_back(std::string(1, c));
  return v;
}

std::vector<Statement> statements() {
  std::vector<Statement> s;
  auto reals = [](int n, double start, double factor) {
    std::vector<Item> v;
    double x = start;
    for (int j = 0; j < n; ++j, x *= factor) v.emplace_back(j % 3 == 1 ? -x : x);
    return v;
  };
  auto cat = [](std::vector<Item> a, const std::vector<Item>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  s.push_back({"(I5,1P,E25.15,0P,F20.7,F20.7)", {3LL, 1.234e15, 2437.5, 24375.0}});
  s.push_back({"(I5,1P,E25.15,0P,F20.7,F20.7)", {12LL, 3.28805e15}});
  s.push_back({"(1X,20F5.2)", reals(25, 0.0137, 1.37)});
  const std::string card =
      "  12.5  3.7E4   BEGIN  ITERATIONS 15 PRINT 2 PUNCH 0 READ DECK   ZZZZ  XXXXXXXXXXXX";
  s.push_back({"('1FREEFF HAS READ OFF THE END',/,(1X,80A1))", chars(card.substr(0, 81))});
  s.push_back({"('1IWORDF HAS READ OFF THE END',/,(1X,80A1))", chars(card.substr(0, 80))});
  s.push_back({"(' I DO NOT UNDERSTAND ',80A1)", chars(card.substr(0, 80))});
  {
    const std::vector<Item> all =
        cat(cat({41LL}, reals(8, 3.3e-7, 91.0)), {Item(0.5), Item(246LL)});
    for (std::size_t n = 6; n <= all.size(); ++n)
      s.push_back({"(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)", {all.begin(), all.begin() + n}});
  }
  s.push_back({"(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)",
               cat(cat({1LL}, reals(8, 1.1e-3, 11.0)), {Item(3.14159), Item(6LL)})});
  for (int n = 1; n <= 3; ++n)
    s.push_back({"('0   T     ',1P,E12.4,'    TK    ',E12.4,/,'0   RHOX  ',E12.4)",
                 reals(n, 5770.0, 1e-3)});
  s.push_back({"('0XNFPEL.....DOPPLE',I10)", {7LL}});
  s.push_back({"('1')", {}});
  for (int n : {0, 3, 10, 25})
    s.push_back({"('0',A6,1P,10E12.4,/,(7X,10E12.4))",
                 cat({std::string("ABROSS")}, reals(n, 2.1e-3, 3.7))});
  auto entries = [](std::initializer_list<int> idx) {
    std::vector<Item> v;
    for (int i : idx) {
      v.emplace_back(static_cast<long long>(i));
      v.emplace_back(3.28e15 / i);
      v.emplace_back(1.0 / (i + 2.0));
    }
    return v;
  };
  s.push_back({"((4(3X,I3,1P,2E13.6)))", entries({1, 2, 3, 4})});
  s.push_back({"((4(3X,I3,1P,2E13.6)))", entries({1, 4, 7, 10, 2, 5})});
  s.push_back({"((4(3X,I3,1P,2E13.6)))", entries({1})});
  s.push_back({"((3(3X,I3,1P,2E13.6)))", entries({2, 5, 8, 3, 6, 9, 11})});
  s.push_back({"('1',/,/,/,/,50X,'ELECTRON CONTRIBUTIONS',/,2X,20(4X,A2))",
               {std::string("H"), std::string("HE"), std::string("C"), std::string("NA"),
                std::string("MG"), std::string("AL"), std::string("SI"), std::string("K"),
                std::string("CA"), std::string("FEX")}});
  s.push_back({"(I3,20F6.3)", cat({17LL}, reals(20, 0.9876, 0.41))});
  s.push_back({"('1',11X,'RHOX',9X,'T',11X,'P',10X,'XNE',8X,'XNATOM',8X,'RHO',/,(I5,1P,6E12.3))",
               cat(cat(cat({1LL}, reals(6, 1e-4, 1e3)), {2LL}), reals(6, 2e-4, 1.1e3))});
  s.push_back({"('1',50X,'MOLECULAR NUMBER DENSITIES',/,5X,10F12.2,/,(I5,1P,10E12.3))",
               cat(cat(cat(reals(10, 101.0, 1.01), {1LL}), reals(10, 3e5, 7.0)),
                   cat({2LL}, reals(10, 1e-30, 1e9)))});
  s.push_back(
      {"('1',40X,'MOLECULAR NUMBER DENSITIES / PARTITION FUNCTIONS',/,5X,10F12.2,/,"
       "(I5,1P,10E12.3))",
       cat(reals(4, 606.0, 1.5), {})});
  s.push_back(
      {"('1',/,/,/,/,/,8X,'RHOX',9X,'T',8X,'P',8X,'XNE',6X,'ABROSS',5X,'PRAD',6X,"
       "'VTURB',24X,'BHYD',25X,'BMIN',/,(I3,1P,E13.6,0P,F9.1,1P,5E10.3,1X,0P,7F8.4))",
       cat(cat({1LL}, reals(14, 2.2e-3, 2.9)), cat({2LL}, reals(10, 4.1e-3, 3.1)))});
  // Aw fields of text shorter and longer than W, in groups and through reversion; X before "/",
  // before ":" and at the end of a record (dropped), literals after X (kept).
  for (const char* label : {"AB", "ABCDEFGHIJ", ""})
    s.push_back(
        {"('0',A6,1P,10E12.4,/,(7X,10E12.4))", cat({std::string(label)}, reals(12, 7.7e-5, 2.3))});
  for (int n = 0; n <= 9; ++n) {
    std::vector<Item> v;
    for (int j = 0; j < n; ++j) {
      if (j % 3 == 0) v.emplace_back(std::string("TXT").substr(0, static_cast<std::size_t>(j % 4)));
      if (j % 3 == 1) v.emplace_back(2.5e-3 * (j + 1) * (j % 2 ? -1 : 1));
      if (j % 3 == 2) v.emplace_back(static_cast<long long>(j * 37 - 100));
    }
    s.push_back({"(1X,2(A2,1X,1PE11.3E3,2X,I4,3X),4X)", v});
    s.push_back({"('[',A5,F7.2,I3,2X,:,'|',3X,/)", v});
  }
  s.push_back({"(2X,ES12.4,D12.4,3X,/,(1P,2E10.3,5X))", reals(9, 3.3e11, 1e-7)});
  s.push_back({"(-1P,2F9.3,2P,E12.4,0P,(F8.2,4X,'x'))", reals(7, 12.5, -0.3)});
  s.push_back({"('0FREQID ',6A1,'   NUMNU',I4,'   NULO',I4,'   NUHI',I4)",
               cat(chars("ABCDEF"), {1128LL, 1LL, 1128LL})});
  s.push_back(
      {"(' MOLECULES  USED',I4,'  MAX',I4,/,' COMPONENTS USED',I4,'  MAX',I4,/,"
       "' EQUATIONS  USED',I4,'  MAX',I4)",
       {57LL, 200LL, 161LL, 600LL, 21LL, 30LL}});
  {
    std::vector<Item> v = {5LL};
    for (int j = 0; j < 30; ++j) v.emplace_back(static_cast<long long>(j % 3 == 0 ? -1 : j % 11));
    s.push_back({"(' NUMITS',I3,'  IFPRNT',15I2,'  IFPNCH',15I2)", v});
  }
  s.push_back({"('0WBEGIN',F11.4,'   DELTAW',F7.4,'   NUMNU',I5)", {3000.0, 0.0125, 401LL}});
  s.push_back({"(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)", {}});
  s.push_back({"(1P6E12.4)", reals(9, 1.7e-12, 123.0)});
  s.push_back({"(1p,e12.4,i5)", {2.5, 3LL, -2.5, -3LL}});
  s.push_back({"( I 5 , F 10 . 3 )", {42LL, -3.14159}});
  s.push_back({"(2('x',I2),'|')", {1LL, 2LL, 3LL}});
  s.push_back({"(I2,2(1X,A1,2(I3)),I3)",
               {1LL, std::string("a"), 2LL, 3LL, std::string("b"), 4LL, 5LL, 6LL, std::string("c"),
                7LL, 8LL, std::string("d"), 9LL, 10LL, 11LL, std::string("e")}});
  s.push_back({"(E12.4,I5)", {1.0, 2LL, 3.0, 4LL, 5.0}});
  s.push_back({"(I5/I5//I5)", {1LL, 2LL, 3LL}});
  s.push_back({"(1P,F10.3,E12.4,F10.3)", {1.5, 2.5, 3.5}});
  s.push_back({"(3HABC,I2,2H'x)", {5LL}});
  s.push_back({"(\"a\"\"b\",'c''d',I3)", {9LL}});
  s.push_back({"(I5,:,'x',I5)", {1LL, 2LL}});
  s.push_back({"(I5,:,'x',I5)", {1LL}});
  s.push_back({"(I5,5X)", {1LL, 2LL, 3LL}});
  s.push_back({"(1X,I4,3X)", {}});
  s.push_back(
      {"(A,A3,A5,A1)",
       {std::string("hello"), std::string("hello"), std::string("hi"), std::string("xyz")}});
  s.push_back({"(2(1X,F6.2),(I3,1X,2PF8.2))", {1.0, 2.0, 3LL, 4.0, 5LL, 6.0}});
  // Every prefix of the items, so that the statement ends at each descriptor: nested groups with
  // repeat counts, reversion to a repeated group (which takes its count again) under the scale
  // factor in effect, ":" inside a group, X before I0, Iw.m and "/" and at the end of a record.
  {
    const std::vector<Item> nested = {-5LL, 12LL,   3LL,    4LL, -9LL, 0LL,   7LL,
                                      1.5,  -0.033, 12.345, 0.5, 2.0,  -7.25, 99.0};
    for (std::size_t n = 0; n <= nested.size(); ++n)
      s.push_back({"(I3,2(1X,I2,2('.',I1)),/,2P,2(F7.2,:,'|'),3X)",
                   {nested.begin(), nested.begin() + static_cast<std::ptrdiff_t>(n)}});
    const std::vector<Item> widths = {
        0LL, -7LL, std::string("ab"), 123456LL, 5LL, std::string("c"), -40LL};
    for (std::size_t n = 0; n <= widths.size(); ++n)
      s.push_back({"(I0,3X,I3.2,2X,/,4X,'z',A,:,2X)",
                   {widths.begin(), widths.begin() + static_cast<std::ptrdiff_t>(n)}});
  }
  s.push_back({"(F8.3,-1P,F8.3,E12.4,0P,E12.4)", {123.456, 123.456, 123.456, 123.456}});
  return s;
}

std::vector<FItem> to_items(const std::vector<Item>& items) {
  std::vector<FItem> v;
  for (const Item& it : items) {
    if (auto* i = std::get_if<long long>(&it))
      v.emplace_back(*i);
    else if (auto* x = std::get_if<double>(&it))
      v.emplace_back(*x);
    else
      v.emplace_back(std::string_view(std::get<std::string>(it)));
  }
  return v;
}

// A Fortran string literal for TEXT, in double quotes, split into concatenated pieces so that no
// source line is too long.
std::string fortran_string(const std::string& text) {
  std::string out = "\"";
  int col = 0;
  for (char c : text) {
    if (col >= 60) {
      out += "\" // &\n    \"";
      col = 0;
    }
    out += c;
    if (c == '"') out += c;
    ++col;
  }
  return out + "\"";
}

std::string fortran_program(const std::vector<Statement>& stmts, std::vector<double>& stmt_reals) {
  std::ostringstream p;
  p << "program fmtref\n"
       "  implicit none\n"
       "  integer :: u, nf, nv, ni, i, k\n"
       "  character(len=100), allocatable :: fmts(:), ifmts(:)\n"
       "  integer(8), allocatable :: iv(:)\n"
       "  integer(8) :: b\n"
       "  real(8), allocatable :: x(:), r(:)\n"
       "  character(len=2000) :: f\n"
       "  open(newunit=u, file='formats.txt', status='old')\n"
       "  read(u,*) nf, ni\n"
       "  allocate(fmts(nf), ifmts(ni))\n"
       "  do k = 1, nf\n    read(u,'(A)') fmts(k)\n  end do\n"
       "  do k = 1, ni\n    read(u,'(A)') ifmts(k)\n  end do\n"
       "  close(u)\n"
       "  open(newunit=u, file='values.txt', status='old')\n"
       "  read(u,*) nv\n  allocate(x(nv))\n"
       "  do i = 1, nv\n    read(u,'(Z16)') b\n    x(i) = transfer(b, 1.0d0)\n  end do\n"
       "  read(u,*) nv\n  allocate(iv(nv))\n"
       "  do i = 1, nv\n    read(u,*) iv(i)\n  end do\n"
       "  read(u,*) nv\n  allocate(r(nv))\n"
       "  do i = 1, nv\n    read(u,'(Z16)') b\n    r(i) = transfer(b, 1.0d0)\n  end do\n"
       "  close(u)\n"
       "  do k = 1, nf\n    do i = 1, size(x)\n      write(*, trim(fmts(k))) x(i)\n"
       "    end do\n  end do\n"
       "  do k = 1, ni\n    do i = 1, size(iv)\n      write(*, trim(ifmts(k))) iv(i)\n"
       "    end do\n  end do\n";
  for (const Statement& st : stmts) {
    p << "  f = " << fortran_string(st.fmt) << "\n";
    p << "  write(*, trim(f))";
    int n = 0;
    for (const Item& it : st.items) {
      p << (n == 0 ? " " : ", ");
      if (n > 0 && n % 6 == 0) p << "&\n    ";
      if (auto* i = std::get_if<long long>(&it)) {
        p << "int(" << *i << "_8, 8)";
      } else if (auto* x = std::get_if<double>(&it)) {
        stmt_reals.push_back(*x);
        p << "r(" << stmt_reals.size() << ")";
      } else {
        p << fortran_string(std::get<std::string>(it));
      }
      ++n;
    }
    p << "\n  write(*,'(A)') '@@@@'\n";
  }
  p << "end program fmtref\n";
  return p.str();
}

// Prints every real format of RFMTS for every value of XS, every integer format of IFMTS for every
// value of IS and every statement of STMTS, with gfortran and with FortranFormat, and compares the
// records; returns the number compared.
long compare_with_gfortran(const std::vector<const char*>& rfmts, const std::vector<double>& xs,
                           const std::vector<const char*>& ifmts, const std::vector<long long>& is,
                           const std::vector<Statement>& stmts) {
  std::vector<double> stmt_reals;
  const std::string program = fortran_program(stmts, stmt_reals);

  TempDir dir;
  {
    std::ostringstream f;
    f << rfmts.size() << " " << ifmts.size() << "\n";
    for (const char* s : rfmts) f << s << "\n";
    for (const char* s : ifmts) f << s << "\n";
    write_file(dir / "formats.txt", f.str());
    std::ostringstream v;
    v << xs.size() << "\n";
    for (double x : xs) v << hex_of(x) << "\n";
    v << is.size() << "\n";
    for (long long i : is) v << i << "\n";
    v << stmt_reals.size() << "\n";
    for (double x : stmt_reals) v << hex_of(x) << "\n";
    write_file(dir / "values.txt", v.str());
  }
  const std::vector<std::string> ref = split_lines(run_fortran(dir, program));

  std::size_t line = 0;
  int mismatches = 0;
  long compared = 0;
  auto take = [&](const std::string& ours, const std::string& what) {
    const std::vector<std::string> mine = split_lines(ours);
    for (const std::string& m : mine) {
      const std::string theirs = line < ref.size() ? ref[line] : std::string("<missing>");
      ++line;
      ++compared;
      if (m != theirs && ++mismatches <= 25)
        ADD_FAILURE() << what << "\n  gfortran: '" << theirs << "'\n  ours:     '" << m << "'";
    }
  };
  for (const char* fmt : rfmts) {
    FortranFormat ff(fmt);
    for (double x : xs) take(ff.write({x}), std::string(fmt) + " of " + describe(x));
  }
  for (const char* fmt : ifmts) {
    FortranFormat ff(fmt);
    for (long long i : is) take(ff.write({i}), std::string(fmt) + " of " + std::to_string(i));
  }
  // Each statement through a format of its own and through one kept per format text, whose plans
  // of earlier item counts are reused or replaced.
  std::map<std::string, FortranFormat> kept;
  for (const Statement& st : stmts) {
    const std::vector<FItem> items = to_items(st.items);
    const std::string fresh = FortranFormat(st.fmt).write(items);
    FortranFormat& shared = kept.try_emplace(st.fmt, st.fmt).first->second;
    EXPECT_EQ(shared.write(items), fresh) << st.fmt << " with " << items.size() << " items";
    take(fresh, st.fmt + " with " + std::to_string(items.size()) + " items");
    if (line >= ref.size()) {
      ADD_FAILURE() << "gfortran output ends early at " << st.fmt;
      return compared;
    }
    EXPECT_EQ(ref[line], "@@@@") << "record count differs for " << st.fmt;
    while (line < ref.size() && ref[line] != "@@@@") ++line;
    ++line;
  }
  EXPECT_EQ(line, ref.size());
  EXPECT_EQ(mismatches, 0) << "of " << compared << " records compared";
  return compared;
}

TEST(FortranFormat, MatchesGfortran) {
  if (!have_gfortran()) GTEST_SKIP() << "gfortran not found";
  const long compared = compare_with_gfortran(
      std::vector<const char*>(std::begin(REAL_FORMATS), std::end(REAL_FORMATS)), real_values(),
      std::vector<const char*>(std::begin(INT_FORMATS), std::end(INT_FORMATS)), int_values(),
      statements());
  EXPECT_GT(compared, 100000);
}

// ---------------------------------------------------------------------------------------------
// The listing's own formats, (1X,20F5.2), (I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5),
// (I5,1P,E25.15,0P,F20.7,F20.7) and the E12.4 blocks: values in their usual ranges, and values at
// and next to the decimal rounding boundaries, where the fast conversion has to decline.

// X moved by J units in the last place, away from zero for J > 0 (X finite and nonzero, and J
// small enough not to leave its sign or the finite range).
double ulps_away(double x, int j) {
  std::int64_t b;
  std::memcpy(&b, &x, sizeof b);
  b += j;
  double y;
  std::memcpy(&y, &b, sizeof y);
  return y;
}

// Offsets in ulps around each boundary: inside the fast path's error margin (which is several
// ulps of the value for these magnitudes) and well outside it.
constexpr int ULP_STEPS[] = {0,  1, -1, 2,  -2,  3,  -3,  4,  -4, 6,
                             -6, 8, -8, 12, -12, 16, -16, 64, -64};

// The double nearest to the decimal text S.
double decimal(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

// The decimal boundary (N + 1/2) x 10^-P of rounding to P decimals, as text.
std::string f_boundary(long long n, int p) {
  return std::to_string(n) + "5e" + std::to_string(-p - 1);
}

// Values at and beside the boundaries of rounding to P decimals, N between -NMAX and NMAX.
void add_f_boundaries(std::vector<double>& v, std::mt19937_64& rng, int p, long long nmax,
                      int count) {
  for (int j = 0; j < count; ++j) {
    const long long n = static_cast<long long>(rng() % static_cast<std::uint64_t>(nmax));
    const double b = decimal(f_boundary(n, p));
    for (int step : ULP_STEPS) {
      if (b == 0) break;
      const double x = ulps_away(b, step);
      v.push_back(j % 2 ? -x : x);
    }
  }
}

// Values at and beside the boundaries of rounding to NSIG significant digits, (N + 1/2) x 10^Q
// with N of NSIG digits (including 99..9, which rounds up to the next power of ten) and
// 10^QLO <= 10^Q <= 10^QHI.
void add_e_boundaries(std::vector<double>& v, std::mt19937_64& rng, int nsig, int qlo, int qhi,
                      int count) {
  long long lo = 1;
  for (int j = 1; j < nsig; ++j) lo *= 10;
  for (int j = 0; j < count; ++j) {
    const long long n = j % 10 == 0 ? 10 * lo - 1 : lo + static_cast<long long>(rng() % (9 * lo));
    const int q = qlo + static_cast<int>(rng() % static_cast<std::uint64_t>(qhi - qlo + 1));
    const double b = decimal(std::to_string(n) + "5e" + std::to_string(q - 1));
    for (int step : ULP_STEPS) {
      const double x = ulps_away(b, step);
      v.push_back(j % 2 ? -x : x);
    }
  }
}

// Exact ties of the binary value: odd multiples of 1/8 are ties of rounding to 2 decimals,
// integers ending in 5 are ties of rounding to one digit fewer.
void add_exact_ties(std::vector<double>& v) {
  for (int j = -241; j <= 241; j += 2) v.push_back(j / 8.0);
  for (long long n : {12345LL, 99995LL, 10005LL, 123455LL, 999995LL, 1234567890125LL}) {
    v.push_back(static_cast<double>(n));
    v.push_back(-static_cast<double>(n));
  }
}

std::vector<double> listing_values() {
  std::vector<double> v;
  std::mt19937_64 rng(19700101);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int j = 0; j < 3000; ++j) v.push_back(-30.0 + 60.0 * u(rng));  // log tables, F5.2
  for (int j = 0; j < 3000; ++j) {  // populations, opacities: E12.4
    const double x = std::pow(10.0, -30.0 + 50.0 * u(rng));
    v.push_back(j % 3 == 2 ? -x : x);
  }
  for (int j = 0; j < 1000; ++j) {  // populations of rare ions, down to the underflow
    const double x = std::pow(10.0, -300.0 + 600.0 * u(rng));
    v.push_back(j % 3 == 2 ? -x : x);
  }
  for (int j = 0; j < 1000; ++j) v.push_back(std::pow(10.0, -3.0 + 9.0 * u(rng)));  // F20.7
  for (int j = 0; j < 500; ++j) v.push_back(std::pow(10.0, 13.0 + 3.0 * u(rng)));   // frequencies
  add_f_boundaries(v, rng, 2, 3000, 1500);                                          // F5.2, F10.2
  add_f_boundaries(v, rng, 2, 1000000, 300);           // F10.2 of temperatures
  add_f_boundaries(v, rng, 7, 10000000000000LL, 300);  // F20.7
  add_e_boundaries(v, rng, 4, -30, 20, 600);           // E12.4
  add_e_boundaries(v, rng, 5, -30, 20, 600);           // 1PE12.4
  add_e_boundaries(v, rng, 5, -300, 300, 300);         // 1PE12.4, far decades
  add_e_boundaries(v, rng, 16, 0, 2, 200);             // 1PE25.15 of frequencies
  add_exact_ties(v);
  // Every decade's power of ten and its neighbours: the E fields choose the exponent by comparing
  // with the double nearest to the power, which may lie on either side of it.
  for (int e = FMT_POW10_MIN; e <= FMT_POW10_MAX; ++e) {
    const double x = decimal("1e" + std::to_string(e));
    for (int step : {0, 1, -1, 2, -2})
      v.push_back(e % 2 ? -ulps_away(x, step) : ulps_away(x, step));
  }
  return v;
}

const std::vector<const char*> LISTING_FORMATS = {"(F5.2)",    "(F10.2)",   "(F20.7)",
                                                  "(E12.4)",   "(1PE12.4)", "(1PE25.15)",
                                                  "(1PE13.6)", "(1P,E10.3)"};

TEST(FortranFormat, ListingFormatsMatchGfortranAtRoundingBoundaries) {
  if (!have_gfortran()) GTEST_SKIP() << "gfortran not found";
  const std::vector<double> xs = listing_values();
  const long compared = compare_with_gfortran(LISTING_FORMATS, xs, {}, {}, {});
  EXPECT_EQ(compared, static_cast<long>(xs.size() * LISTING_FORMATS.size()));
}

// A field of the fast/exact comparison: Fw.d under kP, or Ew.dEe under kP.
struct FastField {
  bool is_e;
  int w, d, e, k;
  char letter;
  std::string name() const {
    return std::to_string(k) + "P" + (is_e ? "E" : "F") + std::to_string(w) + "." +
           std::to_string(d) + (e ? "E" + std::to_string(e) : "") + (letter == 'D' ? "(D)" : "");
  }
};

const FastField FAST_FIELDS[] = {
    {false, 5, 2, 0, 0, 'E'},  {false, 10, 2, 0, 0, 'E'},  {false, 20, 7, 0, 0, 'E'},
    {false, 6, 3, 0, 0, 'E'},  {false, 8, 4, 0, 0, 'E'},   {false, 4, 2, 0, 0, 'E'},
    {false, 3, 2, 0, 0, 'E'},  {false, 3, 0, 0, 0, 'E'},   {false, 2, 0, 0, 0, 'E'},
    {false, 10, 3, 0, 1, 'E'}, {false, 10, 3, 0, -2, 'E'}, {false, 40, 20, 0, 0, 'E'},
    {false, 9, 1, 0, 0, 'E'},  {true, 12, 4, 0, 0, 'E'},   {true, 12, 4, 0, 1, 'E'},
    {true, 25, 15, 0, 1, 'E'}, {true, 9, 2, 0, 0, 'E'},    {true, 12, 4, 0, 2, 'E'},
    {true, 12, 4, 0, -1, 'E'}, {true, 12, 4, 3, 0, 'E'},   {true, 12, 4, 1, 0, 'E'},
    {true, 8, 1, 3, 0, 'E'},   {true, 10, 3, 0, 1, 'E'},   {true, 13, 6, 0, 1, 'E'},
    {true, 8, 1, 0, 1, 'E'},   {true, 7, 1, 0, 0, 'E'},    {true, 12, 4, 0, 0, 'D'},
    {true, 10, 4, 0, 0, 'E'},  {true, 12, 2, 0, 3, 'E'},   {true, 30, 13, 0, 1, 'E'},
    {true, 12, 4, 0, 1, 'D'},  {true, 12, 3, 0, 1, 'E'},   {true, 11, 4, 0, 1, 'E'},
};

// Whether the fast path took X, and if so whether it wrote what the exact conversion writes.
struct FastOutcome {
  bool taken = false;
  bool same = true;
  std::string fast, exact;
};

FastOutcome fast_vs_exact(const FastField& f, double x) {
  FastOutcome o;
  std::array<char, FMT_FAST_W> field;
  o.taken = f.is_e ? fmt_fast_e(field.data(), x, f.w, f.d, f.e, f.k, f.letter)
                   : fmt_fast_f(field.data(), x, f.w, f.d, f.k);
  if (!o.taken) return o;
  o.fast.assign(field.data(), static_cast<std::size_t>(f.w));
  if (f.is_e)
    fmt_exact_e(o.exact, x, f.w, f.d, f.e, f.k, f.letter);
  else
    fmt_exact_f(o.exact, x, f.w, f.d, f.k);
  o.same = o.fast == o.exact;
  return o;
}

// Every field the fast path writes equals the exact conversion's, over the listing's values and
// their rounding boundaries in several decades, all magnitudes and the special values.
TEST(FortranFormat, FastPathsAgreeWithExactConversion) {
  std::vector<double> xs = listing_values();
  std::mt19937_64 rng(4242);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int p = 0; p <= 8; ++p) add_f_boundaries(xs, rng, p, 100000000, 2000);
  for (int nsig = 1; nsig <= 14; ++nsig) add_e_boundaries(xs, rng, nsig, -60, 60, 500);
  for (int j = 0; j < 200000; ++j) {  // all magnitudes, subnormals included
    std::uint64_t b = rng() & 0x7FFFFFFFFFFFFFFFULL;
    double x;
    std::memcpy(&x, &b, sizeof x);
    if (std::isfinite(x)) xs.push_back(j % 2 ? -x : x);
  }
  for (int e2 = -1074; e2 <= 1023; ++e2) {  // powers of two and their neighbours
    const double x = std::ldexp(1.0, e2);
    xs.insert(xs.end(), {x, -x, std::nextafter(x, 0.0), std::nextafter(x, INFINITY)});
  }
  for (int e = -324; e <= 308; ++e) {  // powers of ten and their neighbours
    const double x = decimal("1e" + std::to_string(e));
    for (int step : ULP_STEPS) xs.push_back(ulps_away(x, step));
  }
  xs.insert(
      xs.end(),
      {0.0, -0.0, DBL_MIN, DBL_MAX, -DBL_MAX, 4.9e-324, std::numeric_limits<double>::infinity(),
       -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()});

  long taken = 0, compared = 0;
  int mismatches = 0;
  for (const FastField& f : FAST_FIELDS) {
    for (double x : xs) {
      const FastOutcome o = fast_vs_exact(f, x);
      ++compared;
      if (!o.taken) continue;
      ++taken;
      if (!o.same && ++mismatches <= 20)
        ADD_FAILURE() << f.name() << " of " << describe(x) << "\n  fast:  '" << o.fast
                      << "'\n  exact: '" << o.exact << "'";
    }
  }
  EXPECT_EQ(mismatches, 0) << "of " << taken << " fast fields";
  EXPECT_GT(taken, compared / 2) << "the fast path is hardly used";
}

// ---------------------------------------------------------------------------------------------
// The short routes of the formatter against gfortran: Fw.d of 4 to 16 characters with 1 to 3
// decimals, E fields of at most 16 characters and nine digits (every scale factor), and Iw of at
// most 16 characters; with the fields just outside each route (F17.3, F8.4, E17.4, E16.10, I17),
// which take the general route. Values: both zeros, rounding boundaries (to D decimals and to
// 1..9 digits), the carries that add an integer digit or a decade (9.995 -> 10.00, 9.99995E+99 ->
// 0.1000E+101), the two- to three-digit exponent change, integer parts that overflow the field to
// asterisks, subnormals and all magnitudes.

const std::vector<const char*> SHORT_REAL_FORMATS = {
    "(F4.1)",     "(F4.2)",    "(F4.3)",    "(F5.1)",    "(F5.2)",    "(F5.3)",    "(F6.1)",
    "(F6.2)",     "(F6.3)",    "(F7.1)",    "(F7.2)",    "(F7.3)",    "(F8.1)",    "(F8.2)",
    "(F8.3)",     "(F9.3)",    "(F8.4)",    "(E6.1)",    "(E7.1)",    "(E8.2)",    "(E9.3)",
    "(E10.4)",    "(E12.4)",   "(E16.8)",   "(E16.9)",   "(E16.10)",  "(E17.4)",   "(1PE7.1)",
    "(1PE8.1)",   "(1PE9.2)",  "(1PE12.4)", "(1PE16.8)", "(2PE12.4)", "(3PE11.4)", "(-1PE12.4)",
    "(-3PE14.6)", "(0PE12.4)", "(D12.4)",   "(1PD12.4)", "(1PE11.4)", "(1PE13.4)", "(F10.2)",
    "(F12.3)",    "(F16.1)",   "(F16.3)",   "(F17.3)"};

const std::vector<const char*> SHORT_INT_FORMATS = {
    "(I1)",  "(I2)",  "(I3)",  "(I4)",  "(I5)",  "(I6)",  "(I7)",  "(I8)",  "(I9)",
    "(I10)", "(I11)", "(I12)", "(I13)", "(I14)", "(I15)", "(I16)", "(I17)", "(I16.3)"};

std::vector<double> short_route_values() {
  std::vector<double> v = {0.0, -0.0};
  std::mt19937_64 rng(31337);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int p = 1; p <= 3; ++p) {
    add_f_boundaries(v, rng, p, 1000, 40);      // short integer parts
    add_f_boundaries(v, rng, p, 10000000, 40);  // integer parts too wide for some fields
    // N = 10^K - 1: the carry adds an integer digit (9.95 -> 10.0, 999.95 -> 1000.0).
    for (long long n = 9; n < 100000000; n = 10 * n + 9) {
      const double b = decimal(f_boundary(n, p));
      for (int step : ULP_STEPS) {
        v.push_back(ulps_away(b, step));
        v.push_back(-ulps_away(b, step));
      }
    }
  }
  for (int nsig = 1; nsig <= 10; ++nsig) add_e_boundaries(v, rng, nsig, -120, 120, 30);
  // Exponents around 99/100 and 999/1000, and the extremes.
  for (const char* text : {"1e99", "9.9995e99", "9.99995e99", "1e100", "1e-99", "9.9995e-100",
                           "1e-100", "1e-101", "1e300", "1e-300", "9.99999999e307"})
    for (int step : ULP_STEPS) {
      v.push_back(ulps_away(decimal(text), step));
      v.push_back(-ulps_away(decimal(text), step));
    }
  // Integer parts of every width, both signs.
  for (int j = 0; j < 600; ++j) {
    const double x = std::pow(10.0, -4.0 + 12.0 * u(rng));
    v.push_back(j % 2 ? -x : x);
  }
  for (int j = 0; j < 300; ++j) {  // all magnitudes, subnormals included
    const std::uint64_t b = rng() & 0x7FFFFFFFFFFFFFFFULL;
    double x;
    std::memcpy(&x, &b, sizeof x);
    if (std::isfinite(x)) v.push_back(j % 2 ? -x : x);
  }
  v.insert(v.end(), {DBL_MIN, -DBL_MIN, 4.9e-324, -4.9e-324, DBL_MAX, -DBL_MAX, 0.5, -0.5, 0.05,
                     -0.05, 0.0005, -0.0005});
  return v;
}

std::vector<long long> short_int_values() {
  std::vector<long long> v = {0, LLONG_MAX, LLONG_MIN, LLONG_MIN + 1};
  for (long long p = 1;; p *= 10) {  // 10^0 .. 10^18: every width and its overflow
    for (long long x : {p, p - 1, p + 1}) v.insert(v.end(), {x, -x});
    if (p > LLONG_MAX / 10) break;
  }
  std::mt19937_64 rng(8);
  for (int j = 0; j < 200; ++j) {
    const auto x = static_cast<long long>(rng() >> (rng() % 63));
    v.push_back(j % 2 ? -x : x);
  }
  return v;
}

TEST(FortranFormat, ShortRoutesMatchGfortran) {
  if (!have_gfortran()) GTEST_SKIP() << "gfortran not found";
  const std::vector<double> xs = short_route_values();
  const std::vector<long long> is = short_int_values();
  const long compared = compare_with_gfortran(SHORT_REAL_FORMATS, xs, SHORT_INT_FORMATS, is, {});
  EXPECT_EQ(compared, static_cast<long>(xs.size() * SHORT_REAL_FORMATS.size() +
                                        is.size() * SHORT_INT_FORMATS.size()));
}

// The short fields of the comparison above: each is written by the fast conversion for most of
// its values (so that the comparison exercises the short routes and not only the general one),
// and as the exact conversion writes it; F8.1 holds the widest integer part of the short F route
// (999999.95 rounds to the seven digits of 1000000.0, one more than the field has room for).
TEST(FortranFormat, ShortRoutesTakeMostValues) {
  const std::vector<double> xs = short_route_values();
  const FastField fields[] = {
      {false, 4, 1, 0, 0, 'E'},  {false, 5, 2, 0, 0, 'E'},  {false, 8, 1, 0, 0, 'E'},
      {false, 8, 3, 0, 0, 'E'},  {false, 10, 2, 0, 0, 'E'}, {false, 16, 1, 0, 0, 'E'},
      {true, 7, 1, 0, 0, 'E'},   {true, 12, 4, 0, 0, 'E'},  {true, 16, 8, 0, 1, 'E'},
      {true, 12, 4, 0, -1, 'E'}, {true, 12, 4, 0, 2, 'E'},
  };
  for (const FastField& f : fields) {
    long taken = 0;
    for (double x : xs) {
      const FastOutcome o = fast_vs_exact(f, x);
      taken += o.taken ? 1 : 0;
      EXPECT_TRUE(o.same) << f.name() << " of " << describe(x) << ": '" << o.fast << "' against '"
                          << o.exact << "'";
    }
    EXPECT_GT(taken, static_cast<long>(xs.size()) / 2) << f.name();
  }
}

// The fast path takes every usual listing value (the double product nearly all of them, the
// integer route the rest).
TEST(FortranFormat, FastPathTakesUsualListingValues) {
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  struct Usage {
    FastField f;
    double lo, hi;  // usual magnitudes (log-uniform)
  };
  const Usage usual[] = {
      {{false, 5, 2, 0, 0, 'E'}, 1e-2, 30},    {{false, 10, 2, 0, 0, 'E'}, 1e3, 1e4},
      {{false, 20, 7, 0, 0, 'E'}, 1e-3, 1e6},  {{true, 12, 4, 0, 0, 'E'}, 1e-30, 1e20},
      {{true, 12, 4, 0, 1, 'E'}, 1e-30, 1e20}, {{true, 25, 15, 0, 1, 'E'}, 1e13, 1e16},
  };
  for (const Usage& us : usual) {
    int declined = 0, differ = 0;
    for (int j = 0; j < 100000; ++j) {
      const double x =
          std::pow(10.0, std::log10(us.lo) + (std::log10(us.hi) - std::log10(us.lo)) * u(rng));
      const FastOutcome o = fast_vs_exact(us.f, j % 2 ? -x : x);
      declined += o.taken ? 0 : 1;
      differ += o.same ? 0 : 1;
    }
    EXPECT_EQ(declined, 0) << us.f.name();
    EXPECT_EQ(differ, 0) << us.f.name();
  }
}

// The double product declines exact ties and most values within a few ulps of a rounding
// boundary, takes values well away from one, and then agrees with the integer route; the integer
// route rounds ties to even.
TEST(FortranFormat, DoubleRoundingDeclinesTiesAndNearTies) {
  std::uint64_t n = 0, exact = 0;
  // Odd multiples of 1/8 are exact ties of rounding to 2 decimals: 0.125 -> 12, 0.375 -> 38.
  for (int j = 1; j <= 241; j += 2) {
    EXPECT_FALSE(fmt_round_scaled(j / 8.0, 2, &n)) << j << "/8";
    ASSERT_TRUE(fmt_round_scaled_exact(j / 8.0, 2, &exact)) << j << "/8";
    const std::uint64_t below = static_cast<std::uint64_t>(j) * 25 / 2;
    EXPECT_EQ(exact, below % 2 == 0 ? below : below + 1) << j << "/8";
  }
  // Integers ending in 5, scaled by 10^-1: 1234.5 -> 1234, 1235.5 -> 1236, 2.5 -> 2.
  const struct {
    double x;
    int s;
    std::uint64_t want;
  } ties[] = {{12345.0, -1, 1234}, {12355.0, -1, 1236}, {2.5, 0, 2}, {3.5, 0, 4},
              {24375.0, -1, 2438}, {0.5, 0, 0},         {1.5, 0, 2}, {99995.0, -1, 10000}};
  for (const auto& t : ties) {
    EXPECT_FALSE(fmt_round_scaled(t.x, t.s, &n)) << t.x;
    ASSERT_TRUE(fmt_round_scaled_exact(t.x, t.s, &exact)) << t.x;
    EXPECT_EQ(exact, t.want) << t.x;
  }
  // Near ties of F5.2, k/200 with k odd and 1 <= k/200 <= 30: within 2 ulps the margin (about
  // 100 to 200 ulps of x in T = 100 x) declines most of them, and what it takes is right; 64 ulps
  // away all are taken.
  int near = 0, near_declined = 0;
  for (int k = 201; k <= 6000; k += 2) {
    const double b = decimal(f_boundary(k / 2, 2));
    for (int step : {-2, -1, 0, 1, 2}) {
      const double x = ulps_away(b, step);
      ASSERT_TRUE(fmt_round_scaled_exact(x, 2, &exact));
      ++near;
      if (!fmt_round_scaled(x, 2, &n))
        ++near_declined;
      else
        EXPECT_EQ(n, exact) << k << "/200 " << step;
    }
    for (int step : {-64, 64}) {
      ASSERT_TRUE(fmt_round_scaled(ulps_away(b, step), 2, &n)) << k << "/200 " << step;
      ASSERT_TRUE(fmt_round_scaled_exact(ulps_away(b, step), 2, &exact));
      EXPECT_EQ(n, exact) << k << "/200 " << step;
      EXPECT_EQ(n, static_cast<std::uint64_t>(k / 2 + (step > 0 ? 1 : 0))) << k << "/200 " << step;
    }
  }
  EXPECT_GT(near_declined, near / 2) << "of " << near << " values within 2 ulps of a tie";
  // Random values, T < 10^12: whenever both decide, they agree; the double product declines
  // about 2 x 2^-50 x T of them, below 2 x 10^-3.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int declined = 0, both = 0;
  for (int j = 0; j < 200000; ++j) {
    const double x = std::pow(10.0, -12.0 + 24.0 * u(rng));
    const int s = static_cast<int>(rng() % 39) - 19;
    if (!(x * std::pow(10.0, s) < 1e12)) continue;  // T within the double product's range
    const bool fast = fmt_round_scaled(x, s, &n);
    if (!fmt_round_scaled_exact(x, s, &exact)) continue;
    if (!fast) {
      ++declined;
      continue;
    }
    ++both;
    if (n != exact) ADD_FAILURE() << describe(x) << " x 10^" << s << ": " << n << " vs " << exact;
  }
  EXPECT_GT(both, 50000);
  EXPECT_LT(declined, both / 500);
}

// The scaling table holds the double nearest to each power of ten (strtod rounds correctly).
TEST(FortranFormat, PowerTableIsCorrectlyRounded) {
  for (int e = FMT_POW10_MIN; e <= FMT_POW10_MAX; ++e)
    EXPECT_EQ(FMT_POW10[static_cast<std::size_t>(e - FMT_POW10_MIN)],
              decimal("1e" + std::to_string(e)))
        << "10^" << e;
}

// A run of fields edited at once writes what the fields edited one by one write, and stops at the
// first value that the single-field route declines: for every field of the fast/exact comparison,
// runs of listing values with exact ties, Inf, NaN and subnormals among them, at every position.
TEST(FortranFormat, RunsEqualFieldByField) {
  const std::vector<double> pool = listing_values();
  const double specials[] = {0.125,
                             2.5,
                             std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             4.9e-324,
                             -0.0};
  std::mt19937_64 rng(1717);
  long checked = 0, stopped = 0;
  for (const FastField& f : FAST_FIELDS) {
    for (int trial = 0; trial < 200; ++trial) {
      std::vector<double> xs(1 + rng() % 40);
      for (double& x : xs) x = pool[rng() % pool.size()];
      if (trial % 2) xs[rng() % xs.size()] = specials[rng() % std::size(specials)];
      std::string run(xs.size() * static_cast<std::size_t>(f.w), '#');
      const std::size_t got =
          f.is_e ? fmt_fast_e_run(run.data(), xs.data(), xs.size(), f.w, f.d, f.e, f.k, f.letter)
                 : fmt_fast_f_run(run.data(), xs.data(), xs.size(), f.w, f.d, f.k);
      std::size_t want = 0;
      std::string one_by_one;
      for (double x : xs) {
        std::array<char, FMT_FAST_W> field;
        const bool taken = f.is_e ? fmt_fast_e(field.data(), x, f.w, f.d, f.e, f.k, f.letter)
                                  : fmt_fast_f(field.data(), x, f.w, f.d, f.k);
        if (!taken) break;
        one_by_one.append(field.data(), static_cast<std::size_t>(f.w));
        ++want;
      }
      ++checked;
      stopped += want < xs.size() ? 1 : 0;
      ASSERT_EQ(got, want) << f.name() << " trial " << trial;
      EXPECT_EQ(run.substr(0, one_by_one.size()), one_by_one) << f.name() << " trial " << trial;
    }
  }
  EXPECT_GT(stopped, checked / 10) << "runs stopping at a declined value";
}

// Records whose real runs mix fields the fast route takes and fields it declines (exact ties, Inf,
// subnormals) at many positions of runs longer than a chunk of gathered values; 250 items make
// records of up to 3000 characters, past the room the formatter sets aside at first, and a dozen
// records by reversion.
TEST(FortranFormat, LongRunsWithDeclinedFields) {
  const double inf = std::numeric_limits<double>::infinity();
  constexpr std::size_t COUNT = 250;
  for (const char* fmt : {"(1X,20F5.2)", "(1P,250E12.4)", "(250F5.2)"}) {
    FortranFormat format(fmt);
    for (std::size_t at = 0; at < COUNT; at += 7) {
      std::vector<FItem> items;
      std::string want;
      for (std::size_t j = 0; j < COUNT; ++j) {
        const double x = j == at ? 0.125 : j == at + 1 ? inf : j == at + 2 ? 4.9e-324 : 0.01 * j;
        items.emplace_back(x);
      }
      const std::string got = format.write(items);
      // The same records from single-item writes: each value alone through the same descriptor.
      const bool is_e = std::string(fmt).find('E') != std::string::npos;
      const std::string single = is_e ? "(1P,E12.4)" : "(F5.2)";
      FortranFormat one(single);
      for (std::size_t j = 0; j < items.size(); ++j) {
        if (fmt[1] == '1' && fmt[2] == 'X' && j % 20 == 0) want += j == 0 ? " " : "\n ";
        std::string field = one.write({items[j]});
        field.pop_back();
        want += field;
      }
      want += "\n";
      EXPECT_EQ(got, want) << fmt << " at " << at;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Plans: a write reuses what it found for the same item count (fortran_format.cpp). Every prefix
// of a matching item list, in rising and then falling order through one format object (so plans
// are kept, reused and replaced), against the walk without a plan; values that the fast routes
// decline sit inside the runs.

// The records of WRITE, or the message of the error it throws.
template <class Write>
std::string records_or_error(Write write) {
  std::string out = "kept|";  // what was there before must stay in front
  try {
    write(out);
  } catch (const atmo_error& e) {
    return out + "|throws: " + e.what();
  }
  return out;
}

TEST(FortranFormat, PlansEqualTheWalkWithoutOne) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double tiny = std::numeric_limits<double>::denorm_min();
  struct Case {
    const char* fmt;
    std::vector<FItem> items;
  };
  std::vector<FItem> depth_line = {41,      3.3e-7, -2.5e+300, inf,      1.5e-310, 0.000125,
                                   9.99995, nan,    -0.0,      5770.125, 246};
  std::vector<FItem> many_f = {};
  for (int j = 0; j < 45; ++j)
    many_f.emplace_back(j % 7 == 3 ? 0.125 * (2 * j + 1) : j % 11 == 5 ? 1e300 : -4.61 + j);
  std::vector<FItem> words = {"ABROSS", -1.0, 2.5e-5, nan, 0.0, 1e100, 7.0, -tiny, 3.0};
  std::vector<FItem> mixed;
  for (int j = 0; j < 14; ++j) {
    mixed.emplace_back(j);
    mixed.emplace_back(j % 2 ? "LONGER THAN W" : "X");
    mixed.emplace_back(1.0 / (j + 0.5));
  }
  const std::vector<Case> cases = {
      {"(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)", depth_line},
      {"(1X,20F5.2)", many_f},
      {"('0',A6,1P,10E12.4,/,(7X,10E12.4))", words},
      {"(1X,2(I3,A4,3X,1PE10.3E3,:,'|'),2X)", mixed},
      {"(I3,'a',3X,/,2X,(A2,F6.1))", {5, "Q", 2.25, "RS", -0.05, "T", 1e9}},
      {"(2X,I0,I4.3,A,F4.1)", {-7, 8, "abc", 2.25, 0, 9, "", -0.04}},  // no plan: I0, Iw.m, A
      {"(1P,ES12.4,-1PE12.4,D12.4,(2P,E12.4))", {1.5, 2.5, 3.5e-3, 4.5e30, -0.0, 6.5}},
      {"(I5,('x'))", {1, 2}},                 // no data descriptor after the reversion
      {"(4PE12.2,I3)", {1.0, 2}},             // a scale factor out of range for E
      {"(I2,3(20000('ab')),I2)", {1, 2, 3}},  // too much text for a plan
      {"(I5,I0)", {4, 5}},                    // a plan up to I0, none past it
      {"(2X,2(I2,2(A1,3X)),:,'|',4X)", {1, "a", "b", 2, "c", "d", 3}},
      {"(3X,2(F6.1,:,2X),/,1X,'z',3X,/)", {1.25, -2.5, 3.75, 4.0, 5.5}},
  };
  for (const Case& c : cases) {
    FortranFormat f(c.fmt);
    const std::size_t n = c.items.size();
    std::vector<std::size_t> counts;
    for (std::size_t j = 0; j <= n; ++j) counts.push_back(j);
    for (std::size_t j = n + 1; j-- > 0;) counts.push_back(j);
    for (std::size_t m : counts) {
      const std::span<const FItem> items(c.items.data(), m);
      EXPECT_EQ(records_or_error([&](std::string& out) { f.write_to(out, items); }),
                records_or_error([&](std::string& out) { f.write_unplanned_to(out, items); }))
          << c.fmt << " with " << m << " items";
    }
  }
}

// A plan kept for an item count meets items of another kind: the write reports the same item and
// leaves the same partial records as the walk without a plan.
TEST(FortranFormat, PlansMeetItemsOfTheWrongKind) {
  FortranFormat f("(I5,1P,3E12.4,/,A4,0P,F5.2)");
  const std::vector<FItem> good = {1, 2.0, 3.0, 4.0, "ab", 0.5};
  EXPECT_EQ(f.write(good), "    1  2.0000E+00  3.0000E+00  4.0000E+00\n  ab 0.50\n");
  for (std::size_t bad = 0; bad < good.size(); ++bad) {
    std::vector<FItem> items = good;
    items[bad] = items[bad].kind == FItem::Kind::Integer ? FItem(1.5) : FItem(7);
    const std::string planned = records_or_error([&](std::string& out) { f.write_to(out, items); });
    EXPECT_EQ(planned,
              records_or_error([&](std::string& out) { f.write_unplanned_to(out, items); }));
    EXPECT_NE(planned.find("item " + std::to_string(bad + 1) + " ("), std::string::npos) << planned;
    EXPECT_EQ(f.write(good), "    1  2.0000E+00  3.0000E+00  4.0000E+00\n  ab 0.50\n");
  }
}

}  // namespace
}  // namespace atmotab
