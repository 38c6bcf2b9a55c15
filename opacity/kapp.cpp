// kapp — the opacity driver. No physics here: the sources compute, kapp clears, calls and sums.
//
// The switch table below lists the twenty positions of IFOP in their fixed order. Positions 1..13
// name the source routine that runs when the switch is 1 (any other value is off); positions
// 14..20 (hydrogen lines, lines, line scattering and the four extra-opacity hooks) run nothing in
// this program, so their arrays keep the 0 of the clearing step.
#include "opacity/kapp.h"

#include "common/state.h"
#include "opacity/elecop.h"
#include "opacity/hrayop.h"
#include "opacity/pending_sources.h"

namespace atmotab {
namespace {

struct Source {
  const char* name;       // switch name, as the opacity-switch card spells it
  void (*routine)(Run&);  // the source, or nullptr where the switch runs nothing
};

// Indexed by switch position - 1.
constexpr Source SOURCES[NIFOP] = {
    {"H1", hop},         {"H2PLUS", h2plop},  {"HMINUS", hminop},  {"HRAY", hrayop},
    {"HE1", he1op},      {"HE2", he2op},      {"HEMINUS", hemiop}, {"HERAY", heraop},
    {"COOL", coolop},    {"LUKE", lukeop},    {"HOT", hotop},      {"ELECTRON", elecop},
    {"H2RAY", h2raop},   {"HLINES", nullptr}, {"LINES", nullptr},  {"LINESCAT", nullptr},
    {"XLINES", nullptr}, {"XLSCAT", nullptr}, {"XCONT", nullptr},  {"XSCAT", nullptr},
};

// Every array a source writes or a total reads, set to 0 for depths 1..NRHOX.
void kapp_clear(Run& r) {
  Dep* const cleared[] = {
      &r.BHYD.AHYD,  &r.BHYD.SHYD,   &r.BHYD.AH2P,   &r.BHYD.AHMIN, &r.BHYD.SHMIN, &r.BHYD.SIGH,
      &r.BHYD.SIGH2, &r.BHYD.AHLINE, &r.BHYD.SHLINE, &r.BHE.AHE1,   &r.BHE.SHE1,   &r.BHE.AHE2,
      &r.BHE.SHE2,   &r.BHE.AHEMIN,  &r.BHE.SIGHE,   &r.BC.AC1,     &r.BC.SC1,     &r.BMG.AMG1,
      &r.BMG.SMG1,   &r.BAL.AAL1,    &r.BAL.SAL1,    &r.BSI.ASI1,   &r.BSI.SSI1,   &r.BFE.AFE1,
      &r.BFE.SFE1,   &r.OPS.ACOOL,   &r.OPS.ALUKE,   &r.OPS.AHOT,   &r.OPS.SIGEL,  &r.OPS.ALINES,
      &r.OPS.SIGLIN, &r.OPS.AXLINE,  &r.OPS.SIGXL,   &r.OPS.AXCONT, &r.OPS.SIGX,   &r.OPS.SXLINE,
      &r.OPS.SXCONT,
  };
  const int n = r.RHOX.NRHOX;
  for (Dep* a : cleared)
    for (int j = 1; j <= n; ++j) (*a)(j) = 0.0;
}

}  // namespace

const char* kapp_switch_name(int i) { return SOURCES[i - 1].name; }

void kapp(Run& run, int N, int& NSTEPS, double& STEPWT) {
  (void)N;  // one sub-step per frequency: N = 1 is the whole evaluation
  NSTEPS = 1;
  STEPWT = 1.0;
  kapp_clear(run);
  for (int i = 1; i <= NIFOP; ++i)
    if (run.IF.IFOP(i) == 1 && SOURCES[i - 1].routine != nullptr) SOURCES[i - 1].routine(run);
  kapp_totals(run);
}

// Each sum is evaluated left to right exactly as written; the LTE group G (absorbers whose source
// function is BNU) is summed first and enters both ACONT and SCONT as one term.
void kapp_totals(Run& run) {
  const BhydRec& h = run.BHYD;
  const BheRec& he = run.BHE;
  const OpsRec& o = run.OPS;
  const Depth& BNU = run.FREQ.BNU;
  OptotRec& t = run.OPTOT;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    t.ALINE(j) = o.ALINES(j) + h.AHLINE(j) + o.AXLINE(j);
    t.SIGMAL(j) = o.SIGLIN(j) + o.SIGXL(j);
    t.SIGMAC(j) = h.SIGH(j) + he.SIGHE(j) + o.SIGEL(j) + h.SIGH2(j) + o.SIGX(j);
    if (t.ALINE(j) > 0.0)
      t.SLINE(j) = (h.AHLINE(j) * h.SHLINE(j) + o.ALINES(j) * BNU(j) + o.AXLINE(j) * o.SXLINE(j)) /
                   t.ALINE(j);
    else
      t.SLINE(j) = BNU(j);
    const double G = h.AH2P(j) + he.AHEMIN(j) + o.ALUKE(j) + o.AHOT(j);
    t.ACONT(j) = h.AHYD(j) + G + h.AHMIN(j) + o.AXCONT(j) + he.AHE1(j) + he.AHE2(j) +
                 run.BC.AC1(j) + run.BMG.AMG1(j) + run.BAL.AAL1(j) + run.BSI.ASI1(j) +
                 run.BFE.AFE1(j);
    if (t.ACONT(j) > 0.0)
      t.SCONT(j) = (G * BNU(j) + h.AHYD(j) * h.SHYD(j) + h.AHMIN(j) * h.SHMIN(j) +
                    o.AXCONT(j) * o.SXCONT(j) + he.AHE1(j) * he.SHE1(j) + he.AHE2(j) * he.SHE2(j) +
                    run.BC.AC1(j) * run.BC.SC1(j) + run.BMG.AMG1(j) * run.BMG.SMG1(j) +
                    run.BAL.AAL1(j) * run.BAL.SAL1(j) + run.BSI.ASI1(j) * run.BSI.SSI1(j) +
                    run.BFE.AFE1(j) * run.BFE.SFE1(j)) /
                   t.ACONT(j);
    else
      t.SCONT(j) = BNU(j);
  }
}

}  // namespace atmotab
