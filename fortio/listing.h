// The printed listing (unit 6): every line goes through the Fortran formatter. Parsed formats are
// kept per listing, with the plans their writes find, so a format used on every depth is parsed
// and walked once per run.
#pragma once

#include <initializer_list>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "fortio/fortran_format.h"

namespace atmotab {

class Listing {
 public:
  explicit Listing(std::ostream& out) : out_(&out) {}

  // Writes the records of FORMAT applied to ITEMS (to the stream at once: nothing is held back).
  void print(std::string_view format, std::span<const FItem> items);
  void print(std::string_view format, std::initializer_list<FItem> items) {
    print(format, std::span<const FItem>(items.begin(), items.size()));
  }
  void flush() { out_->flush(); }
  std::ostream& stream() { return *out_; }

 private:
  using FormatMap = std::map<std::string, FortranFormat, std::less<>>;
  std::ostream* out_;
  FormatMap formats_;
  // The format of the previous call: loops print the same format many times in a row, and one
  // string comparison is cheaper than the map search.
  FormatMap::value_type* last_ = nullptr;
  std::string record_;  // the records of one call, reused from call to call
};

}  // namespace atmotab
