// The printed listing (unit 6): every line goes through the Fortran formatter. Parsed formats are
// kept per listing, so a format used on every depth is parsed once per run.
#pragma once

#include <initializer_list>
#include <map>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "common/fortran_format.h"

namespace atmotab {

class Listing {
 public:
  explicit Listing(std::ostream& out) : out_(&out) {}

  // Writes the records of FORMAT applied to ITEMS.
  void print(std::string_view format, std::span<const FItem> items);
  void print(std::string_view format, std::initializer_list<FItem> items) {
    print(format, std::span<const FItem>(items.begin(), items.size()));
  }
  void flush() { out_->flush(); }
  std::ostream& stream() { return *out_; }

 private:
  std::ostream* out_;
  std::map<std::string, FortranFormat, std::less<>> formats_;
};

}  // namespace atmotab
