// The table tokenizer of data/: rows, comments, field checks and failures that name file and line.
#include "common/table_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fortio/error.h"

namespace atmotab {
namespace {

using Fields = std::vector<std::string_view>;

TEST(table_reader, rows_skip_comments_and_blank_lines_and_split_at_blanks_and_tabs) {
  TableReader r("# header\n\nformat atmotab-x 1\r\n  1\t2.5  -3 \n   \n# tail\n4", "x.txt", "t");
  r.expect_format("atmotab-x");
  EXPECT_EQ(r.next(), (Fields{"1", "2.5", "-3"}));
  EXPECT_EQ(r.row(1), (Fields{"4"}));  // last line without a newline
  EXPECT_TRUE(r.next().empty());
  EXPECT_NO_THROW(r.expect_end());
}

TEST(table_reader, numbers_are_the_decimal_rounded_once_to_their_type) {
  TableReader r("", "x.txt", "t");
  EXPECT_EQ(r.real("0.1"), 0.1f);
  EXPECT_EQ(r.number("0.1", "v"), 0.1);
  EXPECT_EQ(r.number("6.35E+29", "v"), 6.35e29);
  EXPECT_EQ(r.integer("-2147483648"), -2147483648L);
}

TEST(table_reader, failures_name_the_table_the_line_and_the_routine) {
  struct Case {
    const char* text;
    void (*use)(TableReader&);
    const char* message;
  };
  const Case cases[] = {
      {"format atmotab-y 1\n", [](TableReader& r) { r.expect_format("atmotab-x"); },
       "data/x.txt line 1: format line is not 'format atmotab-x 1'"},
      {"#c\n1 2\n", [](TableReader& r) { r.row(3); },
       "data/x.txt line 2: expected 3 fields, found 2"},
      {"#c\n", [](TableReader& r) { r.row(3); }, "data/x.txt line 1: table ends early"},
      {"1\n2\n",
       [](TableReader& r) {
         r.row(1);
         r.expect_end();
       },
       "data/x.txt line 2: more rows than the count line announces"},
      {"1.5\n", [](TableReader& r) { r.integer(r.row(1)[0]); }, "'1.5' is not an integer"},
      {"1.5x\n", [](TableReader& r) { r.real(r.row(1)[0]); }, "'1.5x' is not a number"},
      {"+1\n", [](TableReader& r) { r.number(r.row(1)[0], "opacity"); },
       "opacity '+1' is not a number"},
      {"7\n", [](TableReader& r) { r.expect(r.integer(r.row(1)[0]), 8, "row"); },
       "data/x.txt line 1: row 7, expected 8"},
  };
  for (const Case& c : cases) {
    TableReader r(c.text, "x.txt", "loader");
    try {
      c.use(r);
      ADD_FAILURE() << "no failure for " << c.message;
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO);
      EXPECT_EQ(e.where(), "loader");
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
