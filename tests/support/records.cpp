#include "support/records.h"

#include <algorithm>
#include <cmath>
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

namespace {

template <class T>
T item(const std::string& rec, std::size_t byte) {
  T v;
  std::memcpy(&v, rec.data() + byte, sizeof v);
  return v;
}

// The first of N values of type T from BYTE on that is not finite or, with CHECK_MIN, negative
// (with STRICT also zero): its index and value as text, or "".
template <class T>
std::string bad_value(const std::string& rec, std::size_t byte, std::size_t n, bool check_min,
                      bool strict = false) {
  if (rec.size() < byte + n * sizeof(T)) return "record too short";
  for (std::size_t k = 0; k < n; ++k) {
    const T v = item<T>(rec, byte + k * sizeof(T));
    if (!std::isfinite(v) || (check_min && (v < 0 || (strict && v == 0))))
      return "value " + std::to_string(k + 1) + " = " + std::to_string(v);
  }
  return "";
}

}  // namespace

std::string table_values_break(const std::string& t10, const std::string& t11) {
  bool c10 = false, c11 = false;
  const std::vector<std::string> r10 = unformatted_records(t10, &c10);
  const std::vector<std::string> r11 = unformatted_records(t11, &c11);
  if (!c10 || !c11) return "a partial record at the end of a table file";
  const int models = table_models(r10);
  if (models < 0 || models != table_models(r11, true))
    return "the table files do not hold the same whole models";
  std::size_t at10 = 0;
  for (int m = 0; m < models; ++m) {
    const std::string where = "model " + std::to_string(m + 1) + ", ";
    for (const std::vector<std::string>* r : {&r10, &r11}) {
      const std::size_t at = r == &r10 ? at10 : 4 * static_cast<std::size_t>(m);
      const std::string& h1 = (*r)[at];
      const std::string& h2 = (*r)[at + 1];
      const std::string& h3 = (*r)[at + 2];
      std::string bad = bad_value<double>(h1, 4, 2, false);
      if (bad.empty()) bad = bad_value<double>(h2, 4, (h2.size() - 4) / 8, false);
      if (bad.empty()) bad = bad_value<double>(h3, 4, (h3.size() - 4) / 8, true, true);
      if (!bad.empty()) return where + "header records: " + bad;
    }
    const int nrhox = item<std::int32_t>(r10[at10], 0);
    // Record 4: 14 quantities of 25 depths, He I and He II, XNFH2; T..HCKT (1..6) positive except
    // TLOG (5), P..RHO (7..10) and XNFH..XNFH2 (13..16) non-negative.
    const std::string& block = r10[at10 + 3];
    if (block.size() != 400 * 4) return where + "record 4 is not 400 singles";
    const int n = std::min(nrhox, 25);
    for (int q = 1; q <= 16; ++q) {
      const bool positive = q <= 6 && q != 5;
      const bool non_negative = positive || (q >= 7 && q <= 10) || q >= 13;
      const std::string bad = bad_value<float>(block, 4 * 25 * (q - 1), n, non_negative, positive);
      if (!bad.empty()) return where + "record 4, quantity " + std::to_string(q) + ": " + bad;
    }
    for (int j = 1; j <= nrhox; ++j) {
      const std::string& d = r10[at10 + 3 + j];
      if (d.size() != (594 + 594 + 1131) * 4) return where + "a depth record of the wrong length";
      std::string bad = bad_value<float>(d, 0, 594, true);
      if (bad.empty()) bad = bad_value<float>(d, 594 * 4, 594, true, true);
      if (bad.empty()) bad = bad_value<float>(d, 1188 * 4, 1131, false);
      if (!bad.empty()) return where + "depth " + std::to_string(j) + ": " + bad;
    }
    const std::string bad = bad_value<float>(r11[4 * m + 3], 0, 377 * 6 * 99, true);
    if (!bad.empty()) return where + "XNFDOPMAX: " + bad;
    at10 += 4 + static_cast<std::size_t>(nrhox);
  }
  return "";
}

}  // namespace atmotab::testing
