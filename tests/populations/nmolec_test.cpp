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
#include <vector>

#include "common/error.h"
#include "input/readmol.h"
#include "model_fixture.h"
#include "molecules_fixture.h"
#include "populations/pfsaha.h"

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

}  // namespace
}  // namespace atmotab
