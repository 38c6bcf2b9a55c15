// lukeop, n1op, o1op, mg2op, si2op, ca2op — bound-free absorption of N I, O I, Mg II, Si II and
// Ca II from their lowest levels, for intermediate temperatures.
// Sources: N I, O I, Mg II, Ca II: threshold cross-sections with the frequency dependence
//          s0 (a + (1 - a) x) x^p, x = nu0 / nu, the three-parameter form of Henry 1970 (ApJ 161,
//          1153), for the ground terms and the first excited terms (N I 2D, 2P; Mg II 3p; Ca II
//          3d, 4p). Si II: the table of ln sigma of Peach 1970 (Mem. RAS 73, 1) on 9 frequencies
//          and 6 temperatures (PEACH), interpolated bilinearly in ln T and ln nu.
// Inputs:  FREQ [Hz], FREQLG = ln FREQ, STIM(J); T(J) [K], TKEV(J) [eV], TLOG(J), the model; RHO(J)
//          [g cm^-3]; n/U of N I, O I, Mg II, Si II, Ca II from the population driver (mode 1).
// Output:  ALUKE(J) [cm^2 g^-1], LTE (source function BNU), stimulated emission included.
// Valid:   every threshold edge is exact (x = 1 at nu = nu0 is included); below 2.110779e15 Hz
//          only Si II contributes. Si II: NT = int(T/2000) - 4 clamped to 1..5, so below 1e4 K
//          and above 2e4 K the first or last interval of ln T is extrapolated; above 5.9958e15 Hz
//          and below 7.1379e14 Hz the first or last interval of ln nu is extrapolated (no cut-off:
//          below the table ln sigma keeps the slope of its last interval, sigma ~ nu^-2.8,
//          finite down to any frequency; a Kramers-like continuation of the excited levels).
//          With the row mapping M = N (N <= 2), 2N - 2 (N >= 3), 13 (N = 8) the cross-section
//          steps at FREQSI(2..6) and is continuous at FREQSI(1) and FREQSI(7).
// Constants: 2.384, 3.575, 3.142, 1.697 eV and the coefficients 5.11e-19, 5.4e-20, 1.64e-17 are
//          single precision; the PEACH values single precision; everything else double.
#include "opacity/lukeop.h"

#include <cmath>

#include "common/state.h"
#include "opacity/common_powers.h"
#include "opacity/lukeop_cache.h"
#include "populations/pops.h"

namespace atmotab {
namespace {

// Si II: edge frequencies [Hz], descending.
constexpr double FREQSI[7] = {4.9965417e15, 3.9466738e15, 1.5736321e15, 1.5171539e15,
                              9.2378947e14, 8.3825004e14, 7.6869872e14};
// ln nu of the frequency grid: 5.9958e15 Hz, the seven edges, 7.1379e14 Hz.
constexpr double FLOG[9] = {36.32984, 36.14752, 35.91165, 34.99216, 34.95561,
                            34.45951, 34.36234, 34.27572, 34.20161};
// ln T of the temperature grid 10000, 12000, ..., 20000 K.
constexpr double TLG[6] = {9.21034, 9.39266, 9.54681, 9.68034, 9.79813, 9.90349};
// PEACH(IT, row): ln sigma [cm^2], temperature IT = 1..6 fastest, 14 rows.
constexpr float PEACH[14][6] = {
    {-43.8941f, -43.8941f, -43.8941f, -43.8941f, -43.8941f, -43.8941f},
    {-42.2444f, -42.2444f, -42.2444f, -42.2444f, -42.2444f, -42.2444f},
    {-40.6054f, -40.6054f, -40.6054f, -40.6054f, -40.6054f, -40.6054f},
    {-54.2389f, -52.2906f, -50.8799f, -49.8033f, -48.9485f, -48.249f},
    {-50.4108f, -48.4892f, -47.109f, -46.0672f, -45.251f, -44.5933f},
    {-52.0936f, -50.0741f, -48.5999f, -47.4676f, -46.5649f, -45.8246f},
    {-51.9548f, -49.9371f, -48.4647f, -47.334f, -46.4333f, -45.6947f},
    {-54.2407f, -51.7319f, -49.9178f, -48.5395f, -47.4529f, -46.5709f},
    {-52.7355f, -50.2218f, -48.4059f, -47.0267f, -45.9402f, -45.0592f},
    {-53.5387f, -50.9189f, -49.02f, -47.575f, -46.4341f, -45.5082f},
    {-53.2417f, -50.6234f, -48.7252f, -47.281f, -46.141f, -45.2153f},
    {-53.5097f, -50.8535f, -48.9263f, -47.4586f, -46.2994f, -45.3581f},
    {-54.0561f, -51.2365f, -49.198f, -47.6497f, -46.4302f, -45.4414f},
    {-53.8469f, -51.0256f, -48.986f, -47.4368f, -46.2162f, -45.2266f},
};

// g exp(-E/kT) per depth, E [eV] a single-precision constant.
void weight_boltzmann(const Run& run, double g, float E, Dep& out) {
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) out(j) = g * std::exp(-sp(E) / run.TEMP.TKEV(j));
}

// x^3 with x = nu0 / FREQ, 0 below nu0.
double cube_edge(double FREQ, double nu0) {
  if (FREQ < nu0) return 0.0;
  const double x = nu0 / FREQ;
  return ipow(x, 3);
}

}  // namespace

double lukeop_s(double FREQ, double nu0, double s0, double a, int P2) {
  if (FREQ < nu0) return 0.0;
  const double x = nu0 / FREQ;
  return s0 * (a + (1.0 - a) * x) * std::sqrt(ipow(x, P2));
}

namespace {

// Each routine in two steps: bring its per-model and per-frequency values up to date, then
// evaluate a depth from them.

void n1op_current(Run& run) {
  LukeopRec::N1& c = lukeop_cache(run).N1OP;
  if (c.MODEL != model_key(run)) {
    weight_boltzmann(run, 10.0, 2.384f, c.C1020);
    weight_boltzmann(run, 6.0, 3.575f, c.C1130);
    c.MODEL = model_key(run);
  }
  const double FREQ = run.FREQ.FREQ;
  if (c.FREQ1 != FREQ) {
    c.X853 = lukeop_s(FREQ, 3.517915e15, 1.142e-17, 4.29, 4);
    c.X1020 = lukeop_s(FREQ, 2.941534e15, 4.41e-18, 3.85, 3);
    c.X1130 = lukeop_s(FREQ, 2.653317e15, 4.2e-18, 4.34, 3);
    c.FREQ1 = FREQ;
  }
}
double n1op_at(const LukeopRec::N1& c, int J) {
  return 4.0 * c.X853 + c.X1020 * c.C1020(J) + c.X1130 * c.C1130(J);
}

void o1op_current(Run& run) {
  LukeopRec::O1& c = lukeop_cache(run).O1OP;
  const double FREQ = run.FREQ.FREQ;
  if (c.FREQ1 != FREQ) {
    c.X911 = lukeop_s(FREQ, 3.28805e15, 2.94e-18, 2.66, 2);
    c.FREQ1 = FREQ;
  }
}

void mg2op_current(Run& run) {
  LukeopRec::Mg2& c = lukeop_cache(run).MG2OP;
  if (c.MODEL != model_key(run)) {
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) c.C1169(j) = 6.0 * std::exp(-4.43 / run.TEMP.TKEV(j));
    c.MODEL = model_key(run);
  }
  const double FREQ = run.FREQ.FREQ;
  if (c.FREQ1 != FREQ) {
    c.X824 = lukeop_s(FREQ, 3.635492e15, 1.4e-19, 6.7, 8);
    c.X1169 = sp(5.11e-19f) * cube_edge(FREQ, 2.564306e15);
    c.FREQ1 = FREQ;
  }
}
double mg2op_at(const LukeopRec::Mg2& c, int J) { return c.X1169 * c.C1169(J) + 2.0 * c.X824; }

void si2op_current(Run& run) {
  LukeopRec::Si2& c = lukeop_cache(run).SI2OP;
  if (c.MODEL != model_key(run)) {
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
      int nt = static_cast<int>(run.TEMP.T(j) / 2000.0) - 4;
      nt = nt < 1 ? 1 : (nt > 5 ? 5 : nt);
      c.NT(j) = nt;
      c.DT(j) = (run.TEMP.TLOG(j) - TLG[nt - 1]) / (TLG[nt] - TLG[nt - 1]);
      c.MODEL = model_key(run);
    }
  }
  const double FREQ = run.FREQ.FREQ;
  if (c.FREQ1 != FREQ) {
    int n = 1;
    while (n <= 7 && !(FREQSI[n - 1] < FREQ)) ++n;
    c.D = (run.FREQ.FREQLG - FLOG[n - 1]) / (FLOG[n] - FLOG[n - 1]);
    c.D1 = 1.0 - c.D;
    int m = n <= 2 ? n : 2 * n - 2;
    if (m == 14) m = 13;
    for (int it = 1; it <= 6; ++it)
      c.X(it) = sp(PEACH[m][it - 1]) * c.D + sp(PEACH[m - 1][it - 1]) * c.D1;
    c.FREQ1 = FREQ;
  }
}
double si2op_at(const LukeopRec::Si2& c, int J) {
  const int nt = c.NT(J);
  return 6.0 * std::exp((1.0 - c.DT(J)) * c.X(nt) + c.DT(J) * c.X(nt + 1));
}

void ca2op_current(Run& run) {
  LukeopRec::Ca2& c = lukeop_cache(run).CA2OP;
  if (c.MODEL != model_key(run)) {
    weight_boltzmann(run, 6.0, 3.142f, c.C1420);
    weight_boltzmann(run, 10.0, 1.697f, c.C1218);
    c.MODEL = model_key(run);
  }
  const double FREQ = run.FREQ.FREQ;
  if (c.FREQ1 != FREQ) {
    c.X1044 = sp(5.4e-20f) * cube_edge(FREQ, 2.870454e15);
    c.X1218 = FREQ < 2.460127e15 ? 0.0 : sp(1.64e-17f) * std::sqrt(2.460127e15 / FREQ);
    c.X1420 = lukeop_s(FREQ, 2.110779e15, 4.13e-18, 0.69, 6);
    c.FREQ1 = FREQ;
  }
}
double ca2op_at(const LukeopRec::Ca2& c, int J) {
  return 2.0 * c.X1044 + c.X1218 * c.C1218(J) + c.X1420 * c.C1420(J);
}

}  // namespace

double n1op(Run& run, int J) {
  n1op_current(run);
  return n1op_at(lukeop_cache(run).N1OP, J);
}

double o1op(Run& run) {
  o1op_current(run);
  return 9.0 * lukeop_cache(run).O1OP.X911;
}

double mg2op(Run& run, int J) {
  mg2op_current(run);
  return mg2op_at(lukeop_cache(run).MG2OP, J);
}

double si2op(Run& run, int J) {
  si2op_current(run);
  return si2op_at(lukeop_cache(run).SI2OP, J);
}

double ca2op(Run& run, int J) {
  ca2op_current(run);
  return ca2op_at(lukeop_cache(run).CA2OP, J);
}

void lukeop(Run& run) {
  LukeopRec& l = lukeop_cache(run);
  if (l.MODEL != model_key(run)) {
    pops(run, 7.00, 1, l.XNFN1.data());
    pops(run, 8.00, 1, l.XNFO1.data());
    pops(run, 12.01, 1, l.XNFMG2.data());
    pops(run, 14.01, 1, l.XNFSI2.data());
    pops(run, 20.01, 1, l.XNFCA2.data());
    l.MODEL = model_key(run);
  }
  n1op_current(run);
  o1op_current(run);
  mg2op_current(run);
  si2op_current(run);
  ca2op_current(run);
  // The Si II exponentials first, then one pass that the compiler can vectorise.
  const int n = run.RHOX.NRHOX;
  double si2[NDEPTH];
  for (int j = 1; j <= n; ++j) si2[j - 1] = si2op_at(l.SI2OP, j);
  const double o1 = 9.0 * l.O1OP.X911;
  const Run::FreqRec& f = run.FREQ;
  const Depth& RHO = run.STATE.RHO;
  for (int j = 1; j <= n; ++j)
    run.OPS.ALUKE(j) =
        (n1op_at(l.N1OP, j) * l.XNFN1(j) + o1 * l.XNFO1(j) + mg2op_at(l.MG2OP, j) * l.XNFMG2(j) +
         si2[j - 1] * l.XNFSI2(j) + ca2op_at(l.CA2OP, j) * l.XNFCA2(j)) *
        f.STIM(j) / RHO(j);
}

}  // namespace atmotab
