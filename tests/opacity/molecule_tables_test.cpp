#include "opacity/molecule_tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/embedded_data.h"
#include "fortio/error.h"

namespace atmotab {
namespace {

struct Tables {
  Arr<double, NCHOHT, NCHROW> TABCH;
  Arr<double, NCHOHT, NOHROW> TABOH;
  Arr<double, 7, 81> TABH2H2, TABH2HE;
};

template <class A>
bool same(const A& a, const A& b) {
  return std::memcmp(a.data(), b.data(), sizeof(*a.data()) * A::SIZE) == 0;
}

// The tables compiled in at build time are the readers' reading of the embedded texts, bit for bit.
TEST(molecule_tables, builtin_tables_equal_the_parsed_texts) {
  auto parsed = std::make_unique<Tables>();
  choh_load(embedded_data("tabch.txt"), "tabch", NCHROW, parsed->TABCH.data());
  choh_load(embedded_data("taboh.txt"), "taboh", NOHROW, parsed->TABOH.data());
  h2collop_read(embedded_data("tabh2h2.txt"), "tabh2h2.txt", parsed->TABH2H2);
  h2collop_read(embedded_data("tabh2he.txt"), "tabh2he.txt", parsed->TABH2HE);
  auto built = std::make_unique<Tables>();
  built->TABCH.fill(1.0);
  built->TABOH.fill(1.0);
  built->TABH2H2.fill(1.0);
  built->TABH2HE.fill(1.0);
  choh_builtin(built->TABCH, built->TABOH);
  h2collop_builtin(built->TABH2H2, built->TABH2HE);
  EXPECT_TRUE(same(built->TABCH, parsed->TABCH));
  EXPECT_TRUE(same(built->TABOH, parsed->TABOH));
  EXPECT_TRUE(same(built->TABH2H2, parsed->TABH2H2));
  EXPECT_TRUE(same(built->TABH2HE, parsed->TABH2HE));
  // Values read by hand from the texts: the first and last rows of tabh2h2.txt (-46.000 at
  // 0 cm^-1, -48.338 at 20000 cm^-1 and 7000 K), single-precision decimals widened.
  EXPECT_EQ(built->TABH2H2(1, 1), sp(-46.0f));
  EXPECT_EQ(built->TABH2H2(7, 81), sp(-48.338f));
  EXPECT_EQ(built->TABH2H2(2, 80), sp(-52.588f));
}

TEST(molecule_tables, a_damaged_h2_table_stops_with_the_file_and_line) {
  const std::string good(embedded_data("tabh2h2.txt"));
  auto tab = std::make_unique<Arr<double, 7, 81>>();
  EXPECT_NO_THROW(h2collop_read(good, "tabh2h2.txt", *tab));
  const auto row = [&](const char* head) { return good.find(head); };
  struct Case {
    const char* what;
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"wrong format", "format atmotab-tabh2he 1\n", "format line"},
      {"wrong count", "format atmotab-tabh2h2 1\ntemperatures 7 wavenumbers 80\n", "count line"},
      {"row missing", good.substr(0, row("\n 5  1000") + 1) + good.substr(row("\n 6  1250") + 1),
       "row 6, expected 5"},
      {"wrong wavenumber",
       good.substr(0, row("\n 5  1000") + 1) + " 5  1001" + good.substr(row("\n 5  1000") + 9),
       "wavenumber 1001, expected 1000"},
      {"short table", good.substr(0, row("\n81 20000") + 1), "table ends"},
      {"extra row", good + "82 20250 fill -55.0 -52.0 -51.0 -50.0 -49.0 -48.0 -48.0\n",
       "more rows than the count line"},
  };
  for (const Case& c : cases) {
    try {
      h2collop_read(c.text, "tabh2h2.txt", *tab);
      ADD_FAILURE() << c.what << ": no error";
    } catch (const atmo_error& e) {
      EXPECT_NE(std::string(e.what()).find("data/tabh2h2.txt line"), std::string::npos) << c.what;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
