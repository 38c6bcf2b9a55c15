// The bundled example decks run through the whole program with the bundled edge list: exit status
// 0, one header per model, and the record counts of both table files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/constants.h"
#include "driver/atmotab.h"
#include "support/records.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

// Record lengths of an unformatted sequential file, checking both markers of every record.
std::vector<std::int32_t> record_lengths(const std::string& bytes) {
  bool complete = false;
  std::vector<std::int32_t> out;
  for (const std::string& r : testing::unformatted_records(bytes, &complete))
    out.push_back(static_cast<std::int32_t>(r.size()));
  EXPECT_TRUE(complete) << "trailing bytes after the last whole record";
  return out;
}

struct Example {
  const char* deck;
  int nrhox;
  bool molecules = false;  // run with the shipped molecule list on unit 2
  const char* edges = "edges.txt";
  int nedge = 295;  // edges in examples/edges.txt
};

class BundledExample : public ::testing::TestWithParam<Example> {};

TEST_P(BundledExample, runs_to_the_end_card) {
  const Example ex = GetParam();
  const std::string src = ATMOTAB_SOURCE_DIR;
  TempDir dir;
  std::ifstream deck(src + "/examples/" + ex.deck);
  ASSERT_TRUE(deck) << ex.deck;
  std::ostringstream listing, errors;
  std::vector<std::string> args = {"--edges",  src + "/examples/" + ex.edges,
                                   "--table",  (dir / "t10").string(),
                                   "--maxima", (dir / "t11").string()};
  if (ex.molecules) args.insert(args.end(), {"--molecules", src + "/data/molecules.dat"});
  const int status = atmotab_main(args, deck, listing, errors);
  ASSERT_EQ(status, 0) << errors.str();
  // Nothing on standard error: a bundled deck draws no warning (a title running past column 80
  // did).
  EXPECT_EQ(errors.str(), "");
  const std::vector<std::int32_t> t10 = record_lengths(testing::read_file(dir / "t10"));
  const std::vector<std::int32_t> t11 = record_lengths(testing::read_file(dir / "t11"));
  ASSERT_EQ(t10.size(), 4u + static_cast<std::size_t>(ex.nrhox));
  ASSERT_EQ(t11.size(), 4u);
  const int nedge = ex.nedge;
  EXPECT_EQ(t10[0], 4 + 8 + 8 + 74 * 8);
  EXPECT_EQ(t10[1], 4 + 24 * nedge + 120 * 8);
  EXPECT_EQ(t11[1], 4 + 24 * nedge);
  EXPECT_EQ(t10[2], 4 + 8 * 3 * (nedge - 1));
  EXPECT_EQ(t10[3], 400 * 4);
  for (int j = 1; j <= ex.nrhox; ++j) EXPECT_EQ(t10[3 + j], (594 + 594 + 1131) * 4);
  EXPECT_EQ(t11[3], 377 * 6 * 99 * 4);
  EXPECT_EQ(listing.str().find("NaN"), std::string::npos);
}

// The records of an unformatted sequential file, without their length markers.
std::vector<std::string> records(const std::string& bytes) {
  std::vector<std::string> out;
  for (std::size_t pos = 0; pos + 4 <= bytes.size();) {
    std::int32_t n;
    std::memcpy(&n, bytes.data() + pos, 4);
    out.push_back(bytes.substr(pos + 4, static_cast<std::size_t>(n)));
    pos += 8 + static_cast<std::size_t>(n);
  }
  return out;
}

TEST(hot_example, helium_edges_are_upward_jumps_towards_shorter_wavelengths) {
  // The 15000 K grey model with the hot-star edge list: around tau_Ross = 1 (depths 52..60, log
  // tau_Ross -0.5..0.5) the continuum opacity rises across the He I ground-state edge (50.43 nm,
  // 198310.77 cm^-1) by orders of magnitude (5.5 dex at tau_Ross = 1 from helium alone, about 2
  // with hydrogen's Lyman continuum longward of it) and across the He II ground-state edge (22.78
  // nm, 438908.84 cm^-1) by more than 0.1 dex.
  const std::string src = ATMOTAB_SOURCE_DIR;
  TempDir dir;
  std::ifstream deck(src + "/examples/hot15000.deck");
  std::ostringstream listing, errors;
  ASSERT_EQ(atmotab_main({"--edges", src + "/examples/edges_hot.txt", "--table",
                          (dir / "t10").string(), "--maxima", (dir / "t11").string()},
                         deck, listing, errors),
            0)
      << errors.str();
  const std::vector<std::string> rec = records(testing::read_file(dir / "t10"));
  ASSERT_EQ(rec.size(), 4u + 72u);
  std::int32_t numnu;
  std::memcpy(&numnu, rec[2].data(), 4);
  std::vector<double> lam(static_cast<std::size_t>(numnu));  // wavelengths of the set [nm]
  for (std::size_t i = 0; i < lam.size(); ++i) {
    double nu;
    std::memcpy(&nu, rec[2].data() + 4 + 8 * i, 8);
    lam[i] = CLIGHT_NM / nu;
  }
  // The last frequency of the set that ionizes the ground level (wavenumber at or above the
  // threshold [cm^-1]) and the next one, which does not.
  auto around = [&](double threshold) {
    std::size_t i = 0;
    while (1e7 / lam[i + 1] >= threshold) ++i;
    return std::pair{i, i + 1};
  };
  const auto [he1_short, he1_long] = around(198310.77);
  const auto [he2_short, he2_long] = around(438908.84);
  double he2_jump_above = 0;
  for (int j = 52; j <= 60; ++j) {
    const std::string& r = rec[3 + static_cast<std::size_t>(j)];
    auto logk = [&](std::size_t i) {  // CONTINALL(i) after XNFPEL and DOPPLE
      float v;
      std::memcpy(&v, r.data() + 4 * (2 * 594 + i), 4);
      return double(v);
    };
    EXPECT_GT(logk(he1_short) - logk(he1_long), 1.5)
        << "depth " << j << ", " << lam[he1_short] << " / " << lam[he1_long] << " nm";
    // He II gains on He I with depth: 0.05 dex at log tau_Ross = -0.5, 0.24 at 0, 1.1 at 0.5.
    const double he2_jump = logk(he2_short) - logk(he2_long);
    EXPECT_GT(he2_jump, j == 56 ? 0.2 : 0.04)
        << "depth " << j << ", " << lam[he2_short] << " / " << lam[he2_long] << " nm";
    EXPECT_GT(he2_jump, he2_jump_above) << "depth " << j;
    he2_jump_above = he2_jump;
  }
}

INSTANTIATE_TEST_SUITE_P(examples, BundledExample,
                         ::testing::Values(Example{"sun.deck", 56}, Example{"cool4000.deck", 56},
                                           Example{"warm7750.deck", 56}, Example{"grey.deck", 72},
                                           Example{"cool4000_molecules.deck", 56, true},
                                           Example{"hot15000.deck", 72, false, "edges_hot.txt",
                                                   344}),
                         [](const ::testing::TestParamInfo<Example>& info) {
                           std::string name = info.param.deck;
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace atmotab
