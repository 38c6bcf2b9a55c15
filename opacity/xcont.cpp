// xcont — the adapter of switch XCONT: reads the run state, calls the metal photoionization kernel
// (opacity/metal_bf_op.cpp), adds the dissolved hydrogen levels (opacity/hydrogen_dissolved.cpp)
// and writes AXCONT and SXCONT.
// Sources: see opacity/metal_bf_op.cpp and data/PROVENANCE.md.
// Inputs:  FREQ [Hz], IFREQ; STIM(J), BNU(J); T(J) [K]; RHO(J) [g cm^-3]; n/U of C I, C II, N I,
//          O I, Na I, Mg I, Mg II, Al I, Si I, Si II, Ca I, Ca II, Fe I, Fe II from the population
//          driver (mode 1).
// Output:  AXCONT(J) [cm^2 g^-1], stimulated emission included; SXCONT(J) = BNU(J) (LTE).
// Valid:   as metal_bf_op: 2000..30000 K (end values held outside), each species from its lowest
//          threshold to the end of its table.
#include "opacity/xcont.h"

#include "common/state.h"
#include "opacity/hydrogen_dissolved.h"
#include "opacity/metal_bf_op.h"
#include "opacity/xcont_cache.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

// The per-model values: n/U of every species and its temperature weights, formed at the first call
// of a model.
void xcont_model(Run& run, XcontRec& x, const PhotTables& tables) {
  if (x.MODEL == model_key(run)) return;
  const int n = run.RHOX.NRHOX;
  for (int s = 0; s < NPHOT_SPECIES; ++s) {
    const PhotSpecies& sp = PHOT_SPECIES[s];
    pops(run, sp.z + (sp.stage - 1) / 100.0, 1, &x.XNFP(1, s + 1));
  }
  for (int j = 1; j <= n; ++j) {
    double w[4];
    metal_bf_temperature(tables, run.TEMP.T(j), x.MT(j), w);
    for (int s = 1; s <= NPHOT_SPECIES; ++s) {
      x.W0(j, s) = x.XNFP(j, s) * w[0];
      x.W1(j, s) = x.XNFP(j, s) * w[1];
      x.W2(j, s) = x.XNFP(j, s) * w[2];
      x.W3(j, s) = x.XNFP(j, s) * w[3];
    }
  }
  x.MODEL = model_key(run);
}

}  // namespace

bool xcont_covers_metals(const Run& run) { return run.IF.IFOP(IFOP_XCONT) == 1; }

void xcont(Run& run) {
  const int n = run.RHOX.NRHOX;
  if (n < 1) return;
  const PhotTables tables = photoionization_builtin();
  XcontRec& x = xcont_cache(run);
  xcont_model(run, x, tables);
  if (!x.COLUMNS) x.COLUMNS = std::make_unique<PerFrequency<NPHOT_COLUMN>>();
  double scratch[NPHOT_COLUMN];
  const double* column = x.COLUMNS->values(run.FREQ.IFREQ, run.FREQ.FREQ, scratch, [&](double* v) {
    metal_bf_column(tables, run.FREQ.FREQ, v);
  });
  // The metals' absorption per cm^3 before stimulated emission.
  double a[MAXD];
  const double* const w[4] = {&x.W0(1, 1), &x.W1(1, 1), &x.W2(1, 1), &x.W3(1, 1)};
  metal_bf_sum(run.VECTORS, column, &x.MT(1), w, NDEPTH, n, a);
  const Run::FreqRec& f = run.FREQ;
  const Depth& RHO = run.STATE.RHO;
  for (int j = 1; j <= n; ++j) {
    run.OPS.AXCONT(j) = a[j - 1] * f.STIM(j) / RHO(j);
    run.OPS.SXCONT(j) = f.BNU(j);
  }
  // The other absorbers of the modern continuum, in LTE (source function BNU), add their share
  // per gram here: the dissolved parts of the hydrogen levels (opacity/hydrogen_dissolved.cpp).
  add_dissolved_hydrogen(run, run.OPS.AXCONT);
}

}  // namespace atmotab
