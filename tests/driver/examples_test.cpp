// The bundled example decks run through the whole program with the bundled edge list: exit status
// 0, one header per model, and the record counts of both table files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

// Record lengths of an unformatted sequential file, checking both markers of every record.
std::vector<std::int32_t> record_lengths(const std::string& bytes) {
  std::vector<std::int32_t> out;
  std::size_t pos = 0;
  while (pos + 4 <= bytes.size()) {
    std::int32_t n, m;
    std::memcpy(&n, bytes.data() + pos, 4);
    if (n < 0 || pos + 8 + static_cast<std::size_t>(n) > bytes.size()) break;
    std::memcpy(&m, bytes.data() + pos + 4 + n, 4);
    if (m != n) break;
    out.push_back(n);
    pos += 8 + static_cast<std::size_t>(n);
  }
  EXPECT_EQ(pos, bytes.size()) << "trailing bytes after the last whole record";
  return out;
}

struct Example {
  const char* deck;
  int nrhox;
  bool molecules = false;  // run with the shipped molecule list on unit 2
};

class BundledExample : public ::testing::TestWithParam<Example> {};

TEST_P(BundledExample, runs_to_the_end_card) {
  const Example ex = GetParam();
  const std::string src = ATMOTAB_SOURCE_DIR;
  TempDir dir;
  std::ifstream deck(src + "/examples/" + ex.deck);
  ASSERT_TRUE(deck) << ex.deck;
  std::ostringstream listing, errors;
  std::vector<std::string> args = {"--edges",  src + "/examples/edges.txt",
                                   "--table",  (dir / "t10").string(),
                                   "--maxima", (dir / "t11").string()};
  if (ex.molecules) args.insert(args.end(), {"--molecules", src + "/data/molecules.dat"});
  const int status = atmotab_main(args, deck, listing, errors);
  ASSERT_EQ(status, 0) << errors.str();
  const std::vector<std::int32_t> t10 = record_lengths(testing::read_file(dir / "t10"));
  const std::vector<std::int32_t> t11 = record_lengths(testing::read_file(dir / "t11"));
  ASSERT_EQ(t10.size(), 4u + static_cast<std::size_t>(ex.nrhox));
  ASSERT_EQ(t11.size(), 4u);
  const int nedge = 295;  // examples/edges.txt
  EXPECT_EQ(t10[0], 4 + 8 + 8 + 74 * 8);
  EXPECT_EQ(t10[1], 4 + 24 * nedge + 120 * 8);
  EXPECT_EQ(t11[1], 4 + 24 * nedge);
  EXPECT_EQ(t10[2], 4 + 8 * 3 * (nedge - 1));
  EXPECT_EQ(t10[3], 400 * 4);
  for (int j = 1; j <= ex.nrhox; ++j) EXPECT_EQ(t10[3 + j], (594 + 594 + 1131) * 4);
  EXPECT_EQ(t11[3], 377 * 6 * 99 * 4);
  EXPECT_EQ(listing.str().find("NaN"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(examples, BundledExample,
                         ::testing::Values(Example{"sun.deck", 56}, Example{"cool4000.deck", 56},
                                           Example{"warm7750.deck", 56}, Example{"grey.deck", 72},
                                           Example{"cool4000_molecules.deck", 56, true}),
                         [](const ::testing::TestParamInfo<Example>& info) {
                           std::string name = info.param.deck;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace atmotab
