// nmolec — chemical and ionization equilibrium of the species of the molecule list, by Newton
// iteration at every depth.
// Equations (unknowns: XN(1) the density of nuclei, XN(K) the free atoms of the element of
// equation K, XN(E) the free electrons):
//   particles  sum of free atoms, free electrons and every other species = P / kT,
//   nuclei     free atoms of Z + atoms of Z bound in species = XAB(Z) XN(1) for every element,
//   charge     free electrons = positive charges - electrons bound in negative ions.
// A species' density is its equilibrium factor times the product of the free densities of its
// components, over XN(E) per positive charge: for atomic ions the Saha ratio of pfsaha times
// XNE^charges; for molecules the formation constant of the molecule list,
//   K = exp(D0/kT - A2 + A3 T - A4 T^2 + A5 T^3 - A6 T^4 + A7 T^5 - 1.5 (NCOMP - 2 ION - 1) ln T),
// with H2 on fixed coefficients (a polynomial to T^6), left out above 10000 K. Departures from LTE
// enter through the ground-level departure coefficients of H, C, O, Mg, Al, Si and Ca.
// Number density over partition function of a molecule follows from the free atoms over their
// partition functions and translational factors (the Saha-Boltzmann relation with D0):
//   n/U = exp(D0/kT) C (M T)^1.5 prod n_i / (U_i C (m_i T)^1.5) / (n_e / (2 C_e T^1.5))^ION,
// C = (2 pi amu k / h^2)^1.5 = 1.8786e20 cm^-3 K^-1.5, C_e = (2 pi m_e k / h^2)^1.5 = 2.4148e15.
// Inputs:  the IFEQUA record and CODEMOL, NUMMOL; XABUND, ATMASS, WTMOLE; T, TK, TKEV, TLOG, P;
//          departure coefficients; NUMITS, ITER (printing).
// Output:  XNMOL, XNFPMOL [cm^-3]; XNATOM [cm^-3], RHO [g cm^-3], XNE [cm^-3] (electron equation).
// Valid:   molecules 1000..10000 K (the molecule list's fits); atoms and ions wherever pfsaha is.
// Deviations from the source: the iteration is bounded (NMOLEC_MAXPASS passes) and a matrix
// without a non-zero pivot is reported, both naming the depth; after the passes have met the
// relative-correction test of 1e-3 they go on until particles, nuclei and charge are conserved to
// 1e-9 (the 1e-3 test alone leaves errors of up to 3e-4, after a pass that damps a correction);
// an electron slot anywhere in a code counts as a bound electron; the partition functions
// of the departure corrections see the depth's electron density scaled from the depth above, not
// the model's own value (which a model integrated from a temperature law leaves at 0); a molecule
// left out above 10000 K has no number density over partition function there either (the
// Saha-Boltzmann relation would give it its LTE value although it takes no part); a code of one
// element with D0 != 0 is refused, and a molecule's n/U that overflows stops the run.
#include "populations/nmolec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/constants.h"
#include "fortio/error.h"
#include "populations/nmolec_setup.h"
#include "populations/pfsaha.h"
#include "populations/solvit.h"

namespace atmotab {
namespace {

constexpr double T_MOLECULES_MAX = 10000;  // [K] molecules are left out above
// A depth has converged when the last Newton pass corrected every unknown by at most CONVERGED
// (relative) and the residuals then show particles, nuclei and charge conserved to CONSERVED. The
// first test alone leaves conservation errors of up to 3e-4 (a pass may damp a correction that
// changed sign); the second usually costs one pass more.
constexpr double CONVERGED = 0.001;
constexpr double CONSERVED = 1e-9;
constexpr double DAMP = 0.69;            // factor on a correction that changed sign
constexpr double SCALE0 = 100;           // divisor of an unknown whose update would collapse
constexpr double TRANS_AMU = 1.8786e20;  // (2 pi amu k / h^2)^1.5 [cm^-3 K^-1.5]
constexpr double TRANS_E = 2.4148e15;    // (2 pi m_e k / h^2)^1.5 [cm^-3 K^-1.5]
constexpr double G_E_INV = 0.5;          // 1 / statistical weight of a free electron

[[noreturn]] void fail(Run& run, int j, const char* listing_line, const std::string& what,
                       const std::string& hint = "") {
  run.LISTING.print(listing_line, {j});
  throw atmo_error(EXIT_FAILURE_REPORTED, "nmolec",
                   what + " at depth J = " + std::to_string(j) +
                       " (T = " + std::to_string(run.TEMP.T(j)) + " K)" + hint);
}

// For a failed equilibrium: the molecule of the largest equilibrium factor EQUILJ at the depth,
// the likeliest cause when one species binds far too strongly (a D0 or coefficient out of scale).
std::string strongest_species(const Run& run, const MolSetup& s,
                              const std::vector<double>& equilj) {
  int best = 0;
  for (std::size_t m = 0; m < s.species.size(); ++m)
    if (s.species[m].kind == MolKind::Molecule &&
        (best == 0 || equilj[m] > equilj[static_cast<std::size_t>(best - 1)]))
      best = static_cast<int>(m) + 1;
  if (best == 0) return "";
  char lnk[32];
  std::snprintf(lnk, sizeof lnk, "%.4g", std::log(equilj[static_cast<std::size_t>(best - 1)]));
  return "; the largest equilibrium constant here is that of " + nmolec_card(run, best) +
         ", ln K = " + lnk + ": check its D0 and coefficients";
}

// Ground-level correction factors R_Z = (U_LTE / U) b1 of the elements in the list at depth J;
// 1 for every other element.
void nlte_factors(Run& run, int j, Arr<double, NELEM>& rz) {
  Depth u;
  rz.fill(1);
  for (const MolNlte& n : MOL_NLTE) {
    if (run.IFEQUA.IFEQUA(n.z) == 0 || n.lte(run, j)) continue;
    run.IF.IFNLTE = -1;
    pfsaha(run, j, n.z, 1, 3, u.data());
    const double u_lte = u(j);
    run.IF.IFNLTE = 0;
    pfsaha(run, j, n.z, 1, 3, u.data());
    rz(n.z) = u_lte / u(j) * n.b1(run, j);
  }
}

// ln K of a molecule at depth J from its card (H2 on fixed coefficients).
double molecule_lnk(const Run& run, int j, int m, const MolSpecies& q) {
  const double t = run.TEMP.T(j), tkev = run.TEMP.TKEV(j), tlog = run.TEMP.TLOG(j);
  const double t2 = t * t, t3 = t2 * t, t4 = t2 * t2, t5 = t4 * t;
  if (q.h2)
    return 4.478 / tkev - 46.4584 + 0.0016366 * t - 4.93992e-7 * t2 + 1.11822e-10 * t3 -
           1.49567e-14 * t4 + 1.06206e-18 * t5 - 3.0872e-23 * (t3 * t3) - 1.5 * tlog;
  const auto& a = run.IFEQUA.EQUIL;
  return a(1, m) / tkev - a(2, m) + a(3, m) * t - a(4, m) * t2 + a(5, m) * t3 - a(6, m) * t4 +
         a(7, m) * t5 - 1.5 * (q.ncomp - 2 * q.ion - 1) * tlog;
}

// Equilibrium factor EQUILJ of every species at depth J (FR: work space of pfsaha's fractions).
void equilibrium_factors(Run& run, const MolSetup& s, int j, const Arr<double, NELEM>& rz,
                         Arr<double, MAXD, PF_MAXION>& fr, std::vector<double>& equilj) {
  const double xne = run.STATE.XNE(j);
  for (std::size_t m = 0; m < s.species.size(); ++m) {
    const MolSpecies& q = s.species[m];
    double& f = equilj[m];
    if (q.kind == MolKind::Atom) {
      f = 1;
    } else if (q.kind == MolKind::AtomicIon) {
      pfsaha(run, j, q.z, q.ncomp, 12, fr.data());
      double xne_pow = 1;
      for (int c = 1; c < q.ncomp; ++c) xne_pow *= xne;
      f = xne_pow * fr(j, q.ncomp) / fr(j, 1);
    } else if (run.TEMP.T(j) > T_MOLECULES_MAX) {
      f = 0;
    } else {
      f = std::exp(molecule_lnk(run, j, static_cast<int>(m) + 1, q));
      for (int i = q.first; i < q.first + q.ncomp; ++i) {
        const int z = s.slots[static_cast<std::size_t>(i)].z;
        if (z > 0) f *= rz(z);
      }
    }
    if (!std::isfinite(f))
      fail(run, j, "(' EQUILIBRIUM CONSTANT OUT OF RANGE AT DEPTH',I3)",
           "the equilibrium constant of species " +
               std::to_string(run.XNMOL.CODEMOL(static_cast<int>(m) + 1)) + " is out of range");
  }
}

// Newton work of one depth. The Jacobian is stored by rows for solvit: DEQ(K,L), the derivative
// of equation K by unknown L, is deq(L,K).
struct Newton {
  Arr<double, MAXEQUA> xn, eq, eqold;
  Arr<double, MAXEQUA, MAXEQUA> deq;
  int ipiv[MAXEQUA];
  double& DEQ(int k, int l) { return deq(l, k); }
};

// Density of species Q with equilibrium factor F from the unknowns XN.
double density(const MolSetup& s, const MolSpecies& q, double f, const Arr<double, MAXEQUA>& xn) {
  double n = f;
  for (int i = q.first; i < q.first + q.ncomp; ++i) {
    const MolSlot& sl = s.slots[static_cast<std::size_t>(i)];
    if (sl.charge)
      n /= xn(sl.eq);
    else
      n *= xn(sl.eq);
  }
  return n;
}

// Residuals EQ and Jacobian DEQ of the equations at the unknowns XN.
void residuals(const MolSetup& s, double xntot, const std::vector<double>& equilj, Newton& w) {
  const int n = s.nequa, e = s.e;
  std::fill(w.deq.data(), w.deq.data() + MAXEQUA * n, 0.0);  // rows 1..n
  w.eq(1) = -xntot;
  for (int k = 2; k <= n; ++k) w.eq(1) += w.xn(k);
  for (int k = 2; k <= n; ++k) {
    w.eq(k) = w.xn(k) - s.xab(k) * w.xn(1);
    w.DEQ(1, k) = 1;
    w.DEQ(k, k) = 1;
    w.DEQ(k, 1) = -s.xab(k);
  }
  if (e != 0) {
    w.eq(e) = -w.xn(e);
    w.DEQ(e, e) = -1;
  }
  for (std::size_t m = 0; m < s.species.size(); ++m) {
    const MolSpecies& q = s.species[m];
    if (q.ncomp == 1) continue;
    const double nm = density(s, q, equilj[m], w.xn);
    w.eq(1) += nm;
    const int last = q.first + q.ncomp;
    for (int i = q.first; i < last; ++i) {
      const MolSlot& sl = s.slots[static_cast<std::size_t>(i)];
      const int k = sl.eq;
      const double d = sl.charge ? -nm / w.xn(e) : nm / w.xn(k);
      w.eq(k) += nm;
      w.DEQ(1, k) += d;
      for (int i2 = q.first; i2 < last; ++i2)
        w.DEQ(s.slots[static_cast<std::size_t>(i2)].eq, k) += d;
      // Bound electrons count -1 in the charge balance: the +1 above and -2 here.
      if (q.electrons > 0) {
        if (k == e && !sl.charge) w.eq(e) -= 2 * nm;
        w.DEQ(e, k) -= 2 * q.electrons * d;
      }
    }
  }
}

// True when the residuals EQ show particles, the nuclei of every element and charge conserved to
// CONSERVED relative to their totals.
bool conserved(const MolSetup& s, double xntot, const Newton& w) {
  if (!(std::fabs(w.eq(1)) <= CONSERVED * xntot)) return false;
  for (int k = 2; k <= s.nequa; ++k) {
    const double total = k == s.e ? w.xn(k) : s.xab(k) * w.xn(1);
    if (!(std::fabs(w.eq(k)) <= CONSERVED * total)) return false;
  }
  return true;
}

// One update of the unknowns by the Newton correction in EQ; returns the largest relative
// correction.
double update(const MolSetup& s, Newton& w) {
  double scale = SCALE0;
  double worst = 0;
  for (int k = 1; k <= s.nequa; ++k) {
    double delta = w.eq(k);
    worst = std::max(worst, std::fabs(delta / w.xn(k)));
    const bool flipped = delta * w.eqold(k) < 0;
    if (flipped) delta *= DAMP;
    const double next = w.xn(k) - delta;
    if (std::fabs(next) < w.xn(k) / 100) {
      w.xn(k) /= scale;
      if (flipped) scale = std::sqrt(scale);
    } else {
      w.xn(k) = std::fabs(next);
    }
    w.eqold(k) = delta;
  }
  return worst;
}

void print_tables(Run& run, const char* title, int indent, const Arr<double, NDEPTH, MAXMOL>& x) {
  const XnmolRec& M = run.XNMOL;
  const int nrhox = run.RHOX.NRHOX;
  for (int m0 = 1; m0 <= M.NUMMOL; m0 += 10) {
    const int nb = std::min(10, M.NUMMOL - m0 + 1);
    const std::string fmt = "('1'," + std::to_string(indent) + "X,'" + title + "',/,5X," +
                            std::to_string(nb) + "F12.2,/,(I5,1P," + std::to_string(nb) + "E12.3))";
    std::vector<FItem> items;
    for (int m = m0; m < m0 + nb; ++m) items.emplace_back(M.CODEMOL(m));
    for (int j = 1; j <= nrhox; ++j) {
      items.emplace_back(j);
      for (int m = m0; m < m0 + nb; ++m) items.emplace_back(x(j, m));
    }
    run.LISTING.print(fmt, items);
  }
}

void print_state(Run& run) {
  std::vector<FItem> items;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j)
    for (FItem v : {FItem(j), FItem(run.RHOX.RHOX(j)), FItem(run.TEMP.T(j)), FItem(run.STATE.P(j)),
                    FItem(run.STATE.XNE(j)), FItem(run.STATE.XNATOM(j)), FItem(run.STATE.RHO(j))})
      items.push_back(v);
  run.LISTING.print(
      "('1',11X,'RHOX',9X,'T',11X,'P',10X,'XNE',8X,'XNATOM',8X,'RHO',/,(I5,1P,6E12.3))", items);
}

// Number densities over partition functions of every species at every depth, from the converged
// unknowns XNZ(J,K).
void partition_ratios(Run& run, const MolSetup& s, Arr<double, NDEPTH, MAXEQUA>& xnz) {
  XnmolRec& M = run.XNMOL;
  const IfequaRec& Q = run.IFEQUA;
  Arr<double, MAXD, 2> u;  // partition functions of stages I and II of one element
  Arr<double, NELEM, 2> uz;
  Arr<bool, NELEM> ion_listed;
  for (const MolSpecies& q : s.species)
    if (q.kind == MolKind::AtomicIon && q.ncomp == 2) ion_listed(q.z) = true;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double t = run.TEMP.T(j);
    for (int k = 2; k <= s.nequa; ++k) {
      if (k == s.e) {
        xnz(j, k) = xnz(j, k) * G_E_INV / TRANS_E / std::pow(t, 1.5);
        continue;
      }
      const int z = Q.IDEQUA(k);
      // Stages I and II together where the ion is listed: one balance, the same values.
      if (ion_listed(z)) {
        pfsaha(run, j, z, 2, 13, u.data());
        uz(z, 2) = u(j, 2);
      } else {
        pfsaha(run, j, z, 1, 3, u.data());
      }
      uz(z, 1) = u(j, 1);
      double c = 1;
      for (const MolNlte& n : MOL_NLTE)
        if (n.z == z) c = n.b1(run, j);
      xnz(j, k) = xnz(j, k) / (uz(z, 1) / c) / TRANS_AMU / std::pow(run.ELEM.ATMASS(z) * t, 1.5);
    }
    for (std::size_t m0 = 0; m0 < s.species.size(); ++m0) {
      const MolSpecies& q = s.species[m0];
      const int m = static_cast<int>(m0) + 1;
      if (q.kind != MolKind::Molecule) {
        double part;
        if (q.ncomp <= 2 && (q.ncomp == 1 || ion_listed(q.z))) {
          part = uz(q.z, q.ncomp);
        } else {
          Depth one;
          pfsaha(run, j, q.z, q.ncomp, 3, one.data());
          part = one(j);
        }
        M.XNFPMOL(j, m) = M.XNMOL(j, m) / part;
        continue;
      }
      if (t > T_MOLECULES_MAX) {  // left out of the equilibrium: none here
        M.XNFPMOL(j, m) = 0;
        continue;
      }
      double v = std::exp(q.d0 / run.TEMP.TKEV(j)) * TRANS_AMU * std::pow(q.mass * t, 1.5);
      for (int i = q.first; i < q.first + q.ncomp; ++i) {
        const MolSlot& sl = s.slots[static_cast<std::size_t>(i)];
        if (sl.charge)
          v /= xnz(j, sl.eq);
        else
          v *= xnz(j, sl.eq);
      }
      // exp(D0/kT) alone overflows where the fit's own terms cancelled it in the density.
      if (!std::isfinite(v))
        fail(run, j, "(' EQUILIBRIUM CONSTANT OUT OF RANGE AT DEPTH',I3)",
             "the number density over partition function of " + nmolec_card(run, m) +
                 " is out of range (D0 / kT too large)");
      M.XNFPMOL(j, m) = v;
    }
  }
}

}  // namespace

void nmolec(Run& run, int maxpass) {
  XnmolRec& M = run.XNMOL;
  Run::StateRec& S = run.STATE;
  const int nrhox = run.RHOX.NRHOX;
  if (run.IFEQUA.NEQUA < 2 || M.NUMMOL < 1) {
    run.LISTING.print("(' NO MOLECULE LIST')", {});
    throw atmo_error(EXIT_FAILURE_REPORTED, "nmolec",
                     "molecules are on but no molecule list is in force: a READ MOLECULES card "
                     "must come first");
  }
  const MolSetup s = nmolec_unpack(run);
  M.XNMOL.fill(0);
  M.XNFPMOL.fill(0);
  if (nrhox < 1) return;

  Newton w;
  Arr<double, NDEPTH, MAXEQUA> xnz;
  Arr<double, NELEM> rz;
  Arr<double, MAXD, PF_MAXION> fr;
  std::vector<double> equilj(s.species.size());
  w.xn(1) = S.P(1) / run.TEMP.TK(1) / 2;
  const double x0 = w.xn(1) / 10;
  for (int k = 2; k <= s.nequa; ++k) w.xn(k) = s.xab(k) * x0;
  if (s.e != 0) w.xn(s.e) = x0;
  S.XNE(1) = x0;

  for (int j = 1; j <= nrhox; ++j) {
    const double xntot = S.P(j) / run.TEMP.TK(j);
    if (j > 1) {
      const double ratio = S.P(j) / S.P(j - 1);
      S.XNE(j) = S.XNE(j - 1) * ratio;
      for (int k = 1; k <= s.nequa; ++k) w.xn(k) *= ratio;
    }
    nlte_factors(run, j, rz);
    equilibrium_factors(run, s, j, rz, fr, equilj);
    for (int k = 1; k <= s.nequa; ++k) w.eqold(k) = 0;
    bool converged = false;
    // Newton passes until a pass has corrected every unknown by at most CONVERGED (relative) and
    // the residuals then show every conservation law kept to CONSERVED.
    bool small = false;
    for (int pass = 1;; ++pass) {
      residuals(s, xntot, equilj, w);
      if (small && conserved(s, xntot, w)) {
        converged = true;
        break;
      }
      if (pass > maxpass) break;
      if (!solvit(w.deq.data(), MAXEQUA, s.nequa, w.eq.data(), w.ipiv))
        fail(run, j, "(' MOLECULAR EQUILIBRIUM: ZERO PIVOT AT DEPTH',I3)",
             "the Newton matrix of the molecular equilibrium is singular (no non-zero pivot)",
             strongest_species(run, s, equilj));
      const double worst = update(s, w);
      for (int k = 1; k <= s.nequa; ++k)
        if (!std::isfinite(w.xn(k)))
          fail(run, j, "(' MOLECULAR EQUILIBRIUM DOES NOT CONVERGE AT DEPTH',I3)",
               "the molecular equilibrium diverged", strongest_species(run, s, equilj));
      small = worst <= CONVERGED;
    }
    if (!converged)
      fail(run, j, "(' MOLECULAR EQUILIBRIUM DOES NOT CONVERGE AT DEPTH',I3)",
           "the molecular equilibrium does not converge within " + std::to_string(maxpass) +
               " Newton passes",
           strongest_species(run, s, equilj));
    for (int k = 1; k <= s.nequa; ++k) xnz(j, k) = w.xn(k);
    S.XNATOM(j) = w.xn(1);
    S.RHO(j) = run.ELEM.WTMOLE * AMU_SP * w.xn(1);  // as the electron iteration
    if (s.e != 0) S.XNE(j) = w.xn(s.e);
    for (std::size_t m = 0; m < s.species.size(); ++m)
      M.XNMOL(j, static_cast<int>(m) + 1) = density(s, s.species[m], equilj[m], w.xn);
  }
  run.IF.IFNLTE = 0;
  const bool print = run.ITER.NUMITS <= run.ITER.ITER;
  if (print) {
    print_state(run);
    print_tables(run, "MOLECULAR NUMBER DENSITIES", 50, M.XNMOL);
  }
  partition_ratios(run, s, xnz);
  if (print) print_tables(run, "MOLECULAR NUMBER DENSITIES / PARTITION FUNCTIONS", 40, M.XNFPMOL);
}

}  // namespace atmotab
