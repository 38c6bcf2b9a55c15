#include "driver/table_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "common/constants.h"
#include "driver/tabulate.h"
#include "fortio/error.h"
#include "opacity/kapp.h"

namespace atmotab {
namespace {

// Whether V[0..N) keeps RULE, in one pass without an early exit, which the compiler turns into
// vector instructions (the flag is kept in the values' own type, as a selection, for that). Each
// rule is the range LO <= x <= the largest finite value (false for NaN): LO = -largest for Finite,
// 0 for NonNegative (-0 included), the smallest subnormal for Positive.
template <class T>
bool all_keep(const T* __restrict v, int n, ValueRule rule) {
  constexpr T MAX = std::numeric_limits<T>::max();
  const T lo = rule == ValueRule::Finite        ? -MAX
               : rule == ValueRule::NonNegative ? T(0)
                                                : std::numeric_limits<T>::denorm_min();
  T bad = 0;
  for (int k = 0; k < n; ++k) bad = ((v[k] >= lo) & (v[k] <= MAX)) ? bad : T(1);
  return bad == 0;
}

template <class T>
int first_break_of(const T* v, int n, ValueRule rule) {
  if (all_keep(v, n, rule)) return -1;  // the usual case: one pass over the values
  for (int k = 0; k < n; ++k) {
    const T x = v[k];
    const bool ok = rule == ValueRule::Finite        ? std::isfinite(x)
                    : rule == ValueRule::NonNegative ? std::isfinite(x) && x >= 0
                                                     : std::isfinite(x) && x > 0;
    if (!ok) return k;
  }
  return -1;
}

std::string g(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5G", v);
  return text;
}

// A wavelength [nm] as it reads best: 500.0, 0.0014.
std::string nm_text(double nm) {
  char text[32];
  std::snprintf(text, sizeof text, nm >= 1 ? "%.1f" : "%.4g", nm);
  return text;
}

[[noreturn]] void stop(const std::string& message) {
  throw atmo_error(EXIT_FAILURE_REPORTED, "tables", message);
}

// The thermodynamic state of depth J, for causes.
std::string state_text(const Run& run, int j) {
  return "T = " + g(run.TEMP.T(j)) + " K, P = " + g(run.STATE.P(j)) +
         " dyn cm-2, XNE = " + g(run.STATE.XNE(j)) + " cm-3";
}

// The likely cause of a single-precision value F that breaks its rule, from the double D it was
// rounded from, at depth J.
std::string single_cause(const Run& run, double d, float f, int j) {
  if (std::isfinite(d) && !std::isfinite(f))
    return "its value " + g(d) + " is beyond the single-precision range of the tables (" +
           g(std::numeric_limits<float>::max()) + ")";
  return "the model gives no sound value there (" + state_text(run, j) + ")";
}

// Checks V[0..N), the singles written for depths 1..N, against RULE; D[0..N) are the doubles they
// come from. A break names QUANTITY and the depth.
void check_singles(const Run& run, const char* quantity, const float* v, const double* d, int n,
                   ValueRule rule) {
  const int k = first_break(v, n, rule);
  if (k < 0) return;
  stop(std::string(quantity) + " is " + break_text(std::isfinite(d[k]) ? v[k] : d[k]) +
       " at depth " + std::to_string(k + 1) + ": " + single_cause(run, d[k], v[k], k + 1));
}

// The name of stage slot S of element Z as "XNFPEL(S,Z) (stage slot S of Fe)".
std::string slot_text(const Run& run, const char* array, int s, int z) {
  const std::array<char, 8>& sym = run.ELEM.ELEMSYM(z);
  std::string symbol(sym.data(), sym[1] == ' ' ? 1 : 2);
  return std::string(array) + "(" + std::to_string(s) + "," + std::to_string(z) + ") (stage slot " +
         std::to_string(s) + " of " + symbol + ")";
}

// Why the continuum opacity at depth J of the current frequency is what it is.
std::string continuum_cause(Run& run, int j) {
  std::string on;
  bool unusual = false;
  for (const OpacityRow& r : kapp_rows(run)) {
    if (r.total != OpacityTotal::Continuum) continue;
    const int sw = run.IF.IFOP(r.ifop);
    unusual = unusual || (sw != 0 && sw != 1);
    if (sw != 1) continue;
    const std::string name(kapp_switch_name(r.ifop));
    for (const Dep* a : {r.absorption, r.scattering}) {
      if (a == nullptr) continue;
      const double v = (*a)(j);
      if (!std::isfinite(v) || v < 0)
        return "the source " + name + " gives " +
               (a == r.absorption ? "absorption " : "scattering ") + break_text(v) + " there";
    }
    if ((" " + on + " ").find(" " + name + " ") == std::string::npos)
      on += (on.empty() ? "" : " ") + name;
  }
  if (on.empty())
    return std::string("every absorption and scattering source is off") +
           (unusual ? " (an opacity switch is on only when it is 1)" : "");
  return "the sources that are on (" + on + ") give no opacity at this frequency and depth";
}

}  // namespace

int first_break(const double* v, int n, ValueRule rule) { return first_break_of(v, n, rule); }
int first_break(const float* v, int n, ValueRule rule) { return first_break_of(v, n, rule); }

std::string break_text(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  if (v == 0) return "zero";
  if (v < 0) return "negative (" + g(v) + ")";
  return g(v);
}

void check_headers(const Run& run) {
  const Run::EdgeRec& E = run.EDGE;
  for (int i = 1; i <= E.NEDGE; ++i)
    for (double v : {E.FRQEDG(i), E.WLEDGE(i), E.CMEDGE(i)})
      if (!std::isfinite(v))
        stop("edge " + std::to_string(i) + " is " + break_text(v) +
             " in frequency, wavelength or wavenumber: the edge list holds a value too large or "
             "too small to convert");
  const int k = first_break(E.FREQSET.data(), run.FRESET.NUMNU, ValueRule::Positive);
  if (k >= 0)
    stop("frequency " + std::to_string(k + 1) + " of the set is " + break_text(E.FREQSET(k + 1)) +
         ": the edge list holds a value too large or too small to convert");
  if (!std::isfinite(table_header_teff(run))) stop("TEFF (T(1)) of the table header is not finite");
}

void check_continuum(Run& run, int i) {
  const int k = first_break(run.ABTOT.ABTOT.data(), run.RHOX.NRHOX, ValueRule::Positive);
  if (k < 0) return;
  const int j = k + 1;
  stop("continuum opacity is " + break_text(run.ABTOT.ABTOT(j)) + " at " +
       nm_text(CLIGHT_NM / run.EDGE.FREQSET(i)) + " nm (frequency " + std::to_string(i) +
       " of the set), depth " + std::to_string(j) + ": " + continuum_cause(run, j));
}

void check_depth_block(const Run& run) {
  const TablesRec& TB = run.TABLES;
  const Run::TempRec& T = run.TEMP;
  const Run::StateRec& S = run.STATE;
  struct Item {
    const char* quantity;
    const Arr<float, NTAB_HEAD>& single;
    const double* from;
    ValueRule rule;
  };
  using R = ValueRule;
  const Item items[] = {
      {"T", TB.T4, T.T.data(), R::Positive},
      {"TKEV", TB.TKEV4, T.TKEV.data(), R::Positive},
      {"TK", TB.TK4, T.TK.data(), R::Positive},
      {"HKT", TB.HKT4, T.HKT.data(), R::Positive},
      {"TLOG", TB.TLOG4, T.TLOG.data(), R::Finite},
      {"HCKT", TB.HCKT4, T.HCKT.data(), R::Positive},
      {"P", TB.P4, S.P.data(), R::NonNegative},
      {"XNE", TB.XNE4, S.XNE.data(), R::NonNegative},
      {"XNATOM", TB.XNATOM4, S.XNATOM.data(), R::NonNegative},
      {"RHO", TB.RHO4, S.RHO.data(), R::NonNegative},
      {"RHOX", TB.RHOX4, run.RHOX.RHOX.data(), R::Finite},
      {"VTURB", TB.VTURB4, run.TURBPR.VTURB.data(), R::Finite},
      {"XNFH (H I density)", TB.XNFH4, run.BHYD.XNFH.data(), R::NonNegative},
      {"XNFH2 (H2 estimate)", TB.XNFH24, TB.XNFH2.data(), R::NonNegative},
  };
  const int n = std::min(run.RHOX.NRHOX, NTAB_HEAD);
  for (const Item& it : items)
    check_singles(run, it.quantity, it.single.data(), it.from, n, it.rule);
  check_singles(run, "XNFHE (He I density)", &TB.XNFHE4(1, 1), &run.BHE.XNFHE(1, 1), n,
                R::NonNegative);
  check_singles(run, "XNFHE (He II density)", &TB.XNFHE4(1, 2), &run.BHE.XNFHE(1, 2), n,
                R::NonNegative);
}

void check_depth_record(const Run& run, int j) {
  const TablesRec& TB = run.TABLES;
  struct Item {
    const char* array;
    const float* single;
    const double* from;
    ValueRule rule;
  };
  const Item items[] = {
      {"XNFPEL", TB.XNFPEL4.data(), TB.XNFPEL.data(), ValueRule::NonNegative},
      {"DOPPLE", TB.DOPPLE4.data(), TB.DOPPLE.data(), ValueRule::Positive},
  };
  for (const Item& it : items) {
    const int k = first_break(it.single, 6 * 99, it.rule);
    if (k < 0) continue;
    stop(slot_text(run, it.array, k % 6 + 1, k / 6 + 1) + " is " +
         break_text(std::isfinite(it.from[k]) ? it.single[k] : it.from[k]) + " at depth " +
         std::to_string(j) + ": " + single_cause(run, it.from[k], it.single[k], j));
  }
  const int i = first_break(TB.CONTINALL4.data(), NTAB_FREQ, ValueRule::Finite);
  if (i >= 0)
    stop("CONTINALL (log10 continuum opacity) is " + break_text(TB.CONTINALL4(i + 1)) +
         " at frequency " + std::to_string(i + 1) + " of the set, depth " + std::to_string(j) +
         ": the continuum opacity there is not a positive number");
}

void check_maxima(const Run& run) {
  const TablesRec& TB = run.TABLES;
  const int k = first_break(TB.XNFDOPMAX.data(), NTAB_EDGE * 6 * 99, ValueRule::NonNegative);
  if (k < 0) return;
  const int m = k % NTAB_EDGE + 1, slot = k / NTAB_EDGE;
  const float v = TB.XNFDOPMAX.data()[k];
  const std::string where = " in edge interval " + std::to_string(m) + " (" +
                            nm_text(std::fabs(run.EDGE.WLEDGE(m))) + " to " +
                            nm_text(std::fabs(run.EDGE.WLEDGE(m + 1))) + " nm)";
  stop(slot_text(run, "XNFDOPMAX", slot % 6 + 1, slot / 6 + 1) + " is " + break_text(v) + where +
       ": " +
       (std::isinf(v) ? "the population per Doppler width over the smallest continuum opacity of "
                        "the interval is beyond the single-precision range of the tables (" +
                            g(std::numeric_limits<float>::max()) + ")"
                      : "a population or a continuum opacity of the interval is not sound"));
}

}  // namespace atmotab
