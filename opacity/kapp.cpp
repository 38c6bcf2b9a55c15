// kapp — the opacity driver. No physics here: the sources compute, kapp clears, calls and sums.
//
// Two tables drive it. ROUTINES gives, for each of the twenty positions of IFOP, the source routine
// that runs when the switch is 1 (any other value is off); positions 14..20 (hydrogen lines, lines,
// line scattering and the four extra-opacity hooks) run nothing in this program, so their arrays
// keep the 0 of the clearing step. kapp_rows lists the arrays each routine fills and the totals
// they enter.
//
// The totals, for each of the continuum and the lines:
//   absorption      A = G + A1 + A2 + ...             (left to right)
//   source function S = (G BNU + A1 S1 + A2 S2 + ...) / A   where A > 0, else BNU
//   scattering      SIG = SIG1 + SIG2 + ...
// where G = sum of the LTE absorbers (source function BNU), formed first in row order, and A1,
// A2, ... are the other absorbers in row order. Only the grouping fixes the rounding: the first
// sum G + A1 is the same number as A1 + G.
#include "opacity/kapp.h"

#include <algorithm>
#include <cstring>

#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/coolop.h"
#include "opacity/coolop_cache.h"  // AMOLEC, the cool block's molecular absorption
#include "opacity/elecop.h"
#include "opacity/h2op.h"
#include "opacity/he1op.h"
#include "opacity/he2op.h"
#include "opacity/hemiop.h"
#include "opacity/heraop.h"
#include "opacity/hminop.h"
#include "opacity/hop.h"
#include "opacity/hotop.h"
#include "opacity/hrayop.h"
#include "opacity/kapp_cache.h"
#include "opacity/lukeop.h"

namespace atmotab {
namespace {

// The source routine of each switch, indexed by switch position - 1; nullptr runs nothing.
constexpr void (*ROUTINES[NIFOP])(Run&) = {
    hop,   h2plop, hminop, hrayop,  he1op,   he2op,   hemiop,  heraop,  coolop,  lukeop,
    hotop, elecop, h2raop, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

void clear(Dep* a, int n) {
  if (a != nullptr)
    for (int j = 1; j <= n; ++j) (*a)(j) = 0.0;
}

// The arrays of the rows that enter one total, in row order.
struct Terms {
  const double* lte[NOPACITY_ROWS];        // LTE absorbers (source function BNU)
  const double* absorber[NOPACITY_ROWS];   // the other absorbers ...
  const double* source[NOPACITY_ROWS];     // ... and their source functions
  const double* scatterer[NOPACITY_ROWS];  // scatterers
  int nlte = 0, nabs = 0, nscat = 0;
  bool absorber_left_out = false, scatterer_left_out = false;  // rows of switches that are off
};

// The terms of TOTAL; with ON given, only the rows whose switch is on (ON[I] for switch I).
Terms terms_of(const std::array<OpacityRow, NOPACITY_ROWS>& rows, OpacityTotal total,
               const Dep* BNU, const bool* on) {
  Terms t;
  for (const OpacityRow& r : rows) {
    if (r.total != total) continue;
    if (on != nullptr && !on[r.ifop]) {
      t.absorber_left_out |= r.absorption != nullptr;
      t.scatterer_left_out |= r.scattering != nullptr;
      continue;
    }
    if (r.absorption != nullptr && r.source == BNU) {
      t.lte[t.nlte++] = r.absorption->data();
    } else if (r.absorption != nullptr) {
      t.absorber[t.nabs] = r.absorption->data();
      t.source[t.nabs++] = r.source->data();
    }
    if (r.scattering != nullptr) t.scatterer[t.nscat++] = r.scattering->data();
  }
  return t;
}

// The totals of the terms T at the depths of one block: V holds the values of W consecutive depths
// (a vector of W doubles, or one double), starting at index J of every array. Each sum is formed
// left to right from its first term, element by element: A = G + A1 + A2 + ..., S = G BNU + A1 S1
// + ..., SIG = SIG1 + SIG2 + ..., G (the sum of the LTE absorbers) formed first. A row left out
// because its switch is off holds +0 (kapp has cleared it), and adding +0 to a sum changes nothing
// but a -0 into +0: each sum that left out a row takes one + 0 at the end instead (BNU, by which G
// is multiplied, is finite). Then S / A where A > 0, else BNU (the division by 1 in place of
// A <= 0 keeps the block free of a conditional division).
template <class V>
inline void sum_block(const Terms& t, const double* bnu, int j, double* a_out, double* s_out,
                      double* sig_out) {
  // Loads and stores by reference only: a vector passed by value would change the calling
  // convention between the processor versions of the caller.
  auto load = [j](V& v, const double* p) { std::memcpy(&v, p + j, sizeof v); };
  auto store = [j](double* p, const V& v) { std::memcpy(p + j, &v, sizeof v); };
  const V zero{};
  V a = zero, s = zero, sig = zero, x = zero, y = zero;
  int k0 = 0;
  if (t.nlte > 0) {
    V g;
    load(g, t.lte[0]);
    for (int k = 1; k < t.nlte; ++k) {
      load(x, t.lte[k]);
      g += x;
    }
    load(y, bnu);
    a = g;
    s = g * y;
  } else if (t.nabs > 0) {
    load(a, t.absorber[0]);
    load(y, t.source[0]);
    s = a * y;
    k0 = 1;
  }
  for (int k = k0; k < t.nabs; ++k) {
    load(x, t.absorber[k]);
    load(y, t.source[k]);
    a += x;
    s += x * y;
  }
  if (t.nscat > 0) {
    load(sig, t.scatterer[0]);
    for (int k = 1; k < t.nscat; ++k) {
      load(x, t.scatterer[k]);
      sig += x;
    }
  }
  const bool absorption = t.nlte > 0 || t.nabs > 0;
  if (absorption && t.absorber_left_out) {
    a += 0.0;
    s += 0.0;
  }
  if (t.nscat > 0 && t.scatterer_left_out) sig += 0.0;
  const V one = zero + 1.0;
  const V q = s / (a > 0.0 ? a : one);
  load(y, bnu);
  s = a > 0.0 ? q : y;
  store(a_out, a);
  store(s_out, s);
  store(sig_out, sig);
}

using V4 = double __attribute__((vector_size(32)));

// The absorption A, source function S and scattering SIG of the terms T at depths 1..N: four
// depths at a time, the rest one by one (the same operations on every element).
ATMOTAB_VECTOR_CLONES void sum_terms(const Terms& t, const Dep& BNU, int n, Dep& A, Dep& S,
                                     Dep& SIG) {
  int j = 0;
  for (; j + 4 <= n; j += 4) sum_block<V4>(t, BNU.data(), j, A.data(), S.data(), SIG.data());
  for (; j < n; ++j) sum_block<double>(t, BNU.data(), j, A.data(), S.data(), SIG.data());
}

// The totals of OPTOT from the source arrays named by ROWS (with ON: of the switches that are on).
void totals(Run& run, const std::array<OpacityRow, NOPACITY_ROWS>& rows, const bool* on) {
  const int n = run.RHOX.NRHOX;
  const Dep& BNU = run.FREQ.BNU;
  OptotRec& t = run.OPTOT;
  sum_terms(terms_of(rows, OpacityTotal::Continuum, &BNU, on), BNU, n, t.ACONT, t.SCONT, t.SIGMAC);
  sum_terms(terms_of(rows, OpacityTotal::Line, &BNU, on), BNU, n, t.ALINE, t.SLINE, t.SIGMAL);
}

// ON[I]: switch I = 1..NIFOP is on.
struct SwitchesOn {
  bool on[NIFOP + 1] = {};
};
SwitchesOn switches_on(const Run& run) {
  SwitchesOn s;
  for (int i = 1; i <= NIFOP; ++i) s.on[i] = run.IF.IFOP(i) == 1;
  return s;
}

}  // namespace

std::array<OpacityRow, NOPACITY_ROWS> kapp_rows(Run& run) {
  constexpr OpacityTotal C = OpacityTotal::Continuum, L = OpacityTotal::Line,
                         NONE = OpacityTotal::None;
  BhydRec& h = run.BHYD;
  BheRec& he = run.BHE;
  OpsRec& o = run.OPS;
  Dep* const BNU = &run.FREQ.BNU;
  // In switch order, except that the extra continuum absorption (XCONT) takes its place in the
  // continuum sums right after H-minus.
  // clang-format off
  return {{
      // switch       totals  absorption      source function  scattering
      {IFOP_H1,       C,      &h.AHYD,        &h.SHYD,         nullptr},
      {IFOP_H2PLUS,   C,      &h.AH2P,        BNU,             nullptr},
      {IFOP_HMINUS,   C,      &h.AHMIN,       &h.SHMIN,        nullptr},
      {IFOP_XCONT,    C,      &o.AXCONT,      &o.SXCONT,       nullptr},
      {IFOP_HRAY,     C,      nullptr,        nullptr,         &h.SIGH},
      {IFOP_HE1,      C,      &he.AHE1,       &he.SHE1,        nullptr},
      {IFOP_HE2,      C,      &he.AHE2,       &he.SHE2,        nullptr},
      {IFOP_HEMINUS,  C,      &he.AHEMIN,     BNU,             nullptr},
      {IFOP_HERAY,    C,      nullptr,        nullptr,         &he.SIGHE},
      {IFOP_COOL,     C,      &run.BC.AC1,    &run.BC.SC1,     nullptr},
      {IFOP_COOL,     C,      &run.BMG.AMG1,  &run.BMG.SMG1,   nullptr},
      {IFOP_COOL,     C,      &run.BAL.AAL1,  &run.BAL.SAL1,   nullptr},
      {IFOP_COOL,     C,      &run.BSI.ASI1,  &run.BSI.SSI1,   nullptr},
      {IFOP_COOL,     C,      &run.BFE.AFE1,  &run.BFE.SFE1,   nullptr},
      // H2 collision-induced, CH and OH absorption per gram, with the LTE absorbers (source
      // function BNU); ACOOL, the block's own sum, enters no total.
      {IFOP_COOL,     C,      &coolop_cache(run).AMOLEC, BNU,   nullptr},
      {IFOP_COOL,     NONE,   &o.ACOOL,       nullptr,         nullptr},
      {IFOP_LUKE,     C,      &o.ALUKE,       BNU,             nullptr},
      {IFOP_HOT,      C,      &o.AHOT,        BNU,             nullptr},
      {IFOP_ELECTRON, C,      nullptr,        nullptr,         &o.SIGEL},
      {IFOP_H2RAY,    C,      nullptr,        nullptr,         &h.SIGH2},
      {IFOP_HLINES,   L,      &h.AHLINE,      &h.SHLINE,       nullptr},
      {IFOP_LINES,    L,      &o.ALINES,      BNU,             nullptr},
      {IFOP_LINESCAT, L,      nullptr,        nullptr,         &o.SIGLIN},
      {IFOP_XLINES,   L,      &o.AXLINE,      &o.SXLINE,       nullptr},
      {IFOP_XLSCAT,   L,      nullptr,        nullptr,         &o.SIGXL},
      {IFOP_XSCAT,    C,      nullptr,        nullptr,         &o.SIGX},
  }};
  // clang-format on
}

const char* kapp_switch_name(int i) { return IFOP_NAMES[i - 1].data(); }

void kapp(Run& run, int N, int& NSTEPS, double& STEPWT) {
  (void)N;  // one sub-step per frequency: N = 1 is the whole evaluation
  NSTEPS = 1;
  STEPWT = 1.0;
  const int n = run.RHOX.NRHOX;
  const std::array<OpacityRow, NOPACITY_ROWS> rows = kapp_rows(run);
  const SwitchesOn on = switches_on(run);
  // The arrays of a switch that is on are cleared at every call (its routine may leave depths or
  // frequencies unwritten); those of a switch that is off once, at the first call after it went off
  // (or the model grew deeper), since only its routine writes them and the totals leave them out.
  Arr<int, NIFOP>& cleared = kapp_cache(run).NCLEAR;
  for (const OpacityRow& r : rows) {
    if (!on.on[r.ifop] && cleared(r.ifop) >= n) continue;
    clear(r.absorption, n);
    if (r.source != &run.FREQ.BNU) clear(r.source, n);
    clear(r.scattering, n);
  }
  for (int i = 1; i <= NIFOP; ++i) cleared(i) = on.on[i] ? 0 : std::max(cleared(i), n);
  for (int i = 1; i <= NIFOP; ++i)
    if (on.on[i] && ROUTINES[i - 1] != nullptr) ROUTINES[i - 1](run);
  totals(run, rows, on.on);
}

void kapp_totals(Run& run) { totals(run, kapp_rows(run), nullptr); }

void kapp_totals_of_switches_on(Run& run) { totals(run, kapp_rows(run), switches_on(run).on); }

}  // namespace atmotab
