#include "regression/table_dump.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace atmotab::testing {
namespace {

constexpr int NFREQ = 1131;       // CONTINALL slots of a depth record
constexpr int NEDGE_SLOTS = 377;  // interval slots of XNFDOPMAX
constexpr int NSLOT = 6 * 99;     // stage slots times elements
constexpr int PER_LINE = 10;      // values (or runs) per line
constexpr const char* BLOCK_NAMES[16] = {"T",    "TKEV",   "TK",     "HKT",  "TLOG", "HCKT",
                                         "P",    "XNE",    "XNATOM", "RHO",  "RHOX", "VTURB",
                                         "XNFH", "XNFHE1", "XNFHE2", "XNFH2"};

std::string format(const char* f, double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, f, v);
  return buf;
}

// A framed record's data, read from BYTES at POS.
class Records {
 public:
  explicit Records(const std::string& bytes) : bytes_(bytes) {}
  bool done() const { return pos_ == bytes_.size(); }
  std::string next() {
    std::int32_t n = 0, m = 0;
    if (pos_ + 4 > bytes_.size()) fail("truncated length marker");
    std::memcpy(&n, bytes_.data() + pos_, 4);
    if (n < 0 || pos_ + 8 + static_cast<std::size_t>(n) > bytes_.size()) fail("record too long");
    std::memcpy(&m, bytes_.data() + pos_ + 4 + n, 4);
    if (m != n) fail("length markers differ");
    std::string data = bytes_.substr(pos_ + 4, static_cast<std::size_t>(n));
    pos_ += 8 + static_cast<std::size_t>(n);
    ++count_;
    return data;
  }
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("record " + std::to_string(count_ + 1) + ": " + what);
  }

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
  int count_ = 0;
};

template <class T>
std::vector<T> values(const std::string& rec, std::size_t offset, std::size_t count) {
  if (offset + count * sizeof(T) > rec.size()) throw std::runtime_error("record too short");
  std::vector<T> v(count);
  std::memcpy(v.data(), rec.data() + offset, count * sizeof(T));
  return v;
}

std::int32_t int_at(const std::string& rec, std::size_t offset) {
  return values<std::int32_t>(rec, offset, 1)[0];
}

// Lines "LABEL first v v ..." for the values V (as text), runs of equal values written "n*v",
// at most PER_LINE runs a line; FIRST is the 1-based index of the line's first value.
void rows(std::string& out, const std::string& label, const std::vector<std::string>& v) {
  std::size_t i = 0;
  while (i < v.size()) {
    out += label + " " + std::to_string(i + 1);
    for (int k = 0; k < PER_LINE && i < v.size(); ++k) {
      std::size_t j = i + 1;
      while (j < v.size() && v[j] == v[i]) ++j;
      out += " " + (j - i > 1 ? std::to_string(j - i) + "*" : std::string()) + v[i];
      i = j;
    }
    out += "\n";
  }
}

template <class T>
std::vector<std::string> texts(const std::vector<T>& v, std::size_t from, std::size_t n) {
  std::vector<std::string> t;
  const char* f = sizeof(T) == 4 ? "%.9g" : "%.17g";
  for (std::size_t i = from; i < from + n; ++i) t.push_back(format(f, static_cast<double>(v[i])));
  return t;
}

void header(std::string& out, const std::string& r1) {
  if (r1.size() != 4 + 8 + 8 + 74 * 8) throw std::runtime_error("not a model header record");
  out += "NRHOX " + std::to_string(int_at(r1, 0)) + "\n";
  const std::vector<double> d = values<double>(r1, 4, 2);
  out += "TEFF " + format("%.17g", d[0]) + "\nGLOG " + format("%.17g", d[1]) + "\n";
  std::string title;
  for (int k = 0; k < 74; ++k) {
    const std::string word = r1.substr(20 + 8 * static_cast<std::size_t>(k), 8);
    if (word.substr(1) != std::string(7, ' '))
      throw std::runtime_error("title word " + std::to_string(k + 1) + " not padded with blanks");
    title += word[0];
  }
  out += "TITLE '" + title + "'\n";
}

void model(std::string& out, Records& recs, int k) {
  out += "model " + std::to_string(k) + "\n";
  out += "record 1\n";
  const std::string r1 = recs.next();
  header(out, r1);
  const int nrhox = int_at(r1, 0);

  out += "record 2\n";
  const std::string r2 = recs.next();
  const int nedge = int_at(r2, 0);
  out += "NEDGE " + std::to_string(nedge) + "\n";
  const std::vector<double> e = values<double>(r2, 4, 3 * static_cast<std::size_t>(nedge));
  for (int i = 0; i < nedge; ++i)
    out += "EDGE " + std::to_string(i + 1) + " " + format("%.17g", e[3 * i]) + " " +
           format("%.17g", e[3 * i + 1]) + " " + format("%.17g", e[3 * i + 2]) + "\n";
  const std::size_t extra = r2.size() - 4 - 24 * static_cast<std::size_t>(nedge);
  const bool unit10 = extra == 120 * 8;
  if (unit10) {
    const std::vector<double> m = values<double>(r2, 4 + 24 * static_cast<std::size_t>(nedge), 120);
    rows(out, "IDMOL", texts(m, 0, 60));
    rows(out, "MOMASS", texts(m, 60, 60));
  } else if (extra != 0) {
    recs.fail("bytes after the edges");
  }

  out += "record 3\n";
  const std::string r3 = recs.next();
  const int numnu = int_at(r3, 0);
  out += "NUMNU " + std::to_string(numnu) + "\n";
  rows(out, "FREQSET", texts(values<double>(r3, 4, static_cast<std::size_t>(numnu)), 0, numnu));

  out += "record 4\n";
  const std::string r4 = recs.next();
  if (unit10) {
    const std::vector<float> b = values<float>(r4, 0, 400);
    if (r4.size() != 400 * 4) recs.fail("depth block is not 400 singles");
    for (int n = 0; n < 16; ++n) rows(out, BLOCK_NAMES[n], texts(b, 25 * n, 25));
    for (int j = 1; j <= nrhox; ++j) {
      out += "record " + std::to_string(4 + j) + "\n";
      const std::string r = recs.next();
      if (r.size() != (2 * NSLOT + NFREQ) * 4) recs.fail("depth record of the wrong length");
      const std::vector<float> v = values<float>(r, 0, 2 * NSLOT + NFREQ);
      const std::string J = "J " + std::to_string(j) + " ";
      for (int z = 1; z <= 99; ++z) {
        rows(out, J + "XNFPEL Z " + std::to_string(z), texts(v, 6 * (z - 1), 6));
        rows(out, J + "DOPPLE Z " + std::to_string(z), texts(v, NSLOT + 6 * (z - 1), 6));
      }
      rows(out, J + "CONTINALL", texts(v, 2 * NSLOT, NFREQ));
    }
  } else {
    if (r4.size() != NEDGE_SLOTS * NSLOT * 4) recs.fail("maxima record of the wrong length");
    const std::vector<float> v = values<float>(r4, 0, NEDGE_SLOTS * NSLOT);
    for (int z = 1; z <= 99; ++z)
      for (int s = 1; s <= 6; ++s)
        rows(out, "XNFDOPMAX Z " + std::to_string(z) + " S " + std::to_string(s),
             texts(v, NEDGE_SLOTS * ((s - 1) + 6 * (z - 1)), NEDGE_SLOTS));
  }
}

}  // namespace

std::string dump_tables(const std::string& bytes) {
  std::string out;
  Records recs(bytes);
  for (int k = 1; !recs.done(); ++k) model(out, recs, k);
  return out;
}

}  // namespace atmotab::testing
