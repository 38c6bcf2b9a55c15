// pftable — partition functions of the ions without explicit level sums outside the iron group:
// interpolation in the packed table IPFTAB at ten temperatures, a ground-configuration floor
// (pfground) at low temperature and the high-level tail at high temperature.
// Sources: IPFTAB and the pfground level lists are built from NIST ASD levels (data/ipftab.txt,
//          data/pfground.txt, tools/make_atomic_tables.py).
// Inputs:  T(J) [K], TKEV(J) [eV], IP and POTLO of the stage [eV].
// Output:  partition function of the stage.
// Valid:   any T > 0. Below the first table point (1.5 Ts) and above the last (10.5 Ts) the table
//          is extrapolated linearly on purpose: downwards it never falls below 1 (nor below the
//          ground weight where the first two points agree), and below 2 Ts the ground-
//          configuration sum is a floor.
// Deviations from the source: none.
#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "populations/pfsaha.h"

namespace atmotab {
namespace {

// Scale of a packed value by the digit KS = 1..4 of its word.
constexpr double SCALE[4] = {0.001, 0.01, 0.1, 1.0};

constexpr double KT_AT_11TS = 0.000947881;  // kT [eV] at T = 11 Ts, per K of Ts
constexpr double TAIL_D2 = 0.1;             // first excluded level 0.1 eV below the limit
constexpr double POTLO_MIN_TAIL = 0.1;      // no tail for a lowering below 0.1 eV

struct Packed {
  int k1, k2, ks;
};
Packed unpack(int v) { return {v / 100000, (v % 100000) / 10, v % 10}; }

}  // namespace

double pftable(const Run& run, int j, int iz, int ion, int row, const SahaWork& w) {
  const Arr<int, 6, 365>& tab = run.PFTAB.IPFTAB;
  const double t = run.TEMP.T(j);
  // Ts = IP * 2000 / 11 [K] (IP in eV), multiplied then divided: folding 2000/11 into one
  // constant changes the last bit of Ts for about a third of the potentials.
  const double ts = w.IP(ion) * 2000 / 11;
  const double u = t / ts - 0.5;
  // Clamped before the conversion, which a temperature millions of times Ts would overflow.
  const int it = static_cast<int>(std::clamp(u, 1.0, 9.0));
  const double dt = u - it;
  const int i = (it + 1) / 2;
  const Packed wi = unpack(tab(i, row));
  double p1, p2;
  if (it % 2 == 1) {
    p1 = wi.k1 * SCALE[wi.ks - 1];
    p2 = wi.k2 * SCALE[wi.ks - 1];
  } else {
    const Packed wn = unpack(tab(i + 1, row));
    p1 = wi.k2 * SCALE[wi.ks - 1];
    p2 = wn.k1 * SCALE[wn.ks - 1];
  }
  // Below the first point the extrapolation may not fall under the ground weight, recognised as
  // a first value that the second rounds to.
  double pmin = 1;
  if (it % 2 == 1 && dt < 0 && wi.ks <= 1 && static_cast<int>(p1) == static_cast<int>(p2 + 0.5))
    pmin = static_cast<int>(p1);
  double part = std::max(pmin, p1 + (p2 - p1) * dt);
  if (t < 2 * ts) return std::max(pfground(run, 6 * (iz - 1) + ion, t), part);

  const int g = tab(6, row) % 100;
  if (g == 0 || w.POTLO(ion) < POTLO_MIN_TAIL || t < 4 * ts) return part;
  const double tv = t > 11 * ts ? ts * KT_AT_11TS : run.TEMP.TKEV(j);
  return part + pf_tail(ion, g, w.IP(ion), w.POTLO(ion), tv, TAIL_D2 / tv);
}

double pfground(const Run& run, int nelion, double t) {
  const Run::PftabRec& pf = run.PFTAB;
  // Ca..Ni (NELION 114..168) use the iron-group table; beyond Ba (336) no lists are kept.
  if (nelion < 1 || nelion > 336 || (nelion >= 114 && nelion <= 168)) return 1.0;
  const int first = pf.PFGLOC(nelion);
  const int last = pf.PFGLOC(nelion + 1) - 1;
  if (last < first) return pf.PFGW(nelion);
  double sum = 0;
  for (int l = first; l <= last; ++l) sum += pf.PFGG(l) * std::exp(-HC_K * pf.PFGE(l) / t);
  return sum;
}

}  // namespace atmotab
