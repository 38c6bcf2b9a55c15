// Fortran unformatted sequential files: each record is framed by its byte count as a 4-byte
// little-endian integer before and after the data. Integers are 4 bytes, reals 8, singles 4, all
// IEEE little-endian; a gfortran program reads them back with plain READ statements. The file is
// created on the first write, as a Fortran unit is opened implicitly.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

namespace atmotab {

// The data of one record, built up item by item.
class Record {
 public:
  Record& i4(std::int32_t v);
  Record& r8(double v);
  Record& r4(float v);
  // N character words of 8 bytes each: the character and seven blanks.
  Record& chars8(const char* p, int n);
  template <class It>
  Record& r8(It first, It last) {
    if constexpr (std::is_same_v<It, const double*> || std::is_same_v<It, double*>) {
      put(first, sizeof(double) * static_cast<std::size_t>(last - first));  // already the bytes
      return *this;
    }
    for (; first != last; ++first) r8(static_cast<double>(*first));
    return *this;
  }
  template <class It>
  Record& r4(It first, It last) {
    if constexpr (std::is_same_v<It, const float*> || std::is_same_v<It, float*>) {
      put(first, sizeof(float) * static_cast<std::size_t>(last - first));  // already the bytes
      return *this;
    }
    for (; first != last; ++first) r4(static_cast<float>(*first));
    return *this;
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  void put(const void* p, std::size_t n);
  std::vector<unsigned char> bytes_;
};

class Unformatted {
 public:
  explicit Unformatted(std::string path) : path_(std::move(path)) {}
  // Names the file; only before the first write.
  void set_path(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }

  // Appends one framed record; throws atmo_error (status 2) when the file cannot be written.
  void write(const Record& rec);
  // Pushes everything written so far to the file.
  void flush();
  // Pushes everything written so far to the file and marks it complete (the end of a model).
  void commit();
  // Closes the file and cuts it back to its length at the last commit (empty without one), so that
  // the records of an unfinished model do not stay behind. Returns an empty string, or a message
  // when the file could not be cut back. Does nothing when nothing was written.
  std::string roll_back();
  bool is_open() const { return out_.is_open(); }

 private:
  void fail(const std::string& what);
  std::string path_;
  std::ofstream out_;
  std::uintmax_t written_ = 0;    // bytes appended so far, framing included
  std::uintmax_t committed_ = 0;  // bytes at the last commit
};

}  // namespace atmotab
