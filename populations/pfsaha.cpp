// pfsaha — ionization balance of one element at one depth by the Saha equation, with the
// partition functions of every stage and the Debye lowering of the ionization potentials.
// Sources: Saha equation n(i+1) ne / n(i) = 2 (2 pi m k T / h^2)^1.5 U(i+1)/U(i) exp(-chi/kT),
//          2 (2 pi m k / h^2)^1.5 = 4.8296e15 cm^-3 K^-1.5; Debye length
//          sqrt(kT / (4 pi e^2 n)), 4 pi e^2 = 2.8965e-18 esu^2; lowering e^2/D = 1.44e-7 eV cm /
//          D.
// Inputs:  T, TK, TKEV, HCKT, TLOG (J); P, XNE (J); POTION; departure coefficients (pflight).
// Output:  ANSWER(J) or ANSWER(J,1..NION): fractions, fractions over partition functions,
//          partition functions or free electrons per atom (see pfsaha.h).
// Valid:   P, XNE > 0 and T >= PFTAB.TMIN at the depth (checked: anything else stops the run
//          naming the depth). The Saha exponent is capped at 75, so a stage far below its threshold
//          keeps exp(-75). TMIN (about 661 K) is where the first extrapolated partition function
//          of the iron group turns negative (pfiron_lowest_temperature); the cap itself governs
//          every element only below 602 K (pfsaha_lowest_temperature, cesium at 3.894 eV).
//          A partition function that is not positive (far beyond the tables in dense layers)
//          stops the run naming the element, the stage and the depth.
// Deviations from the source: none.
#include "populations/pfsaha.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "common/constants.h"
#include "fortio/error.h"
#include "populations/saha_cache.h"

namespace atmotab {
namespace {

constexpr double SAHA_CONST = 4.8296e15;   // 2 (2 pi m_e k / h^2)^1.5 [cm^-3 K^-1.5]
constexpr double FOUR_PI_E2 = 2.8965e-18;  // 4 pi e^2 [esu^2]
constexpr double E2_EV_CM = 1.44e-7;       // e^2 [eV cm]
constexpr double POTLOW_MAX = 1.0;         // largest lowering of the neutral potential [eV]
constexpr double SAHA_EXP_MAX = 75.0;      // cap of the Saha exponent

// Refuses a temperature below the range of the population physics, naming the limit that sets it.
[[noreturn]] void below_range(const Run& run, int j) {
  const Run::PftabRec& pf = run.PFTAB;
  char text[320];
  const char* why = pf.TMINPF >= pf.TMINSAHA
                        ? "the partition functions of Ca..Ni, tabulated from 2089 K and continued "
                          "linearly below, turn negative below it"
                        : "below it the Saha exponent of every element reaches its cap of 75";
  std::snprintf(text, sizeof text,
                "temperature T = %.1f K at depth J = %d is below the range of the population "
                "physics, T >= %.1f K: %s",
                run.TEMP.T(j), j, pf.TMIN, why);
  throw atmo_error(EXIT_FAILURE_REPORTED, "pfsaha", text);
}

void check_depth(Run& run, int j) {
  const double p = run.STATE.P(j), t = run.TEMP.T(j), xne = run.STATE.XNE(j);
  if (p > 0 && t >= run.PFTAB.TMIN && xne > 0) return;
  if (t > 0 && p > 0 && xne > 0) below_range(run, j);
  const std::string what = !(p > 0) ? "PRESSURE" : !(t > 0) ? "TEMPERATURE" : "ELECTRON DENSITY";
  const double v = !(p > 0) ? p : !(t > 0) ? t : xne;
  run.LISTING.print("(1X,'NON-POSITIVE ',A,' AT DEPTH',I3,1P,E12.3)",
                    {std::string_view(what), j, v});
  throw atmo_error(EXIT_FAILURE_REPORTED, "pfsaha",
                   "non-positive " + what + " (" + std::to_string(v) +
                       ") at depth J = " + std::to_string(j) + "; the model cannot be ionized");
}

// Stops on a partition function that is not positive. Above 4 Ts the packed table, and the level
// sums of the light ions, have the levels dissolved by the lowering of the ionization potential
// (a hydrogenic tail) subtracted; in hot dense layers that subtraction can outweigh the sum, the
// more so beyond 10.5 Ts, the last point of the table, where it is continued along the line
// through its last two points (S VI at 1.8e5 K with a lowering of 1.5 eV in a grey 60000 K model
// at log g 6; K I and K III, and Es II and III, at log g 8). The Saha ratios would change sign.
void check_partition(const Run& run, int j, int iz, const SahaWork& w) {
  for (int ion = 1; ion <= w.NUSED; ++ion) {
    const double u = w.PART(ion);
    if (u > 0 && std::isfinite(u)) continue;
    const std::array<char, 8>& sym = run.ELEM.ELEMSYM(iz);
    const std::string symbol(sym.data(), sym[1] == ' ' ? 1 : 2);
    const bool iron = iz >= 20 && iz <= 28;
    const bool light = !iron && pf_is_light(pf_row(iz, ion));
    const double table_end = w.IP(ion) * 2000 / 11 * 10.5;  // [K] the last point, 10.5 Ts
    char beyond[96] = "";
    if (!iron && !light && run.TEMP.T(j) > table_end)
      std::snprintf(beyond, sizeof beyond,
                    ", continued along a straight line beyond its last point (%.0f K)", table_end);
    char text[480];
    std::snprintf(text, sizeof text,
                  "partition function of %s stage %d is %.6G at depth J = %d (T = %.5E K, lowering "
                  "of the ionization potential %.3f eV): no ionization balance can be formed%s%s",
                  symbol.c_str(), ion, u, j, run.TEMP.T(j), w.POTLO(ion),
                  iron ? ""
                  : light
                      ? "; the levels the lowering dissolves outweigh the level sum of the stage"
                      : "; the levels the lowering dissolves outweigh the partition-function "
                        "table of the stage",
                  beyond);
    throw atmo_error(EXIT_FAILURE_REPORTED, "pfsaha", text);
  }
}

// Level sums of the light rows at depth J (LSUM), formed anew when the depth's T, HCKT, IFNLTE
// or the model changed.
const double* light_levels(Run& run, int j) {
  SahacRec& C = sahac_cache(run);
  const Run::TempRec& T = run.TEMP;
  if (!(C.LHELD(j) && C.LMODEL(j) == model_key(run) && C.LNLTE(j) == run.IF.IFNLTE &&
        C.LT(j) == T.T(j) && C.LHCKT(j) == T.HCKT(j))) {
    C.LHELD(j) = false;
    for (int k = 1; k <= PF_NLIGHT; ++k)
      C.LSUM(k, j) = pflight_levels(run, j, PF_LIGHT_ROWS[k - 1]);
    C.LHELD(j) = true;
    C.LMODEL(j) = model_key(run);
    C.LNLTE(j) = run.IF.IFNLTE;
    C.LT(j) = T.T(j);
    C.LHCKT(j) = T.HCKT(j);
  }
  return &C.LSUM(1, j);
}

// True where pfsaha accepts depth J (check_depth passes without a word).
bool depth_accepted(const Run& run, int j) {
  return run.STATE.P(j) > 0 && run.TEMP.T(j) >= run.PFTAB.TMIN && run.STATE.XNE(j) > 0;
}

// The state arrays of a depth that SAHAC's values come from, in the order of SAHAC.KEY.
std::array<const double*, SAHAC_KEYS> sahac_state(const Run& run) {
  const Run::TempRec& T = run.TEMP;
  return {T.T.data(),    T.TK.data(),        T.TKEV.data(),       T.HCKT.data(),
          T.TLOG.data(), run.STATE.P.data(), run.STATE.XNE.data()};
}

// Brings SAHAC up to the state of depths 1..NRHOX: a new model or any change of a depth's state
// (compared bit for bit) drops every value held and forms the lowering and the Saha factor of
// each depth anew. The keys are written last: until then the cache holds nothing.
void sahac_refresh(Run& run) {
  SahacRec& C = sahac_cache(run);
  const int nrhox = run.RHOX.NRHOX;
  const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(std::max(nrhox, 0));
  const std::array<const double*, SAHAC_KEYS> state = sahac_state(run);
  bool same = C.MODEL == model_key(run);
  for (int k = 1; k <= SAHAC_KEYS && same; ++k)
    same = std::memcmp(&C.KEY(1, k), state[k - 1], bytes) == 0;
  if (same) return;
  C.MODEL = ModelKey{};
  C.NPART.fill(0);
  C.NRAT.fill(0);
  for (int j = 1; j <= nrhox; ++j) {
    C.POTLOW(j) = pfsaha_potlow(run, j);
    const double t = run.TEMP.T(j);
    C.CF(j) = SAHA_CONST * t * std::sqrt(t) / run.STATE.XNE(j);
  }
  for (int k = 1; k <= SAHAC_KEYS; ++k) std::memcpy(&C.KEY(1, k), state[k - 1], bytes);
  C.MODEL = model_key(run);
}

// Partition function of stage ION of element IZ at depths 1..NRHOX into U(1..NRHOX), as
// pfsaha_partition forms it at each depth.
void stage_partitions(Run& run, int iz, int ion, double* u) {
  const SahacRec& C = sahac_cache(run);
  const int nrhox = run.RHOX.NRHOX;
  if (iz >= 20 && iz <= 28) {
    for (int j = 1; j <= nrhox; ++j) u[j - 1] = pfiron(run, j, iz, ion, C.POTLOW(j) * ion);
    return;
  }
  SahaWork w;  // pflight reads IP and POTLO of stage ION only
  w.IP(ion) = pfsaha_ip(run, iz, ion);
  const int row = pf_row(iz, ion);
  const int light = pf_light_index(row);
  if (light == 0) return pftable_depths(run, iz, ion, row, w.IP(ion), C.POTLOW.data(), u);
  for (int j = 1; j <= nrhox; ++j) {
    w.POTLO(ion) = C.POTLOW(j) * ion;
    u[j - 1] = pflight_tail(run, j, row, w, light_levels(run, j)[light - 1]);
  }
}

// pfsaha at depth J with the level sums of the light rows from LEVELS (null: formed here).
void saha_at(Run& run, int j, int iz, int nion, int mode, double* answer, const double* levels);

}  // namespace

double pfsaha_lowest_temperature(const Run& run) {
  double ip = 1e300;
  for (int iz = 1; iz <= 99; ++iz) ip = std::min(ip, pfsaha_ip(run, iz, 1));
  return ip / (SAHA_EXP_MAX * KBOLTZ_EV);
}

int pfsaha_nions(int iz) {
  if (iz == 6 || iz == 7) return 6;
  if (iz >= 20 && iz <= 28) return 10;
  if (iz >= 29) return 3;
  return pf_locz(iz + 1) - pf_locz(iz);
}

double pfsaha_ip(const Run& run, int iz, int ion) {
  const int slot = potion_slot(iz, ion);
  double v = run.POTION.POTION(slot);
  if (v == 0) v = run.POTION.POTION(slot - 1);
  return v / EV_TO_CM;
}

double pfsaha_potlow(const Run& run, int j) {
  const double xne = run.STATE.XNE(j);
  const double xntot = run.STATE.P(j) / run.TEMP.TK(j);
  const double charge = 2 * xne - xntot;
  double nch = charge > 0 ? 2 * charge + 2 * xne : 2 * xne;
  if (nch == 0) nch = 1;
  const double debye = std::sqrt((run.TEMP.TK(j) / FOUR_PI_E2) / nch);
  return std::min(POTLOW_MAX, E2_EV_CM / debye);
}

void pfsaha_partition(const Run& run, int j, int iz, SahaWork& w, const double* levels) {
  const double potlow = pfsaha_potlow(run, j);
  for (int ion = 1; ion <= w.NUSED; ++ion) {
    w.IP(ion) = pfsaha_ip(run, iz, ion);
    w.POTLO(ion) = potlow * ion;
  }
  for (int ion = 1; ion <= w.NUSED; ++ion) {
    if (iz >= 20 && iz <= 28) {
      w.PART(ion) = pfiron(run, j, iz, ion, w.POTLO(ion));
      continue;
    }
    const int row = pf_row(iz, ion);
    const int light = pf_light_index(row);
    if (light == 0)
      w.PART(ion) = pftable(run, j, iz, ion, row, w);
    else
      w.PART(ion) =
          pflight_tail(run, j, row, w, levels ? levels[light - 1] : pflight_levels(run, j, row));
  }
}

void pfsaha(Run& run, int j, int iz, int nion, int mode, double* answer) {
  saha_at(run, j, iz, nion, mode, answer, nullptr);
}

void pfsaha_iteration(Run& run, int j, int iz, int nion, int mode, double* answer) {
  check_depth(run, j);
  saha_at(run, j, iz, nion, mode, answer, light_levels(run, j));
}

void pfsaha_forget_levels(Run& run) { sahac_cache(run).LHELD.fill(false); }

namespace {

void saha_at(Run& run, int j, int iz, int nion, int mode, double* answer, const double* levels) {
  check_depth(run, j);
  SahaWork w;
  const int mode1 = mode > 10 ? mode - 10 : mode;
  w.NIONS = iz >= 1 && iz <= 99 ? pfsaha_nions(iz) : 0;
  if (nion < 1 || nion > w.NIONS)
    throw atmo_error(EXIT_FAILURE_REPORTED, "pfsaha",
                     "element " + std::to_string(iz) + " has no stage " + std::to_string(nion) +
                         " (stages 1.." + std::to_string(w.NIONS) + ")");
  // Partition functions alone need no balance: only the stages asked for are computed (each
  // stage's value does not depend on the others).
  w.NUSED = mode1 == 3 ? nion : std::min(w.NIONS, nion + 2);
  pfsaha_partition(run, j, iz, w, levels);
  check_partition(run, j, iz, w);

  if (mode1 != 3) {
    const double t = run.TEMP.T(j);
    const double cf = SAHA_CONST * t * std::sqrt(t) / run.STATE.XNE(j);
    Arr<double, PF_MAXION> r;
    for (int ion = 1; ion <= w.NUSED - 1; ++ion)
      r(ion + 1) =
          std::exp(-std::min((w.IP(ion) - w.POTLO(ion)) / run.TEMP.TKEV(j), SAHA_EXP_MAX)) * cf *
          w.PART(ion + 1) / w.PART(ion);
    // Normalization nested from the top stage: 1 + R2 (1 + R3 (1 + ...)).
    double s = 1;
    for (int ion = w.NUSED; ion >= 2; --ion) s = 1 + r(ion) * s;
    w.F(1) = 1 / s;
    for (int ion = 2; ion <= w.NUSED; ++ion) w.F(ion) = w.F(ion - 1) * r(ion);
  }

  auto at = [&](int ion) -> double& { return answer[(j - 1) + MAXD * (ion - 1)]; };
  if (mode1 == 4) {
    double e = 0;
    for (int ion = 2; ion <= w.NUSED; ++ion) e += (ion - 1) * w.F(ion);
    at(1) = e;
    return;
  }
  const int lo = mode < 10 ? nion : 1;
  for (int ion = lo; ion <= nion; ++ion) {
    double& out = mode < 10 ? at(1) : at(ion);
    if (mode1 == 2)
      out = w.F(ion);
    else if (mode1 == 3)
      out = w.PART(ion);
    else
      out = w.F(ion) / w.PART(ion);
  }
}

}  // namespace

bool pfsaha_depths(Run& run, int iz, int nion, int mode, double* answer) {
  const int nrhox = run.RHOX.NRHOX;
  for (int j = 1; j <= nrhox; ++j)
    if (!depth_accepted(run, j)) return false;
  const int mode1 = mode > 10 ? mode - 10 : mode;
  const int nions = iz >= 1 && iz <= 99 ? pfsaha_nions(iz) : 0;
  if (nion < 1 || nion > nions) return false;
  const int nused = mode1 == 3 ? nion : std::min(nions, nion + 2);

  sahac_refresh(run);
  SahacRec& C = sahac_cache(run);
  auto part = [&](int j, int ion) -> double& { return C.PART(j, ion, iz); };
  auto rat = [&](int j, int ion) -> double& { return C.RAT(j, ion, iz); };
  // Partition functions of the stages not held yet; a value pfsaha would refuse leaves the
  // request to it, and nothing is kept.
  for (int ion = C.NPART(iz) + 1; ion <= nused; ++ion) {
    stage_partitions(run, iz, ion, &part(1, ion));
    for (int j = 1; j <= nrhox; ++j)
      if (!(part(j, ion) > 0 && std::isfinite(part(j, ion)))) return false;
    C.NPART(iz) = ion;
  }

  Arr<double, MAXD, PF_MAXION> f;  // F(J,ION) fraction of the element's atoms in stage ION
  double cap = 0;                  // exp(-SAHA_EXP_MAX), once needed
  if (mode1 != 3) {
    // Saha ratios of the stages not held yet: the exponent, the exponential and the products in
    // separate loops over the depths, in pfsaha's order of operations.
    for (int ion = std::max(C.NRAT(iz), 1); ion <= nused - 1; ++ion) {
      const double ip = pfsaha_ip(run, iz, ion);
      double* r = &rat(1, ion + 1);
      for (int j = 1; j <= nrhox; ++j)
        r[j - 1] = -std::min((ip - C.POTLOW(j) * ion) / run.TEMP.TKEV(j), SAHA_EXP_MAX);
      // A capped exponent is the same argument at every such depth: its exponential is formed
      // once.
      for (int j = 1; j <= nrhox; ++j) {
        if (r[j - 1] != -SAHA_EXP_MAX)
          r[j - 1] = std::exp(r[j - 1]);
        else
          r[j - 1] = cap != 0 ? cap : (cap = std::exp(-SAHA_EXP_MAX));
      }
      for (int j = 1; j <= nrhox; ++j)
        r[j - 1] = r[j - 1] * C.CF(j) * part(j, ion + 1) / part(j, ion);
      C.NRAT(iz) = ion + 1;
    }
    // Normalization nested from the top stage: 1 + R2 (1 + R3 (1 + ...)).
    Depth s;
    for (int j = 1; j <= nrhox; ++j) s(j) = 1;
    for (int ion = nused; ion >= 2; --ion)
      for (int j = 1; j <= nrhox; ++j) s(j) = 1 + rat(j, ion) * s(j);
    for (int j = 1; j <= nrhox; ++j) f(j, 1) = 1 / s(j);
    for (int ion = 2; ion <= nused; ++ion)
      for (int j = 1; j <= nrhox; ++j) f(j, ion) = f(j, ion - 1) * rat(j, ion);
  }

  if (mode1 == 4) {
    for (int j = 1; j <= nrhox; ++j) {
      double e = 0;
      for (int ion = 2; ion <= nused; ++ion) e += (ion - 1) * f(j, ion);
      answer[j - 1] = e;
    }
    return true;
  }
  const int lo = mode < 10 ? nion : 1;
  for (int ion = lo; ion <= nion; ++ion) {
    double* out = answer + (mode < 10 ? 0 : MAXD * (ion - 1));
    for (int j = 1; j <= nrhox; ++j) {
      if (mode1 == 2)
        out[j - 1] = f(j, ion);
      else if (mode1 == 3)
        out[j - 1] = part(j, ion);
      else
        out[j - 1] = f(j, ion) / part(j, ion);
    }
  }
  return true;
}

}  // namespace atmotab
