// Molecular equilibrium: conservation in every bundled model, the MARCS partial pressures of the
// 4000 K model, closed-form pure-hydrogen solutions, and the limits of the iteration.
#include "populations/nmolec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fortio/error.h"
#include "input/readmol.h"
#include "model_fixture.h"
#include "molecules_fixture.h"
#include "populations/nmolec_setup.h"
#include "populations/pfsaha.h"
#include "populations/pops.h"
#include "populations/pops_cache.h"

namespace atmotab {
namespace {

using testing::MoleculeRun;
using testing::PopsRun;

// Atoms (Z, 0 for an electron) and positive charges of a species code, read from its decimal text
// (two digits per atom from the right of the integer part), independently of the list reader.
struct Composition {
  std::vector<int> atoms;
  int charges = 0;
};
Composition composition(double code) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", code);
  std::string s(buf);
  const std::size_t dot = s.find('.');
  std::string whole = s.substr(0, dot);
  if (whole.size() % 2) whole = "0" + whole;
  Composition c;
  for (std::size_t i = 0; i < whole.size(); i += 2)
    c.atoms.push_back(std::stoi(whole.substr(i, 2)));
  c.charges = std::stoi(s.substr(dot + 1));
  return c;
}

// Nuclei of every element, charge and particles, from the populations of every entry.
class Conservation : public ::testing::TestWithParam<const char*> {};

TEST_P(Conservation, nuclei_charge_and_particles_to_1e_6) {
  MoleculeRun m(GetParam());
  const atmotab::Run& r = m.r;
  const XnmolRec& M = r.XNMOL;
  double worst_nuclei = 0, worst_charge = 0, worst_particles = 0;
  for (int j = 1; j <= r.RHOX.NRHOX; ++j) {
    std::map<int, double> nuclei;
    double charge = 0, particles = 0;
    for (int e = 1; e <= M.NUMMOL; ++e) {
      const Composition c = composition(M.CODEMOL(e));
      const double n = M.XNMOL(j, e);
      ASSERT_TRUE(std::isfinite(n) && n >= 0) << M.CODEMOL(e) << " depth " << j;
      int electrons = 0;
      for (int z : c.atoms) {
        if (z == 0)
          ++electrons;
        else
          nuclei[z] += n;
      }
      charge += (c.charges - electrons) * n;
      particles += n;
    }
    for (const auto& [z, n] : nuclei) {
      const double want = std::max(r.ELEM.XABUND(z), 1e-20) * r.STATE.XNATOM(j);
      worst_nuclei = std::max(worst_nuclei, std::fabs(n / want - 1));
      EXPECT_NEAR(n / want, 1, 1e-6) << "element " << z << " depth " << j;
    }
    worst_charge = std::max(worst_charge, std::fabs(charge / r.STATE.XNE(j) - 1));
    EXPECT_NEAR(charge / r.STATE.XNE(j), 1, 1e-6) << "charge, depth " << j;
    const double xntot = r.STATE.P(j) / r.TEMP.TK(j);
    worst_particles =
        std::max(worst_particles, std::fabs((particles + r.STATE.XNE(j)) / xntot - 1));
    EXPECT_NEAR((particles + r.STATE.XNE(j)) / xntot, 1, 1e-6) << "particles, depth " << j;
    EXPECT_DOUBLE_EQ(r.STATE.RHO(j), r.ELEM.WTMOLE * sp(1.66e-24f) * r.STATE.XNATOM(j));
  }
  std::printf("%s: largest relative error of nuclei %.2e, charge %.2e, particles %.2e\n",
              GetParam(), worst_nuclei, worst_charge, worst_particles);
}

INSTANTIATE_TEST_SUITE_P(bundled, Conservation,
                         ::testing::Values("sun.deck", "cool4000.deck", "warm7750.deck",
                                           "grey.deck"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// The "Assorted logarithmic partial pressures" of a MARCS model file: per depth k, species name ->
// log10 P [dyn cm^-2]. Columns are seven characters wide after the three of k.
std::map<int, std::map<std::string, double>> marcs_partial_pressures(const std::string& path) {
  std::ifstream in(path);
  std::map<int, std::map<std::string, double>> out;
  std::vector<std::string> names;
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.find("Assorted logarithmic partial pressures") != std::string::npos) {
      inside = true;
      continue;
    }
    if (!inside || line.size() < 10) continue;
    std::vector<std::string> cols;
    for (std::size_t i = 3; i < line.size(); i += 7) {
      std::string f = line.substr(i, 7);
      f.erase(0, f.find_first_not_of(' '));
      f.erase(f.find_last_not_of(' ') + 1);
      cols.push_back(f);
    }
    if (line.substr(0, 3).find('k') != std::string::npos) {
      names = cols;
      continue;
    }
    const int k = std::stoi(line.substr(0, 3));
    for (std::size_t c = 0; c < cols.size() && c < names.size(); ++c)
      out[k][names[c]] = std::stod(cols[c]);
  }
  return out;
}

TEST(nmolec, cool_dwarf_agrees_with_marcs_partial_pressures) {
  // MARCS 2008 (Gustafsson et al. 2008), Teff 4000 K, log g 4.5, solar: its own equilibrium with
  // the same structure (T, Pg) and abundances. Depth 41 is log tau_Ross = 0, depth 21 is -2.
  const std::string mod = std::string(ATMOTAB_SOURCE_DIR) +
                          "/examples/p4000_g+4.5_m0.0_t01_st_z+0.00_a+0.00_c+0.00_n+0.00_o+0.00_"
                          "r+0.00_s+0.00.mod";
  const auto pp = marcs_partial_pressures(mod);
  ASSERT_EQ(pp.size(), 56u);
  MoleculeRun m("cool4000.deck");
  struct Case {
    const char* name;
    double code;
    double lo, hi;  // allowed ratios
  };
  const Case cases[] = {{"H2", 101, 0.75, 1.25},
                        {"CO", 608, 0.75, 1.25},
                        {"OH", 108, 0.75, 1.25},
                        {"H2O", 10108, 0.75, 1.25},
                        {"TiO", 822, 0.5, 2.0}};
  std::printf("depth  log tau  species  atmotab [cm-3]  MARCS [cm-3]  ratio\n");
  for (int j : {41, 21}) {
    const double kt = m.r.TEMP.TK(j);
    EXPECT_NEAR(std::pow(10.0, pp.at(j).at("lgPgas")) / m.r.STATE.P(j), 1, 2e-3);
    for (const Case& c : cases) {
      const double ours = m.r.XNMOL.XNMOL(j, m.entry(c.code));
      const double marcs = std::pow(10.0, pp.at(j).at(c.name)) / kt;
      std::printf("%5d  %7s  %-7s  %14.4e  %12.4e  %5.3f\n", j, j == 41 ? "0" : "-2", c.name, ours,
                  marcs, ours / marcs);
      EXPECT_LT(ours / marcs, c.hi) << c.name << " depth " << j;
      EXPECT_GT(ours / marcs, c.lo) << c.name << " depth " << j;
    }
  }
}

// A run with the molecule list LIST (cards) read and one depth per (T, P) pair set up; the
// electron density starts as the model's (1e10 cm^-3: nmolec starts from its own guess).
struct SmallRun : PopsRun {
  explicit SmallRun(const std::string& list, std::vector<std::pair<double, double>> tp) {
    std::istringstream in(list);
    readmol(r, in);
    int j = 0;
    for (auto [t, p] : tp) set_depth(++j, t, p, 1e10);
    r.ITER.NUMITS = 2;  // no tables on the listing
    r.ITER.ITER = 1;
  }
  int entry(double code) const {
    for (int m = 1; m <= r.XNMOL.NUMMOL; ++m)
      if (std::fabs(r.XNMOL.CODEMOL(m) - code) < 1e-3) return m;
    return 0;
  }
};

std::string list_card(double code, double d0 = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%18.2f%7.3f\n", code, d0);
  return buf;
}

// ln K of H2 with the fixed coefficients [cm^3].
double ln_k_h2(double t) {
  const double tkev = 8.6171e-5 * t;
  return 4.478 / tkev - 46.4584 + 1.6366e-3 * t - 4.93992e-7 * t * t +
         1.11822e-10 * std::pow(t, 3) - 1.49567e-14 * std::pow(t, 4) +
         1.06206e-18 * std::pow(t, 5) - 3.0872e-23 * std::pow(t, 6) - 1.5 * std::log(t);
}

TEST(nmolec, pure_hydrogen_ionization_is_the_closed_form_saha_solution) {
  // H and H+ only: n(H+) = n_e = x, n(H) = y, y + 2x = P/kT and x^2 / y = S, the Saha factor
  // (pfsaha's H II / H I ratio times n_e) at the starting electron density P/kT/20 of the first
  // depth, from less than 1 % to more than 99 % ionized.
  for (double t : {6000.0, 9000.0, 12000.0, 25000.0}) {
    SmallRun m(list_card(1.0) + list_card(1.01), {{t, 1e3}});
    nmolec(m.r);
    const double xntot = 1e3 / m.r.TEMP.TK(1);
    const double got = m.r.XNMOL.XNMOL(1, m.entry(1.01));
    EXPECT_NEAR(m.r.STATE.XNE(1) / got, 1, 1e-12);  // the electrons are the protons
    Arr<double, MAXD, PF_MAXION> fr;
    m.r.STATE.XNE(1) = xntot / 20;
    pfsaha(m.r, 1, 1, 2, 12, fr.data());
    const double s = m.r.STATE.XNE(1) * fr(1, 2) / fr(1, 1);
    const double x = s * xntot / (s + std::sqrt(s * s + s * xntot));
    EXPECT_NEAR(got / x, 1, 1e-9) << "T = " << t;
    EXPECT_NEAR(m.r.XNMOL.XNMOL(1, m.entry(1.0)) / (xntot - 2 * x), 1, 1e-9) << "T = " << t;
    EXPECT_NEAR(m.r.STATE.XNATOM(1) * m.r.ELEM.XABUND(1) / (xntot - x), 1, 1e-9);
  }
}

TEST(nmolec, hydrogen_molecules_follow_the_closed_form_and_vanish_above_10000_K) {
  // H and H2: y + K y^2 = P/kT, so y = (sqrt(1 + 4 K P/kT) - 1) / (2 K), K of the fixed
  // coefficients. Above 10000 K the molecule is left out and keeps its entry.
  SmallRun m(list_card(1.0) + list_card(101.0, 4.478),
             {{2500, 1e4}, {3500, 1e5}, {5000, 1e5}, {10500, 1e5}});
  nmolec(m.r);
  for (int j = 1; j <= 3; ++j) {
    const double xntot = m.r.STATE.P(j) / m.r.TEMP.TK(j);
    const double k = std::exp(ln_k_h2(m.r.TEMP.T(j)));
    const double y = 2 * xntot / (1 + std::sqrt(1 + 4 * k * xntot));
    EXPECT_NEAR(m.r.XNMOL.XNMOL(j, 1) / y, 1, 1e-9) << "depth " << j;
    EXPECT_NEAR(m.r.XNMOL.XNMOL(j, 2) / (k * y * y), 1, 1e-9) << "depth " << j;
  }
  EXPECT_GT(m.r.XNMOL.XNMOL(1, 2), m.r.XNMOL.XNMOL(1, 1));  // mostly molecular at 2500 K
  EXPECT_EQ(m.r.XNMOL.XNMOL(4, 2), 0.0);
  EXPECT_EQ(m.r.XNMOL.XNFPMOL(4, 2), 0.0);
  m.r.IF.IFMOL = 1;  // requests answered from the equilibrium: nothing undefined at 10500 K
  pops_cache(m.r).MODEL = model_key(m.r);
  Arr<double, MAXD, 1> u;
  for (int mode : {1, 2, 3}) {
    pops(m.r, 101, mode, u.data());
    EXPECT_EQ(u(4, 1), 0.0) << "mode " << mode;
    EXPECT_GT(u(1, 1), 0.0) << "mode " << mode;
  }
  EXPECT_EQ(m.r.XNMOL.NUMMOL, 2);
  EXPECT_NEAR(m.r.XNMOL.XNMOL(4, 1) / (m.r.STATE.P(4) / m.r.TEMP.TK(4)), 1, 1e-12);
}

TEST(nmolec, neutral_atoms_only_share_the_particles_by_abundance) {
  // No molecules, no ions: XN(K) = XAB(K) XN(1) and XN(1) = P/kT / sum XAB; there is no electron
  // equation, so XNE keeps the value scaled from the depth above.
  SmallRun m(list_card(1.0) + list_card(2.0) + list_card(6.0), {{5000, 1e4}, {5500, 3e4}});
  nmolec(m.r);
  const ElemRec& E = m.r.ELEM;
  const double sum = E.XABUND(1) + E.XABUND(2) + E.XABUND(6);
  for (int j = 1; j <= 2; ++j) {
    const double xntot = m.r.STATE.P(j) / m.r.TEMP.TK(j);
    EXPECT_NEAR(m.r.STATE.XNATOM(j) / (xntot / sum), 1, 1e-12);
    for (int z : {1, 2, 6})
      EXPECT_NEAR(m.r.XNMOL.XNMOL(j, m.entry(z)) / (E.XABUND(z) * m.r.STATE.XNATOM(j)), 1, 1e-12);
  }
  const double x0 = m.r.STATE.P(1) / m.r.TEMP.TK(1) / 20;
  EXPECT_EQ(m.r.STATE.XNE(1), x0);
  EXPECT_EQ(m.r.STATE.XNE(2), x0 * (m.r.STATE.P(2) / m.r.STATE.P(1)));
}

TEST(nmolec, species_codes_are_checked_and_split_without_overflow) {
  // D0 = 0 marks an atom or atomic ion: a molecule's code, or more charges than the element has
  // stages, is named with its card instead of failing in the partition functions.
  const std::pair<std::string, const char*> bad[] = {
      {list_card(1.0) + list_card(1.01) + list_card(608.0),
       "card 3 (species 608.00): D0 = 0 marks an atom or atomic ion, but the code names a "
       "molecule"},
      {list_card(1.0) + list_card(1.05),
       "card 2 (species 1.05): 5 positive charges, but element 1 has 2 stages"},
      // D0 != 0 on a single element (a fuzz finding: the "molecule" of one atom had n/U = inf).
      {list_card(1.0, 8010.801) + list_card(1.01),
       "card 1 (species 1.00): D0 = 8010.8 eV marks a molecule, but the code names a single "
       "element"},
      // A fit whose A2 cancels D0/kT in the density, leaving exp(D0/kT) in n/U to overflow.
      {list_card(1.0) + list_card(1.01) + list_card(6.0) + "            606.00999.999 2.9000E+03\n",
       "card 4 (species 606.00) is out of range"}};
  for (const auto& [list, message] : bad) {
    SmallRun m(list, {{4000, 1e5}});
    try {
      nmolec(m.r);
      ADD_FAILURE() << message;
    } catch (const atmo_error& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  // Codes beyond 2^31 (up to eight pairs): charges from the decimals, no element of their own.
  SmallRun m(list_card(1.0) + list_card(1.01) + list_card(8.0) + list_card(6.0) +
                 list_card(10108060801.01, 9.0) + list_card(80108010801.0, 8.0),
             {{4000, 1e5}});
  const MolSetup s = nmolec_unpack(m.r);
  EXPECT_EQ(s.species[4].ion * 10 + s.species[4].z, 10);
  EXPECT_EQ(s.species[5].ion * 10 + s.species[5].z, 0);
}

TEST(nmolec, implied_molecular_partition_functions_are_barklem_collets) {
  // XNMOL / XNFPMOL is the partition function that the formation constant and D0 imply: for the
  // list's fits to Barklem & Collet 2016 it must give back their table 6 at 4000 K (CO 2759.95,
  // OH 891.168, CH+ 415.819, CO+ 5344.28, TiO 111992; H2 34.6011 with the fixed coefficients, which
  // differ from theirs by up to 0.03 dex), within the difference between the program's atomic
  // partition functions and theirs; H-minus has the single bound state, U = 1.
  SmallRun m("", {});
  std::ifstream list(std::string(ATMOTAB_SOURCE_DIR) + "/data/molecules.dat");
  readmol(m.r, list);
  m.set_depth(1, 4000, 1e5, 1e10);
  nmolec(m.r);
  struct Case {
    double code, q, tol;
  };
  const Case cases[] = {{608, 2759.95, 0.05},    {108, 891.168, 0.05}, {106.01, 415.819, 0.05},
                        {608.01, 5344.28, 0.05}, {822, 111992, 0.05},  {101, 34.6011, 0.10},
                        {100, 1.0, 0.01}};
  for (const Case& c : cases) {
    const int e = m.entry(c.code);
    EXPECT_NEAR(m.r.XNMOL.XNMOL(1, e) / m.r.XNMOL.XNFPMOL(1, e) / c.q, 1, c.tol) << c.code;
  }
  // Atoms and ions: number density over the stage's partition function.
  Depth u;
  for (double code : {1.0, 6.01, 26.0, 22.01}) {
    const int z = static_cast<int>(code);
    const int stage = code == z ? 1 : 2;
    pfsaha(m.r, 1, z, stage, 3, u.data());
    const int e = m.entry(code);
    EXPECT_NEAR(m.r.XNMOL.XNFPMOL(1, e) * u(1) / m.r.XNMOL.XNMOL(1, e), 1, 1e-14) << code;
  }
}

TEST(nmolec, ground_level_departures_of_hydrogen_below_9000_K) {
  // Below 9000 K the H I partition function is its ground level, 2 b1: the correction
  // (U_LTE / U) b1 is then 1 whatever b1, and the balance of H2 is that of LTE. IFNLTE ends at 0.
  SmallRun lte(list_card(1.0) + list_card(101.0, 4.478), {{4000, 1e5}});
  nmolec(lte.r);
  SmallRun nlte(list_card(1.0) + list_card(101.0, 4.478), {{4000, 1e5}});
  nlte.r.BHYD.BHYD(1, 1) = 3.0;
  nlte.r.IF.IFNLTE = 1;
  nmolec(nlte.r);
  EXPECT_DOUBLE_EQ(nlte.r.XNMOL.XNMOL(1, 2), lte.r.XNMOL.XNMOL(1, 2));
  EXPECT_EQ(nlte.r.IF.IFNLTE, 0);
  // The number density over partition function of the atom sees the departure: U = 2 b1.
  EXPECT_NEAR(nlte.r.XNMOL.XNFPMOL(1, 1) * 6 / nlte.r.XNMOL.XNMOL(1, 1), 1, 1e-14);
}

TEST(nmolec, failures_name_the_depth) {
  {  // No molecule list in force.
    SmallRun m("", {{4000, 1e5}});
    try {
      nmolec(m.r);
      ADD_FAILURE() << "no list accepted";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
      EXPECT_NE(std::string(e.what()).find("no molecule list"), std::string::npos) << e.what();
      EXPECT_NE(m.listing.str().find("\n NO MOLECULE LIST\n"), std::string::npos);
    }
  }
  {  // A bound of one Newton pass: the second depth cannot converge from the first one's start.
    SmallRun m(list_card(1.0) + list_card(1.01) + list_card(101.0, 4.478),
               {{4000, 1e5}, {4100, 1.2e5}});
    try {
      nmolec(m.r, 1);
      ADD_FAILURE() << "converged in one pass";
    } catch (const atmo_error& e) {
      EXPECT_EQ(e.status(), EXIT_FAILURE_REPORTED);
      EXPECT_NE(
          std::string(e.what()).find("does not converge within 1 Newton passes at depth J = 1"),
          std::string::npos)
          << e.what();
      EXPECT_NE(m.listing.str().find("\n MOLECULAR EQUILIBRIUM DOES NOT CONVERGE AT DEPTH  1\n"),
                std::string::npos);
      // The species most likely at fault: the one of the largest equilibrium constant.
      EXPECT_NE(
          std::string(e.what()).find("that of molecule list 'fort.2' card 3 (species 101.00)"),
          std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
}  // namespace atmotab
