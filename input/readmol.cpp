// readmol — the molecule list of unit 2 (READ MOLECULES card): one card per species with its code
// and the seven coefficients of its equilibrium constant, read with the layout (F18.2,F7.3,6E11.4),
// and the equation set-up of the molecular equilibrium built from the species' components.
// A code is the atomic numbers of the species' atoms, two digits each, most significant first
// (106 is CH, 10108 H2O; a pair 00 is an extra electron, 100 is H-minus), and its two decimals
// count positive charges (106.01 is CH+). Component numbers while reading: 1..99 atoms, 100 an
// electron, 101 a positive charge.
// Output: CODEMOL, NUMMOL (XNMOL record); IFEQUA, KCOMPS, LOCJ, EQUIL, IDEQUA, NEQUA, NLOC.
// Limits: 200 entries, 600 component slots, 30 equations; beyond them nothing is stored and the
// run stops with a message (status 1). A card whose code is 0 (a blank card) ends the list; so
// does the end of the file. A code below 1 other than 0, or of more than eight pairs, names no
// species and stops the run with a message naming the card (status 1); so does a species listed
// twice (it would count twice in every conservation law). A run (READ MOLECULES) also refuses a
// list in which no species carries a charge (no electron equation: the electron density would
// stay at its starting guess).
#include "input/readmol.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fortio/error.h"
#include "fortio/fortran_read.h"
#include "input/freeff.h"

namespace atmotab {
namespace {

constexpr int NCOLUMNS = 91;   // card columns of the layout (F18.2,F7.3,6E11.4)
constexpr int NPAIRS = 8;      // two-digit pairs of a code (codes below 1e16)
constexpr int ELECTRON = 100;  // component number of an extra electron
constexpr int POSITIVE = 101;  // component number of a positive charge
// Place values of the pairs of a code, most significant first.
constexpr double XCODE[NPAIRS] = {1e14, 1e12, 1e10, 1e8, 1e6, 1e4, 1e2, 1};

struct Field {
  int first, width, decimals;  // first column (1-based), width, d of Fw.d / Ew.d
};
// Code F18.2, then E1 F7.3 and E2..E7 6E11.4.
constexpr Field FIELDS[8] = {{1, 18, 2},  {19, 7, 3},  {26, 11, 4}, {37, 11, 4},
                             {48, 11, 4}, {59, 11, 4}, {70, 11, 4}, {81, 11, 4}};

std::string where(const Run& run, int card_no) {
  return "molecule list '" + run.UNITS.molecules_name + "' card " + std::to_string(card_no);
}

[[noreturn]] void too_many(Run& run, int card_no, const std::string& what) {
  run.LISTING.print("('1TOO MANY MOLECULES')", {});
  throw atmo_error(EXIT_FAILURE_REPORTED, "readmol",
                   "TOO MANY MOLECULES: " + where(run, card_no) + ": " + what);
}

// The eight numbers of one card: code, E1..E7.
void read_fields(const Run& run, const std::string& line, int card_no, double (&v)[8]) {
  std::string text = line.substr(0, NCOLUMNS);
  text.resize(NCOLUMNS, ' ');
  for (int f = 0; f < 8; ++f) {
    const Field& fd = FIELDS[f];
    const std::string_view field(text.data() + fd.first - 1, static_cast<std::size_t>(fd.width));
    if (!fortran_read_real(field, fd.decimals, &v[f]))
      throw atmo_error(EXIT_IO, "readmol",
                       where(run, card_no) + ": columns " + std::to_string(fd.first) + "-" +
                           std::to_string(fd.first + fd.width - 1) + " ('" + std::string(field) +
                           "') hold no number");
  }
}

// Components of code C (atoms 1..99, ELECTRON for a 00 pair, then one POSITIVE per charge);
// false when C names no species.
bool components(double c, std::vector<int>& comps) {
  comps.clear();
  if (!(c >= 1) || c >= XCODE[0] * 100) return false;
  int ii = 0;
  while (XCODE[ii] > c) ++ii;
  double x = c;
  for (int k = ii; k < NPAIRS; ++k) {
    const int id = static_cast<int>(x / XCODE[k]);
    x -= id * XCODE[k];
    if (id < 0 || id > 99 || x < 0) return false;
    comps.push_back(id == 0 ? ELECTRON : id);
  }
  const int ion = static_cast<int>(x * 100 + 0.5);
  for (int i = 0; i < ion; ++i) comps.push_back(POSITIVE);
  return true;
}

// One line of the molecule list (card CARD_NO) into LINE; false at the end of the file. A line
// without an end within CARD_LINE_CHARS characters stops the run (status 2) naming the card.
bool readmol_line(const Run& run, std::istream& in, std::string& line, int card_no) {
  try {
    return read_bounded_line(in, line);
  } catch (const atmo_error& e) {
    throw atmo_error(EXIT_IO, "readmol", where(run, card_no) + ": " + e.what());
  }
}

// A species listed twice would count twice in every conservation law of the equilibrium: the
// code of entry JMOL (card CARD_NO, not yet stored) is refused when an earlier entry has it.
// Every card before the one that ends the list is an entry, so entry k is card k.
void readmol_check_duplicate(Run& run, int jmol, int card_no) {
  const double c = run.XNMOL.CODEMOL(jmol);
  for (int m = 1; m < jmol; ++m)
    if (run.XNMOL.CODEMOL(m) == c) {
      char code[40];
      std::snprintf(code, sizeof code, "%.2f", c);
      run.LISTING.print("(' SPECIES LISTED TWICE ON CARDS',I5,' AND',I5)", {m, card_no});
      throw atmo_error(EXIT_FAILURE_REPORTED, "readmol",
                       where(run, card_no) + ": species " + code + " is listed already on card " +
                           std::to_string(m) +
                           "; each species enters the equilibrium once (remove one of the cards)");
    }
}

// Without a species that carries a charge (an ion such as 1.01, or a code with an electron pair
// such as 100, H-minus) the list has no electron equation, and the equilibrium would leave the
// electron density of a model at its starting guess: a run refuses such a list (status 1).
void readmol_check_charge(Run& run) {
  const IfequaRec& Q = run.IFEQUA;
  if (Q.IDEQUA(Q.NEQUA) == ELECTRON || run.XNMOL.NUMMOL == 0) return;
  run.LISTING.print("(' NO CHARGED SPECIES IN THE MOLECULE LIST')", {});
  throw atmo_error(EXIT_FAILURE_REPORTED, "readmol",
                   "molecule list '" + run.UNITS.molecules_name + "': none of its " +
                       std::to_string(run.XNMOL.NUMMOL) +
                       " species carries a charge, so the equilibrium has no electron equation "
                       "and cannot give the electron density: list the ions (such as 1.01 for "
                       "H II, 26.01 for Fe II) or an electron species (100.00, H-minus)");
}

void print_summary(Run& run, int nummol, int nloc, int nequa) {
  run.LISTING.print(
      "(' MOLECULES  USED',I4,'  MAX',I4,/,' COMPONENTS USED',I4,'  MAX',I4,/,"
      "' EQUATIONS  USED',I4,'  MAX',I4)",
      {nummol, MAXMOL, nloc, MAXLOC, nequa, MAXEQUA});
}

}  // namespace

void readmol(Run& run, std::istream& in) {
  IfequaRec& Q = run.IFEQUA;
  XnmolRec& M = run.XNMOL;
  M.CODEMOL.fill(0);
  run.LISTING.print("('1MOLECULES INPUT')", {});
  Q.IFEQUA.fill(0);
  Q.IDEQUA.fill(0);
  Q.LOCJ(1) = 1;
  int kloc = 1;
  int jmol = 1;
  int card_no = 0;
  std::vector<int> comps;
  for (std::string line; readmol_line(run, in, line, card_no + 1);) {
    ++card_no;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    double v[8];
    read_fields(run, line, card_no, v);
    const double c = v[0];
    if (c == 0) break;
    if (jmol > MAXMOL) too_many(run, card_no, "more than " + std::to_string(MAXMOL) + " entries");
    run.LISTING.print("(I5,F18.2,F7.3,1P,6E11.4)",
                      {jmol, c, v[1], v[2], v[3], v[4], v[5], v[6], v[7]});
    M.CODEMOL(jmol) = c;
    readmol_check_duplicate(run, jmol, card_no);
    if (!components(c, comps)) {
      run.LISTING.print("(' NOT A SPECIES CODE ON CARD',I5)", {card_no});
      throw atmo_error(EXIT_FAILURE_REPORTED, "readmol",
                       where(run, card_no) + ": code " + std::to_string(c) +
                           " names no species (codes are 1 or more and below 1e16; 0 ends the "
                           "list)");
    }
    if (kloc + static_cast<int>(comps.size()) - 1 > MAXLOC)
      too_many(run, card_no, "more than " + std::to_string(MAXLOC) + " component slots");
    for (int comp : comps) {
      Q.KCOMPS(kloc++) = comp;
      Q.IFEQUA(comp) = 1;
    }
    if (comps.back() == POSITIVE) Q.IFEQUA(ELECTRON) = 1;
    Q.LOCJ(jmol + 1) = kloc;
    M.CODEMOL(jmol) = c;
    for (int k = 1; k <= 7; ++k) Q.EQUIL(k, jmol) = v[k];
    ++jmol;
  }
  if (in.bad())
    throw atmo_error(EXIT_IO, "readmol",
                     "read error in the molecule list '" + run.UNITS.molecules_name + "' (unit 2)");
  M.NUMMOL = jmol - 1;
  Q.NLOC = kloc - 1;

  int nequa = 1;
  for (int comp = 1; comp <= ELECTRON; ++comp)
    if (Q.IFEQUA(comp) != 0) ++nequa;
  if (nequa > MAXEQUA) {
    print_summary(run, M.NUMMOL, Q.NLOC, nequa);
    run.LISTING.print("(' TOO MANY EQUATIONS')", {});
    throw atmo_error(EXIT_FAILURE_REPORTED, "readmol",
                     "molecule list '" + run.UNITS.molecules_name + "': its species need " +
                         std::to_string(nequa) + " equations (one per element, the electron's " +
                         "and the particle count), more than the " + std::to_string(MAXEQUA) +
                         " the equilibrium holds");
  }
  Q.NEQUA = 1;
  for (int comp = 1; comp <= ELECTRON; ++comp) {
    if (Q.IFEQUA(comp) == 0) continue;
    Q.IFEQUA(comp) = ++Q.NEQUA;
    Q.IDEQUA(Q.NEQUA) = comp;
  }
  Q.IFEQUA(POSITIVE) = Q.NEQUA + 1;
  for (int i = 1; i <= Q.NLOC; ++i) Q.KCOMPS(i) = Q.IFEQUA(Q.KCOMPS(i));
  print_summary(run, M.NUMMOL, Q.NLOC, Q.NEQUA);
}

void readmol_unit2(Run& run) {
  std::error_code ec;
  std::ifstream in;
  if (!std::filesystem::is_directory(run.UNITS.molecules_name, ec))
    in.open(run.UNITS.molecules_name);
  if (!in.is_open())
    throw atmo_error(EXIT_IO, "readmol",
                     "cannot open the molecule list '" + run.UNITS.molecules_name +
                         "' (unit 2; name it with --molecules FILE)");
  readmol(run, in);
  readmol_check_charge(run);
}

}  // namespace atmotab
