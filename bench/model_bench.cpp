// One whole model through the program: 99 depths, 377 edges (1128 frequencies), default opacity
// switches; edge list, cards, populations, opacities, the listing (kept in memory) and both table
// files (written to a temporary directory) included. Machine and results: bench/README.md.
// The same model with some sources switched: the hydrogen absorption sources off (H1, H2PLUS,
// HMINUS), the cool metals off (COOL: the model as it was before the metal sources), the
// intermediate and hot metals on as well (LUKE, HOT: every source of the program), and scattering
// alone; the differences give the cost of the sources in a whole model. Run them with
// --benchmark_enable_random_interleaving=true and repetitions, so that a changing load on the
// machine falls on all alike. Also: the model with the listing written to a file as the program
// writes it, ten models in one run (the cost of a model in a grid), and the start-up alone (END
// only).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "fortio/fd_output.h"

namespace {

// A solar-like structure: RHOX log-spaced, T from 4200 K to 9800 K, P = g RHOX, XNE a rough guess
// (the electron density is iterated anyway).
std::string deck99(const char* extra_cards) {
  std::ostringstream d;
  d << "TEFF 5777. GRAVITY 4.44\nITERATIONS 1\nTITLE BENCHMARK MODEL\n"
    << extra_cards << "READ DECK 99\n";
  char line[128];
  for (int j = 1; j <= 99; ++j) {
    const double x = (j - 1) / 98.0;
    const double rhox = std::pow(10.0, -3.0 + 4.5 * x);
    const double t = 4200 + 5600 * x * x;
    const double p = 27542.0 * rhox;
    const double xne = 1e10 * std::pow(10.0, 5 * x);
    std::snprintf(line, sizeof line, " %.6E %.1f %.6E %.6E 0.1 0.0 1.5E5\n", rhox, t, p, xne);
    d << line;
  }
  d << "BEGIN\nEND\n";
  return d.str();
}

std::string edges377() {
  std::ostringstream e;
  for (int i = 0; i < 377; ++i) e << 60.0 * std::pow(1.0125, i) << (i % 6 == 5 ? "\n" : " ");
  e << "\n0.\n";
  return e.str();
}

// The files of one benchmark: the edge list in a directory of this process's own (runs of the
// benchmark side by side must not remove each other's files), and the program's arguments.
struct BenchFiles {
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("atmotab-bench-" + std::to_string(::getpid()));
  std::vector<std::string> args;
  BenchFiles() {
    // Every iteration maps its run state (4 MB) afresh, as a new process does. Left to itself,
    // glibc raises its mmap threshold after the first free and then serves later iterations from
    // the heap, sooner or later depending on what else the run allocated: that moved the result
    // by 4 ms between builds that compute the same thing.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "edges") << edges377();
    args = {"--edges",  (dir / "edges").string(),  "--table", (dir / "fort.10").string(),
            "--maxima", (dir / "fort.11").string()};
  }
  ~BenchFiles() { std::filesystem::remove_all(dir); }
};

// Runs the program on DECK once per iteration, the listing kept in memory.
void run_in_memory(benchmark::State& state, const BenchFiles& files, const std::string& deck) {
  for (auto _ : state) {
    std::istringstream cards(deck);
    std::ostringstream listing, errors;
    const int status = atmotab::atmotab_main(files.args, cards, listing, errors);
    if (status != 0) state.SkipWithError(errors.str().c_str());
    benchmark::DoNotOptimize(listing.str().size());
  }
}

void BM_whole_model(benchmark::State& state, const char* extra_cards) {
  const BenchFiles files;
  run_in_memory(state, files, deck99(extra_cards));
}
BENCHMARK_CAPTURE(BM_whole_model, default_switches, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_whole_model, hydrogen_off, "OPACITY OFF H1 H2PLUS HMINUS\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_whole_model, cool_metals_off, "OPACITY OFF COOL\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_whole_model, luke_hot_on, "OPACITY ON LUKE HOT\n")
    ->Unit(benchmark::kMillisecond);
// The metal photoionization of the OP/IP tables in place of the cool-metal atoms.
BENCHMARK_CAPTURE(BM_whole_model, xcont_on, "OPACITY ON XCONT\n")->Unit(benchmark::kMillisecond);
// Scattering (H I Rayleigh and electron) as the only continuum, the physics of the program before
// its absorption sources were built.
BENCHMARK_CAPTURE(BM_whole_model, scattering_only,
                  "OPACITY OFF H1 H2PLUS HMINUS HE1 HE2 HEMINUS COOL LUKE HOT\n")
    ->Unit(benchmark::kMillisecond);

// Runs the program once on DECK with the listing going to FD through the 64 KB buffer that main()
// puts on standard output.
void run_to_fd(benchmark::State& state, const BenchFiles& files, const std::string& deck, int fd) {
  std::istringstream cards(deck);
  std::ostringstream errors;
  int status = 0;
  {
    atmotab::FdOutputBuffer buffer(fd);
    std::ostream listing(&buffer);
    status = atmotab::atmotab_main(files.args, cards, listing, errors);
  }
  if (status != 0) state.SkipWithError(errors.str().c_str());
}

// The run as the program makes it: the same model, with the listing written to a file through the
// 64 KB buffer that main() puts on standard output (instead of a growing string in memory).
void BM_whole_model_listing_to_file(benchmark::State& state) {
  const BenchFiles files;
  const std::string deck = deck99("");
  const std::string listing_path = (files.dir / "listing").string();
  for (auto _ : state) {
    const int fd = ::open(listing_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    run_to_fd(state, files, deck, fd);
    ::close(fd);
  }
}
BENCHMARK(BM_whole_model_listing_to_file)->Unit(benchmark::kMillisecond);

// A grid in one run: NMODELS copies of the model in one deck, as `tools/marcs2deck.py a.mod b.mod
// ... > run.deck` makes them, with the listing going through the program's own 64 KB buffer to
// /dev/null. The counter `per_model` is the CPU time of one model within a run: the start-up and
// the first mapping of the run state are shared by all models, and no growing string holds the
// listing (what BM_whole_model pays on top of the program's work for a single model).
constexpr int NMODELS = 10;

std::string deck_of_models(const char* extra_cards) {
  std::string one = deck99(extra_cards);
  one.resize(one.size() - std::string("END\n").size());
  std::string all;
  for (int m = 0; m < NMODELS; ++m) all += one;
  return all + "END\n";
}

void BM_models_in_one_run(benchmark::State& state, const char* extra_cards) {
  const BenchFiles files;
  const std::string deck = deck_of_models(extra_cards);
  const int fd = ::open("/dev/null", O_WRONLY);
  for (auto _ : state) run_to_fd(state, files, deck, fd);
  ::close(fd);
  state.counters["per_model"] = benchmark::Counter(
      NMODELS, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_models_in_one_run, default_switches, "")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, hydrogen_off, "OPACITY OFF H1 H2PLUS HMINUS\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, helium_off, "OPACITY OFF HE1 HE2 HEMINUS\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, cool_metals_off, "OPACITY OFF COOL\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, luke_hot_on, "OPACITY ON LUKE HOT\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, xcont_on, "OPACITY ON XCONT\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_models_in_one_run, scattering_only,
                  "OPACITY OFF H1 H2PLUS HMINUS HE1 HE2 HEMINUS COOL LUKE HOT\n")
    ->Unit(benchmark::kMillisecond);

// Start-up alone: the edge list of 377 edges, the frequency set and its listing, the tables, and
// the END card (the run state is mapped afresh, as above).
void BM_startup(benchmark::State& state) {
  const BenchFiles files;
  run_in_memory(state, files, "END\n");
}
BENCHMARK(BM_startup)->Unit(benchmark::kMillisecond);

}  // namespace
