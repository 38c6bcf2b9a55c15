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

// Molecules off (or an element absent from the molecule list): the Saha answer at every depth,
// times the element's number density XABUND XNATOM for the modes that ask for densities.
void pops_saha(Run& run, double code, int mode, double* number) {
  const int iz = static_cast<int>(code);
  const int nion = pops_nion(code);
  const int cols = mode < 10 ? 1 : nion;
  const bool all_depths = pfsaha_depths(run, iz, nion, mode, number);
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    if (!all_depths) pfsaha(run, j, iz, nion, mode, number);
    if (mode % 10 == 3) continue;
    const double xn = run.ELEM.XABUND(iz) * run.STATE.XNATOM(j);
    for (int k = 1; k <= cols; ++k) number[(j - 1) + MAXD * (k - 1)] *= xn;
  }
}

// With molecules on: answers from the molecular equilibrium's arrays.
void pops_molecules(Run& run, double code, int mode, double* number) {
  const XnmolRec& M = run.XNMOL;
  const int mode1 = mode % 10;
  const int nrhox = run.RHOX.NRHOX;
  if (code >= MOLECULE_CODE) {
    for (int m = 1; m <= M.NUMMOL; ++m)
      if (std::fabs(M.CODEMOL(m) - code) < CODE_MATCH) return copy_entry(run, m, mode1, number);
    for (int j = 1; j <= nrhox; ++j) number[j - 1] = 0;
    return;
  }
  const int iz = static_cast<int>(code);
  bool listed = false;
  for (int m = 1; m <= M.NUMMOL; ++m) listed = listed || static_cast<int>(M.CODEMOL(m)) == iz;
  if (!listed) return pops_saha(run, code, mode, number);
  const int stages = mode < 11 ? 1 : pops_nion(code);
  for (int k = 1; k <= stages; ++k) {
    const double stage_code = code - 0.01 * (k - 1);
    double* column = number + MAXD * (stages - k);
    int entry = 0;
    for (int m = 1; m <= M.NUMMOL && entry == 0; ++m)
      if (std::fabs(M.CODEMOL(m) - stage_code) < CODE_MATCH) entry = m;
    if (entry > 0)
      copy_entry(run, entry, mode1, column);
    else
      for (int j = 1; j <= nrhox; ++j) column[j - 1] = 0;
  }
}

}  // namespace

int pops_nion(double code) {
  const int iz = static_cast<int>(code);
  return static_cast<int>((code - iz) * 100 + 1.5);
}

void pops(Run& run, double code, int mode, double* number) {
  if (!run.PFTAB.LOADED) load_pf_tables(run);
  ModelKey& solved = pops_cache(run).MODEL;
  const bool stale = run.IF.IFPRES == 1 && solved != model_key(run);
  if (run.IF.IFMOL == 1) {
    if (stale) nmolec(run);
    solved = model_key(run);
    if (code == 0) return;
    return pops_molecules(run, code, mode, number);
  }
  if (stale) nelect(run);
  solved = model_key(run);
  if (code == 0) return;
  if (code >= MOLECULE_CODE) {
    run.LISTING.print("('1MOLECULES OFF')", {});
    throw atmo_error(EXIT_FAILURE_REPORTED, "pops",
                     "MOLECULES OFF: molecule code " + std::to_string(code) +
                         " requested while the molecular equilibrium is off");
  }
  pops_saha(run, code, mode, number);
}

}  // namespace atmotab
