// The opacity driver over a full model: 99 depths x 1128 frequencies (three per interval of 377
// edges), each frequency as the per-model driver does it: fill the FREQ record, then kapp.
// The model is a solar-like structure filled directly into the records (no populations run).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "common/state.h"
#include "input/complete_model.h"
#include "opacity/coolop.h"
#include "opacity/h2collop.h"
#include "opacity/h2op.h"
#include "opacity/hminop.h"
#include "opacity/hop.h"
#include "opacity/hotop.h"
#include "opacity/hydrogen_dissolved.h"
#include "opacity/kapp.h"
#include "opacity/lukeop.h"
#include "opacity/setfreq.h"

namespace {

using atmotab::Run;

constexpr int NDEPTH = 99;
constexpr int NFREQ = 1128;

// log10 RHOX from -3.5 to 2.5 g cm^-2; T from 4300 K at the top through Teff = 5770 K near
// RHOX = 1 to 11000 K at the bottom; hydrostatic P = g RHOX; the initial abundances; the
// electron density rising from metal-dominated 1e10 to hydrogen-dominated 1e16 cm^-3.
void fill_solar_model(Run& run) {
  run.RHOX.NRHOX = NDEPTH;
  for (int j = 1; j <= NDEPTH; ++j) {
    const double s = (j - 1) / double(NDEPTH - 1);
    const double rhox = std::pow(10.0, -3.5 + 6.0 * s);
    const double T = 4300.0 + 6700.0 * s * s * s;
    run.RHOX.RHOX(j) = rhox;
    run.TEMP.T(j) = T;
    run.STATE.P(j) = 2.7398e4 * rhox;
    run.STATE.XNE(j) = std::pow(10.0, 10.0 + 6.0 * s * s);
  }
  complete_model(run);  // temperature quantities, XNATOM and RHO as at the begin card
  for (int j = 1; j <= NDEPTH; ++j) {
    run.BHYD.XNFPH(j, 1) = 0.92 * run.STATE.XNATOM(j) / 2.0;  // n/U of H I, U = 2
    run.BHYD.XNFPH(j, 2) = run.STATE.XNE(j);
    run.BHE.XNFHE(j, 1) = 0.08 * run.STATE.XNATOM(j);
    run.BHYD.XNFH(j) = 2.0 * run.BHYD.XNFPH(j, 1);
  }
}

// Decreasing frequencies from 9 nm to 160 um, log-spaced.
std::vector<double> frequency_set() {
  std::vector<double> nu(NFREQ);
  for (int i = 0; i < NFREQ; ++i)
    nu[i] = 2.99792458e17 / (9.0 * std::pow(160000.0 / 9.0, i / double(NFREQ - 1)));
  return nu;
}

// A run holding the solar model, and the frequency set.
struct SolarRun {
  std::ostringstream listing;
  std::unique_ptr<Run> run = atmotab::make_run(listing);
  const std::vector<double> nu = frequency_set();
  SolarRun() { fill_solar_model(*run); }
};

void BM_kapp_full_model(benchmark::State& state) {
  SolarRun s;
  Run* const run = s.run.get();
  const std::vector<double>& nu = s.nu;
  int NSTEPS = 0;
  double STEPWT = 0.0;
  double sink = 0.0;
  for (auto _ : state) {
    for (double f : nu) {
      atmotab::setfreq(*run, f);
      atmotab::kapp(*run, 1, NSTEPS, STEPWT);
      sink += run->OPTOT.SIGMAC(NDEPTH / 2);
    }
    benchmark::DoNotOptimize(sink);
  }
  state.counters["ns_per_depth_point"] =
      benchmark::Counter(double(NDEPTH) * NFREQ * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_kapp_full_model)->Unit(benchmark::kMillisecond);

// The FREQ record alone (99 exponentials per frequency), to separate its share from kapp's.
void BM_setfreq_only(benchmark::State& state) {
  SolarRun s;
  Run* const run = s.run.get();
  const std::vector<double>& nu = s.nu;
  double sink = 0.0;
  for (auto _ : state) {
    for (double f : nu) {
      atmotab::setfreq(*run, f);
      sink += run->FREQ.BNU(NDEPTH / 2);
    }
    benchmark::DoNotOptimize(sink);
  }
}
BENCHMARK(BM_setfreq_only)->Unit(benchmark::kMillisecond);

// One source alone over the frequency set: only the source is timed, not the FREQ record; the
// per-model tables are built at the first frequency of the first iteration (as in a run).
template <void (*SOURCE)(Run&)>
void BM_source(benchmark::State& state) {
  SolarRun s;
  Run* const run = s.run.get();
  const std::vector<double>& nu = s.nu;
  using clock = std::chrono::steady_clock;
  for (auto _ : state) {
    clock::duration elapsed{};
    for (double f : nu) {
      atmotab::setfreq(*run, f);
      const clock::time_point t0 = clock::now();
      SOURCE(*run);
      elapsed += clock::now() - t0;
    }
    benchmark::DoNotOptimize(run->BHYD.AHYD(NDEPTH / 2));
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
  }
  state.counters["ns_per_depth_point"] =
      benchmark::Counter(double(NDEPTH) * NFREQ * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
void h2collop_scratch(Run& run) { atmotab::h2collop(run, run.OPS.ACOOL); }
BENCHMARK_TEMPLATE(BM_source, atmotab::hop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::hminop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::h2plop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::h2raop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, h2collop_scratch)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::coolop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::lukeop)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_source, atmotab::hotop)->UseManualTime()->Unit(benchmark::kMillisecond);

// The dissolved hydrogen levels over the frequency set, added into a scratch array, with their
// per-model factors formed anew for every model (every iteration is a new model).
void BM_dissolved_hydrogen(benchmark::State& state) {
  SolarRun s;
  Run* const run = s.run.get();
  const std::vector<double>& nu = s.nu;
  atmotab::Dep scratch;
  using clock = std::chrono::steady_clock;
  for (auto _ : state) {
    atmotab::start_model(*run);
    clock::duration elapsed{};
    for (double f : nu) {
      atmotab::setfreq(*run, f);
      const clock::time_point t0 = clock::now();
      atmotab::add_dissolved_hydrogen(*run, scratch);
      elapsed += clock::now() - t0;
    }
    benchmark::DoNotOptimize(scratch(NDEPTH / 2));
    state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
  }
}
BENCHMARK(BM_dissolved_hydrogen)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
