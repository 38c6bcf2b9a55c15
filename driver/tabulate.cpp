// The per-model tabulation of the driver: populations of the per-element records, the H2
// estimate, the continuum opacity over the frequency set, the element table with its packed high
// stages of Ca..Ni and molecule slots, Doppler widths and the line-strength maxima, and the
// records and listing that carry them.
#include "driver/tabulate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/constants.h"
#include "driver/edges.h"
#include "driver/hdf5_output.h"
#include "driver/molecule_table.h"
#include "driver/signals.h"
#include "driver/table_check.h"
#include "opacity/h2op.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "populations/pops.h"

namespace atmotab {

// The population requests, in this order.
void fill_element_records(Run& run) {
  struct Call {
    int z;       // element
    int stages;  // stages 1..STAGES
    Wanted what;
    double* target;
  };
  constexpr Wanted N = Wanted::Number, NU = Wanted::NumberOverU;
  const Call calls[] = {
      {1, 1, N, run.BHYD.XNFH.data()},    {2, 2, N, run.BHE.XNFHE.data()},
      {1, 2, NU, run.BHYD.XNFPH.data()},  {2, 3, NU, run.BHE.XNFPHE.data()},
      {5, 1, NU, run.BB.XNFPB.data()},    {6, 2, NU, run.BC.XNFPC.data()},
      {8, 1, NU, run.BO.XNFPO.data()},    {11, 1, NU, run.BNA.XNFPNA.data()},
      {12, 2, NU, run.BMG.XNFPMG.data()}, {13, 2, NU, run.BAL.XNFPAL.data()},
      {14, 2, NU, run.BSI.XNFPSI.data()}, {19, 1, NU, run.BK.XNFPK.data()},
      {20, 2, NU, run.BCA.XNFPCA.data()}, {26, 1, NU, run.BFE.XNFPFE.data()},
  };
  for (const Call& c : calls) pops_stages(run, c.z, c.stages, c.what, c.target);
  if (run.IF.IFMOL == 1) {
    pops_molecule(run, 106, NU, run.CHOH.XNFPCH.data());  // CH
    pops_molecule(run, 108, NU, run.CHOH.XNFPOH.data());  // OH
  } else {
    // Without the molecular equilibrium there is no CH or OH: an earlier model's values must not
    // reach the molecular continua of this one.
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) run.CHOH.XNFPCH(j) = run.CHOH.XNFPOH(j) = 0.0;
  }
}

// Two stages for H, three for He, four for Li..B, six for C..S, five for Cl..K, ten for Ca..Ni,
// three from Cu on.
int element_stages(int z) {
  struct Range {
    int zmax;
    int stages;
  };
  constexpr Range RANGES[] = {{1, 2}, {2, 3}, {5, 4}, {16, 6}, {19, 5}, {28, 10}, {99, 3}};
  for (const Range& r : RANGES)
    if (z <= r.zmax) return r.stages;
  return 3;
}

double element_doppler(const Run& run, int j, int z) {
  const double vturb = run.TURBPR.VTURB(j);
  return std::sqrt(2 * run.TEMP.TK(j) / (run.ELEM.ATMASS(z) * AMU) + vturb * vturb) / CLIGHT;
}

double molecule_doppler(const Run& run, int j, int k) {
  return std::sqrt(2 * run.TEMP.TK(j) / (run.TABLES.MOMASS(k) * AMU)) / CLIGHT;
}

namespace {

constexpr double T_H2_MAX = 9000;  // [K] no H2 estimate above

// The H2 estimate: XNFH2(J) = EQH2 XNFH^2 where T <= 9000 K, else 0. The square is formed first, as
// the power binds tighter than the product: EQH2 (XNFH XNFH), not (EQH2 XNFH) XNFH.
// The estimate counts every hydrogen atom as atomic, so it holds while it stays small against the
// hydrogen: in cool dense layers (EQH2 XNFH > 1/2) it grows past all the hydrogen there is, near
// 1000 K beyond the single-precision range of the tables (2.9e41 cm^-3 in a grey 1000 K model). It
// is therefore bounded by half the hydrogen nuclei, XNATOM XABUND(1) / 2, every hydrogen atom
// bound in H2; wherever the estimate is meaningful it lies far below that bound and is kept.
void h2_estimate(Run& run) {
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    run.TABLES.XNFH2(j) = 0;
    if (run.TEMP.T(j) <= T_H2_MAX) {
      const double xnfh = run.BHYD.XNFH(j);
      const double all_bound = 0.5 * run.STATE.XNATOM(j) * run.ELEM.XABUND(1);
      const double estimate = eqh2(run, j) * (xnfh * xnfh);
      run.TABLES.XNFH2(j) = estimate <= all_bound ? estimate : all_bound;
    }
  }
}

// ABTOT = ACONT + SIGMAC at the N depths.
void total_extinction(const double* __restrict ACONT, const double* __restrict SIGMAC, int n,
                      double* __restrict ABTOT) {
  for (int k = 0; k < n; ++k) ABTOT[k] = ACONT[k] + SIGMAC[k];
}

// The continuum opacity at every frequency of the set, with its listing lines.
void frequency_loop(Run& run) {
  TablesRec& TB = run.TABLES;
  const int nrhox = run.RHOX.NRHOX;
  std::vector<FItem> ablog;
  ablog.reserve(static_cast<std::size_t>(nrhox));
  for (int i = 1; i <= run.FRESET.NUMNU; ++i) {
    const double nu = run.EDGE.FREQSET(i);
    setfreq(run, nu, i);
    int nsteps = 0;
    double stepwt = 0;
    kapp(run, 1, nsteps, stepwt);
    const double lambda = CLIGHT_NM / nu;
    run.LISTING.print(EDGE_FORMAT, {i, nu, lambda, run.FREQ.WAVENO});
    total_extinction(run.OPTOT.ACONT.data(), run.OPTOT.SIGMAC.data(), nrhox,
                     run.ABTOT.ABTOT.data());
    check_continuum(run, i);
    // The logarithms alone in one loop, then their copies: the library call keeps the loop from
    // running in vector instructions, the copies do not.
    for (int j = 1; j <= nrhox; ++j) TB.ABLOG(j) = std::log10(run.ABTOT.ABTOT(j));
    for (int j = 1; j <= nrhox; ++j) TB.CONTINALL(i, j) = TB.ABLOG(j);
    ablog.assign(TB.ABLOG.begin(), TB.ABLOG.begin() + nrhox);
    run.LISTING.print("(1X,20F5.2)", ablog);
  }
}

// The single-precision depth block of record 4.
void fill_depth_block(Run& run) {
  TablesRec& TB = run.TABLES;
  const Run::TempRec& T = run.TEMP;
  const Run::StateRec& S = run.STATE;
  for (int j = 1; j <= std::min(run.RHOX.NRHOX, NTAB_HEAD); ++j) {
    TB.T4(j) = static_cast<float>(T.T(j));
    TB.TKEV4(j) = static_cast<float>(T.TKEV(j));
    TB.TK4(j) = static_cast<float>(T.TK(j));
    TB.HKT4(j) = static_cast<float>(T.HKT(j));
    TB.TLOG4(j) = static_cast<float>(T.TLOG(j));
    TB.HCKT4(j) = static_cast<float>(T.HCKT(j));
    TB.P4(j) = static_cast<float>(S.P(j));
    TB.XNE4(j) = static_cast<float>(S.XNE(j));
    TB.XNATOM4(j) = static_cast<float>(S.XNATOM(j));
    TB.RHO4(j) = static_cast<float>(S.RHO(j));
    TB.RHOX4(j) = static_cast<float>(run.RHOX.RHOX(j));
    TB.VTURB4(j) = static_cast<float>(run.TURBPR.VTURB(j));
    TB.XNFH4(j) = static_cast<float>(run.BHYD.XNFH(j));
    TB.XNFHE4(j, 1) = static_cast<float>(run.BHE.XNFHE(j, 1));
    TB.XNFHE4(j, 2) = static_cast<float>(run.BHE.XNFHE(j, 2));
    TB.XNFH24(j) = static_cast<float>(TB.XNFH2(j));
  }
  // A model of fewer than 25 depths: the rest of the block is 0, not what a deeper model before
  // it left there.
  for (int j = run.RHOX.NRHOX + 1; j <= NTAB_HEAD; ++j) {
    for (auto* a : {&TB.T4, &TB.TKEV4, &TB.TK4, &TB.HKT4, &TB.TLOG4, &TB.HCKT4, &TB.P4, &TB.XNE4,
                    &TB.XNATOM4, &TB.RHO4, &TB.RHOX4, &TB.VTURB4, &TB.XNFH4, &TB.XNFH24})
      (*a)(j) = 0;
    TB.XNFHE4(j, 1) = 0;
    TB.XNFHE4(j, 2) = 0;
  }
}

// The element table: all stages of every element, the molecules, and stages VII..X of Ca..Ni moved
// into slot 5 of elements 50+k, 60+k, 70+k, 80+k.
void fill_element_table(Run& run) {
  TablesRec& TB = run.TABLES;
  const int nrhox = run.RHOX.NRHOX;
  for (int z = 1; z <= 99; ++z)
    for (int s = 1; s <= 10; ++s)
      for (int j = 1; j <= nrhox; ++j) TB.XNFP(j, s, z) = 0;
  for (int z = 1; z <= 99; ++z)
    pops_stages(run, z, element_stages(z), Wanted::NumberOverU, &TB.XNFP(1, 1, z));
  if (run.IF.IFMOL != 0)
    for (int k = 1; k <= NMOLTAB; ++k)
      pops_molecule(run, TB.IDMOL(k), Wanted::NumberOverU, &TB.XNFP(1, 6, 39 + k));
  for (int k = 0; k <= 8; ++k)
    for (int j = 1; j <= nrhox; ++j)
      for (int stage = 7; stage <= 10; ++stage)
        TB.XNFP(j, 5, 50 + 10 * (stage - 7) + k) = TB.XNFP(j, stage, 20 + k);
}

// The H2 and CO estimates per partition function at T <= 9000 K, kept in stage slot 10 of
// elements 40 and 46, which no table reads; with molecules on, slot 6 of these elements holds H2
// and CO from the molecular equilibrium instead.
void h2_co_estimates(Run& run) {
  TablesRec& TB = run.TABLES;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double T = run.TEMP.T(j);
    if (T > T_H2_MAX) continue;
    // Integer powers as a Fortran compiler forms them: T^3 = T^2 T, T^4 = (T^2)^2, T^5 = T^4 T.
    const double t2 = T * T, t4 = t2 * t2;
    const double eqco = std::exp(sp(11.091f) / run.TEMP.TKEV(j) - sp(49.0414f) -
                                 1.5 * run.TEMP.TLOG(j) + 1.40306e-3 * T - 2.66341e-7 * t2 +
                                 3.5382e-11 * (t2 * T) - 2.65424e-15 * t4 + 8.32385e-20 * (t4 * T));
    const double xnfph = run.BHYD.XNFPH(j, 1);
    TB.XNFP(j, 10, 40) = eqh2(run, j) * (xnfph * xnfph);
    TB.XNFP(j, 10, 46) = eqco * run.BC.XNFPC(j, 1) * run.BO.XNFPO(j);
  }
}

// The population and Doppler tables of depth J and their single copies.
void depth_tables(Run& run, int j) {
  TablesRec& TB = run.TABLES;
  for (int z = 1; z <= 99; ++z) {
    for (int s = 1; s <= 6; ++s) TB.XNFPEL(s, z) = TB.XNFP(j, s, z);
    const double dop = element_doppler(run, j, z);
    for (int s = 1; s <= 6; ++s) TB.DOPPLE(s, z) = dop;
  }
  for (int k = 0; k <= 8; ++k)
    for (int z = 50 + k; z <= 80 + k; z += 10) TB.DOPPLE(5, z) = TB.DOPPLE(1, 20 + k);
  for (int k = 1; k <= NMOLTAB; ++k) TB.DOPPLE(6, 39 + k) = molecule_doppler(run, j, k);
  for (int i = 1; i <= 6 * 99; ++i) {
    TB.XNFPEL4(i) = static_cast<float>(TB.XNFPEL(i));
    TB.DOPPLE4(i) = static_cast<float>(TB.DOPPLE(i));
  }
}

// The listing of depth J.
void print_depth(Run& run, int j) {
  const TablesRec& TB = run.TABLES;
  constexpr const char* LINE = "(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)";
  run.LISTING.print("('0XNFPEL.....DOPPLE',I10)", {j});
  for (int z = 1; z <= 99; ++z) {
    if (z <= 39) {
      run.LISTING.print(LINE, {z, TB.XNFPEL(1, z), TB.XNFPEL(2, z), TB.XNFPEL(3, z),
                               TB.XNFPEL(4, z), TB.XNFPEL(5, z), TB.XNFPEL(6, z), TB.DOPPLE(1, z)});
    } else {
      run.LISTING.print(LINE, {z, TB.XNFPEL(1, z), TB.XNFPEL(2, z), TB.XNFPEL(3, z),
                               TB.XNFPEL(4, z), TB.XNFPEL(5, z), TB.XNFPEL(6, z), TB.DOPPLE(1, z),
                               TB.DOPPLE(6, z), TB.IDMOL(z - 39), 6 * z});
    }
  }
  run.LISTING.print(
      "('0   T     ',1P,E12.4,'    TK    ',E12.4,'    HKT   ',E12.4,'    TKEV  ',E12.4,"
      "'    TLOG  ',E12.4,/,'0   RHOX  ',E12.4,'    P     ',E12.4,'    XNE   ',E12.4,"
      "'    RHO   ',E12.4,/,'0   XNFH  ',E12.4,'    XNFHE ',E12.4,'    XNFH2 ',E12.4)",
      {run.TEMP.T(j), run.TEMP.TK(j), run.TEMP.HKT(j), run.TEMP.TKEV(j), run.TEMP.TLOG(j),
       run.RHOX.RHOX(j), run.STATE.P(j), run.STATE.XNE(j), run.STATE.RHO(j), run.BHYD.XNFH(j),
       run.BHE.XNFHE(j, 1), TB.XNFH2(j)});
}

}  // namespace

void apply_model_overrides(Run& run) {
  run.FRESET.NUMNU = run.EDGE.NUMFREQ;
  for (int k = IFOP_HLINES; k <= IFOP_XLINES; ++k) run.IF.IFOP(k) = 0;
  run.IF.IFPRES = 1;
  run.ITER.ITER = 1;
  run.ITER.NUMITS = 1;
}

void tabulate_model(Run& run, Hdf5Output* hdf5) {
  TablesRec& TB = run.TABLES;
  const int nrhox = run.RHOX.NRHOX;
  fill_molecule_table(TB);
  check_headers(run);
  write_table_headers(run);
  start_model(run);
  fill_element_records(run);
  h2_estimate(run);
  frequency_loop(run);
  fill_depth_block(run);
  check_depth_block(run);
  write_depth_block(run);
  fill_element_table(run);
  h2_co_estimates(run);
  begin_line_strength_maxima(run);
  for (int j = 1; j <= nrhox; ++j) {
    depth_tables(run, j);
    if (run.FRESET.NUMNU > 0) update_line_strength_maxima(run, j);
    for (int i = 1; i <= NTAB_FREQ; ++i) TB.CONTINALL4(i) = static_cast<float>(TB.CONTINALL(i, j));
    check_depth_record(run, j);
    write_depth_record(run);
    print_depth(run, j);
  }
  end_line_strength_maxima(run);
  check_maxima(run);
  write_maxima(run);
  run.LISTING.print("('1')", {});
  {
    // A stop signal that comes while the HDF5 file takes the model waits for the tables' commit:
    // the model is then in both or, after a failure, in neither.
    const StopSignalHold hold;
    if (hdf5 != nullptr) hdf5->write_model(run);
    commit_tables(run);
  }
  run.LISTING.flush();
  run.FRESET.NUMNU = 1;
  run.FRESET.NULO = 1;
  run.FRESET.NUHI = 1;
}

}  // namespace atmotab
