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

#include "common/state.h"
#include "opacity/elecop.h"
#include "opacity/hrayop.h"
#include "opacity/pending_sources.h"

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

// Sets TOTAL(J) to the first term X(J) of a sum, or adds X(J) to it (J = 1..N).
void add(Dep& total, bool& started, const Dep& x, int n) {
  if (started) {
    for (int j = 1; j <= n; ++j) total(j) += x(j);
  } else {
    for (int j = 1; j <= n; ++j) total(j) = x(j);
    started = true;
  }
}

// The same for the term A(J) S(J).
void add_product(Dep& total, bool& started, const Dep& a, const Dep& s, int n) {
  if (started) {
    for (int j = 1; j <= n; ++j) total(j) += a(j) * s(j);
  } else {
    for (int j = 1; j <= n; ++j) total(j) = a(j) * s(j);
    started = true;
  }
}

// The absorption A, source function S and scattering SIG of the rows that enter TOTAL.
void sum_rows(const std::array<OpacityRow, NOPACITY_ROWS>& rows, OpacityTotal total, const Dep& BNU,
              int n, Dep& A, Dep& S, Dep& SIG) {
  Dep G;
  bool lte = false, absorption = false, source = false, scattering = false;
  for (const OpacityRow& r : rows)
    if (r.total == total && r.absorption != nullptr && r.source == &BNU)
      add(G, lte, *r.absorption, n);
  if (lte) {
    add(A, absorption, G, n);
    add_product(S, source, G, BNU, n);
  }
  for (const OpacityRow& r : rows) {
    if (r.total != total) continue;
    if (r.absorption != nullptr && r.source != &BNU) {
      add(A, absorption, *r.absorption, n);
      add_product(S, source, *r.absorption, *r.source, n);
    }
    if (r.scattering != nullptr) add(SIG, scattering, *r.scattering, n);
  }
  if (!absorption) clear(&A, n);
  if (!scattering) clear(&SIG, n);
  for (int j = 1; j <= n; ++j) S(j) = A(j) > 0.0 ? S(j) / A(j) : BNU(j);
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
  for (const OpacityRow& r : kapp_rows(run)) {
    clear(r.absorption, n);
    if (r.source != &run.FREQ.BNU) clear(r.source, n);
    clear(r.scattering, n);
  }
  for (int i = 1; i <= NIFOP; ++i)
    if (run.IF.IFOP(i) == 1 && ROUTINES[i - 1] != nullptr) ROUTINES[i - 1](run);
  kapp_totals(run);
}

void kapp_totals(Run& run) {
  const auto rows = kapp_rows(run);
  const int n = run.RHOX.NRHOX;
  OptotRec& t = run.OPTOT;
  sum_rows(rows, OpacityTotal::Continuum, run.FREQ.BNU, n, t.ACONT, t.SCONT, t.SIGMAC);
  sum_rows(rows, OpacityTotal::Line, run.FREQ.BNU, n, t.ALINE, t.SLINE, t.SIGMAL);
}

}  // namespace atmotab
