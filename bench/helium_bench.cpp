// The four helium sources over a whole model: 99 depths x 1128 frequencies from 60 nm to 6.7 um
// (the frequency range of model_bench), each frequency as the per-model driver does it (fill the
// FREQ record, then the source). The model is a solar-like structure filled directly into the
// records, with rough helium populations; the first iteration builds the per-model tables.
#include <benchmark/benchmark.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "common/constants.h"
#include "common/state.h"
#include "input/complete_model.h"
#include "opacity/he1op.h"
#include "opacity/he2op.h"
#include "opacity/hemiop.h"
#include "opacity/heraop.h"
#include "opacity/setfreq.h"

namespace {

using atmotab::Run;

constexpr int NDEPTH = 99;

// log10 RHOX from -3.5 to 2.5 g cm^-2, T from 4300 K to 11000 K, P = g RHOX, XNE from 1e10 to
// 1e16 cm^-3; helium 8 % of the heavy particles, ionized as T rises.
void fill_model(Run& run) {
  run.RHOX.NRHOX = NDEPTH;
  for (int j = 1; j <= NDEPTH; ++j) {
    const double s = (j - 1) / double(NDEPTH - 1);
    run.RHOX.RHOX(j) = std::pow(10.0, -3.5 + 6.0 * s);
    run.TEMP.T(j) = 4300.0 + 6700.0 * s * s * s;
    run.STATE.P(j) = 2.7398e4 * run.RHOX.RHOX(j);
    run.STATE.XNE(j) = std::pow(10.0, 10.0 + 6.0 * s * s);
  }
  atmotab::complete_model(run);
  for (int j = 1; j <= NDEPTH; ++j) {
    const double he = 0.08 * run.STATE.XNATOM(j), f2 = 1e-6 * j;
    run.BHE.XNFPHE(j, 1) = he * (1 - f2);
    run.BHE.XNFPHE(j, 2) = he * f2 / 2;
    run.BHE.XNFPHE(j, 3) = he * f2 * 1e-6;
    run.BHE.XNFHE(j, 1) = he * (1 - f2);
    run.BHE.XNFHE(j, 2) = he * f2;
  }
}

// Three frequencies inside each of the 376 intervals between 377 edges at 60 nm x 1.0125^i.
std::vector<double> frequency_set() {
  std::vector<double> nu;
  for (int i = 0; i < 376; ++i)
    for (double x : {0.25, 0.5, 0.75})
      nu.push_back(atmotab::CLIGHT_NM / (60.0 * std::pow(1.0125, i + x)));
  return nu;
}

template <void (*SOURCE)(Run&)>
void BM_source(benchmark::State& state) {
  std::ostringstream listing;
  auto run = atmotab::make_run(listing);
  fill_model(*run);
  start_model(*run);
  const std::vector<double> nu = frequency_set();
  double sink = 0.0;
  for (auto _ : state) {
    for (double f : nu) {
      atmotab::setfreq(*run, f);
      SOURCE(*run);
      sink += run->BHE.AHE1(NDEPTH / 2) + run->BHE.AHE2(NDEPTH / 2) + run->BHE.AHEMIN(1) +
              run->BHE.SIGHE(1);
    }
    benchmark::DoNotOptimize(sink);
  }
}

void setfreq_only(Run&) {}

BENCHMARK(BM_source<setfreq_only>)->Name("setfreq_only")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_source<atmotab::he1op>)->Name("he1op")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_source<atmotab::he2op>)->Name("he2op")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_source<atmotab::hemiop>)->Name("hemiop")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_source<atmotab::heraop>)->Name("heraop")->Unit(benchmark::kMillisecond);

}  // namespace
