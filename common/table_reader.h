// Tokenizer of the plain-text tables of data/: '#' comment lines and blank lines are skipped, every
// other line is one row of fields separated by blanks or tabs. Each table then starts with a format
// line "format atmotab-<name> 1" and a count line, which the loaders check with the helpers here
// together with their row indices, so that a damaged or misordered table stops the run (status 2,
// naming the table file and the line) instead of filling wrong slots.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace atmotab {

class TableReader {
 public:
  // TEXT is the table of data/NAME; failures are reported as from the routine WHERE.
  TableReader(std::string_view text, std::string name, std::string where);

  // The fields of the next row; empty at the end of the text.
  std::vector<std::string_view> next();
  // The next row, which must exist and have exactly N fields.
  std::vector<std::string_view> row(std::size_t n);
  // The format line "format FORMAT 1".
  void expect_format(std::string_view format);
  // No row left.
  void expect_end();

  // Stops the run: "data/NAME line L: WHAT", status 2.
  [[noreturn]] void fail(const std::string& what) const;
  // GOT must equal WANT, else "WHAT GOT, expected WANT".
  void expect(long got, long want, const char* what) const;

  // The whole field as an integer, a single-precision or a double-precision number (the decimal
  // rounded once to the type); anything else fails. WHAT names the field in the message.
  long integer(std::string_view s) const;
  float real(std::string_view s) const;
  double number(std::string_view s, std::string_view what) const;

 private:
  std::string_view text_;
  std::string name_;
  std::string where_;
  std::size_t pos_ = 0;
  int line_no_ = 0;
};

}  // namespace atmotab
