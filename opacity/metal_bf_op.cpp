// metal_bf_op — bound-free absorption of C I, C II, N I, O I, Na I, Mg I, Mg II, Al I, Si I,
// Si II, Ca I, Ca II, Fe I and Fe II from their effective cross-sections per unit n/U.
// Sources: Opacity Project (TOPbase, Cunto et al. 1993, A&A 275, L5) and Iron Project (Bautista
//          1997, A&AS 122, 167; Nahar & Pradhan 1994, J. Phys. B 27, 429) per-term
//          cross-sections on the NIST level scale, summed with their Boltzmann weights and
//          averaged over +-2 % in frequency by tools/make_photoionization.py (data/PROVENANCE.md).
// Inputs:  frequency NU [Hz], T(J) [K], n/U of each species (XNFP) [cm^-3].
// Output:  sum over species of sigma_eff(NU, T) x n/U [cm^-1]; stimulated emission and the
//          division by RHO are the caller's (opacity/xcont.cpp).
// Valid:   2000 K <= T <= 30000 K (outside, the value at the nearer end temperature is held);
//          from each species' lowest threshold to its last tabulated frequency (at most
//          2.5e16 Hz), 0 outside. Cubic in 1/T through four of 36 temperatures (a Boltzmann
//          factor of 5 eV excitation is met within 1 %) and linear in nu between frequencies 2 %
//          apart, every threshold a sharp step. The two interpolations are linear in the table
//          values, so their order is free: each table row is taken to the depths' temperatures
//          first (once per row and model in a run), then the two rows around NU are combined.
// Deviations from the source: none beyond the averaging and the energy scale the tables record.
#include "opacity/metal_bf_op.h"

#include <algorithm>

#include "common/state.h"
#include "common/vector_clones.h"

namespace atmotab {

void metal_bf_temperature(const PhotTables& tables, double T, int& m, double* w) {
  const double* t = tables.T;
  std::fill(w, w + 4, 0.0);
  if (!(T > t[0])) {
    m = 0;
    w[0] = 1.0;
    return;
  }
  if (!(T < t[NPHOT_TEMP - 1])) {
    m = NPHOT_TEMP - 4;
    w[3] = 1.0;
    return;
  }
  const int i = static_cast<int>(std::upper_bound(t, t + NPHOT_TEMP, T) - t) - 1;
  m = std::clamp(i - 1, 0, NPHOT_TEMP - 4);
  double x[4];
  for (int k = 0; k < 4; ++k) x[k] = 1.0 / t[m + k];
  const double y = 1.0 / T;
  for (int k = 0; k < 4; ++k) {
    double p = 1.0;
    for (int l = 0; l < 4; ++l)
      if (l != k) p *= (y - x[l]) / (x[k] - x[l]);
    w[k] = p;
  }
}

bool metal_bf_bracket(const PhotTables& tables, int s, double nu, int& row, double& u, int hint) {
  const double* f = tables.nu + tables.first[s];
  const int nf = tables.nfreq[s];
  // The last frequency at or below NU (the second of a threshold pair when NU is the threshold):
  // the one K with f[K] <= NU < f[K+1], looked for first at the hint and its neighbours.
  const auto brackets = [&](int k) { return k >= 0 && k < nf - 1 && f[k] <= nu && nu < f[k + 1]; };
  int k = hint - tables.first[s];
  if (!brackets(k)) k = brackets(k + 1) ? k + 1 : brackets(k - 1) ? k - 1 : -2;
  if (k == -2) k = static_cast<int>(std::upper_bound(f, f + nf, nu) - f) - 1;
  if (k < 0 || k >= nf - 1) {
    row = -1;
    u = 0.0;
    return false;
  }
  row = tables.first[s] + k;
  u = (nu - f[k]) / (f[k + 1] - f[k]);
  return true;
}

namespace {

// Vectorised over the depths (the four values of a depth gathered from its temperatures): the
// same operations on every depth, so every clone gives the same bits.
ATMOTAB_KERNEL void metal_bf_row_kernel(const double* sigma_row, const int* mt,
                                        const double* const w[4], int n, double* out) {
  const double* w0 = w[0];
  const double* w1 = w[1];
  const double* w2 = w[2];
  const double* w3 = w[3];
  for (int j = 0; j < n; ++j) {
    const double* c = sigma_row + mt[j];
    out[j] = w0[j] * c[0] + w1[j] * c[1] + w2[j] * c[2] + w3[j] * c[3];
  }
}

ATMOTAB_KERNEL void metal_bf_sum_kernel(const double* const* lo, const double* const* hi,
                                        const double* u, int ns, int n, double* out) {
  std::fill(out, out + n, 0.0);
  for (int s = 0; s < ns; ++s) {
    const double* a = lo[s];
    const double* b = hi[s];
    const double us = u[s];
    for (int j = 0; j < n; ++j) out[j] += a[j] + us * (b[j] - a[j]);
  }
  for (int j = 0; j < n; ++j) out[j] = std::max(out[j], 0.0);
}

}  // namespace

void metal_bf_row(VectorSet set, const double* sigma_row, const int* mt, const double* const w[4],
                  int n, double* out) {
  vectorised<metal_bf_row_kernel>(set, sigma_row, mt, w, n, out);
}

void metal_bf_sum(VectorSet set, const double* const* lo, const double* const* hi, const double* u,
                  int ns, int n, double* out) {
  vectorised<metal_bf_sum_kernel>(set, lo, hi, u, ns, n, out);
}

void metal_bf_op(const PhotTables& tables, double nu, std::span<const double> T,
                 const PhotDensities& xnfp, std::span<double> out) {
  const VectorSet set = widest_vector_set();
  const int n = static_cast<int>(out.size());
  int mt[MAXD];
  double wk[4][NPHOT_SPECIES][MAXD];
  double rows[2][NPHOT_SPECIES][MAXD];
  const double* lo[NPHOT_SPECIES];
  const double* hi[NPHOT_SPECIES];
  double u[NPHOT_SPECIES];
  for (int j0 = 0; j0 < n; j0 += MAXD) {
    const int nb = std::min(MAXD, n - j0);
    for (int j = 0; j < nb; ++j) {
      double wt[4];
      metal_bf_temperature(tables, T[j0 + j], mt[j], wt);
      for (int s = 0; s < NPHOT_SPECIES; ++s)
        for (int k = 0; k < 4; ++k) wk[k][s][j] = xnfp[s][j0 + j] * wt[k];
    }
    int ns = 0;
    for (int s = 0; s < NPHOT_SPECIES; ++s) {
      int row;
      if (!metal_bf_bracket(tables, s, nu, row, u[ns])) continue;
      const double* const w[4] = {wk[0][s], wk[1][s], wk[2][s], wk[3][s]};
      metal_bf_row(set, tables.sigma + row * NPHOT_TEMP, mt, w, nb, rows[0][ns]);
      metal_bf_row(set, tables.sigma + (row + 1) * NPHOT_TEMP, mt, w, nb, rows[1][ns]);
      lo[ns] = rows[0][ns];
      hi[ns] = rows[1][ns];
      ++ns;
    }
    metal_bf_sum(set, lo, hi, u, ns, nb, out.data() + j0);
  }
}

}  // namespace atmotab
