// Regression cases: a solar, a cool, a warm ("hot") and a hot-star model through the whole program
// (tests/regression/README.md). The listing and both table files are deterministic to the bit (no
// fast-math, no FMA contraction), so the listing and the full-precision dumps of the tables are
// compared exactly with the recorded ones; a difference shows as the start of a unified diff. After
// an intended change of the results, record them anew with tools/update_regression.py, which runs
// this program with ATMOTAB_UPDATE_REGRESSION=1 to write the files instead of comparing them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/atmotab.h"
#include "regression/table_dump.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

constexpr int DIFF_LINES = 60;  // lines of the unified diff shown on a failure

bool updating() {
  const char* v = std::getenv("ATMOTAB_UPDATE_REGRESSION");
  return v != nullptr && std::string(v) == "1";
}

// The first DIFF_LINES lines of `diff -u` between the recorded file and ACTUAL.
std::string diff_start(const std::string& recorded, const std::string& actual, const TempDir& tmp,
                       const std::string& name) {
  const std::string path = (tmp / (name + ".actual")).string();
  testing::write_file(path, actual);
  std::string diff = testing::run_command("diff -u '" + recorded + "' '" + path + "' 2>&1");
  std::size_t end = 0;
  for (int n = 0; n < DIFF_LINES && end != std::string::npos; ++n)
    end = diff.find('\n', end == 0 ? 0 : end + 1);
  if (end != std::string::npos) diff = diff.substr(0, end + 1) + "...\n";
  return diff;
}

// Compares ACTUAL with the recorded file DIR/NAME, or records it when updating.
void check(const std::string& dir, const std::string& name, const std::string& actual,
           const TempDir& tmp) {
  const std::string path = dir + "/" + name;
  if (updating()) {
    testing::write_file(path, actual);
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path << " missing: record it with tools/update_regression.py";
  const std::string recorded = testing::read_file(path);
  EXPECT_TRUE(recorded == actual) << name << " differs from the recorded one:\n"
                                  << diff_start(path, actual, tmp, name);
}

class Regression : public ::testing::TestWithParam<const char*> {};

TEST_P(Regression, listing_and_tables_unchanged) {
  const std::string src = ATMOTAB_SOURCE_DIR;
  const std::string dir = src + "/tests/regression/" + GetParam();
  TempDir tmp;
  std::ifstream cards(dir + "/deck.txt");
  ASSERT_TRUE(cards) << dir << "/deck.txt";
  // The case's own edge list where it has one, else the shared one.
  std::string edges = dir + "/edges.txt";
  if (!std::filesystem::exists(edges)) edges = src + "/tests/regression/edges.txt";
  std::ostringstream listing, errors;
  // The shipped molecule list is unit 2 of every case; only a deck with READ MOLECULES reads it.
  const int status =
      atmotab_main({"--edges", edges, "--molecules", src + "/data/molecules.dat", "--table",
                    (tmp / "t10").string(), "--maxima", (tmp / "t11").string()},
                   cards, listing, errors);
  ASSERT_EQ(status, 0) << errors.str();
  check(dir, "listing.txt", listing.str(), tmp);
  check(dir, "table.txt", testing::dump_tables(testing::read_file(tmp / "t10")), tmp);
  check(dir, "maxima.txt", testing::dump_tables(testing::read_file(tmp / "t11")), tmp);
}

INSTANTIATE_TEST_SUITE_P(cases, Regression,
                         ::testing::Values("solar", "cool", "hot", "cool_molecules", "hotstar"));

// The dump gives every value of a record back exactly, repeats as n*v.
TEST(dump_tables, every_value_of_a_small_maxima_file) {
  std::string rec1(4 + 8 + 8 + 74 * 8, ' ');
  const std::int32_t nrhox = 2;
  const double teff = 5777.25, glog = 0.0;
  std::memcpy(rec1.data(), &nrhox, 4);
  std::memcpy(rec1.data() + 4, &teff, 8);
  std::memcpy(rec1.data() + 12, &glog, 8);
  rec1[20] = 'S';
  std::string rec2(4 + 24, '\0');
  const std::int32_t nedge = 1;
  const double edge[3] = {2.99792458e15, 100.0, 1e5};
  std::memcpy(rec2.data(), &nedge, 4);
  std::memcpy(rec2.data() + 4, edge, 24);
  std::string rec3(4 + 8, '\0');
  const std::int32_t numnu = 1;
  const double nu = 0.1;
  std::memcpy(rec3.data(), &numnu, 4);
  std::memcpy(rec3.data() + 4, &nu, 8);
  std::string rec4(377 * 594 * 4, '\0');
  const float f[3] = {1.0f / 3.0f, 1.0f / 3.0f, 2.5e-30f};
  std::memcpy(rec4.data(), f, 12);
  std::string bytes;
  for (const std::string* r : {&rec1, &rec2, &rec3, &rec4}) {
    const std::int32_t n = static_cast<std::int32_t>(r->size());
    bytes.append(reinterpret_cast<const char*>(&n), 4)
        .append(*r)
        .append(reinterpret_cast<const char*>(&n), 4);
  }
  const std::string d = testing::dump_tables(bytes);
  EXPECT_NE(d.find("TEFF 5777.25\nGLOG 0\nTITLE 'S" + std::string(73, ' ') + "'\n"),
            std::string::npos)
      << d;
  EXPECT_NE(d.find("EDGE 1 2997924580000000 100 100000\n"), std::string::npos);
  EXPECT_NE(d.find("FREQSET 1 0.10000000000000001\n"), std::string::npos);
  EXPECT_NE(d.find("XNFDOPMAX Z 1 S 1 1 2*0.333333343 2.50000001e-30 374*0\n"), std::string::npos)
      << d.substr(0, 2000);
  EXPECT_NE(d.find("XNFDOPMAX Z 99 S 6 1 377*0\n"), std::string::npos);
  EXPECT_THROW(testing::dump_tables(bytes.substr(0, bytes.size() - 1)), std::runtime_error);
}

}  // namespace
}  // namespace atmotab
