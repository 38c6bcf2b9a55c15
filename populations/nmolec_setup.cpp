// The equation set-up of the molecular equilibrium, unpacked from the molecule list's records.
#include "populations/nmolec_setup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "fortio/error.h"
#include "populations/pfsaha.h"

namespace atmotab {

std::string nmolec_card(const Run& run, int m) {
  char code[40];
  std::snprintf(code, sizeof code, "%.2f", run.XNMOL.CODEMOL(m));
  return "molecule list '" + run.UNITS.molecules_name + "' card " + std::to_string(m) +
         " (species " + code + ")";
}

namespace {

constexpr double XAB_MIN = 1e-20;  // smallest abundance of an equation

// A species of D0 = 0 is an atom or an atomic ion: one element, and no more charges than the
// element's stages above the neutral one. Throws atmo_error (status 1) naming the card otherwise.
void nmolec_check_atom(const Run& run, int m, double whole, const MolSpecies& q) {
  if (!(whole >= 1 && whole <= NELEM))
    throw atmo_error(EXIT_FAILURE_REPORTED, "nmolec",
                     nmolec_card(run, m) +
                         ": D0 = 0 marks an atom or atomic ion, but the code names a molecule "
                         "(more than one two-digit pair); give its dissociation energy D0 [eV] "
                         "in columns 19-25");
  const int stages = pfsaha_nions(q.z);
  if (q.ncomp > stages)
    throw atmo_error(EXIT_FAILURE_REPORTED, "nmolec",
                     nmolec_card(run, m) + ": " + std::to_string(q.ncomp - 1) +
                         " positive charges, but element " + std::to_string(q.z) + " has " +
                         std::to_string(stages) + " stages in the partition functions (at most " +
                         std::to_string(stages - 1) + " charges)");
}

// A species of D0 != 0 is a molecule: its code names two or more atoms (two-digit pairs). A single
// element with a dissociation energy would enter the equilibrium as a "molecule" of one atom, bound
// by exp(D0/kT) to itself. Throws atmo_error (status 1) naming the card.
void nmolec_check_molecule(const Run& run, int m, double whole, const MolSpecies& q) {
  if (whole >= 100) return;
  char d0[32];
  std::snprintf(d0, sizeof d0, "%g", q.d0);
  throw atmo_error(EXIT_FAILURE_REPORTED, "nmolec",
                   nmolec_card(run, m) + ": D0 = " + d0 +
                       " eV marks a molecule, but the code names a single element (an atom or "
                       "atomic ion has D0 = 0 in columns 19-25)");
}

}  // namespace

const MolNlte MOL_NLTE[7] = {
    {1, [](const Run& r) { return &r.BHYD.BHYD(1, 1); }, 8},
    {6, [](const Run& r) { return &r.BC.BC1(1, 1); }, 14},
    {8, [](const Run& r) { return &r.BO.BO1(1, 1); }, 13},
    {12, [](const Run& r) { return &r.BMG.BMG1(1, 1); }, 11},
    {13, [](const Run& r) { return &r.BAL.BAL1(1, 1); }, 9},
    {14, [](const Run& r) { return &r.BSI.BSI1(1, 1); }, 11},
    {20, [](const Run& r) { return &r.BCA.BCA1(1, 1); }, 8},
};

MolSetup nmolec_unpack(const Run& run) {
  const IfequaRec& Q = run.IFEQUA;
  const XnmolRec& M = run.XNMOL;
  MolSetup s;
  s.nequa = Q.NEQUA;
  s.e = Q.IDEQUA(s.nequa) == MOL_ELECTRON ? s.nequa : 0;
  for (int k = 2; k <= s.nequa; ++k)
    s.xab(k) = k == s.e ? 0 : std::max(run.ELEM.XABUND(Q.IDEQUA(k)), XAB_MIN);
  s.slots.resize(static_cast<std::size_t>(Q.NLOC) + 1);
  for (int i = 1; i <= Q.NLOC; ++i) {
    const int k = Q.KCOMPS(i);
    const bool charge = k == s.nequa + 1;
    const int id = charge ? 0 : Q.IDEQUA(k);
    s.slots[static_cast<std::size_t>(i)] = {charge ? s.e : k, charge, id == MOL_ELECTRON ? 0 : id};
  }
  for (int m = 1; m <= M.NUMMOL; ++m) {
    MolSpecies q{};
    q.first = Q.LOCJ(m);
    q.ncomp = Q.LOCJ(m + 1) - Q.LOCJ(m);
    q.d0 = Q.EQUIL(1, m);
    const double code = M.CODEMOL(m);
    // The whole part of a code reaches 1e16 (eight pairs): split in doubles, never through int.
    const double whole = std::trunc(code);
    q.z = whole <= NELEM ? static_cast<int>(whole) : 0;
    q.ion = static_cast<int>((code - whole) * 100 + 0.5);
    q.kind = q.d0 != 0 ? MolKind::Molecule : q.ncomp == 1 ? MolKind::Atom : MolKind::AtomicIon;
    if (q.kind != MolKind::Molecule) nmolec_check_atom(run, m, whole, q);
    if (q.kind == MolKind::Molecule) nmolec_check_molecule(run, m, whole, q);
    q.h2 = code == 101;
    for (int i = q.first; i < q.first + q.ncomp; ++i) {
      const MolSlot& sl = s.slots[static_cast<std::size_t>(i)];
      if (!sl.charge && sl.eq == s.e && s.e != 0) ++q.electrons;
      if (sl.z > 0) q.mass += run.ELEM.ATMASS(sl.z);
    }
    s.species.push_back(q);
  }
  return s;
}

}  // namespace atmotab
