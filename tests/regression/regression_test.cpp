// Regression cases: the bundled solar, cool and hot decks through the whole program. The listing
// and both table files are deterministic to the bit (no fast-math, no FMA contraction), so each is
// compared with its recorded digest; a sample of listing lines locates a difference. After an
// intended change of the results, record them anew with tools/update_regression.py.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

// FNV-1a, 64 bits: the digest tools/update_regression.py records.
std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string hex(std::uint64_t v) {
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
  return buf;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class Regression : public ::testing::TestWithParam<const char*> {};

TEST_P(Regression, listing_and_tables_unchanged) {
  const std::string src = ATMOTAB_SOURCE_DIR;
  const std::string dir = src + "/tests/regression/" + GetParam();
  // expected.txt: "deck PATH", "edges PATH", "listing HEX", "table HEX", "maxima HEX", then
  // "line N TEXT" samples of the listing.
  std::ifstream expected(dir + "/expected.txt");
  ASSERT_TRUE(expected) << dir << "/expected.txt";
  std::string deck, edges, want_listing, want_table, want_maxima;
  std::vector<std::pair<std::size_t, std::string>> samples;
  for (std::string line; std::getline(expected, line);) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (key == "deck") in >> deck;
    if (key == "edges") in >> edges;
    if (key == "listing") in >> want_listing;
    if (key == "table") in >> want_table;
    if (key == "maxima") in >> want_maxima;
    if (key == "line") {
      std::size_t n;
      in >> n;
      in.get();
      std::string text;
      std::getline(in, text);
      samples.emplace_back(n, text);
    }
  }
  TempDir tmp;
  std::ifstream cards(src + "/" + deck);
  ASSERT_TRUE(cards) << deck;
  std::ostringstream listing, errors;
  const int status = atmotab_main({"--edges", src + "/" + edges, "--table", (tmp / "t10").string(),
                                   "--maxima", (tmp / "t11").string()},
                                  cards, listing, errors);
  ASSERT_EQ(status, 0) << errors.str();
  const std::vector<std::string> lines = split_lines(listing.str());
  for (const auto& [n, text] : samples) {
    ASSERT_LT(n - 1, lines.size()) << "listing shorter than line " << n;
    EXPECT_EQ(lines[n - 1], text) << "listing line " << n;
  }
  EXPECT_EQ(hex(fnv1a(listing.str())), want_listing) << "listing";
  EXPECT_EQ(hex(fnv1a(testing::read_file(tmp / "t10"))), want_table) << "unit 10 table";
  EXPECT_EQ(hex(fnv1a(testing::read_file(tmp / "t11"))), want_maxima) << "unit 11 maxima";
}

INSTANTIATE_TEST_SUITE_P(cases, Regression, ::testing::Values("solar", "cool", "hot"));

}  // namespace
}  // namespace atmotab
