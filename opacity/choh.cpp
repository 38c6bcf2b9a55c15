// chop, ohop — CH and OH photodissociation of the cool-metal block.
// Sources: TABCH, TABOH (data/tabch.txt, data/taboh.txt): log10 of the thermally averaged
//          photodissociation cross-section per molecule on a grid of photon energy (0.1 eV steps;
//          CH 0.1..10.5 eV, OH 2.1..15.0 eV) and temperature (2000..9000 K in 500 K steps), built
//          from the cold-molecule cross-sections of the Leiden database (Heays, Bosman & van
//          Dishoeck 2017; CH: van Dishoeck 1987; OH: van Dishoeck & Dalgarno 1983) anchored to
//          the program's reference cells (method and caveats in data/PROVENANCE.md: the weakest
//          data of the program). PARTCH, PARTOH: partition functions at 1000..9000 K in 200 K
//          steps, the program's own list.
// Inputs:  FREQ [Hz], T(J) [K].
// Output:  cross-section times partition function [cm^2]; times n/U of the molecule it is the
//          absorption per cm^3 (no stimulated-emission factor).
// Method:  per frequency, WAVENO = FREQ / 2.99792458e10 (written back to the FREQ record),
//          EVOLT = WAVENO / 8065.479 eV; row N = int(10 EVOLT) (CH) or int(10 EVOLT - 20) (OH), and
//          the column C(IT) linear in EVOLT between rows N and N+1. Per depth, C linear in T
//          between the bracketing columns and the partition function linear in T between its
//          nodes; result 10^C x U, the power of ten as exp(2.30258509299405 x C).
// Valid:   CH 2.0 <= E < 10.5 eV, OH 2.1 <= E < 15.0 eV, T < 9000 K; 0 outside. Below 2000 K
//          (columns) and 1000 K (partition functions) the first interval is extrapolated; a
//          partition function that this would make negative (T below 112 K for CH, 89 K for
//          OH) is held at 0. A photon energy beyond the integer range (above 5e22 Hz) counts as
//          outside the table.
// Constants: 8065.479, 0.1 and the table values single precision; EN = 0.1 N (+ 2.0) formed in
//          single precision.
#include "opacity/choh.h"

#include <algorithm>
#include <cmath>

#include "common/constants.h"
#include "common/state.h"
#include "opacity/coolop_cache.h"

namespace atmotab {
namespace {

constexpr int NPART = 41;  // partition-function nodes, 1000..9000 K

// PARTCH(I), PARTOH(I): partition functions at 200 I + 800 K.
constexpr float PARTCH[NPART] = {
    203.741f,  249.643f,  299.341f,  353.477f,  412.607f,  477.237f,  547.817f,
    624.786f,  708.543f,  799.463f,  897.912f,  1004.227f, 1118.738f, 1241.761f,
    1373.588f, 1514.481f, 1664.677f, 1824.394f, 1993.801f, 2173.05f,  2362.234f,
    2561.424f, 2770.674f, 2989.93f,  3219.204f, 3458.378f, 3707.355f, 3966.005f,
    4234.155f, 4511.604f, 4798.135f, 5093.554f, 5397.593f, 5709.948f, 6030.401f,
    6358.646f, 6694.379f, 7037.313f, 7387.147f, 7743.579f, 8106.313f,
};
constexpr float PARTOH[NPART] = {
    145.979f,  178.033f,  211.618f,  247.053f,  284.584f,  324.398f,  366.639f,
    411.425f,  458.854f,  509.012f,  561.976f,  617.823f,  676.626f,  738.448f,
    803.363f,  871.437f,  942.735f,  1017.33f,  1095.284f, 1176.654f, 1261.51f,
    1349.898f, 1441.875f, 1537.483f, 1636.753f, 1739.733f, 1846.434f, 1956.883f,
    2071.08f,  2189.029f, 2310.724f, 2436.155f, 2565.283f, 2698.103f, 2834.571f,
    2974.627f, 3118.242f, 3265.366f, 3415.912f, 3569.837f, 3727.077f,
};

// One molecule: its table, the rows its column may start at, and its energy origin.
struct Molecule {
  int nmin, nmax;     // rows N whose interval [N, N+1] the column may use
  float origin;       // photon energy of row 0 [eV]: 0 (CH), 2.0 (OH)
  const float* part;  // partition functions
};
constexpr Molecule CH = {20, NCHROW - 1, 0.0f, PARTCH};
constexpr Molecule OH = {1, NOHROW - 1, 2.0f, PARTOH};

double part(const float* P, double T) {
  const int i = std::max(1, static_cast<int>((T - 1000.0) / 200.0 + 1.0));
  const double p1 = sp(P[i - 1]);
  const double p2 = sp(P[i]);
  return std::max(0.0, p1 + (p2 - p1) * (T - (200 * i + 800)) / 200.0);
}

void load_tables(CoolopRec& c) {
  if (c.IFTAB == 1) return;
  choh_builtin(c.TABCH, c.TABOH);
  c.IFTAB = 1;
}

// The column of the current frequency, formed when FREQ differs from the one it was made for.
void column(Run& run, ChohColumn& c, const Molecule& m, const double* TAB) {
  Run::FreqRec& f = run.FREQ;
  if (f.FREQ == c.FREQ1) return;
  c.FREQ1 = 0;  // no column until it is formed
  f.WAVENO = f.FREQ / CLIGHT;
  c.EVOLT = f.WAVENO / sp(EV_TO_CM_FLOAT);
  const double rows = 10.0 * c.EVOLT - 10.0 * sp(m.origin);
  c.N = rows < 1e9 ? static_cast<int>(rows) : 1000000000;
  c.EN = sp(static_cast<float>(c.N) * 0.1f + m.origin);
  if (c.N >= m.nmin && c.N <= m.nmax)
    for (int it = 1; it <= NCHOHT; ++it) {
      const double t1 = TAB[(it - 1) + NCHOHT * (c.N - 1)];
      const double t2 = TAB[(it - 1) + NCHOHT * c.N];
      c.CROSS(it) = t1 + (t2 - t1) * (c.EVOLT - c.EN) / sp(0.1f);
    }
  c.FREQ1 = f.FREQ;
}

// Cross-section times partition function at the temperature of depth J from the column.
double value(const Run& run, const ChohColumn& c, const Molecule& m, int J) {
  const double T = run.TEMP.T(J);
  if (T >= 9000.0 || c.N < m.nmin || c.N > m.nmax) return 0.0;
  const double U = part(m.part, T);
  const int IT = std::max(1, static_cast<int>((T - 2000.0) / 500.0 + 1.0));
  const double TN = 500 * IT + 1500;
  const double C = c.CROSS(IT) + (c.CROSS(IT + 1) - c.CROSS(IT)) * (T - TN) / 500.0;
  return std::exp(2.30258509299405 * C) * U;
}

}  // namespace

void choh_frequency(Run& run) {
  CoolopRec& c = coolop_cache(run);
  load_tables(c);
  column(run, c.CH, CH, c.TABCH.data());
  column(run, c.OH, OH, c.TABOH.data());
}

double chop(Run& run, int J) {
  CoolopRec& c = coolop_cache(run);
  load_tables(c);
  column(run, c.CH, CH, c.TABCH.data());
  return value(run, c.CH, CH, J);
}

double ohop(Run& run, int J) {
  CoolopRec& c = coolop_cache(run);
  load_tables(c);
  column(run, c.OH, OH, c.TABOH.data());
  return value(run, c.OH, OH, J);
}

double chop_part(double T) { return part(PARTCH, T); }
double ohop_part(double T) { return part(PARTOH, T); }

}  // namespace atmotab
