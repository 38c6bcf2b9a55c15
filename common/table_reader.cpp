#include "common/table_reader.h"

#include <charconv>

#include "fortio/error.h"

namespace atmotab {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// The whole of S parsed as a T, or false.
template <class T>
bool parse(std::string_view s, T& v) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, v);
  return ec == std::errc() && p == end;
}

}  // namespace

TableReader::TableReader(std::string_view text, std::string name, std::string where)
    : text_(text), name_(std::move(name)), where_(std::move(where)) {}

std::vector<std::string_view> TableReader::next() {
  while (pos_ < text_.size()) {
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    const std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++line_no_;
    if (!line.empty() && line.front() == '#') continue;
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && is_blank(line[i])) ++i;
      std::size_t j = i;
      while (j < line.size() && !is_blank(line[j])) ++j;
      if (j > i) fields.push_back(line.substr(i, j - i));
      i = j;
    }
    if (!fields.empty()) return fields;
  }
  return {};
}

std::vector<std::string_view> TableReader::row(std::size_t n) {
  std::vector<std::string_view> f = next();
  if (f.empty()) fail("table ends early");
  if (f.size() != n)
    fail("expected " + std::to_string(n) + " fields, found " + std::to_string(f.size()));
  return f;
}

void TableReader::expect_format(std::string_view format) {
  const std::vector<std::string_view> f = next();
  if (f.size() != 3 || f[0] != "format" || f[1] != format || f[2] != "1")
    fail("format line is not 'format " + std::string(format) + " 1'");
}

void TableReader::expect_end() {
  if (!next().empty()) fail("more rows than the count line announces");
}

void TableReader::fail(const std::string& what) const {
  throw atmo_error(EXIT_IO, where_,
                   "data/" + name_ + " line " + std::to_string(line_no_) + ": " + what);
}

void TableReader::expect(long got, long want, const char* what) const {
  if (got != want)
    fail(std::string(what) + " " + std::to_string(got) + ", expected " + std::to_string(want));
}

long TableReader::integer(std::string_view s) const {
  long v = 0;
  if (!parse(s, v)) fail("'" + std::string(s) + "' is not an integer");
  return v;
}

float TableReader::real(std::string_view s) const {
  float v = 0;
  if (!parse(s, v)) fail("'" + std::string(s) + "' is not a number");
  return v;
}

double TableReader::number(std::string_view s, std::string_view what) const {
  double v = 0;
  if (!parse(s, v)) fail(std::string(what) + " '" + std::string(s) + "' is not a number");
  return v;
}

}  // namespace atmotab
