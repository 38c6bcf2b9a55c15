// c1op, mg1op, al1op, si1op, fe1op — bound-free absorption of C I, Mg I, Al I, Si I and Fe I.
// Sources: per-level photoionization fits of the cool-star continuum as compiled by Kurucz 1970
//          (SAO Special Report 309): power laws in threshold/wavenumber, and for the ground terms
//          of C I and Si I an exponential background plus Fano-like resonance terms. They are
//          checked against Verner et al. 1996 (ApJ 465, 487) and the R-matrix results of Luo &
//          Pradhan 1989 (C I) and Butler, Mendoza & Zeippen 1993 (Mg I) in the tests. Fe I: the
//          same compilation's 48 pseudo-levels (groups of real levels with their summed weights),
//          each a broad resonance of 3e-18 cm^2 peaking 3000 cm^-1 above its threshold.
// Inputs:  WAVENO [cm^-1], EHVKT(J), STIM(J), BNU(J); HCKT(J) [cm]; RHO(J) [g cm^-3]; departure
//          coefficients BC1/BMG1/BAL1/BSI1(J,k) of the atom's levels and of the ion's ground level
//          BC2/BMG2/BAL2/BSI2(J,1); n/U of the atom XNFPC/XNFPMG/XNFPAL/XNFPSI(J,1) [cm^-3].
// Output:  AC1 ... ASI1 [cm^2 g^-1] and SC1 ... SSI1 [units of BNU].
// Method:  per depth, A = 1e-30 and S = 0; walk the level table in order of rising threshold and
//          stop at the first threshold above WAVENO; each row adds term = g sigma (b - b_c EHVKT)
//          exp(-E hc/kT) to A and term BNU STIM / (b/b_c - EHVKT) to S. Absorption = A XNFP / RHO,
//          source function S / A (BNU when every b = 1; 0 below the first threshold).
//          Paired rows of one level (two limits 63.42 cm^-1 apart for C I, 287.45 for Si I) carry
//          one third of the cross-section at the lower limit (g 1) and two thirds at the upper.
// Valid:   any WAVENO. The Si I 3s2 3p2 1D fit (level 2) turns negative above 2.27e6 cm^-1
//          (4.4 nm), where its resonance term outlives the power law: it is held at 0 there
//          (every other fit stays positive from threshold to 1e21 Hz).
// Constants: thresholds, energies, exponents, 16.8 and 109732.3 are single precision;
//          coefficients and resonance centres and widths double, as in the tables below.
// Fe I:    XSECT_i = 3e-18 / (1 + v^4), v = (3000 + WNO_i - WAVENO) / WNO_i / 0.1, for every
//          pseudo-level with WNO_i <= WAVENO (none below 21000 cm^-1); AFE1 = sum G_i XSECT_i
//          exp(-E_i hc/kT) STIM XNFPFE / RHO, in LTE with the Si I ground-level departure
//          coefficient as the source-function correction: SFE1 = BNU STIM / (BSI1(J,1) - EHVKT),
//          through the scratch array FLXWRK. Below 21000 cm^-1 SFE1 is not written.
// The exponentials exp(-E hc/kT) and the ratios b/b_c are formed once per model, at its first
// call (departure coefficients are model input).
#include "opacity/cool_atoms.h"

#include <algorithm>
#include <cmath>

#include "common/state.h"
#include "common/vector_clones.h"
#include "opacity/coolop_cache.h"

namespace atmotab {
namespace {

// One row of a level table.
struct Row {
  float wno;  // threshold wavenumber [cm^-1]
  int k;      // level: departure-coefficient column; 0 where the row has no cross-section
  float e;    // excitation energy of the level [cm^-1]
  double g;   // weight factor
  double c;   // power-law coefficient [cm^2]; 0 for the rows computed by the atom's own formula
  float p;    // power-law exponent of x = wno / WAVENO
  int group;  // rows of one group (> 0) share one cross-section, formed at the first of them
};

// clang-format off
// C I; rows with c = 0 and k > 0 are the resonance rows of levels 3, 2 and 1.
constexpr Row C1ROWS[NC1ROW] = {
    {16886.79f, 0, 0.0f, 0, 0, 0, 0},
    {18251.98f, 0, 0.0f, 0, 0, 0, 0},
    {19487.8f, 0, 0.0f, 0, 0, 0, 0},
    {20118.75f, 0, 0.0f, 0, 0, 0, 0},
    {21140.7f, 0, 0.0f, 0, 0, 0, 0},
    {22006.37f, 8, 68856.33f, 1, 6.3e-18, 1.5f, 0},
    {28880.88f, 6, 61981.82f, 1, 4.62e-18, 1.2f, 0},
    {30489.7f, 5, 60373.0f, 1, 1.8e-18, 1.2f, 0},
    {58601.27f, 0, 0.0f, 0, 0, 0, 0},
    {69172.4f, 3, 21648.02f, 1, 0, 0, 1},
    {69235.82f, 3, 21648.02f, 2, 0, 0, 1},
    {69767.35f, 7, 64088.85f, 1, 2.4e-16, 3.0f, 0},
    {80627.76f, 2, 10192.66f, 5, 0, 0, 2},
    {80691.18f, 2, 10192.66f, 10, 0, 0, 2},
    {90777.0f, 1, 43.42f, 5, 0, 0, 3},
    {90804.0f, 1, 16.42f, 3, 0, 0, 3},
    {90820.42f, 1, 0.0f, 1, 0, 0, 3},
    {90840.42f, 1, 43.42f, 10, 0, 0, 3},
    {90867.42f, 1, 16.42f, 6, 0, 0, 3},
    {90883.84f, 1, 0.0f, 2, 0, 0, 3},
    {100121.0f, 4, 33735.2f, 1, 5e-18, 3.0f, 0},
};

// Mg I; rows 6 to 9 (levels 3 and 2) have their own formulas.
constexpr Row MG1ROWS[NMG1ROW] = {
    {13713.986f, 8, 47957.035f, 1, 3.75e-16, 2.7f, 0},
    {13823.223f, 7, 47847.797f, 1, 3.042e-16, 2.8f, 0},
    {15267.955f, 6, 46403.066f, 1, 2.25e-16, 2.7f, 0},
    {18167.688f, 5, 43503.332f, 1, 4.3e-19, 2.6f, 0},
    {20473.617f, 4, 41197.043f, 1, 6.3e-18, 2.6f, 0},
    {26619.756f, 3, 35051.266f, 3, 0, 0, 0},
    {39759.844f, 2, 21911.178f, 5, 0, 0, 1},
    {39800.555f, 2, 21870.465f, 3, 0, 0, 1},
    {39820.613f, 2, 21850.404f, 1, 0, 0, 1},
    {61671.02f, 1, 0.0f, 1, 1.1e-18, 10.0f, 0},
};

// Al I; rows 8 and 9 (level 1) have their own formula.
constexpr Row AL1ROWS[NAL1ROW] = {
    {6958.993f, 0, 0.0f, 0, 0, 0, 0},
    {8002.467f, 8, 40275.902f, 1, 3e-16, 3.0f, 0},
    {9346.231f, 7, 38932.14f, 1, 5e-16, 3.0f, 0},
    {10588.957f, 6, 37689.414f, 2, 5.67e-17, 1.9f, 0},
    {15318.007f, 5, 32960.363f, 6, 1.45e-17, 1.0f, 0},
    {15842.129f, 4, 32436.24f, 1, 4.7e-16, 1.83f, 0},
    {22930.613f, 2, 25347.756f, 2, 1e-17, 2.0f, 0},
    {48166.31f, 1, 112.061f, 4, 0, 0, 1},
    {48278.37f, 1, 0.0f, 2, 0, 0, 1},
    {55903.26f, 3, 29097.11f, 1, 1.2e-16, 2.0f, 0},
};

// Si I; rows 7 to 10 (levels 3 and 2) and 12 to 17 (level 1) have their own formulas. Row 2 keeps
// the single-precision coefficient 2.7e-16 of its source (2.6999999065620926e-16).
constexpr Row SI1ROWS[NSI1ROW] = {
    {16810.969f, 0, 0.0f, 0, 0, 0, 0},
    {17777.64f, 10, 48161.46f, 1, sp(2.7e-16f), 3.0f, 0},
    {18587.547f, 0, 0.0f, 0, 0, 0, 0},
    {18655.04f, 0, 0.0f, 0, 0, 0, 0},
    {24947.217f, 6, 40991.883f, 1, 1.227e-17, 2.0f, 0},
    {26079.18f, 5, 39859.92f, 1, 1.125e-17, 2.0f, 0},
    {50353.18f, 3, 15394.37f, 1, 0, 0, 0},
    {50640.63f, 3, 15394.37f, 2, 0, 0, 0},
    {59448.7f, 2, 6298.85f, 5, 0, 0, 0},
    {59736.15f, 2, 6298.85f, 10, 0, 0, 0},
    {63446.51f, 7, 45303.31f, 1, 2.7e-16, 3.0f, 0},
    {65524.395f, 1, 223.157f, 5, 0, 0, 1},
    {65670.44f, 1, 77.115f, 3, 0, 0, 1},
    {65747.55f, 1, 0.0f, 1, 0, 0, 1},
    {65811.84f, 1, 223.157f, 10, 0, 0, 1},
    {65957.88f, 1, 77.115f, 6, 0, 0, 1},
    {66035.0f, 1, 0.0f, 2, 0, 0, 1},
    {75423.766f, 4, 33326.055f, 1, 7.5e-17, 3.0f, 0},
};
// clang-format on

// Fe I pseudo-levels: threshold wavenumber WNO [cm^-1], excitation energy E [cm^-1], weight G.
constexpr double FEWNO[NFE1LEV] = {
    63500, 58500, 53500, 59500, 45000, 44500, 44500, 43000, 58000, 41000, 54000, 40000,
    40000, 57500, 55500, 38000, 57500, 57500, 37000, 54500, 53500, 55000, 34500, 34500,
    34500, 34000, 32500, 32500, 32500, 32500, 32000, 29500, 29500, 31000, 30500, 29000,
    27000, 54000, 27500, 24000, 47000, 23000, 44000, 42000, 42000, 21000, 42000, 42000,
};
constexpr double FEE[NFE1LEV] = {
    500,   7500,  12500, 17500, 19000, 19500, 19500, 21000, 22000, 23000, 23000, 24000,
    24000, 24500, 24500, 26000, 26500, 26500, 27000, 27500, 28500, 29000, 29500, 29500,
    29500, 30000, 31500, 31500, 33500, 33500, 34000, 34500, 34500, 35000, 35500, 37000,
    37000, 37000, 38500, 40000, 40000, 41000, 41000, 43000, 43000, 43000, 43000, 44000,
};
constexpr double FEG[NFE1LEV] = {
    25, 35, 21, 15, 9,  35, 33, 21, 27, 49, 9,  21, 27, 9,  9,  25, 33, 15, 35, 3,  5,  11, 15, 13,
    15, 9,  21, 15, 21, 25, 35, 9,  5,  45, 27, 21, 15, 21, 15, 25, 21, 35, 5,  15, 45, 35, 55, 25,
};
constexpr double FE1MIN = 21000;  // lowest pseudo-level threshold [cm^-1]

double power_law(const Row& r, double WAVENO) {
  return r.c * std::pow(static_cast<double>(r.wno) / WAVENO, static_cast<double>(r.p));
}

// Resonance term (a y + b) / (y^2 + 1), y = 2 (WAVENO - centre) / width [cm^2].
double resonance(double a, double b, double WAVENO, double centre, double width) {
  const double y = 2.0 * (WAVENO - centre) / width;
  return (a * y + b) / (y * y + 1.0);
}

// C I background 10^(-16.8 - (WAVENO - t) / (3 x 109732.3)) [cm^2], t the row's threshold.
double c1op_background(float t, double WAVENO) {
  return std::pow(10.0, -sp(16.8f) - (WAVENO - sp(t)) / (3.0 * sp(109732.3f)));
}

// The hot loops of the cool block, over the depths j < n, compiled for each instruction set
// (common/vector_clones.h: the same bits in every clone). The arrays written (__restrict) never
// overlap the ones read.

// One row of a level walk: its g sigma [cm^2], departure coefficients b(J), ratios b/b_c(J) and
// Boltzmann factors exp(-E hc/kT)(J).
struct WalkRow {
  double gsig;
  const double* b;
  const double* ratio;
  const double* bolt;
};

// A level walk over the depths j < n: per depth A = 1e-30 and S = 0, then the rows ROWS[0..NROWS-1]
// in order, each adding term = gsig (b - b_c EHVKT) exp(-E hc/kT) to A and term BNU STIM /
// (b/b_c - EHVKT) to S; at the end absorption ABS = A XNFP / RHO and source function SRC = S / A.
// Four rows per pass over the depths, so that A and S stay in registers from one row to the next
// (the additions keep the row order), and b_c EHVKT, the same product for every row, is formed
// once per depth. A and S are local, so no row's arrays can overlap them.
ATMOTAB_VECTOR_CLONES void walk(int n, int nrows, const WalkRow* rows, const double* bc,
                                const double* E, const double* BNU, const double* STIM,
                                const double* XNFP, const double* RHO, double* __restrict ABS,
                                double* __restrict SRC) {
  double A[NDEPTH], S[NDEPTH];
  for (int j = 0; j < n; ++j) {
    A[j] = 1e-30;
    S[j] = 0.0;
  }
  int k = 0;
  for (; k + 4 <= nrows; k += 4) {
    const double g0 = rows[k].gsig, g1 = rows[k + 1].gsig, g2 = rows[k + 2].gsig,
                 g3 = rows[k + 3].gsig;
    const double *b0 = rows[k].b, *b1 = rows[k + 1].b, *b2 = rows[k + 2].b, *b3 = rows[k + 3].b;
    const double *q0 = rows[k].ratio, *q1 = rows[k + 1].ratio, *q2 = rows[k + 2].ratio,
                 *q3 = rows[k + 3].ratio;
    const double *e0 = rows[k].bolt, *e1 = rows[k + 1].bolt, *e2 = rows[k + 2].bolt,
                 *e3 = rows[k + 3].bolt;
    for (int j = 0; j < n; ++j) {
      const double bcE = bc[j] * E[j];
      double a = A[j], s = S[j];
      auto add = [&](double gsig, const double* b, const double* ratio, const double* bolt) {
        const double term = gsig * (b[j] - bcE) * bolt[j];
        a += term;
        s += term * BNU[j] * STIM[j] / (ratio[j] - E[j]);
      };
      add(g0, b0, q0, e0);
      add(g1, b1, q1, e1);
      add(g2, b2, q2, e2);
      add(g3, b3, q3, e3);
      A[j] = a;
      S[j] = s;
    }
  }
  for (; k < nrows; ++k) {
    const double gsig = rows[k].gsig;
    const double *b = rows[k].b, *ratio = rows[k].ratio, *bolt = rows[k].bolt;
    for (int j = 0; j < n; ++j) {
      const double term = gsig * (b[j] - bc[j] * E[j]) * bolt[j];
      A[j] += term;
      S[j] += term * BNU[j] * STIM[j] / (ratio[j] - E[j]);
    }
  }
  for (int j = 0; j < n; ++j) {
    ABS[j] = A[j] * XNFP[j] / RHO[j];
    SRC[j] = S[j] / A[j];
  }
}

// The Fe I pseudo-levels XG[0..NLEV-1] (g sigma [cm^2]) with Boltzmann factors BOLT[0..NLEV-1]:
// AFE += xg BOLT level after level, four levels per pass over the depths (the additions in level
// order, AFE kept in a register between them).
ATMOTAB_VECTOR_CLONES void fe_levels(int n, int nlev, const double* xg, const double* const* bolt,
                                     double* __restrict AFE) {
  int k = 0;
  for (; k + 4 <= nlev; k += 4) {
    const double x0 = xg[k], x1 = xg[k + 1], x2 = xg[k + 2], x3 = xg[k + 3];
    const double *b0 = bolt[k], *b1 = bolt[k + 1], *b2 = bolt[k + 2], *b3 = bolt[k + 3];
    for (int j = 0; j < n; ++j)
      AFE[j] = (((AFE[j] + x0 * b0[j]) + x1 * b1[j]) + x2 * b2[j]) + x3 * b3[j];
  }
  for (; k < nlev; ++k) {
    const double x0 = xg[k];
    const double* b0 = bolt[k];
    for (int j = 0; j < n; ++j) AFE[j] += x0 * b0[j];
  }
}

// The walk of one atom. The rows reached are those with a threshold <= WAVENO (the thresholds
// rise); their cross-sections depend on the frequency only and are formed once (once per group).
// b / b_c of each row comes from the per-model table RATIO: departure coefficients are model
// input and stay fixed while a model is processed.
template <int NROW, int NLEV, int NION, int NSTAGE>
void atom_walk(Run& run, const Row (&rows)[NROW], double (*sigma)(int, double),
               CoolAtomTables<NROW>& tab, const DepK<NLEV>& B, const DepK<NION>& BION,
               const DepK<NSTAGE>& XNFP, Dep& ABS, Dep& SRC) {
  const Run::FreqRec& f = run.FREQ;
  const double WAVENO = f.WAVENO;
  const int n = run.RHOX.NRHOX;
  int nrow = 0;
  while (nrow < NROW && !(sp(rows[nrow].wno) > WAVENO)) ++nrow;
  const double* E = &f.EHVKT(1);
  const double* BNU = &f.BNU(1);
  const double* STIM = &f.STIM(1);
  const double* bc = &BION(1, 1);
  // The cross-sections depend on the frequency alone: formed at its first call of the run.
  // Rows of a group share the cross-section of the group's first row.
  double scratch[NROW];
  const double* SIG = tab.SIG.values(f.IFREQ, f.FREQ, scratch, [&](double* v) {
    double sig = 0.0;
    for (int i = 1; i <= NROW; ++i) {
      const Row& r = rows[i - 1];
      if (i <= nrow && r.k != 0 && (r.group == 0 || i == 1 || rows[i - 2].group != r.group))
        sig = sigma(i, WAVENO);
      v[i - 1] = i <= nrow && r.k != 0 ? sig : 0.0;
    }
  });
  WalkRow rowlist[NROW];
  int nwalk = 0;
  for (int i = 1; i <= nrow; ++i) {
    const Row& r = rows[i - 1];
    if (r.k == 0) continue;  // no cross-section: adds nothing
    rowlist[nwalk++] = {r.g * SIG[i - 1], &B(1, r.k), &tab.RATIO(1, i), &tab.BOLT(1, i)};
  }
  walk(n, nwalk, rowlist, bc, E, BNU, STIM, &XNFP(1, 1), &run.STATE.RHO(1), &ABS(1), &SRC(1));
}

// Boltzmann factors and departure-coefficient ratios b_k / b_c of each row for the model.
template <int NROW, int NLEV, int NION>
void atom_tables(const Run& run, const Row (&rows)[NROW], const DepK<NLEV>& B,
                 const DepK<NION>& BION, CoolAtomTables<NROW>& tab) {
  const Depth& HCKT = run.TEMP.HCKT;
  for (int i = 1; i <= NROW; ++i) {
    const Row& r = rows[i - 1];
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
      tab.BOLT(j, i) = r.e == 0.0f ? 1.0 : std::exp(-sp(r.e) * HCKT(j));
      tab.RATIO(j, i) = r.k == 0 ? 0.0 : B(j, r.k) / BION(j, 1);
    }
  }
}

// The per-model tables of the five atoms.
void cool_atoms_current(Run& run) {
  CoolopRec& c = coolop_cache(run);
  if (c.MODEL == model_key(run)) return;
  atom_tables(run, C1ROWS, run.BC.BC1, run.BC.BC2, c.C1);
  atom_tables(run, MG1ROWS, run.BMG.BMG1, run.BMG.BMG2, c.MG1);
  atom_tables(run, AL1ROWS, run.BAL.BAL1, run.BAL.BAL2, c.AL1);
  atom_tables(run, SI1ROWS, run.BSI.BSI1, run.BSI.BSI2, c.SI1);
  const Depth& HCKT = run.TEMP.HCKT;
  for (int i = 1; i <= NFE1LEV; ++i)
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) c.BOLTFE1(j, i) = std::exp(-FEE[i - 1] * HCKT(j));
  c.MODEL = model_key(run);
}

}  // namespace

double c1op_sigma(int i, double WAVENO) {
  const Row& r = C1ROWS[i - 1];
  if (r.k == 0) return 0.0;
  if (r.c != 0.0) return power_law(r, WAVENO);
  switch (r.k) {
    case 3:  // 2p2 1S, rows 10 and 11
      return (c1op_background(C1ROWS[9].wno, WAVENO) +
              resonance(6.8e-17, 1.18e-16, WAVENO, 97700.0, 2743.0)) /
             3.0;
    case 2:  // 2p2 1D, rows 13 and 14
      return (c1op_background(C1ROWS[12].wno, WAVENO) +
              resonance(2.2e-17, 2.6e-17, WAVENO, 93917.0, 9230.0) +
              resonance(-1.05e-17, 4.6e-17, WAVENO, 111130.0, 2743.0)) /
             3.0;
    default:  // 2p2 3P, rows 15 to 20
      return c1op_background(C1ROWS[14].wno, WAVENO) / 3.0;
  }
}

double mg1op_sigma(int i, double WAVENO) {
  const Row& r = MG1ROWS[i - 1];
  if (r.c != 0.0) return power_law(r, WAVENO);
  if (r.k == 3) {  // 3s4s 1S
    const double x = sp(r.wno) / WAVENO;
    return 1.6e-17 * std::pow(x, sp(2.1f)) - 7.8e-18 * std::pow(x, sp(9.5f));
  }
  // 3s3p 3P, rows 7 to 9, all from the threshold of row 7
  const double z = sp(MG1ROWS[6].wno) / WAVENO;
  return std::max(2e-17 * std::pow(z, sp(2.7f)), 4e-17 * std::pow(z, sp(14.0f)));
}

double al1op_sigma(int i, double WAVENO) {
  const Row& r = AL1ROWS[i - 1];
  if (r.k == 0) return 0.0;
  if (r.c != 0.0) return power_law(r, WAVENO);
  // 3p 2P, rows 8 and 9, both from the threshold of row 8
  return 6.5e-17 * std::pow(sp(AL1ROWS[7].wno) / WAVENO, sp(5.0f));
}

double si1op_sigma(int i, double WAVENO) {
  const Row& r = SI1ROWS[i - 1];
  if (r.k == 0) return 0.0;
  if (r.c != 0.0) return power_law(r, WAVENO);
  const double x = sp(r.wno) / WAVENO;  // each paired row from its own threshold
  switch (r.k) {
    case 3:  // 3p2 1S, rows 7 and 8
      return (3.7e-17 * std::pow(x, sp(2.4f)) +
              resonance(9.7e-17, 9.4e-17, WAVENO, 70000.0, 6500.0)) /
             3.0;
    case 2:  // 3p2 1D, rows 9 and 10; held at 0 where the fit turns negative
      return std::max(0.0, (2.45e-17 * std::pow(x, sp(1.85f)) +
                            resonance(-1e-17, 7.7e-17, WAVENO, 78600.0, 13000.0)) /
                               3.0);
    default: {  // 3p2 3P, rows 12 to 17, all from the threshold of row 12
      const double z = sp(SI1ROWS[11].wno) / WAVENO;
      const double sg = WAVENO <= sp(74000.0f) ? 7.2e-17 * std::pow(z, sp(1.9f))
                                               : 9.3e-17 * std::pow(z, sp(4.0f));
      return sg / 3.0;
    }
  }
}

double fe1op_xsect(int i, double WAVENO) {
  const double wno = FEWNO[i - 1];
  const double v = (3000.0 + wno - WAVENO) / wno / sp(0.1f);
  const double v2 = v * v;
  return 3e-18 / (1.0 + v2 * v2);
}

void c1op(Run& run) {
  cool_atoms_current(run);
  BcRec& r = run.BC;
  atom_walk(run, C1ROWS, c1op_sigma, coolop_cache(run).C1, r.BC1, r.BC2, r.XNFPC, r.AC1, r.SC1);
}

void mg1op(Run& run) {
  cool_atoms_current(run);
  BmgRec& r = run.BMG;
  atom_walk(run, MG1ROWS, mg1op_sigma, coolop_cache(run).MG1, r.BMG1, r.BMG2, r.XNFPMG, r.AMG1,
            r.SMG1);
}

void al1op(Run& run) {
  cool_atoms_current(run);
  BalRec& r = run.BAL;
  atom_walk(run, AL1ROWS, al1op_sigma, coolop_cache(run).AL1, r.BAL1, r.BAL2, r.XNFPAL, r.AAL1,
            r.SAL1);
}

void si1op(Run& run) {
  cool_atoms_current(run);
  BsiRec& r = run.BSI;
  atom_walk(run, SI1ROWS, si1op_sigma, coolop_cache(run).SI1, r.BSI1, r.BSI2, r.XNFPSI, r.ASI1,
            r.SSI1);
}

void fe1op(Run& run) {
  cool_atoms_current(run);
  const Run::FreqRec& f = run.FREQ;
  const int n = run.RHOX.NRHOX;
  Dep& AFE1 = run.BFE.AFE1;
  Depth& FLXWRK = run.FLUX.FLXWRK;
  for (int j = 1; j <= n; ++j) {
    FLXWRK(j) = run.BSI.BSI1(j, 1);
    AFE1(j) = 0.0;
  }
  if (f.WAVENO < FE1MIN) return;
  const Arr<double, NDEPTH, NFE1LEV>& BOLT = coolop_cache(run).BOLTFE1;
  double xg[NFE1LEV];
  const double* bolt[NFE1LEV];
  int nlev = 0;
  for (int i = 1; i <= NFE1LEV; ++i) {
    if (FEWNO[i - 1] > f.WAVENO) continue;
    xg[nlev] = fe1op_xsect(i, f.WAVENO) * FEG[i - 1];
    bolt[nlev++] = &BOLT(1, i);
  }
  fe_levels(n, nlev, xg, bolt, &AFE1(1));
  const Depth& RHO = run.STATE.RHO;
  for (int j = 1; j <= n; ++j) {
    AFE1(j) = AFE1(j) * f.STIM(j) * run.BFE.XNFPFE(j) / RHO(j);
    run.BFE.SFE1(j) = f.BNU(j) * f.STIM(j) / (FLXWRK(j) - f.EHVKT(j));
  }
}

}  // namespace atmotab
