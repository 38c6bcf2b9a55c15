#include "driver/edges.h"

#include <cmath>
#include <string>
#include <utility>

#include "common/constants.h"
#include "fortio/error.h"
#include "input/freeff.h"

namespace atmotab {
namespace {

constexpr double WAVENO_FLAG = 1e25;  // values this large are wavenumbers times 1e25
constexpr double FREQ_MIN = 1e6;      // values from here up are frequencies [Hz]
// Offset that moves a set frequency off its edge: single-precision 1.0000001 = 1 + 2^-23.
constexpr double EDGE_OFFSET = sp(1.0000001f);

}  // namespace

void classify_edge(Run& run, int n, double v) {
  Run::EdgeRec& E = run.EDGE;
  if (std::fabs(v) < FREQ_MIN) {
    E.WLEDGE(n) = v;
    E.CMEDGE(n) = NM_PER_CM / v;
    E.FRQEDG(n) = CLIGHT_NM / v;
  } else if (std::fabs(v) < WAVENO_FLAG) {
    E.FRQEDG(n) = v;
    E.WLEDGE(n) = CLIGHT_NM / v;
    E.CMEDGE(n) = NM_PER_CM / E.WLEDGE(n);
  } else {
    E.CMEDGE(n) = v / WAVENO_FLAG;
    E.WLEDGE(n) = NM_PER_CM / E.CMEDGE(n);
    E.FRQEDG(n) = CLIGHT_NM / E.WLEDGE(n);
  }
  E.A(n) = std::fabs(E.WLEDGE(n));
}

void sort_edges(Run& run) {
  Run::EdgeRec& E = run.EDGE;
  // A pass without an exchange leaves the list as it is, and so would every later pass: the sort
  // stops there (a list given in order takes one pass).
  bool exchanged = true;
  for (int pass = 1; pass <= E.NEDGE - 1 && exchanged; ++pass) {
    exchanged = false;
    for (int i = 1; i <= E.NEDGE - pass; ++i)
      if (E.A(i) > E.A(i + 1)) {
        std::swap(E.A(i), E.A(i + 1));
        std::swap(E.FRQEDG(i), E.FRQEDG(i + 1));
        std::swap(E.WLEDGE(i), E.WLEDGE(i + 1));
        std::swap(E.CMEDGE(i), E.CMEDGE(i + 1));
        exchanged = true;
      }
  }
}

void build_frequency_set(Run& run) {
  Run::EdgeRec& E = run.EDGE;
  E.NUMFREQ = 0;
  if (E.NEDGE < 2) return;
  for (int i = 1; i <= E.NEDGE - 1; ++i) {
    E.FREQSET(3 * i - 2) = std::fabs(E.FRQEDG(i)) / EDGE_OFFSET;
    E.FREQSET(3 * i - 1) = 2 * CLIGHT_NM / (std::fabs(E.WLEDGE(i)) + std::fabs(E.WLEDGE(i + 1)));
    E.FREQSET(3 * i) = std::fabs(E.FRQEDG(i + 1)) * EDGE_OFFSET;
  }
  E.NUMFREQ = 3 * (E.NEDGE - 1);
}

void read_edge_list(Run& run) {
  Run::EdgeRec& E = run.EDGE;
  Run::FreeRec& F = run.FREE;
  Card card;
  F.MAXPOW = 99;
  F.LASTCOL = 81;
  F.NCOL = 1;
  E.NEDGE = 0;
  for (;;) {
    // The blank buffer runs off the end at once, so the first number comes from a fresh card.
    const double v = xfreef(run, card);
    if (v == 0) break;
    if (E.NEDGE == MAXEDGE)
      throw atmo_error(EXIT_IO, "edge list",
                       "'" + run.UNITS.edges_name + "' (unit 17) holds more than " +
                           std::to_string(MAXEDGE) + " edges (edge " + std::to_string(MAXEDGE + 1) +
                           " on its card " + std::to_string(card.number) +
                           "); the tables have room for " + std::to_string(MAXEDGE));
    const int n = ++E.NEDGE;
    run.LISTING.print(EDGE_FORMAT, {n, v});
    classify_edge(run, n, v);
    run.LISTING.print(EDGE_FORMAT, {n, E.FRQEDG(n), E.WLEDGE(n), E.CMEDGE(n)});
  }
  sort_edges(run);
  std::vector<FItem> items;
  items.reserve(static_cast<std::size_t>(4 * E.NEDGE));
  for (int i = 1; i <= E.NEDGE; ++i) {
    items.emplace_back(i);
    items.emplace_back(E.FRQEDG(i));
    items.emplace_back(E.WLEDGE(i));
    items.emplace_back(E.CMEDGE(i));
  }
  run.LISTING.print(EDGE_FORMAT, items);
  build_frequency_set(run);
  run.FRESET.NUMNU = E.NUMFREQ;
  run.LISTING.print(EDGE_FORMAT, {E.NUMFREQ});
}

}  // namespace atmotab
