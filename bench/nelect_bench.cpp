// nelect on a 99-depth model (4000..12000 K, 1e1..1e6 dyn cm^-2): the electron-density solution
// that pops runs once per model. Reports the time per model; divide by 99 for a depth point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>

#include "common/state.h"
#include "populations/nelect.h"
#include "populations/pftables.h"

namespace {

void nelect_99_depths(benchmark::State& state) {
  using namespace atmotab;
  std::ostringstream listing;
  auto run = make_run(listing);
  Run& r = *run;
  load_pf_tables(r);
  ElemRec& E = r.ELEM;
  E.XABUND(1) = E.ABUND(1);
  E.XABUND(2) = E.ABUND(2);
  for (int z = 3; z <= 99; ++z) E.XABUND(z) = std::pow(10.0, E.ABUND(z));
  for (int z = 1; z <= 99; ++z) E.WTMOLE += E.XABUND(z) * E.ATMASS(z);
  r.RHOX.NRHOX = MAXD;
  r.ITER.NUMITS = 2;  // no printing
  r.ITER.ITER = 1;
  for (int j = 1; j <= MAXD; ++j) {
    const double t = 4000.0 + 8000.0 * (j - 1) / (MAXD - 1);
    r.TEMP.T(j) = t;
    r.TEMP.TKEV(j) = 8.6171e-5 * t;
    r.TEMP.TK(j) = 1.38054e-16 * t;
    r.TEMP.HKT(j) = 6.6256e-27 / r.TEMP.TK(j);
    r.TEMP.TLOG(j) = std::log(t);
    r.TEMP.HCKT(j) = r.TEMP.HKT(j) * 29979245800.0;
    r.STATE.P(j) = std::pow(10.0, 1.0 + 5.0 * (j - 1) / (MAXD - 1));
  }
  for (auto _ : state) {
    nelect(r);
    benchmark::DoNotOptimize(r.STATE.XNE.data());
  }
  state.counters["per_depth"] = benchmark::Counter(
      MAXD, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(nelect_99_depths)->Unit(benchmark::kMillisecond);

}  // namespace
