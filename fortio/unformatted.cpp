#include "fortio/unformatted.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include "fortio/error.h"

static_assert(
    std::endian::native == std::endian::little,
    "unformatted records are written in the machine's byte order, which must be little-endian");

namespace atmotab {

void Record::put(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  bytes_.insert(bytes_.end(), b, b + n);
}

Record& Record::i4(std::int32_t v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::r8(double v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::r4(float v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::chars8(const char* p, int n) {
  for (int k = 0; k < n; ++k) {
    const char word[8] = {p[k], ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    put(word, sizeof word);
  }
  return *this;
}

void Unformatted::fail(const std::string& what) {
  const std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
  throw atmo_error(EXIT_IO, "unformatted", what + " '" + path_ + "'" + reason);
}

void Unformatted::write(const Record& rec) {
  if (rec.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw atmo_error(EXIT_IO, "unformatted", "record too long for a 4-byte length marker");
  if (!out_.is_open()) {
    errno = 0;
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_) fail("cannot create");
  }
  const auto len = static_cast<std::int32_t>(rec.size());
  errno = 0;
  out_.write(reinterpret_cast<const char*>(&len), sizeof len);
  out_.write(reinterpret_cast<const char*>(rec.bytes().data()),
             static_cast<std::streamsize>(rec.size()));
  out_.write(reinterpret_cast<const char*>(&len), sizeof len);
  if (!out_) fail("cannot write");
  written_ += rec.size() + 2 * sizeof len;
}

void Unformatted::flush() {
  if (!out_.is_open()) return;
  errno = 0;
  out_.flush();
  if (!out_) fail("cannot write");
}

void Unformatted::commit() {
  flush();
  committed_ = written_;
}

std::string Unformatted::roll_back() {
  if (!out_.is_open()) return {};
  out_.close();
  std::error_code ec;
  std::filesystem::resize_file(path_, committed_, ec);
  if (ec) return "cannot cut '" + path_ + "' back to its complete records: " + ec.message();
  return {};
}

}  // namespace atmotab
