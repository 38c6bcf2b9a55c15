// The listing formats of one model, 10k lines each: the (1X,20F5.2) tables, the per-depth
// (I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5) and (I5,1P,E25.15,0P,F20.7,F20.7) lines and the E12.4 state
// block; through FortranFormat::write (one string per call) and through Listing::print into an
// in-memory stream. Values are random in the ranges these lines carry in a solar model.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fortio/fortran_format.h"
#include "fortio/listing.h"

namespace {

constexpr int LINES = 10000;

struct Case {
  const char* fmt;
  std::vector<std::vector<atmotab::FItem>> lines;
};

// Log-uniform magnitude between 10^LO and 10^HI, random sign when SIGNED.
double log_uniform(std::mt19937_64& rng, double lo, double hi, bool is_signed) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double x = std::pow(10.0, lo + (hi - lo) * u(rng));
  return is_signed && u(rng) < 0.5 ? -x : x;
}

Case make_case(int which) {
  std::mt19937_64 rng(1234 + which);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Case c{};
  c.lines.resize(LINES);
  for (int l = 0; l < LINES; ++l) {
    auto& v = c.lines[static_cast<std::size_t>(l)];
    switch (which) {
      case 0:  // log tables: values like -4.61, roughly -30 .. +30
        c.fmt = "(1X,20F5.2)";
        for (int j = 0; j < 20; ++j) v.emplace_back(-30.0 + 60.0 * u(rng) * u(rng));
        break;
      case 1:
        c.fmt = "(I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)";
        v.emplace_back(1 + l % 99);
        for (int j = 0; j < 8; ++j) v.emplace_back(log_uniform(rng, -30, 20, j % 3 == 2));
        v.emplace_back(3000.0 + 7000.0 * u(rng));
        v.emplace_back(l % 1128);
        break;
      case 2:
        c.fmt = "(I5,1P,E25.15,0P,F20.7,F20.7)";
        v.emplace_back(1 + l % 1128);
        v.emplace_back(log_uniform(rng, 13, 16, false));
        v.emplace_back(log_uniform(rng, 2, 6, false));
        v.emplace_back(log_uniform(rng, -3, 4, false));
        break;
      default:
        c.fmt = "('0   T     ',1P,E12.4,'    TK    ',E12.4,/,'0   RHOX  ',E12.4)";
        for (int j = 0; j < 3; ++j) v.emplace_back(log_uniform(rng, -5, 4, false));
        break;
    }
  }
  return c;
}

void BM_write(benchmark::State& state) {
  const Case c = make_case(static_cast<int>(state.range(0)));
  atmotab::FortranFormat f(c.fmt);
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const auto& v : c.lines) {
      const std::string s = f.write(v);
      bytes += s.size();
      benchmark::DoNotOptimize(s.data());
    }
  }
  state.SetLabel(c.fmt);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_write)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_listing(benchmark::State& state) {
  const Case c = make_case(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    atmotab::Listing listing(out);
    for (const auto& v : c.lines) listing.print(c.fmt, v);
    listing.flush();
    bytes += out.str().size();
  }
  state.SetLabel(c.fmt);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_listing)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace
