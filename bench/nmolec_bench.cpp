// nmolec on a 99-depth cool model (2900..9000 K, 1e2..1e6 dyn cm^-2, solar abundances) with the
// shipped molecule list (111 species, 29 equations): the molecular equilibrium that pops runs once
// per model instead of the electron iteration. Reports the time per model; divide by 99 for a
// depth point. "with_listing" adds the three population tables of the listing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "common/state.h"
#include "input/complete_model.h"
#include "input/readmol.h"
#include "populations/nmolec.h"
#include "populations/pftables.h"

namespace {

void nmolec_99_depths(benchmark::State& state, bool listing_on) {
  using namespace atmotab;
  std::ostringstream listing;
  auto run = make_run(listing);
  Run& r = *run;
  load_pf_tables(r);
  std::ifstream list(std::string(ATMOTAB_SOURCE_DIR) + "/data/molecules.dat");
  readmol(r, list);
  r.RHOX.NRHOX = MAXD;
  r.ITER.NUMITS = listing_on ? 1 : 2;
  r.ITER.ITER = 1;
  for (int j = 1; j <= MAXD; ++j) {
    r.TEMP.T(j) = 2900.0 + 6100.0 * (j - 1) / (MAXD - 1);
    r.STATE.P(j) = std::pow(10.0, 2.0 + 4.0 * (j - 1) / (MAXD - 1));
  }
  complete_model(r);
  for (auto _ : state) {
    nmolec(r);
    listing.str("");
    benchmark::DoNotOptimize(r.XNMOL.XNMOL.data());
  }
  state.counters["per_depth"] = benchmark::Counter(
      MAXD, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(nmolec_99_depths, equilibrium, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(nmolec_99_depths, with_listing, true)->Unit(benchmark::kMillisecond);

}  // namespace
