// regrid — re-gridding of a model on mass column depth and on Rosseland optical depth, with the
// rescaling of a model to another effective temperature and gravity (T ~ TEFF at fixed optical
// depth, radiation pressure ~ T^4, gas pressure from hydrostatic equilibrium at the new gravity).
// Inputs:  the model of earlier cards (RHOX, T, P, XNE, ABROSS, PRAD, VTURB, BHYD, BMIN, PRADK0).
// Output:  the same quantities on the new grid; SCALE with rescaling also TEFF, FLUX, GRAV, GLOG,
//          TAUROS, PTURB, PRADK, PZERO, PTOTAL.
// Valid:   map1 extrapolates linearly beyond the ends of the old grid (common/map1.h).
// Deviations from the source: none; grids that do not increase and missing TEFF or GRAVITY are
//          refused instead of giving undefined interpolations.
#include "input/regrid.h"

#include <cmath>
#include <string>

#include "common/map1.h"
#include "common/parcoe.h"
#include "fortio/error.h"
#include "input/card_input.h"
#include "input/cards.h"
#include "input/freeff.h"
#include "input/readst.h"

namespace atmotab {
namespace {

[[noreturn]] void regrid_refuse(const char* card_name, const std::string& why) {
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin", std::string(card_name) + " card: " + why);
}

// Index of the first X(j) <= X(j-1), j = 2..N; 0 when X increases strictly.
int regrid_not_increasing(const double* x, int n) {
  for (int j = 2; j <= n; ++j)
    if (!(x[j - 1] > x[j - 2])) return j;
  return 0;
}

// The CONVQ(.,K) scratch column.
double* scratch(Run& run, int k) { return &run.CONV.CONVQ(1, k); }

// Whether B(1..N) are all exactly 1. Departure coefficients that are all 1 (LTE) stay exactly 1
// through a re-grid: interpolating them gives 1 +- 1 ulp, which would take a later model with
// molecules off the LTE path of the equilibrium.
bool regrid_all_one(const double* b, int n) {
  for (int j = 0; j < n; ++j)
    if (b[j] != 1.0) return false;
  return true;
}

// Interpolates the departure coefficients B from XOLD(1..NOLD) onto XNEW(1..NNEW) through
// CONVQ(.,1), or sets them to 1 when they are all 1 on the old grid.
void regrid_departures(Run& run, double* b, const double* xold, int nold, const double* xnew,
                       int nnew) {
  if (regrid_all_one(b, nold)) {
    for (int j = 0; j < nnew; ++j) b[j] = 1.0;
    return;
  }
  map1(xold, b, nold, xnew, scratch(run, 1), nnew);
  for (int j = 1; j <= nnew; ++j) b[j - 1] = run.CONV.CONVQ(j, 1);
}

// The departure coefficients BHYD(.,1..6) and BMIN moved from XOLD(1..NOLD) onto XNEW(1..NNEW).
void regrid_bhyd(Run& run, const double* xold, int nold, const double* xnew, int nnew) {
  for (int k = 1; k <= 6; ++k) regrid_departures(run, &run.BHYD.BHYD(1, k), xold, nold, xnew, nnew);
  regrid_departures(run, run.BHYD.BMIN.data(), xold, nold, xnew, nnew);
}

// Decades by which the new grid XNEW(1..NNEW) reaches beyond the ends of XOLD(1..NOLD) (both
// increasing): above the first point (0 when XOLD(1) <= 0, a surface at zero) and below the last.
struct Reach {
  double above = 0, below = 0;
};
Reach regrid_reach(const double* xold, int nold, const double* xnew, int nnew) {
  Reach r;
  if (xold[0] > 0 && xnew[0] < xold[0]) r.above = std::log10(xold[0] / xnew[0]);
  if (xnew[nnew - 1] > xold[nold - 1]) r.below = std::log10(xnew[nnew - 1] / xold[nold - 1]);
  return r;
}

// A re-grid beyond the model extrapolates T, P and the rest linearly (map1): a warning naming
// the card and how far it reaches, kept also as the note that a later failure of this model
// names as its likely cause.
void regrid_warn(Run& run, const Card& card, const char* card_name, const char* scale,
                 const Reach& r) {
  if (r.above <= 0 && r.below <= 0) return;
  char text[200];
  const auto part = [&](double decades, const char* where) {
    std::snprintf(text, sizeof text, "%.2g decades of %s %s", decades, scale, where);
    return std::string(text);
  };
  std::string reach;
  if (r.above > 0) reach = part(r.above, "above the model's first depth");
  if (r.below > 0)
    reach += (reach.empty() ? "" : " and ") + part(r.below, "below the model's last depth");
  const std::string what = std::string(card_name) + " re-grid reaches " + reach +
                           "; the model is extrapolated there linearly";
  card_warning(run, card, 0, what);
  run.UNITS.regrid_note = card_label(card) + ": " + what;
}

}  // namespace

void regrid_rhox(Run& run, Card& card) {
  const int nnew = card_int(freeff(run, card));
  card_check("RHOX", "number of depths NRHOX", nnew, 1, MAXD);
  double* xnew = scratch(run, 8);
  const Card rhox_card = card;  // the values may go on over further cards: warnings name this one
  for (int j = 1; j <= nnew; ++j) xnew[j - 1] = freefr(run, card);
  const int nold = run.RHOX.NRHOX;
  if (nold < 2)
    regrid_refuse("RHOX", "the model to re-grid has " + std::to_string(nold) +
                              " depths; interpolation needs at least two");
  const double* xold = run.RHOX.RHOX.data();
  if (int j = regrid_not_increasing(xold, nold))
    regrid_refuse("RHOX", "the model's RHOX does not increase at depth " + std::to_string(j));
  if (int j = regrid_not_increasing(xnew, nnew))
    regrid_refuse("RHOX", "the new RHOX values do not increase at value " + std::to_string(j));
  regrid_warn(run, rhox_card, "RHOX", "RHOX", regrid_reach(xold, nold, xnew, nnew));

  Depth* const fields[6] = {&run.TEMP.T,        &run.STATE.P,      &run.STATE.XNE,
                            &run.ABROSS.ABROSS, &run.TURBPR.VTURB, &run.RAD.PRAD};
  for (int k = 1; k <= 6; ++k) map1(xold, fields[k - 1]->data(), nold, xnew, scratch(run, k), nnew);
  for (int k = 1; k <= 6; ++k)
    for (int j = 1; j <= nnew; ++j) (*fields[k - 1])(j) = run.CONV.CONVQ(j, k);
  for (int j = 1; j <= nnew; ++j) run.PZERO.PRADK(j) = run.RAD.PRAD(j) + run.PZERO.PRADK0;
  regrid_bhyd(run, xold, nold, xnew, nnew);
  run.RHOX.NRHOX = nnew;
  for (int j = 1; j <= nnew; ++j) run.RHOX.RHOX(j) = xnew[j - 1];
}

void regrid_scale(Run& run, Card& card) {
  Run::FreeRec& F = run.FREE;
  const int n = card_int(freeff(run, card));
  const double tau1 = freeff(run, card);
  const double dtau = freeff(run, card);
  F.IFNEXT = 1;
  const double t = freeff(run, card);
  double g = freeff(run, card);
  const bool g_given = F.IFEND == 0;
  F.IFNEXT = 0;
  if (g < 10) g = card_pow10(g);
  // A rescaling card that gives the temperature but no gravity keeps the model's gravity (read
  // literally, the missing value would be log g = 0, a gravity of 1 cm s^-2).
  if (!g_given) g = run.TEFF.GRAV;

  Run::TeffRec& TE = run.TEFF;
  if (!(TE.TEFF > 0) || !(TE.GRAV > 0))
    regrid_refuse("SCALE",
                  std::string(TE.TEFF > 0 ? "GRAVITY" : "TEFF") +
                      " is not set; re-gridding and rescaling need the model's TEFF and GRAVITY");
  const int nold = run.RHOX.NRHOX;
  if (nold < 2)
    regrid_refuse("SCALE", "the model to re-grid has " + std::to_string(nold) +
                               " depths; interpolation needs at least two");
  card_check("SCALE", "number of depths (2 to the model's NRHOX)", n, 2, nold);
  if (!(dtau > 0))
    regrid_refuse("SCALE",
                  "step dtau = " + std::to_string(dtau) + " in log10 TAUROS must be positive");

  // Re-gridding: the first n depths of the model, onto n new ones equally spaced in log10 TAUROS.
  int& NRHOX = run.RHOX.NRHOX;
  NRHOX = n;
  Depth& TAUSTD = run.STATE.XNATOM;
  for (int j = 1; j <= NRHOX; ++j) TAUSTD(j) = card_pow10(tau1 + (j - 1) * dtau);
  Depth& RHOX = run.RHOX.RHOX;
  Depth& ABROSS = run.ABROSS.ABROSS;
  Depth& TAUROS = run.ABROSS.TAUROS;
  integ(RHOX.data(), ABROSS.data(), TAUROS.data(), NRHOX, ABROSS(1) * RHOX(1));
  TAUROS(1) = 0;
  if (int j = regrid_not_increasing(TAUROS.data(), NRHOX))
    regrid_refuse("SCALE",
                  "the model's Rosseland depth (integral of ABROSS over RHOX) does not increase "
                  "at depth " +
                      std::to_string(j) + "; the model needs ABROSS > 0");
  regrid_warn(run, card, "SCALE", "Rosseland optical depth",
              regrid_reach(TAUROS.data(), NRHOX, TAUSTD.data(), NRHOX));

  Depth* const fields[7] = {&RHOX,   &run.TEMP.T,   &run.STATE.P,     &run.STATE.XNE,
                            &ABROSS, &run.RAD.PRAD, &run.TURBPR.VTURB};
  for (int k = 1; k <= 7; ++k)
    map1(TAUROS.data(), fields[k - 1]->data(), NRHOX, TAUSTD.data(), scratch(run, k), NRHOX);
  for (int k = 1; k <= 7; ++k)
    for (int j = 1; j <= NRHOX; ++j) (*fields[k - 1])(j) = run.CONV.CONVQ(j, k);
  Run::PzeroRec& Z = run.PZERO;
  for (int j = 1; j <= NRHOX; ++j) Z.PRADK(j) = run.RAD.PRAD(j) + Z.PRADK0;
  regrid_bhyd(run, TAUROS.data(), NRHOX, TAUSTD.data(), NRHOX);

  if (t == 0 || (t == TE.TEFF && g == TE.GRAV)) return;
  // Rescaling: T ~ TEFF at fixed Rosseland depth, so radiation pressures go as (t/TEFF)^4.
  const double r = (t / TE.TEFF) * (t / TE.TEFF);
  Depth& T = run.TEMP.T;
  for (int j = 1; j <= NRHOX; ++j) {
    TAUROS(j) = TAUSTD(j);
    T(j) = T(j) * t / TE.TEFF;
    run.TURBPR.PTURB(j) = 0;
    run.RAD.PRAD(j) = run.RAD.PRAD(j) * (r * r);
    Z.PRADK(j) = Z.PRADK(j) * (r * r);
  }
  TE.TEFF = t;
  run.FLUX.FLUX = nominal_flux(t);
  Z.PRADK0 = Z.PRADK0 * (r * r);
  Z.PZERO = Z.PCON + Z.PTURB0 + Z.PRADK0;
  TE.GRAV = g;
  TE.GLOG = std::log10(g);
  hydrostatic_pressures(run);
}

CardEnd card_rhox(Run& run, Card& card) {
  regrid_rhox(run, card);
  return CardEnd::Continue;
}

CardEnd card_scale(Run& run, Card& card) {
  regrid_scale(run, card);
  return CardEnd::Continue;
}

}  // namespace atmotab
