#include "support/records.h"

#include <cstdint>
#include <cstring>

namespace atmotab::testing {

std::vector<std::string> unformatted_records(const std::string& bytes, bool* complete) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos + 4 <= bytes.size()) {
    std::int32_t n, m;
    std::memcpy(&n, bytes.data() + pos, 4);
    if (n < 0 || pos + 8 + static_cast<std::size_t>(n) > bytes.size()) break;
    std::memcpy(&m, bytes.data() + pos + 4 + n, 4);
    if (m != n) break;
    out.push_back(bytes.substr(pos + 4, static_cast<std::size_t>(n)));
    pos += 8 + static_cast<std::size_t>(n);
  }
  if (complete) *complete = pos == bytes.size();
  return out;
}

int table_models(const std::vector<std::string>& records, bool unit11) {
  int models = 0;
  std::size_t at = 0;
  while (at < records.size()) {
    std::int32_t nrhox = 0;
    if (records[at].size() < 4) return -1;
    std::memcpy(&nrhox, records[at].data(), 4);
    const std::size_t n = 4 + (unit11 ? 0 : static_cast<std::size_t>(nrhox));
    if (nrhox < 0 || at + n > records.size()) return -1;
    at += n;
    ++models;
  }
  return models;
}

}  // namespace atmotab::testing
