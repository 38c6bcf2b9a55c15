// The molecule list reader and the molecular equilibrium on an arbitrary list: readmol, then
// nmolec over three depths (3000 K, 5000 K, 9000 K) when the list is accepted, and populations
// answered from it. Invariants: a failure is an atmo_error with status 1 or 2; an accepted list
// gives finite, non-negative number densities of every species and of the populations asked for,
// and a positive, finite electron density at every depth.
#include <cmath>
#include <sstream>
#include <string>

#include "common/state.h"
#include "fortio/error.h"
#include "fuzz_support.h"
#include "input/readmol.h"
#include "populations/model_fixture.h"
#include "populations/nmolec.h"
#include "populations/pops.h"
#include "populations/pops_cache.h"

using namespace atmotab;

namespace {

// Runs STEP; true when it returned, false when it stopped the run as a run may stop.
template <class Step>
bool survives(const char* what, Step step) {
  try {
    step();
    return true;
  } catch (const atmo_error& e) {
    if (e.status() != EXIT_FAILURE_REPORTED && e.status() != EXIT_IO)
      fuzz::broken(std::string(what) + " failed with status " + std::to_string(e.status()));
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream list(fuzz::text_of(data, size));
  // A fresh run for every input, with the partition functions and the initial abundances.
  testing::PopsRun p;
  Run& run = p.r;
  run.UNITS.molecules_name = "fuzz.list";
  if (!survives("readmol", [&] { readmol(run, list); })) return 0;
  if (run.XNMOL.NUMMOL < 1) return 0;
  p.set_depth(1, 3000, 1e3, 1e9);
  p.set_depth(2, 5000, 1e4, 1e11);
  p.set_depth(3, 9000, 1e5, 1e14);
  run.ITER.NUMITS = 2;  // no tables on the listing
  run.ITER.ITER = 1;
  if (!survives("nmolec", [&] { nmolec(run); })) return 0;
  // Populations answered from the equilibrium (the molecule codes compared with each request).
  run.IF.IFMOL = 1;
  pops_cache(run).MODEL = model_key(run);
  Arr<double, MAXD, 1> u;
  for (double code : {1.0, 6.0, 26.0, 101.0, 608.0}) {
    if (!survives("pops", [&] { pops(run, code, 1, u.data()); })) return 0;
    for (int j = 1; j <= 3; ++j)
      if (!(u(j, 1) >= 0) || !std::isfinite(u(j, 1)))
        fuzz::broken("population " + std::to_string(u(j, 1)) + " of " + std::to_string(code));
  }
  for (int j = 1; j <= 3; ++j) {
    const double xne = run.STATE.XNE(j);
    if (!(xne > 0) || !std::isfinite(xne))
      fuzz::broken("electron density " + std::to_string(xne) + " at depth " + std::to_string(j));
    for (int m = 1; m <= run.XNMOL.NUMMOL; ++m) {
      const double n = run.XNMOL.XNMOL(j, m);
      if (!(n >= 0) || !std::isfinite(n))
        fuzz::broken("number density " + std::to_string(n) + " of species " + std::to_string(m) +
                     " at depth " + std::to_string(j));
    }
  }
  return 0;
}
