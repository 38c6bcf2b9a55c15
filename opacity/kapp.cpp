// kapp — the opacity driver. No physics here: the sources compute, kapp clears, calls and sums.
//
// One table drives it (SOURCES): for each of the twenty switches of IFOP, the source routine that
// runs when the switch is 1 (any other value is off) and the arrays it writes, each with the way
// the totals take it. The switches of the lines, line scattering and the extra-opacity hooks other
// than XCONT run nothing in this program, so their arrays keep the 0 of the clearing step; XCONT
// runs xcont (the modern metal photoionization).
//
// The totals, for each of the continuum and the lines:
//   absorption      A = G + A1 + A2 + ...             (left to right)
//   source function S = (G BNU + A1 S1 + A2 S2 + ...) / A   where A > 0, else BNU
//   scattering      SIG = SIG1 + SIG2 + ...
// where G = sum of the LTE absorbers (source function BNU), formed first in table order, and A1,
// A2, ... are the other absorbers in table order. Only the grouping fixes the rounding: the first
// sum G + A1 is the same number as A1 + G.
#include "opacity/kapp.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/coolop.h"
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
#include "opacity/xcont.h"

namespace atmotab {
namespace {

void clear(Dep& a, int n) {
  for (int j = 1; j <= n; ++j) a(j) = 0.0;
}

// The field ARRAY of the record RECORD of a run.
template <auto RECORD, auto ARRAY>
Dep& at(Run& run) {
  return (run.*RECORD).*ARRAY;
}

constexpr auto BHYD = &Run::BHYD;
constexpr auto BHE = &Run::BHE;
constexpr auto OPS = &Run::OPS;

// A row of the table from its arrays (at most MAX_SOURCE_ARRAYS).
constexpr OpacitySource row(int ifop, void (*routine)(Run&),
                            std::initializer_list<SourceArray> arrays) {
  OpacitySource s{ifop, routine, {}, 0};
  for (const SourceArray& a : arrays) s.arrays.at(s.count++) = a;
  return s;
}

constexpr OpacityTerm LTE = OpacityTerm::ContinuumLte, ABS = OpacityTerm::ContinuumAbsorber,
                      SCAT = OpacityTerm::ContinuumScatterer, LINE_LTE = OpacityTerm::LineLte,
                      LINE_ABS = OpacityTerm::LineAbsorber, LINE_SCAT = OpacityTerm::LineScatterer,
                      NO_TOTAL = OpacityTerm::NoTotal;

// The sources in switch order, except that the extra continuum absorption (XCONT) takes its place
// in the continuum sums right after H-minus. Each array: how the totals take it, the array, and
// for an absorber with a source function of its own, that source function.
// clang-format off
constexpr std::array<OpacitySource, NIFOP> SOURCES = {
  row(IFOP_H1,       hop,     {{ABS, at<BHYD, &BhydRec::AHYD>, at<BHYD, &BhydRec::SHYD>}}),
  row(IFOP_H2PLUS,   h2plop,  {{LTE, at<BHYD, &BhydRec::AH2P>}}),
  row(IFOP_HMINUS,   hminop,  {{ABS, at<BHYD, &BhydRec::AHMIN>, at<BHYD, &BhydRec::SHMIN>}}),
  row(IFOP_XCONT,    xcont,   {{ABS, at<OPS, &OpsRec::AXCONT>, at<OPS, &OpsRec::SXCONT>}}),
  row(IFOP_HRAY,     hrayop,  {{SCAT, at<BHYD, &BhydRec::SIGH>}}),
  row(IFOP_HE1,      he1op,   {{ABS, at<BHE, &BheRec::AHE1>, at<BHE, &BheRec::SHE1>}}),
  row(IFOP_HE2,      he2op,   {{ABS, at<BHE, &BheRec::AHE2>, at<BHE, &BheRec::SHE2>}}),
  row(IFOP_HEMINUS,  hemiop,  {{LTE, at<BHE, &BheRec::AHEMIN>}}),
  row(IFOP_HERAY,    heraop,  {{SCAT, at<BHE, &BheRec::SIGHE>}}),
  row(IFOP_COOL,     coolop,  {{ABS, at<&Run::BC, &BcRec::AC1>, at<&Run::BC, &BcRec::SC1>},
                               {ABS, at<&Run::BMG, &BmgRec::AMG1>, at<&Run::BMG, &BmgRec::SMG1>},
                               {ABS, at<&Run::BAL, &BalRec::AAL1>, at<&Run::BAL, &BalRec::SAL1>},
                               {ABS, at<&Run::BSI, &BsiRec::ASI1>, at<&Run::BSI, &BsiRec::SSI1>},
                               {ABS, at<&Run::BFE, &BfeRec::AFE1>, at<&Run::BFE, &BfeRec::SFE1>},
                               {LTE, coolop_molecular},
                               {NO_TOTAL, at<OPS, &OpsRec::ACOOL>}}),
  row(IFOP_LUKE,     lukeop,  {{LTE, at<OPS, &OpsRec::ALUKE>}}),
  row(IFOP_HOT,      hotop,   {{LTE, at<OPS, &OpsRec::AHOT>}}),
  row(IFOP_ELECTRON, elecop,  {{SCAT, at<OPS, &OpsRec::SIGEL>}}),
  row(IFOP_H2RAY,    h2raop,  {{SCAT, at<BHYD, &BhydRec::SIGH2>}}),
  row(IFOP_HLINES,   nullptr, {{LINE_ABS, at<BHYD, &BhydRec::AHLINE>, at<BHYD, &BhydRec::SHLINE>}}),
  row(IFOP_LINES,    nullptr, {{LINE_LTE, at<OPS, &OpsRec::ALINES>}}),
  row(IFOP_LINESCAT, nullptr, {{LINE_SCAT, at<OPS, &OpsRec::SIGLIN>}}),
  row(IFOP_XLINES,   nullptr, {{LINE_ABS, at<OPS, &OpsRec::AXLINE>, at<OPS, &OpsRec::SXLINE>}}),
  row(IFOP_XLSCAT,   nullptr, {{LINE_SCAT, at<OPS, &OpsRec::SIGXL>}}),
  row(IFOP_XSCAT,    nullptr, {{SCAT, at<OPS, &OpsRec::SIGX>}}),
};
// clang-format on

// Every switch has exactly one row. (That an absorber names its source function exactly when it
// has one of its own is checked by the tests: a comparison of function addresses is no constant
// expression for every compiler setting, the sanitizers' among them.)
constexpr bool well_formed(const std::array<OpacitySource, NIFOP>& sources) {
  std::array<int, NIFOP + 1> rows{};
  for (const OpacitySource& s : sources)
    if (s.ifop < 1 || s.ifop > NIFOP || ++rows.at(s.ifop) > 1) return false;
  return true;
}
static_assert(well_formed(SOURCES));

// The largest number of terms that one total can have.
constexpr int MAX_TERMS = NIFOP * MAX_SOURCE_ARRAYS;

// The arrays of the rows that enter one total, in table order.
struct Terms {
  const double* lte[MAX_TERMS];        // LTE absorbers (source function BNU)
  const double* absorber[MAX_TERMS];   // the other absorbers ...
  const double* source[MAX_TERMS];     // ... and their source functions
  const double* scatterer[MAX_TERMS];  // scatterers
  int nlte = 0, nabs = 0, nscat = 0;
  bool absorber_left_out = false, scatterer_left_out = false;  // rows of switches that are off
};

// The terms of the continuum (C) and line (L) totals; with ON given, only of the rows whose switch
// is on (ON[I] for switch I).
void terms_of(Run& run, const bool* on, Terms& c, Terms& l) {
  for (const OpacitySource& s : SOURCES) {
    const bool left_out = on != nullptr && !on[s.ifop];
    for (const SourceArray& a : s.written()) {
      const OpacityTotal total = total_of(a.term);
      if (total == OpacityTotal::None) continue;
      Terms& t = total == OpacityTotal::Continuum ? c : l;
      if (left_out) {
        t.absorber_left_out |= !is_scatterer(a.term);
        t.scatterer_left_out |= is_scatterer(a.term);
      } else if (is_scatterer(a.term)) {
        t.scatterer[t.nscat++] = a.array(run).data();
      } else if (a.source == nullptr) {
        t.lte[t.nlte++] = a.array(run).data();
      } else {
        t.absorber[t.nabs] = a.array(run).data();
        t.source[t.nabs++] = a.source(run).data();
      }
    }
  }
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
ATMOTAB_KERNEL void sum_terms(const Terms& t, const Dep& BNU, int n, Dep& A, Dep& S, Dep& SIG) {
  int j = 0;
  for (; j + 4 <= n; j += 4) sum_block<V4>(t, BNU.data(), j, A.data(), S.data(), SIG.data());
  for (; j < n; ++j) sum_block<double>(t, BNU.data(), j, A.data(), S.data(), SIG.data());
}

// The totals of OPTOT from the arrays of the table (with ON: of the switches that are on).
void totals(Run& run, const bool* on) {
  const int n = run.RHOX.NRHOX;
  const Dep& BNU = run.FREQ.BNU;
  OptotRec& t = run.OPTOT;
  Terms continuum, line;
  terms_of(run, on, continuum, line);
  vectorised<sum_terms>(run.VECTORS, continuum, BNU, n, t.ACONT, t.SCONT, t.SIGMAC);
  vectorised<sum_terms>(run.VECTORS, line, BNU, n, t.ALINE, t.SLINE, t.SIGMAL);
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

const std::array<OpacitySource, NIFOP>& kapp_sources() { return SOURCES; }

const char* kapp_switch_name(int i) { return IFOP_NAMES[i - 1].data(); }

void kapp(Run& run, int N, int& NSTEPS, double& STEPWT) {
  (void)N;  // one sub-step per frequency: N = 1 is the whole evaluation
  NSTEPS = 1;
  STEPWT = 1.0;
  const int n = run.RHOX.NRHOX;
  const SwitchesOn on = switches_on(run);
  // The arrays of a switch that is on are cleared at every call (its routine may leave depths or
  // frequencies unwritten); those of a switch that is off once, at the first call after it went off
  // (or the model grew deeper), since only its routine writes them and the totals leave them out.
  Arr<int, NIFOP>& cleared = kapp_cache(run).NCLEAR;
  for (const OpacitySource& s : SOURCES) {
    const bool on_now = on.on[s.ifop];
    if (on_now || cleared(s.ifop) < n) {
      for (const SourceArray& a : s.written()) {
        clear(a.array(run), n);
        if (a.source != nullptr) clear(a.source(run), n);
      }
    }
    cleared(s.ifop) = on_now ? 0 : std::max(cleared(s.ifop), n);
  }
  for (const OpacitySource& s : SOURCES)
    if (on.on[s.ifop] && s.routine != nullptr) s.routine(run);
  totals(run, on.on);
}

void kapp_totals(Run& run) { totals(run, nullptr); }

void kapp_totals_of_switches_on(Run& run) { totals(run, switches_on(run).on); }

}  // namespace atmotab
