// Loaders of the atomic data tables: the embedded texts come back in the program's index order.
// Expected values are the reference values these tables must hold (ionization potentials, the
// packed H I and O I rows, the Fe I and Ca I iron-group rows, the ground-level lists), not
// re-readings of the loader's own output.
#include "populations/atomic_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "fortio/error.h"

namespace atmotab {
namespace {

struct Tables {
  Arr<double, 1000> POTION;
  Ipftab IPFTAB;
  Fegrpf FEGRPF;
  PfgroundLevels PFG;
};

std::unique_ptr<Tables> load_all() {
  auto t = std::make_unique<Tables>();
  t->POTION.fill(-1.0);
  load_atomic_data(t->POTION, t->IPFTAB, t->FEGRPF, t->PFG);
  return t;
}

TEST(atomic_data, potion_slots) {
  auto t = load_all();
  struct Case {
    int slot;
    float value;
  };
  constexpr Case cases[] = {{1, 109678.766f},  {2, 0.0f},        {3, 198310.766f}, {4, 438908.844f},
                            {5, 0.0f},         {6, 43487.148f},  {8, 987660.125f}, {9, 0.0f},
                            {495, 0.0f},  // zinc's bare nucleus
                            {496, 48387.629f}, {500, 726000.0f}, {836, 51800.0f},  {838, 161000.0f},
                            {634, 0.0f},  // Ce IV: an empty slot, the lookup takes Ce III
                            {840, 0.0f},       {841, 0.0f},      {1000, 0.0f}};
  for (const Case& c : cases)  // single-precision constants widened to double
    EXPECT_EQ(t->POTION(c.slot), static_cast<double>(c.value)) << "slot " << c.slot;
  // Fe I, slot Z(Z+1)/2 = 351: NIST 63737.704 cm-1; O I slot 36: 109837.021 cm-1.
  EXPECT_NEAR(t->POTION(351), 63737.704, 0.01);
  EXPECT_NEAR(t->POTION(36), 109837.021, 0.01);
  for (int z = 1; z <= 30; ++z) EXPECT_EQ(t->POTION(z * (z + 1) / 2 + z), 0.0) << "Z = " << z;
}

// Values K1 * SCALE(KS) and K2 * SCALE(KS) of a packed word.
std::pair<double, double> decode(std::int32_t w) {
  constexpr double SCALE[4] = {0.001, 0.01, 0.1, 1.0};
  const double s = SCALE[w % 10 - 1];
  return {(w / 100000) * s, ((w % 100000) / 10) * s};
}

TEST(atomic_data, ipftab_rows_in_index_order) {
  auto t = load_all();
  // Row 1 (H I): 2.000 ... 5.341, G = 2; row 27 (O I): 8.747 ... 22.24, G = 7.
  EXPECT_EQ(t->IPFTAB(1, 1), 200020001);
  EXPECT_EQ(t->IPFTAB(6, 1), 1359502);
  EXPECT_EQ(t->IPFTAB(3, 27), 99410492);
  auto [a, b] = decode(t->IPFTAB(3, 27));
  EXPECT_DOUBLE_EQ(a, 9.94);
  EXPECT_DOUBLE_EQ(b, 10.49);
  auto [c, d] = decode(t->IPFTAB(5, 1));
  EXPECT_DOUBLE_EQ(c, 3.789);
  EXPECT_DOUBLE_EQ(d, 5.341);
  EXPECT_EQ(t->IPFTAB(6, 27) % 100, 7);
  // H II (row 2) is a bare proton: U = 1 at every point, no tail.
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(t->IPFTAB(i, 2), 100010001);
  EXPECT_EQ(t->IPFTAB(6, 2), 0);
  // Row 28 (O II): word 6 carries IP 35.121 eV and G = 2 x 9 (O III ground term 3P).
  EXPECT_EQ(t->IPFTAB(6, 28), 3512100 + 18);
  // Row 141 (Cu I, 3 Z + 53 + 1): ground 2S1/2, so the first value is 2 (to 0.2 %).
  EXPECT_NEAR(decode(t->IPFTAB(1, 141)).first, 2.0, 0.004);
}

TEST(atomic_data, fegrpf_index_order) {
  auto t = load_all();
  auto fe = [&](int l, int r, int ion) { return t->FEGRPF(l, r, ion + 10 * (26 - 20)); };
  for (int l = 1; l <= 7; ++l) {
    EXPECT_NEAR(fe(l, 1, 1), 19.692, 0.0005) << "column " << l;
    EXPECT_NEAR(t->FEGRPF(l, 1, 1), 1.0, 0.0005) << "Ca I, column " << l;
  }
  // Fe I at 10^4 K (row 30): 60.584 at the smallest lowering, 55.0 at 32000 cm-1 (within 3 %).
  EXPECT_NEAR(fe(1, 30, 1), 60.584, 0.03 * 60.584);
  EXPECT_NEAR(fe(7, 30, 1), 55.0, 0.03 * 55.0);
  EXPECT_NEAR(fe(7, 56, 1), 466.539, 0.03 * 466.539);
  // Fe II at log T 3.70 (row 20, 5012 K) lies within 2 % of Barklem & Collet's 43.42 at 5000 K.
  EXPECT_NEAR(fe(1, 20, 2), 43.5, 0.02 * 43.5);
  // Ni X, the last set: finite and at least its ground weight.
  EXPECT_GE(t->FEGRPF(7, 56, 90), 1.0f);
}

double pfground_sum(const PfgroundLevels& p, int nelion, double t) {
  if (p.NLEV(nelion) == 0) return p.GCON(nelion);
  double s = 0;
  for (int k = p.LOC(nelion); k < p.LOC(nelion) + p.NLEV(nelion); ++k)
    s += p.G(k) * std::exp(-1.4387884 * p.E(k) / t);
  return s;
}

TEST(atomic_data, pfground_lists) {
  auto t = load_all();
  const PfgroundLevels& p = t->PFG;
  EXPECT_EQ(p.NLEV(1), 0);
  EXPECT_EQ(p.GCON(1), 2.0);
  EXPECT_EQ(p.NLEV(85), 0);
  EXPECT_EQ(p.GCON(85), 4.0);
  EXPECT_EQ(p.GCON(37), 4.0);
  EXPECT_EQ(p.GCON(150), 1.0);  // iron group
  // C I: the 1D level at 10192.63 cm-1 with g = 5 is the list's fourth entry.
  ASSERT_EQ(p.NLEV(31), 4);
  EXPECT_EQ(p.E(p.LOC(31) + 3), sp(10192.63f));
  EXPECT_EQ(p.G(p.LOC(31) + 3), 5.0);
  // Worked sums, by hand from the reference lists at T = 5000 K (c = 1.4387884/5000):
  // O I: 5 + 3 e^(-158.265 c) + e^(-226.977 c); Ba II: 2 + 4 e^(-4873.852 c) + 6 e^(-5674.807 c).
  const double c = 1.4387884 / 5000.0;
  EXPECT_NEAR(pfground_sum(p, 43, 5000.0), 5 + 3 * std::exp(-158.265 * c) + std::exp(-226.977 * c),
              1e-6);
  EXPECT_NEAR(pfground_sum(p, 43, 5000.0), 8.80321, 5e-5);
  EXPECT_NEAR(pfground_sum(p, 332, 5000.0), 2.0 + 4 * 0.245984 + 6 * 0.195349, 5e-5);
  EXPECT_EQ(p.NUSED, p.LOC(336) + p.NLEV(336) - 1);
}

// The tables compiled in at build time are the loaders' reading of the embedded texts, bit for bit.
TEST(atomic_data, builtin_tables_equal_the_parsed_texts) {
  const std::unique_ptr<Tables> parsed = load_all();
  auto built = std::make_unique<Tables>();
  built->POTION.fill(-1.0);
  built->PFG.NUSED = -1;
  load_atomic_data_builtin(built->POTION, built->IPFTAB, built->FEGRPF, built->PFG);
  auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  EXPECT_TRUE(same(built->POTION, parsed->POTION));
  EXPECT_TRUE(same(built->IPFTAB, parsed->IPFTAB));
  EXPECT_TRUE(same(built->FEGRPF, parsed->FEGRPF));
  EXPECT_TRUE(same(built->PFG.NLEV, parsed->PFG.NLEV) && same(built->PFG.LOC, parsed->PFG.LOC));
  EXPECT_TRUE(same(built->PFG.GCON, parsed->PFG.GCON));
  EXPECT_TRUE(same(built->PFG.G, parsed->PFG.G) && same(built->PFG.E, parsed->PFG.E));
  EXPECT_EQ(built->PFG.NUSED, parsed->PFG.NUSED);
  EXPECT_GT(parsed->PFG.NUSED, 400);
}

TEST(atomic_data, malformed_tables_throw) {
  auto t = std::make_unique<Tables>();
  const std::string good(embedded_data("potion.txt"));
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {{"wrong format line", "format atmotab-potion 2\nslots 840\n"},
                        {"wrong count", "format atmotab-potion 1\nslots 841\n"},
                        {"truncated", good.substr(0, good.size() / 2)},
                        {"slot out of order",
                         [&] {
                           std::string s = good;
                           s.replace(s.find("\n2 0\n"), 5, "\n3 0\n");
                           return s;
                         }()},
                        {"extra row", good + "841 0\n"},
                        {"not a number", [&] {
                           std::string s = good;
                           s.replace(s.find("\n1 109678.766"), 13, "\n1 10967x.766");
                           return s;
                         }()}};
  for (const Case& k : cases) {
    try {
      load_potion(k.text, t->POTION);
      ADD_FAILURE() << k.what << ": no error";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_IO) << k.what;
    }
  }
  std::string fe(embedded_data("fegrpf.txt"));
  fe.replace(fe.find("\n26 1 30 "), 9, "\n26 1 31 ");  // a row out of place
  EXPECT_THROW(load_fegrpf(fe, t->FEGRPF), atmo_error);
  std::string ip(embedded_data("ipftab.txt"));
  ip.replace(ip.find("\n27 8 1 "), 8, "\n27 9 1 ");  // row 27 is not fluorine
  EXPECT_THROW(load_ipftab(ip, t->IPFTAB), atmo_error);
}

}  // namespace
}  // namespace atmotab
