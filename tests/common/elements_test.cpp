#include "common/elements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>

#include "common/state.h"

namespace atmotab {
namespace {

std::string sym(const ElemRec& e, int z) { return std::string(e.ELEMSYM(z).data(), 8); }

// ---- ELEM -------------------------------------------------------------------------------------

TEST(elem, initial_values_are_widened_single_precision) {
  ElemRec e;
  // 0.911 as a single-precision constant is 0.91100001335144043; the double 0.911 differs.
  EXPECT_EQ(e.ABUND(1), 0.9110000133514404296875);
  EXPECT_NE(e.ABUND(1), 0.911);
  EXPECT_EQ(e.ABUND(2), 0.0890000015497207641601562);
  EXPECT_EQ(e.ATMASS(26), 55.849998474121094);
  struct Case {
    int z;
    const char* symbol;
    float abund, mass;
  };
  constexpr Case cases[] = {{1, "H       ", 0.911f, 1.008f},   {2, "HE      ", 0.089f, 4.003f},
                            {6, "C       ", -3.48f, 12.01f},   {8, "O       ", -3.11f, 16.0f},
                            {26, "FE      ", -4.37f, 55.85f},  {43, "TC      ", -20.0f, 99.0f},
                            {53, "I       ", -10.53f, 126.9f}, {74, "W       ", -10.93f, 183.9f},
                            {92, "U       ", -12.51f, 238.0f}, {99, "ES      ", -20.0f, 254.0f}};
  for (const Case& c : cases) {
    EXPECT_EQ(sym(e, c.z), c.symbol) << "Z = " << c.z;
    EXPECT_EQ(e.ABUND(c.z), static_cast<double>(c.abund)) << "Z = " << c.z;
    EXPECT_EQ(e.ATMASS(c.z), static_cast<double>(c.mass)) << "Z = " << c.z;
  }
  for (int z = 1; z <= NELEM; ++z) EXPECT_EQ(e.XABUND(z), 0.0);
  EXPECT_EQ(e.WTMOLE, 0.0);
}

TEST(elem, hydrogen_and_helium_fractions_sum_to_one) {
  ElemRec e;
  EXPECT_NEAR(e.ABUND(1) + e.ABUND(2), 1.0, 1e-7);  // single-precision rounding only
  for (int z = 3; z <= NELEM; ++z) EXPECT_LT(e.ABUND(z), 0.0) << "Z = " << z << " not a logarithm";
}

TEST(elem, absent_elements_are_exactly_those_without_stable_isotopes_or_measured_abundance) {
  ElemRec e;
  const std::set<int> absent = {43, 61, 84, 85, 86, 87, 88, 89, 91, 93, 94, 95, 96, 97, 98, 99};
  for (int z = 1; z <= NELEM; ++z) {
    EXPECT_EQ(e.ABUND(z) == -20.0, absent.count(z) == 1) << "Z = " << z;
  }
}

TEST(elem, mean_molecular_weight_of_the_initial_mixture) {
  // What the begin card forms with XSCALE = 1: H 0.911*1.008 + He 0.089*4.003 = 1.274555 plus the
  // metals 0.0252035 (O 0.012420 = 10^-3.11*16, C 0.003977, Fe 0.002382, Ne 0.002264, N 0.001434,
  // Si, Mg, S and the rest); total number fraction of the metals 0.00145964.
  ElemRec e;
  double hhe = e.ABUND(1) * e.ATMASS(1) + e.ABUND(2) * e.ATMASS(2);
  double metals = 0, nmetals = 0;
  for (int z = 3; z <= NELEM; ++z) {
    metals += std::pow(10.0, e.ABUND(z)) * e.ATMASS(z);
    nmetals += std::pow(10.0, e.ABUND(z));
  }
  EXPECT_NEAR(hhe, 1.274555, 1e-6);
  EXPECT_NEAR(metals, 0.0252035, 1e-6);
  EXPECT_NEAR(nmetals, 0.00145964, 1e-8);
  EXPECT_NEAR(hhe + metals, 1.2997585, 2e-6);
}

TEST(elem, atomic_masses_increase_except_at_the_known_inversions) {
  // Atomic weight decreases with Z only at Ar/K, Co/Ni, Te/I, Th/Pa, U/Np, Pu/Am; Cm and Bk share
  // the mass number 247.
  ElemRec e;
  const std::set<int> inverted = {18, 27, 52, 90, 92, 94};
  for (int z = 1; z < NELEM; ++z) {
    if (inverted.count(z)) {
      EXPECT_LT(e.ATMASS(z + 1), e.ATMASS(z)) << "Z = " << z;
    } else if (z == 96) {
      EXPECT_EQ(e.ATMASS(z + 1), e.ATMASS(z));
    } else {
      EXPECT_GT(e.ATMASS(z + 1), e.ATMASS(z)) << "Z = " << z;
    }
  }
  // Nuclei heavier than hydrogen carry between 1 and 1.6 neutrons per proton.
  for (int z = 2; z <= NELEM; ++z) {
    EXPECT_GE(e.ATMASS(z) / z, 2.0) << "Z = " << z;
    EXPECT_LE(e.ATMASS(z) / z, 2.6) << "Z = " << z;
  }
}

TEST(elem, symbols_are_distinct_upper_case_left_justified) {
  ElemRec e;
  std::set<std::string> seen;
  for (int z = 1; z <= NELEM; ++z) {
    const std::string s = sym(e, z);
    ASSERT_TRUE(std::isupper(static_cast<unsigned char>(s[0]))) << "Z = " << z;
    EXPECT_TRUE(s[1] == ' ' || std::isupper(static_cast<unsigned char>(s[1]))) << "Z = " << z;
    EXPECT_EQ(s.substr(2), "      ") << "Z = " << z;
    EXPECT_TRUE(seen.insert(s).second) << "duplicate symbol " << s;
  }
  // One-letter symbols: H B C N O F P S K V Y I W U.
  int one_letter = 0;
  for (int z = 1; z <= NELEM; ++z) one_letter += e.ELEMSYM(z)[1] == ' ';
  EXPECT_EQ(one_letter, 14);
}

// ---- POTION -----------------------------------------------------------------------------------

TEST(potion, slot_layout) {
  struct Case {
    int z, ion, slot;
  };
  constexpr Case cases[] = {{1, 1, 1},    {1, 2, 2},    {2, 1, 3},    {2, 3, 5},     {3, 1, 6},
                            {3, 4, 9},    {26, 1, 351}, {30, 1, 465}, {30, 31, 495}, {31, 1, 496},
                            {31, 5, 500}, {58, 4, 634}, {99, 1, 836}, {99, 5, 840}};
  for (const Case& c : cases)
    EXPECT_EQ(potion_slot(c.z, c.ion), c.slot) << "Z = " << c.z << " stage " << c.ion;
  // The blocks tile slots 1..840 without gaps or overlaps.
  int next = 1;
  for (int z = 1; z <= NELEM; ++z) {
    const int stages = z <= 30 ? z + 1 : 5;
    EXPECT_EQ(potion_slot(z, 1), next) << "Z = " << z;
    next = potion_slot(z, stages) + 1;
  }
  EXPECT_EQ(next, 841);
}

TEST(potion, reference_values_and_zeros) {
  PotionRec p;
  struct Case {
    int slot;
    double value;  // single-precision value widened [cm^-1]
  };
  constexpr Case cases[] = {{1, 109678.765625},
                            {2, 0},
                            {3, 198310.765625},
                            {4, 438908.84375},
                            {5, 0},
                            {6, 43487.1484375},
                            {7, 610079},
                            {8, 987660.125},
                            {9, 0},
                            {496, 48387.62890625},
                            {497, 165458},
                            {498, 247700},
                            {499, 517600},
                            {500, 726000},
                            {836, 51800},
                            {837, 95000},
                            {838, 161000},
                            {839, 0},
                            {840, 0}};
  for (const Case& c : cases) EXPECT_EQ(p.POTION(c.slot), c.value) << "slot " << c.slot;
  for (int z = 1; z <= 30; ++z) EXPECT_EQ(p.POTION(potion_slot(z, z + 1)), 0.0) << "Z = " << z;
  for (int i = 841; i <= NPOTION; ++i) EXPECT_EQ(p.POTION(i), 0.0) << "slot " << i;
}

// ---- per-element records ----------------------------------------------------------------------

// Every record as the sequence of its 99-slot depth arrays: which ones are departure coefficients.
struct Layout {
  const char* name;
  int arrays;
  std::set<int> departures;  // 1-based depth-array numbers initialised to 1.0
};

template <class R>
void check_fresh(const R& rec, const Layout& lay) {
  ASSERT_EQ(sizeof(R), lay.arrays * NDEPTH * sizeof(double)) << lay.name;
  const double* base = reinterpret_cast<const double*>(&rec);
  for (int k = 1; k <= lay.arrays; ++k) {
    const double want = lay.departures.count(k) ? 1.0 : 0.0;
    for (int j = 1; j <= NDEPTH; ++j) {
      ASSERT_EQ(base[(k - 1) * NDEPTH + j - 1], want) << lay.name << " array " << k << " J " << j;
    }
  }
}

std::set<int> range(int a, int b, std::set<int> s = {}) {
  for (int i = a; i <= b; ++i) s.insert(i);
  return s;
}

TEST(element_records, fresh_run_has_unit_departures_and_empty_arrays) {
  std::ostringstream out;
  auto run = make_run(out);
  check_fresh(run->BHYD, {"BHYD", 21, range(1, 8, {12})});
  check_fresh(run->BHE, {"BHE", 46, range(1, 29, range(32, 37))});
  check_fresh(run->BB, {"BB", 8, range(1, 7)});
  check_fresh(run->BC, {"BC", 24, range(1, 14, range(19, 24))});
  check_fresh(run->BO, {"BO", 18, range(1, 13, range(15, 18))});
  check_fresh(run->BNA, {"BNA", 9, range(1, 8)});
  check_fresh(run->BMG, {"BMG", 21, range(1, 11, range(16, 21))});
  check_fresh(run->BAL, {"BAL", 14, range(1, 9, {14})});
  check_fresh(run->BSI, {"BSI", 25, range(1, 11, range(16, 25))});
  check_fresh(run->BK, {"BK", 9, range(1, 8)});
  check_fresh(run->BCA, {"BCA", 15, range(1, 13)});
  check_fresh(run->BFE, {"BFE", 18, range(1, 15)});
  check_fresh(run->CHOH, {"CHOH", 2, {}});
}

TEST(element_records, fresh_run_has_initial_tables_and_empty_molecule_records) {
  std::ostringstream out;
  auto run = make_run(out);
  EXPECT_EQ(run->ELEM.ABUND(8), static_cast<double>(-3.11f));
  EXPECT_EQ(run->ELEM.ATMASS(1), static_cast<double>(1.008f));
  EXPECT_EQ(sym(run->ELEM, 2), "HE      ");
  EXPECT_EQ(run->POTION.POTION(1), 109678.765625);
  EXPECT_EQ(run->XNMOL.NUMMOL, 0);
  EXPECT_EQ(run->IFEQUA.NEQUA, 0);
  EXPECT_EQ(run->IFEQUA.NLOC, 0);
  for (double v : run->XNMOL.CODEMOL) EXPECT_EQ(v, 0.0);
  for (double v : run->XNMOL.XNMOL) ASSERT_EQ(v, 0.0);
  for (double v : run->XNMOL.XNFPMOL) ASSERT_EQ(v, 0.0);
  for (int v : run->IFEQUA.IFEQUA) EXPECT_EQ(v, 0);
  for (int v : run->IFEQUA.LOCJ) EXPECT_EQ(v, 0);

  // A second run starts from the initial values, whatever the first one changed.
  run->ELEM.ABUND(26) = -4.5;
  run->BHYD.BHYD(5, 3) = 0.7;
  run->BHE.XNFPHE(1, 1) = 3.0;
  auto fresh = make_run(out);
  EXPECT_EQ(fresh->ELEM.ABUND(26), static_cast<double>(-4.37f));
  EXPECT_EQ(fresh->BHYD.BHYD(5, 3), 1.0);
  EXPECT_EQ(fresh->BHE.XNFPHE(1, 1), 0.0);
}

// The population driver writes NSTAGES consecutive 99-slot columns starting at OUT.
void write_stages(double* out, int nstages, double tag) {
  for (int s = 1; s <= nstages; ++s)
    for (int j = 1; j <= NDEPTH; ++j) out[(s - 1) * NDEPTH + (j - 1)] = tag + 100 * s + j;
}

TEST(element_records, stage_columns_fill_their_field_and_nothing_else) {
  std::ostringstream out;
  auto run = make_run(out);
  const double* bhe = reinterpret_cast<const double*>(&run->BHE);
  write_stages(&run->BHE.XNFPHE(1, 1), 3, 1000);  // He I..III, code 2.02 mode 11
  for (int s = 1; s <= 3; ++s)
    for (int j = 1; j <= NDEPTH; ++j) {
      ASSERT_EQ(run->BHE.XNFPHE(j, s), 1000 + 100 * s + j);
      ASSERT_EQ(bhe[(41 + s - 1) * NDEPTH + j - 1], 1000 + 100 * s + j);  // arrays 42..44
    }
  for (int j = 1; j <= NDEPTH; ++j) {
    EXPECT_EQ(run->BHE.SIGHE(j), 0.0);     // array 41
    EXPECT_EQ(run->BHE.XNFHE(j, 1), 0.0);  // array 45
  }

  // The populations of the driver's tables sit where the record layout puts them.
  struct Case {
    const char* name;
    const double* record;
    const double* field;
    int first_array;
  };
  const Case cases[] = {
      {"XNFPH", &run->BHYD.BHYD(1, 1), &run->BHYD.XNFPH(1, 1), 19},
      {"XNFH", &run->BHYD.BHYD(1, 1), &run->BHYD.XNFH(1), 21},
      {"BMIN", &run->BHYD.BHYD(1, 1), &run->BHYD.BMIN(1), 12},
      {"XNFHE", &run->BHE.BHE1(1, 1), &run->BHE.XNFHE(1, 1), 45},
      {"XNFPB", &run->BB.BB1(1, 1), &run->BB.XNFPB(1), 8},
      {"XNFPC", &run->BC.BC1(1, 1), &run->BC.XNFPC(1, 1), 17},
      {"XNFPO", &run->BO.BO1(1, 1), &run->BO.XNFPO(1), 14},
      {"XNFPNA", &run->BNA.BNA1(1, 1), &run->BNA.XNFPNA(1), 9},
      {"XNFPMG", &run->BMG.BMG1(1, 1), &run->BMG.XNFPMG(1, 1), 14},
      {"XNFPAL", &run->BAL.BAL1(1, 1), &run->BAL.XNFPAL(1, 1), 12},
      {"XNFPSI", &run->BSI.BSI1(1, 1), &run->BSI.XNFPSI(1, 1), 14},
      {"XNFPK", &run->BK.BK1(1, 1), &run->BK.XNFPK(1), 9},
      {"XNFPCA", &run->BCA.BCA1(1, 1), &run->BCA.XNFPCA(1, 1), 14},
      {"XNFPFE", &run->BFE.BFE1(1, 1), &run->BFE.XNFPFE(1), 18},
  };
  for (const Case& c : cases) EXPECT_EQ(c.field - c.record, (c.first_array - 1) * NDEPTH) << c.name;
  // Column s of a stage field starts 99 slots after column s-1.
  EXPECT_EQ(&run->BMG.XNFPMG(1, 2) - &run->BMG.XNFPMG(1, 1), NDEPTH);
  EXPECT_EQ(&run->BHYD.XNFPH(NDEPTH, 2) + 1, &run->BHYD.XNFH(1));
}

}  // namespace
}  // namespace atmotab
