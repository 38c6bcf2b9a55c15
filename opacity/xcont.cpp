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
  for (int l = 1; l <= NXCONT_SLOTS; ++l) x.ROW(l) = -1;
  x.MODEL = model_key(run);
}

// Slot L (2S-1 or 2S) made to hold table row ROW of species S at the model's temperatures.
void fill_slot(Run& run, XcontRec& x, const PhotTables& tables, int s, int l, int row) {
  const double* const w[4] = {&x.W0(1, s), &x.W1(1, s), &x.W2(1, s), &x.W3(1, s)};
  x.ROW(l) = -1;
  metal_bf_row(run.VECTORS, tables.sigma + row * NPHOT_TEMP, &x.MT(1), w, run.RHOX.NRHOX,
               &x.SLOT(1, l));
  x.ROW(l) = row;
}

// The slots of species S holding rows ROW and ROW + 1, made where missing (the slot of the row
// that is kept is not overwritten).
void rows_of(Run& run, XcontRec& x, const PhotTables& tables, int s, int row, int& lo, int& hi) {
  const int a = 2 * s - 1, b = 2 * s;
  lo = x.ROW(a) == row ? a : x.ROW(b) == row ? b : 0;
  hi = x.ROW(a) == row + 1 ? a : x.ROW(b) == row + 1 ? b : 0;
  if (lo == 0) {
    lo = hi == a ? b : a;
    fill_slot(run, x, tables, s, lo, row);
  }
  if (hi == 0) {
    hi = lo == a ? b : a;
    fill_slot(run, x, tables, s, hi, row + 1);
  }
}

}  // namespace

bool xcont_covers_metals(const Run& run) { return run.IF.IFOP(IFOP_XCONT) == 1; }

void xcont(Run& run) {
  const int n = run.RHOX.NRHOX;
  if (n < 1) return;
  const PhotTables tables = photoionization_builtin();
  XcontRec& x = xcont_cache(run);
  xcont_model(run, x, tables);
  if (!x.BRACKETS) x.BRACKETS = std::make_unique<PerFrequency<2 * NPHOT_SPECIES>>();
  double scratch[2 * NPHOT_SPECIES];
  const double* bracket =
      x.BRACKETS->values(run.FREQ.IFREQ, run.FREQ.FREQ, scratch, [&](double* v) {
        for (int s = 0; s < NPHOT_SPECIES; ++s) {
          int row;
          if (metal_bf_bracket(tables, s, run.FREQ.FREQ, row, v[NPHOT_SPECIES + s], x.HINT(s + 1)))
            x.HINT(s + 1) = row;
          v[s] = row;
        }
      });
  // The metals' absorption per cm^3 before stimulated emission.
  const double* lo[NPHOT_SPECIES];
  const double* hi[NPHOT_SPECIES];
  double u[NPHOT_SPECIES];
  int ns = 0;
  for (int s = 1; s <= NPHOT_SPECIES; ++s) {
    const int row = static_cast<int>(bracket[s - 1]);
    if (row < 0) continue;
    int l_lo, l_hi;
    rows_of(run, x, tables, s, row, l_lo, l_hi);
    lo[ns] = &x.SLOT(1, l_lo);
    hi[ns] = &x.SLOT(1, l_hi);
    u[ns] = bracket[NPHOT_SPECIES + s - 1];
    ++ns;
  }
  double a[MAXD];
  metal_bf_sum(run.VECTORS, lo, hi, u, ns, n, a);
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
