// pops — population driver. Brings the electron density of the current model up to date once
// per model (populations/pops_cache.h), then answers a request for one element by the Saha balance
// at every depth, scaled by the element's number density XABUND(Z) * XNATOM(J). Sources: Saha
// ionization (pfsaha); charge conservation (nelect). Inputs:  the model counter, IFPRES, IFMOL,
// NRHOX, XABUND, XNATOM; the molecule list (with molecules on). Output:  NUMBER(J) or
// NUMBER(J,1..NION) [cm^-3, or the partition function in mode 3]. Valid:   atom codes 1.00..99.09
// within the stages of the element; molecule codes only with the
//          molecular equilibrium in force. A molecule code while molecules are off stops the run
//          after "1MOLECULES OFF" (exit status 1).
// With molecules on (IFMOL = 1) the molecular equilibrium nmolec takes the place of the electron
// iteration, and requests are answered from its populations: a stage that the list holds from its
// entry, a stage of a listed element that the list lacks as 0, an element not in the list by the
// Saha balance.
// Deviations from the source: a molecule code matches a list entry within 0.001, as a stage code
// does, instead of exactly: the table codes of molecular ions are single-precision values
// (106.01 is 106.01000213623047) that an exact comparison with the list's 106.01 never finds.
#include "populations/pops.h"

#include <cmath>
#include <string>

#include "fortio/error.h"
#include "populations/nelect.h"
#include "populations/nmolec.h"
#include "populations/pfsaha.h"
#include "populations/pftables.h"
#include "populations/pops_cache.h"

namespace atmotab {
namespace {

constexpr double MOLECULE_CODE = 100.0;  // codes from here up name molecules
constexpr double CODE_MATCH = 0.001;     // tolerance of a code match in the molecule list

// Answer of a molecule-list entry for units digit MODE1 of the mode into column 1 of NUMBER. The
// partition function (3) is 0 where the species takes no part (a molecule above 10000 K).
void copy_entry(const Run& run, int entry, int mode1, double* number) {
  const XnmolRec& M = run.XNMOL;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    double& out = number[j - 1];
    if (mode1 == 1)
      out = M.XNFPMOL(j, entry);
    else if (mode1 == 2)
      out = M.XNMOL(j, entry);
    else if (mode1 == 3)
      out = M.XNFPMOL(j, entry) != 0 ? M.XNMOL(j, entry) / M.XNFPMOL(j, entry) : 0;
  }
}

// A request for stages of element IZ: stage NION alone (ALL false) or stages 1..NION (ALL true).
struct StageRequest {
  int iz;
  int nion;
  bool all;
  Wanted what;
  int mode() const { return (all ? 10 : 0) + static_cast<int>(what); }
  int columns() const { return all ? nion : 1; }
};

// Molecules off (or an element absent from the molecule list): the Saha answer at every depth,
// times the element's number density XABUND XNATOM for the requests of densities.
void pops_saha(Run& run, const StageRequest& q, double* number) {
  const int mode = q.mode();
  const bool all_depths = pfsaha_depths(run, q.iz, q.nion, mode, number);
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    if (!all_depths) pfsaha(run, j, q.iz, q.nion, mode, number);
    if (q.what == Wanted::PartitionFunction) continue;
    const double xn = run.ELEM.XABUND(q.iz) * run.STATE.XNATOM(j);
    for (int k = 1; k <= q.columns(); ++k) number[(j - 1) + MAXD * (k - 1)] *= xn;
  }
}

// The molecule-list entry of CODE (0: none).
int molecule_entry(const XnmolRec& M, double code) {
  for (int m = 1; m <= M.NUMMOL; ++m)
    if (std::fabs(M.CODEMOL(m) - code) < CODE_MATCH) return m;
  return 0;
}

// With molecules on: a stage that the list holds from its entry, a stage of a listed element that
// the list lacks as 0, an element not in the list by the Saha balance.
void pops_molecule_stages(Run& run, const StageRequest& q, double* number) {
  const XnmolRec& M = run.XNMOL;
  bool listed = false;
  // Whole parts compared as doubles: a molecule's code reaches 1e16, beyond any int.
  for (int m = 1; m <= M.NUMMOL; ++m) listed = listed || std::trunc(M.CODEMOL(m)) == q.iz;
  if (!listed) return pops_saha(run, q, number);
  const int first = q.all ? 1 : q.nion;
  for (int s = first; s <= q.nion; ++s) {
    double* column = number + MAXD * (s - first);
    const int entry = molecule_entry(M, q.iz + 0.01 * (s - 1));
    if (entry > 0)
      copy_entry(run, entry, static_cast<int>(q.what), column);
    else
      for (int j = 1; j <= run.RHOX.NRHOX; ++j) column[j - 1] = 0;
  }
}

void pops_request(Run& run, const StageRequest& q, double* number) {
  pops_current(run);
  if (run.IF.IFMOL == 1) return pops_molecule_stages(run, q, number);
  pops_saha(run, q, number);
}

}  // namespace

int pops_nion(double code) {
  const int iz = static_cast<int>(code);
  return static_cast<int>((code - iz) * 100 + 1.5);
}

void pops_current(Run& run) {
  if (!run.PFTAB.LOADED) load_pf_tables(run);
  ModelKey& solved = pops_cache(run).MODEL;
  const bool stale = run.IF.IFPRES == 1 && solved != model_key(run);
  if (stale) {
    if (run.IF.IFMOL == 1)
      nmolec(run);
    else
      nelect(run);
  }
  solved = model_key(run);
}

void pops_stage(Run& run, int z, int stage, Wanted what, double* out) {
  pops_request(run, {z, stage, false, what}, out);
}

void pops_stages(Run& run, int z, int nstages, Wanted what, double* out) {
  pops_request(run, {z, nstages, true, what}, out);
}

void pops_molecule(Run& run, double code, Wanted what, double* out) {
  pops_current(run);
  if (run.IF.IFMOL != 1) {
    run.LISTING.print("('1MOLECULES OFF')", {});
    throw atmo_error(EXIT_FAILURE_REPORTED, "pops",
                     "MOLECULES OFF: molecule code " + std::to_string(code) +
                         " requested while the molecular equilibrium is off");
  }
  const int entry = molecule_entry(run.XNMOL, code);
  if (entry > 0) return copy_entry(run, entry, static_cast<int>(what), out);
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) out[j - 1] = 0;
}

void pops(Run& run, double code, int mode, double* number) {
  if (code == 0) return pops_current(run);
  const Wanted what = static_cast<Wanted>(mode % 10);
  if (code >= MOLECULE_CODE) return pops_molecule(run, code, what, number);
  const int z = static_cast<int>(code);
  if (mode < 10)
    pops_stage(run, z, pops_nion(code), what, number);
  else
    pops_stages(run, z, pops_nion(code), what, number);
}

}  // namespace atmotab
