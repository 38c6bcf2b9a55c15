// The equation set-up of the molecular equilibrium, unpacked from the molecule list's records.
#include "populations/nmolec_setup.h"

#include <algorithm>

namespace atmotab {
namespace {

constexpr double XAB_MIN = 1e-20;  // smallest abundance of an equation

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
    q.z = static_cast<int>(code);
    q.ion = static_cast<int>((code - static_cast<int>(code)) * 100 + 0.5);
    q.kind = q.d0 != 0 ? MolKind::Molecule : q.ncomp == 1 ? MolKind::Atom : MolKind::AtomicIon;
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
