// pflight — explicit level sums of the thirteen light ions whose levels carry departure
// coefficients: H I, He I, He II, B I, C I, C II, Na I, Mg I, Mg II, Al I, Si I, Si II, K I.
// Sources: laboratory energy levels (cm^-1) and statistical weights of the low levels, copied here
//          as single-precision constants; higher configurations of C, Si and their ions lumped
//          into mean levels with summed weights; hydrogenic tails for the rest.
// Inputs:  HCKT(J) [cm], T(J) [K], TKEV(J) [eV], the departure-coefficient fields of the
//          per-element records (b = 1 when IFNLTE = -1), IP and POTLO of the stage [eV].
// Output:  partition function U = sum g b exp(-E hc/kT) (+ the high-level tail).
// Valid:   any T > 0; H I, He I and He II add their excited levels and tail only above 9000 K,
//          15000 K and 30000 K, where those levels start to matter.
// Deviations from the source: none.
#include <array>
#include <cmath>
#include <cstddef>

#include "populations/pfsaha.h"

namespace atmotab {
namespace {

// A level with (K >= 1) or without (K = 0) a departure coefficient: energy [cm^-1], weight g.
struct Level {
  float e;
  int g;
  int k;
};

// Departure coefficients of one ion: level k at depth j is BASE[(j-1) + 99 (k-1)].
struct Bfield {
  const double* base;
  bool lte;  // IFNLTE = -1: every b is 1
  double operator()(int j, int k) const { return lte ? 1.0 : base[(j - 1) + MAXD * (k - 1)]; }
};

// Sum of g b_k exp(-E x) over LEVELS in order, added to SUM.
template <std::size_t N>
double add_levels(double sum, const Level (&levels)[N], const Bfield& b, int j, double x) {
  for (const Level& l : levels) {
    if (l.k > 0)
      sum += l.g * b(j, l.k) * std::exp(-sp(l.e) * x);
    else
      sum += l.g * std::exp(-sp(l.e) * x);
  }
  return sum;
}

// He I level energies [cm^-1] and weights, levels 1..29 (n = 1..5 terms).
constexpr float EHE1[29] = {0.f,        159856.06f, 166277.55f, 169087.f,   171135.f,   183236.89f,
                            184864.94f, 185564.69f, 186101.66f, 186105.06f, 186209.47f, 190298.2f,
                            190940.33f, 191217.14f, 191444.6f,  191446.56f, 191451.8f,  191452.08f,
                            191492.81f, 193347.1f,  193663.62f, 193800.78f, 193917.25f, 193918.39f,
                            193921.31f, 193921.38f, 193922.5f,  193922.5f,  193942.56f};
constexpr int GHE1[29] = {1, 3,  1, 9, 3, 3, 1, 9,  15, 5,  3, 3,  1, 9, 15,
                          5, 21, 7, 3, 3, 1, 9, 15, 5,  21, 7, 27, 9, 3};
// C I, C II, Si I, K I levels; the first entry (mean of the ground term) is not used: the ground
// terms are summed level by level.
constexpr float EC1[14] = {29.6f,     10192.66f, 21648.02f, 33735.2f, 60373.f,
                           61981.82f, 64088.85f, 68856.33f, 69722.f,  70743.95f,
                           71374.9f,  72610.72f, 73975.91f, 75254.93f};
constexpr int GC1[14] = {9, 5, 1, 5, 9, 3, 15, 3, 15, 3, 9, 5, 1, 9};
constexpr float EC2[6] = {42.48f, 43035.8f, 74931.11f, 96493.74f, 110652.1f, 116537.65f};
constexpr int GC2[6] = {6, 12, 10, 2, 6, 2};
constexpr float ESI1[11] = {149.681f,  6298.85f,   15394.37f,  33326.055f, 39859.92f, 40991.883f,
                            45303.31f, 47284.062f, 47351.555f, 48161.46f,  49128.133f};
constexpr int GSI1[11] = {9, 5, 1, 5, 9, 3, 15, 3, 5, 15, 9};
constexpr float EK1[8] = {0.f,       12985.17f,  13042.876f, 21026.55f,
                          21534.68f, 21536.988f, 24701.383f, 24720.139f};
constexpr int GK1[8] = {2, 2, 4, 2, 6, 4, 2, 4};

// Hydrogenic excited levels n = 2..6 of H I and He II (energies [cm^-1], g = 2 n^2).
constexpr Level H1_EXC[] = {{82259.1f, 8, 2},
                            {97492.305f, 18, 3},
                            {102823.89f, 32, 4},
                            {105291.65f, 50, 5},
                            {106632.16f, 72, 6}};
constexpr Level HE2_EXC[] = {{329182.3f, 8, 2},
                             {390142.34f, 18, 3},
                             {411477.94f, 32, 4},
                             {421353.12f, 50, 5},
                             {426717.4f, 72, 6}};

constexpr Level B1_LEV[] = {{28810.f, 12, 2},  {40039.65f, 2, 3},  {47856.99f, 10, 4},
                            {48613.01f, 6, 5}, {54767.74f, 10, 6}, {55010.08f, 2, 7},
                            {57786.8f, 6, 0},  {59989.f, 10, 0},   {60031.03f, 14, 0},
                            {63561.f, 2, 0}};
constexpr Level C1_LTE[] = {{80000.f, 108, 0}, {84000.f, 189, 0}, {87000.f, 247, 0},
                            {88000.f, 231, 0}, {89000.f, 190, 0}, {90000.f, 300, 0}};
constexpr Level C2_LTE[] = {{131731.8f, 6, 0},   {142027.1f, 4, 0},  {145550.12f, 10, 0},
                            {150463.62f, 10, 0}, {157234.06f, 2, 0}, {162500.f, 6, 0},
                            {168000.f, 42, 0},   {178000.f, 56, 0},  {183000.f, 102, 0},
                            {188000.f, 400, 0}};
constexpr Level NA1_LEV[] = {{0.f, 2, 1},       {16956.172f, 2, 2}, {16973.367f, 4, 3},
                             {25739.99f, 2, 4}, {29172.889f, 6, 5}, {29172.84f, 4, 6},
                             {30266.99f, 2, 7}, {30272.58f, 4, 8},  {34548.746f, 10, 0},
                             {34586.96f, 14, 0}};
constexpr Level MG1_LEV[] = {{0.f, 1, 1},         {21890.854f, 9, 2},  {35051.266f, 3, 3},
                             {41197.402f, 3, 4},  {43503.332f, 1, 5},  {46403.066f, 5, 6},
                             {47847.797f, 9, 7},  {47957.035f, 15, 8}, {49346.73f, 3, 9},
                             {51872.527f, 3, 10}, {52556.207f, 1, 11}, {53134.f, 5, 0},
                             {54192.f, 15, 0},    {54676.f, 28, 0},    {57853.f, 9, 0}};
constexpr Level MG2_LEV[] = {{0.f, 2, 1},         {35730.36f, 6, 2},   {69804.95f, 2, 3},
                             {71490.54f, 10, 4},  {80639.85f, 6, 5},   {92790.51f, 2, 6},
                             {93310.8f, 10, 0},   {93799.7f, 14, 0},   {97464.32f, 6, 0},
                             {103419.82f, 10, 0}, {103689.89f, 14, 0}, {103705.66f, 18, 0}};
constexpr Level AL1_LEV[] = {{25347.756f, 2, 2}, {29097.11f, 12, 3}, {32436.24f, 10, 4},
                             {32960.363f, 6, 5}, {37689.414f, 2, 6}, {38932.14f, 10, 7},
                             {40275.902f, 6, 8}, {41319.38f, 14, 9}, {42235.f, 10, 0},
                             {43831.f, 14, 0}};
constexpr Level SI1_LTE[] = {{53000.f, 76, 0},  {57000.f, 71, 0},  {60000.f, 191, 0},
                             {62000.f, 240, 0}, {63000.f, 251, 0}, {65000.f, 300, 0}};
constexpr Level SI2_LEV[] = {{43002.27f, 12, 2}, {55319.11f, 10, 3},  {65500.73f, 2, 4},
                             {76665.61f, 2, 5},  {79348.67f, 10, 6},  {81231.59f, 6, 0},
                             {83937.08f, 6, 0},  {101024.09f, 10, 0}, {103556.35f, 14, 0},
                             {108800.f, 10, 0},  {115000.f, 42, 0},   {121000.f, 6, 0},
                             {125000.f, 38, 0},  {132000.f, 34, 0}};
constexpr Level K1_LTE[] = {{27397.076f, 10, 0}, {28127.85f, 14, 0}};

// Temperature gates of the excited levels of H I, He I and He II [K].
constexpr double T_GATE_H1 = 9000.0;
constexpr double T_GATE_HE1 = 15000.0;
constexpr double T_GATE_HE2 = 30000.0;

// High-level tails of the light rows: stage ION, first excluded level D2COEF [cm^-1] below the
// limit, weight G, added from temperature GATE [K] on (with the excited levels of H I, He I and
// He II). C I, C II and Si I end with lumped high levels and have none.
struct LightTail {
  int row, ion;
  float d2coef;
  int g;
  double gate;
};
constexpr LightTail LIGHT_TAILS[] = {
    {1, 1, 2595.919f, 2, T_GATE_H1},   {3, 1, 3625.7048f, 4, T_GATE_HE1},
    {4, 2, 10387.906f, 2, T_GATE_HE2}, {14, 1, 5419.004f, 2, 0},
    {45, 1, 5419.004f, 2, 0},          {51, 1, 5419.004f, 4, 0},
    {52, 2, 14510.391f, 2, 0},         {57, 1, 3627.6057f, 2, 0},
    {64, 2, 21676.016f, 2, 0},         {91, 1, 3627.5977f, 2, 0}};

// LIGHT_INDEX[N]: position of packed-table row N in PF_LIGHT_ROWS, 0 for the other rows.
constexpr int PF_ROWS = 365;
constexpr std::array<signed char, PF_ROWS + 1> LIGHT_INDEX = [] {
  std::array<signed char, PF_ROWS + 1> a{};
  for (int k = 1; k <= PF_NLIGHT; ++k) a[PF_LIGHT_ROWS[k - 1]] = static_cast<signed char>(k);
  return a;
}();

}  // namespace

int pf_light_index(int row) { return row >= 1 && row <= PF_ROWS ? LIGHT_INDEX[row] : 0; }

bool pf_is_light(int row) { return pf_light_index(row) > 0; }

double pflight_levels(const Run& run, int j, int row) {
  const double x = run.TEMP.HCKT(j);
  const double t = run.TEMP.T(j);
  const bool lte = run.IF.IFNLTE == -1;
  auto field = [&](const double& first) { return Bfield{&first, lte}; };
  double part = 0;
  switch (row) {
    case 1: {  // H I
      const Bfield b = field(run.BHYD.BHYD(1, 1));
      part = 2 * b(j, 1);
      if (t < T_GATE_H1) return part;
      part = add_levels(part, H1_EXC, b, j, x);
      return part;
    }
    case 3: {  // He I
      const Bfield b = field(run.BHE.BHE1(1, 1));
      part = b(j, 1);
      if (t < T_GATE_HE1) return part;
      for (int k = 2; k <= 29; ++k) part += GHE1[k - 1] * b(j, k) * std::exp(-sp(EHE1[k - 1]) * x);
      return part;
    }
    case 4: {  // He II
      const Bfield b = field(run.BHE.BHE2(1, 1));
      part = 2 * b(j, 1);
      if (t < T_GATE_HE2) return part;
      part = add_levels(part, HE2_EXC, b, j, x);
      return part;
    }
    case 14: {  // B I: ground term 2P
      const Bfield b = field(run.BB.BB1(1, 1));
      part = (2 + 4 * std::exp(-sp(15.25f) * x)) * b(j, 1);
      part = add_levels(part, B1_LEV, b, j, x);
      return part;
    }
    case 354: {  // C I: ground term 3P, then 1D and the listed levels
      const Bfield b = field(run.BC.BC1(1, 1));
      part = (1 + 3 * std::exp(-sp(16.42f) * x) + 5 * std::exp(-sp(43.42f) * x)) * b(j, 1);
      part += 5 * b(j, 2) * std::exp(-sp(10192.66f) * x);
      for (int k = 3; k <= 14; ++k) part += GC1[k - 1] * b(j, k) * std::exp(-sp(EC1[k - 1]) * x);
      return add_levels(part, C1_LTE, b, j, x);
    }
    case 355: {  // C II: ground term 2P
      const Bfield b = field(run.BC.BC2(1, 1));
      part = (2 + 4 * std::exp(-sp(63.42f) * x)) * b(j, 1);
      part += 12 * b(j, 2) * std::exp(-sp(43035.8f) * x);
      for (int k = 3; k <= 6; ++k) part += GC2[k - 1] * b(j, k) * std::exp(-sp(EC2[k - 1]) * x);
      return add_levels(part, C2_LTE, b, j, x);
    }
    case 45: {  // Na I
      const Bfield b = field(run.BNA.BNA1(1, 1));
      part = add_levels(0.0, NA1_LEV, b, j, x);
      return part;
    }
    case 51: {  // Mg I
      const Bfield b = field(run.BMG.BMG1(1, 1));
      part = add_levels(0.0, MG1_LEV, b, j, x);
      return part;
    }
    case 52: {  // Mg II
      const Bfield b = field(run.BMG.BMG2(1, 1));
      part = add_levels(0.0, MG2_LEV, b, j, x);
      return part;
    }
    case 57: {  // Al I: ground term 2P
      const Bfield b = field(run.BAL.BAL1(1, 1));
      part = (2 + 4 * std::exp(-sp(112.061f) * x)) * b(j, 1);
      part = add_levels(part, AL1_LEV, b, j, x);
      return part;
    }
    case 63: {  // Si I: ground term 3P, then 1D and the listed levels
      const Bfield b = field(run.BSI.BSI1(1, 1));
      part = (1 + 3 * std::exp(-sp(77.115f) * x) + 5 * std::exp(-sp(223.157f) * x)) * b(j, 1);
      part += 5 * b(j, 2) * std::exp(-sp(6298.85f) * x);
      for (int k = 3; k <= 10; ++k) part += GSI1[k - 1] * b(j, k) * std::exp(-sp(ESI1[k - 1]) * x);
      part += 9 * b(j, 11) * std::exp(-sp(49128.133f) * x);
      return add_levels(part, SI1_LTE, b, j, x);
    }
    case 64: {  // Si II: ground term 2P
      const Bfield b = field(run.BSI.BSI2(1, 1));
      part = (2 + 4 * std::exp(-sp(287.32f) * x)) * b(j, 1);
      part = add_levels(part, SI2_LEV, b, j, x);
      return part;
    }
    case 91: {  // K I
      const Bfield b = field(run.BK.BK1(1, 1));
      part = 2 * b(j, 1) * std::exp(-sp(EK1[0]) * x);
      part += 2 * b(j, 2) * std::exp(-sp(12985.17f) * x);
      for (int k = 3; k <= 8; ++k) part += GK1[k - 1] * b(j, k) * std::exp(-sp(EK1[k - 1]) * x);
      part = add_levels(part, K1_LTE, b, j, x);
      return part;
    }
    default:
      return part;
  }
}

double pflight_tail(const Run& run, int j, int row, const SahaWork& w, double levels) {
  for (const LightTail& l : LIGHT_TAILS) {
    if (l.row != row) continue;
    if (run.TEMP.T(j) < l.gate) return levels;
    const double tv = run.TEMP.TKEV(j);
    return levels +
           pf_tail(l.ion, l.g, w.IP(l.ion), w.POTLO(l.ion), tv, sp(l.d2coef) * run.TEMP.HCKT(j));
  }
  return levels;
}

double pflight(const Run& run, int j, int row, const SahaWork& w) {
  return pflight_tail(run, j, row, w, pflight_levels(run, j, row));
}

double pf_tail(int ion, double g, double ip, double potlo, double tv, double d2) {
  // Hydrogenic levels of charge Z = ION: the sum of 2 n^2 exp(13.595 Z^2 / (n^2 TV)) from the
  // first level not included (n = A2) to the level the lowered limit cuts (n = A1), in the
  // closed form n^3 f(D) with D = (distance below the limit) / TV.
  const double d1 = potlo / tv;
  const double q = sp(13.595f) * ion * ion / tv;
  const double a1 = std::sqrt(q / d1);
  const double a2 = std::sqrt(q / d2);
  auto f = [](double d) {
    return (1 - (0.5 + (sp(0.055555556f) + d / 120) * d) * d) * d + sp(0.33333334f);
  };
  return g * std::exp(-ip / tv) * (a1 * a1 * a1 * f(d1) - a2 * a2 * a2 * f(d2));
}

}  // namespace atmotab
