// nelect on a 99-depth model (4000..12000 K, 1e1..1e6 dyn cm^-2): the electron-density solution
// that pops runs once per model. Reports the time per model; divide by 99 for a depth point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "input/complete_model.h"
#include "populations/nelect.h"
#include "populations/pftables.h"

namespace {

void nelect_99_depths(benchmark::State& state) {
  using namespace atmotab;
  std::ostringstream listing;
  auto run = make_run(listing);
  Run& r = *run;
  load_pf_tables(r);
  r.RHOX.NRHOX = MAXD;
  r.ITER.NUMITS = 2;  // no printing
  r.ITER.ITER = 1;
  for (int j = 1; j <= MAXD; ++j) {
    const double t = 4000.0 + 8000.0 * (j - 1) / (MAXD - 1);
    r.TEMP.T(j) = t;
    r.STATE.P(j) = std::pow(10.0, 1.0 + 5.0 * (j - 1) / (MAXD - 1));
  }
  complete_model(r);  // abundances, temperature quantities, XNATOM and RHO as at the begin card
  for (auto _ : state) {
    nelect(r);
    benchmark::DoNotOptimize(r.STATE.XNE.data());
  }
  state.counters["per_depth"] = benchmark::Counter(
      MAXD, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(nelect_99_depths)->Unit(benchmark::kMillisecond);

}  // namespace
