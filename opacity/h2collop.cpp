// h2collop — collision-induced absorption of H2-H2 and H2-He pairs: the transient dipole of a
// colliding pair absorbs in the H2 rototranslational and vibrational bands (the main opacity of
// cool, dense, metal-poor atmospheres in the infrared).
// Sources: TABH2H2 and TABH2HE, log10 of the absorption coefficient per pair [cm^5] at T = 1000 ..
//          7000 K and 0 .. 20000 cm^-1 (data/tabh2h2.txt, tabh2he.txt): A. Borysow's tables
//          (Borysow 2002, A&A 390, 779; Borysow, Jorgensen & Fu 2001, JQSRT 68, 235; Jorgensen et
//          al. 2000, A&A 361, 283) with the program's reference columns (data/PROVENANCE.md).
//          H2 density: NH2 of opacity/h2op.h.
// Inputs:  FREQ, STIM(J); T(J); RHO(J); XNFPH(J,1), BHYD(J,1) (through NH2); XNFHE(J,1) number
//          density of He I [cm^-3].
// Output:  ACOLL(J) [cm^2 g^-1] = (alpha(H2-H2) n(H2) + alpha(H2-He) n(He)) n(H2) / RHO x STIM.
// Valid:   0 .. 20000 cm^-1 (0 above); linear in log10 alpha between the table's points, in
//          wavenumber and in temperature; below 1000 K the 1000 K column, above 7000 K the 7000 K
//          column.
// Deviations from the source: none.
#include "opacity/h2collop.h"

#include <algorithm>
#include <cmath>

#include "common/array.h"
#include "common/constants.h"
#include "common/state.h"
#include "opacity/h2collop_cache.h"
#include "opacity/h2op.h"
#include "opacity/molecule_tables.h"

namespace atmotab {
namespace {

// Per model: the H2 density and the temperature cell of every depth, and the column that a depth
// clamped to the table's edge (or at a node temperature) takes unchanged.
void h2collop_prepare(Run& run) {
  H2collopRec& c = h2collop_cache(run);
  if (c.MODEL == model_key(run)) return;
  for (int t = 1; t <= 7; ++t) c.EXACT(t) = false;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double T = run.TEMP.T(j);
    c.XNH2(j) = nh2(run, j);
    const double cell = std::trunc(T / 1000);
    c.IT(j) = cell < 1 ? 1 : cell > 6 ? 6 : static_cast<int>(cell);
    const double DELT = (T - static_cast<float>(1000 * c.IT(j))) / 1000;
    c.DELT(j) = DELT < 0 ? 0.0 : DELT > 1 ? 1.0 : DELT;
    // With a weight of 0 or 1 the interpolation x (1 - DELT) + y DELT gives x or y exactly (the
    // other product is a signed zero), so its power of ten is that of the column.
    c.ICOL(j) = c.DELT(j) == 0.0 ? c.IT(j) : c.DELT(j) == 1.0 ? c.IT(j) + 1 : 0;
    if (c.ICOL(j) != 0) c.EXACT(c.ICOL(j)) = true;
  }
  c.MODEL = model_key(run);
}

}  // namespace

void h2collop_load(Run& run) {
  H2collopRec& c = h2collop_cache(run);
  if (c.LOADED) return;
  h2collop_builtin(c.TABH2H2, c.TABH2HE);
  c.LOADED = true;
}

void h2collop(Run& run, Dep& ACOLL) {
  h2collop_load(run);
  h2collop_prepare(run);
  const H2collopRec& c = h2collop_cache(run);
  const int nrhox = run.RHOX.NRHOX;
  const double W = run.FREQ.FREQ / CLIGHT;  // wavenumber [cm^-1]
  if (W > 20000) {
    for (int j = 1; j <= nrhox; ++j) ACOLL(j) = 0;
    return;
  }
  const int K = std::min(static_cast<int>(W / 250) + 1, 80);
  const double DELNU = (W - static_cast<float>(250 * (K - 1))) / 250;
  double H2H2NU[8], H2HENU[8];  // the columns at W for the seven temperatures, 1-based
  for (int t = 1; t <= 7; ++t) {
    H2H2NU[t] = (1 - DELNU) * c.TABH2H2(t, K) + DELNU * c.TABH2H2(t, K + 1);
    H2HENU[t] = (1 - DELNU) * c.TABH2HE(t, K) + DELNU * c.TABH2HE(t, K + 1);
  }
  // The powers of ten of the columns that some depth takes unchanged, once per frequency.
  double P10H2H2[8], P10H2HE[8];
  for (int t = 1; t <= 7; ++t)
    if (c.EXACT(t)) {
      P10H2H2[t] = std::pow(10.0, H2H2NU[t]);
      P10H2HE[t] = std::pow(10.0, H2HENU[t]);
    }
  for (int j = 1; j <= nrhox; ++j) {
    // No H2 (its dissociation equilibrium underflows above about 22000 K): the product below is
    // +0 whatever the coefficients (finite and positive), so they are not formed.
    if (c.XNH2(j) == 0.0) {
      ACOLL(j) = 0.0;
      continue;
    }
    double P10H2, P10HE;
    if (c.ICOL(j) != 0) {
      P10H2 = P10H2H2[c.ICOL(j)];
      P10HE = P10H2HE[c.ICOL(j)];
    } else {
      const int IT = c.IT(j);
      const double DELT = c.DELT(j);
      P10H2 = std::pow(10.0, H2H2NU[IT] * (1 - DELT) + H2H2NU[IT + 1] * DELT);
      P10HE = std::pow(10.0, H2HENU[IT] * (1 - DELT) + H2HENU[IT + 1] * DELT);
    }
    ACOLL(j) = (P10H2 * c.XNH2(j) + P10HE * run.BHE.XNFHE(j, 1)) * c.XNH2(j) / run.STATE.RHO(j) *
               run.FREQ.STIM(j);
  }
}

}  // namespace atmotab
