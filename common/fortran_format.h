// Fortran formatted output: a format string such as "(I5,1P,E25.15,0P,F20.7,F20.7)" applied to a
// list of items, printing exactly what gfortran prints for the same WRITE statement: I, F, E, A,
// X, P (scale factor), "/" (new record), quoted literals, nested repeat groups and format
// reversion when items remain. Carriage-control characters are ordinary text in column 1.
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace atmotab {

// One item of an output list: an integer, a real or a character value.
struct FItem {
  enum class Kind { Integer, Real, Text };
  Kind kind;
  long long i = 0;
  double r = 0;
  std::string_view text;

  FItem(int v) : kind(Kind::Integer), i(v) {}
  FItem(long long v) : kind(Kind::Integer), i(v) {}
  FItem(double v) : kind(Kind::Real), r(v) {}
  FItem(float v) : kind(Kind::Real), r(v) {}
  FItem(std::string_view s) : kind(Kind::Text), text(s) {}
  FItem(const char* s) : kind(Kind::Text), text(s) {}
};

// Appends N one-character items (the A1 items of a character-word array) starting at P.
void append_chars(std::vector<FItem>& items, const char* p, int n);

class FortranFormat {
 public:
  // Parses the format once; throws atmo_error on a malformed format.
  explicit FortranFormat(std::string_view format);
  ~FortranFormat();
  FortranFormat(FortranFormat&&) noexcept;
  FortranFormat& operator=(FortranFormat&&) noexcept;

  // The records the WRITE statement produces, each terminated by '\n'.
  std::string write(std::span<const FItem> items) const;
  std::string write(std::initializer_list<FItem> items) const {
    return write(std::span<const FItem>(items.begin(), items.size()));
  }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Convenience: parse and write in one call.
std::string fortran_write(std::string_view format, std::span<const FItem> items);
inline std::string fortran_write(std::string_view format, std::initializer_list<FItem> items) {
  return fortran_write(format, std::span<const FItem>(items.begin(), items.size()));
}

}  // namespace atmotab
