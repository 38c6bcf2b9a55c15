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

namespace {

// The partition function at depth J between P1 and P2, points IT and IT + 1 of the row (DT beyond
// point IT; KS the scale digit of the word holding point IT), with the floors below and the tail
// of weight G above. TS, IP and POTLO as in pftable.
[[gnu::always_inline]] inline double pftable_finish(const Run& run, int j, int iz, int ion,
                                                    double ts, int it, double dt, double p1,
                                                    double p2, int ks, int g, double ip,
                                                    double potlo) {
  const double t = run.TEMP.T(j);
  // Below the first point the extrapolation may not fall under the ground weight, recognised as
  // a first value that the second rounds to.
  double pmin = 1;
  if (it % 2 == 1 && dt < 0 && ks <= 1 && static_cast<int>(p1) == static_cast<int>(p2 + 0.5))
    pmin = static_cast<int>(p1);
  double part = std::max(pmin, p1 + (p2 - p1) * dt);
  if (t < 2 * ts) return std::max(pfground(run, 6 * (iz - 1) + ion, t), part);

  if (g == 0 || potlo < POTLO_MIN_TAIL || t < 4 * ts) return part;
  const double tv = t > 11 * ts ? ts * KT_AT_11TS : run.TEMP.TKEV(j);
  return part + pf_tail(ion, g, ip, potlo, tv, TAIL_D2 / tv);
}

// Ts = IP * 2000 / 11 [K] (IP in eV), multiplied then divided: folding 2000/11 into one constant
// changes the last bit of Ts for about a third of the potentials.
double pftable_ts(double ip) { return ip * 2000 / 11; }

// Interval IT = 1..9 of the row at temperature T and the position DT within it (negative below
// the first point, beyond 1 above the last).
struct Interval {
  int it;
  double dt;
};
Interval pftable_interval(double t, double ts) {
  const double u = t / ts - 0.5;
  // Clamped before the conversion, which a temperature millions of times Ts would overflow.
  const int it = static_cast<int>(std::clamp(u, 1.0, 9.0));
  return {it, u - it};
}

}  // namespace

double pftable(const Run& run, int j, int iz, int ion, int row, const SahaWork& w) {
  const Arr<int, 6, 365>& tab = run.PFTAB.IPFTAB;
  const double ts = pftable_ts(w.IP(ion));
  const Interval x = pftable_interval(run.TEMP.T(j), ts);
  const int i = (x.it + 1) / 2;
  const Packed wi = unpack(tab(i, row));
  double p1, p2;
  if (x.it % 2 == 1) {
    p1 = wi.k1 * SCALE[wi.ks - 1];
    p2 = wi.k2 * SCALE[wi.ks - 1];
  } else {
    const Packed wn = unpack(tab(i + 1, row));
    p1 = wi.k2 * SCALE[wi.ks - 1];
    p2 = wn.k1 * SCALE[wn.ks - 1];
  }
  return pftable_finish(run, j, iz, ion, ts, x.it, x.dt, p1, p2, wi.ks, tab(6, row) % 100,
                        w.IP(ion), w.POTLO(ion));
}

void pftable_depths(const Run& run, int iz, int ion, int row, double ip, const double* potlow,
                    double* u) {
  const Arr<int, 6, 365>& tab = run.PFTAB.IPFTAB;
  // The ten points of the row and the scale digit of the word holding each: point 2i - 1 is K1
  // and point 2i is K2 of word i.
  double point[11];
  int ks[11];
  for (int i = 1; i <= 5; ++i) {
    const Packed w = unpack(tab(i, row));
    point[2 * i - 1] = w.k1 * SCALE[w.ks - 1];
    point[2 * i] = w.k2 * SCALE[w.ks - 1];
    ks[2 * i - 1] = ks[2 * i] = w.ks;
  }
  const int g = tab(6, row) % 100;
  const double ts = pftable_ts(ip);
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const Interval x = pftable_interval(run.TEMP.T(j), ts);
    u[j - 1] = pftable_finish(run, j, iz, ion, ts, x.it, x.dt, point[x.it], point[x.it + 1],
                              ks[x.it], g, ip, potlow[j - 1] * ion);
  }
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
