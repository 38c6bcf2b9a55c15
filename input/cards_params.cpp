// Parameter and switch cards of the control-card interpreter: effective temperature, gravity,
// opacity switches, iteration/print/punch controls, the on/off switches, convection, turbulence,
// surface, LTE/NLTE, abundances, title, wavelength range and the empty card.
#include <array>
#include <cmath>

#include "common/constants.h"
#include "fortio/error.h"
#include "input/cards.h"
#include "input/freeff.h"

namespace atmotab {
namespace {

// Sets NCOL behind the sub-word, where the numbers of a sub-word form start.
void numbers_after_subword(Run& run) { run.FREE.NCOL = run.FREE.NCOLW; }

// Word codes of the opacity-source names, in the order of the IFOP switches.
constexpr std::array<std::int32_t, NIFOP> SOURCE_CODES = [] {
  std::array<std::int32_t, NIFOP> codes{};
  for (int k = 0; k < NIFOP; ++k) codes[static_cast<std::size_t>(k)] = word_code(IFOP_NAMES[k]);
  return codes;
}();

// OPACITY ON/OFF names...: each name sets its switch; any other word stops the run.
CardEnd opacity_names(Run& run, Card& card, int value) {
  run.FREE.IFNEXT = 1;
  for (;;) {
    const std::int32_t code = iwordf(run, card);
    if (run.FREE.IFEND == 1) break;
    std::size_t k = 0;
    while (k < SOURCE_CODES.size() && SOURCE_CODES[k] != code) ++k;
    if (k == SOURCE_CODES.size()) card_not_understood(run, card);
    run.IF.IFOP(static_cast<int>(k) + 1) = value;
  }
  return CardEnd::NewCard;
}
CardEnd opacity_on(Run& run, Card& card) { return opacity_names(run, card, 1); }
CardEnd opacity_off(Run& run, Card& card) { return opacity_names(run, card, 0); }

// OPACITY IFOP n1..n20: all twenty switches.
CardEnd opacity_ifop(Run& run, Card& card) {
  numbers_after_subword(run);
  for (int k = 1; k <= NIFOP; ++k) run.IF.IFOP(k) = card_int(freeff(run, card));
  return CardEnd::NewCard;
}

// ON/OFF switch cards: SUB-word sets *FIELD to 1 or 0.
template <int Run::IfRec::*FIELD, int VALUE>
CardEnd set_switch(Run& run, Card&) {
  run.IF.*FIELD = VALUE;
  return CardEnd::Continue;
}

CardEnd correction_off(Run& run, Card&) {
  run.IF.IFCORR = 0;
  for (int j = 1; j <= 40; ++j) {
    run.FLUX.FLXERR(j) = 0;
    run.FLUX.FLXDRV(j) = 0;
  }
  return CardEnd::Continue;
}

CardEnd convection_on(Run& run, Card& card) {
  numbers_after_subword(run);
  run.CONV.IFCONV = 1;
  run.CONV.MIXLTH = freeff(run, card);
  return CardEnd::Continue;
}

CardEnd convection_off(Run& run, Card&) {
  run.CONV.IFCONV = 0;
  run.CONV.MIXLTH = 1.0;
  for (int k = 1; k <= 8; ++k)
    for (int j = 1; j <= run.RHOX.NRHOX; ++j) run.CONV.CONVQ(j, k) = 0;
  return CardEnd::Continue;
}

CardEnd turbulence_on(Run& run, Card& card) {
  numbers_after_subword(run);
  Run::TurbprRec& T = run.TURBPR;
  T.IFTURB = 1;
  T.TRBFDG = freeff(run, card);
  T.TRBPOW = freeff(run, card);
  T.TRBSND = freeff(run, card);
  T.TRBCON = freeff(run, card);
  return CardEnd::Continue;
}

CardEnd turbulence_off(Run& run, Card&) {
  Run::TurbprRec& T = run.TURBPR;
  T.IFTURB = 0;
  T.TRBFDG = T.TRBPOW = T.TRBSND = T.TRBCON = 0;
  return CardEnd::Continue;
}

// SURFACE INTENSITY n mu1..mun.
CardEnd surface_intensity(Run& run, Card& card) {
  numbers_after_subword(run);
  const int n = card_int(freeff(run, card));
  card_check("SURFACE INTENSITY", "number of angles NMU", n, 0, MAXMU);
  run.MUS.NMU = n;
  for (int i = 1; i <= n; ++i) run.MUS.MU(i) = freeff(run, card);
  run.IF.IFSURF = 2;
  return CardEnd::Continue;
}

template <int IFSURF>
CardEnd surface_flux_or_off(Run& run, Card&) {
  run.IF.IFSURF = IFSURF;
  run.MUS.NMU = 1;
  return CardEnd::Continue;
}

CardEnd abundance_scale(Run& run, Card& card) {
  numbers_after_subword(run);
  run.JUNK.XSCALE = freeff(run, card);
  return CardEnd::Continue;
}

// ABUNDANCE CHANGE z a z a ...: pairs to the end of the card; a missing last a gives 0.
CardEnd abundance_change(Run& run, Card& card) {
  numbers_after_subword(run);
  run.FREE.IFNEXT = 1;
  for (;;) {
    const double z = freeff(run, card);
    if (run.FREE.IFEND == 1) break;
    const double a = freeff(run, card);
    const int iz = card_int(z);
    card_check("ABUNDANCE CHANGE", "element number", iz, 1, 99);
    run.ELEM.ABUND(iz) = a;
  }
  return CardEnd::NewCard;
}

// Sub-word forms of the keywords.
constexpr CardWord OPACITY_FORMS[] = {{word_code("ON"), opacity_on},
                                      {word_code("OFF"), opacity_off},
                                      {word_code("IFOP"), opacity_ifop}};
constexpr CardWord MOLECULES_FORMS[] = {{word_code("ON"), set_switch<&Run::IfRec::IFMOL, 1>},
                                        {word_code("OFF"), set_switch<&Run::IfRec::IFMOL, 0>}};
constexpr CardWord SCATTERING_FORMS[] = {{word_code("ON"), set_switch<&Run::IfRec::IFSCAT, 1>},
                                         {word_code("OFF"), set_switch<&Run::IfRec::IFSCAT, 0>}};
constexpr CardWord PRESSURE_FORMS[] = {{word_code("ON"), set_switch<&Run::IfRec::IFPRES, 1>},
                                       {word_code("OFF"), set_switch<&Run::IfRec::IFPRES, 0>}};
constexpr CardWord CORRECTION_FORMS[] = {{word_code("ON"), set_switch<&Run::IfRec::IFCORR, 1>},
                                         {word_code("OFF"), correction_off}};
constexpr CardWord CONVECTION_FORMS[] = {{word_code("ON"), convection_on},
                                         {word_code("OFF"), convection_off}};
constexpr CardWord TURBULENCE_FORMS[] = {{word_code("ON"), turbulence_on},
                                         {word_code("OFF"), turbulence_off}};
constexpr CardWord SURFACE_FORMS[] = {{word_code("INTENSITY"), surface_intensity},
                                      {word_code("FLUX"), surface_flux_or_off<1>},
                                      {word_code("OFF"), surface_flux_or_off<0>}};
constexpr CardWord ABUNDANCE_FORMS[] = {{word_code("SCALE"), abundance_scale},
                                        {word_code("CHANGE"), abundance_change}};

}  // namespace

CardEnd card_teff(Run& run, Card& card) {
  const double t = freeff(run, card);
  run.TEFF.TEFF = t;
  run.FLUX.FLUX = nominal_flux(t);
  return CardEnd::Continue;
}

// GRAVITY g: g below 10 is log10 of the gravity.
CardEnd card_gravity(Run& run, Card& card) {
  const double g = freeff(run, card);
  run.TEFF.GRAV = g >= 10 ? g : card_pow10(g);
  run.TEFF.GLOG = std::log10(run.TEFF.GRAV);
  return CardEnd::Continue;
}

CardEnd card_opacity(Run& run, Card& card) { return card_subword(run, card, OPACITY_FORMS); }

// ITERATIONS n: the number of iterations; the last one is punched.
CardEnd card_iterations(Run& run, Card& card) {
  const int n = card_int(freeff(run, card));
  card_check("ITERATIONS", "NUMITS", n, 1, MAXITER);
  Run::IterRec& I = run.ITER;
  I.NUMITS = n;
  I.IFPNCH.fill(0);
  I.IFPNCH(n) = 1;
  return CardEnd::Continue;
}

CardEnd card_print(Run& run, Card& card) {
  for (int i = 1; i <= run.ITER.NUMITS; ++i) run.ITER.IFPRNT(i) = card_int(freeff(run, card));
  return CardEnd::Continue;
}

CardEnd card_punch(Run& run, Card& card) {
  for (int i = 1; i <= run.ITER.NUMITS; ++i) run.ITER.IFPNCH(i) = card_int(freeff(run, card));
  return CardEnd::Continue;
}

CardEnd card_molecules(Run& run, Card& card) { return card_subword(run, card, MOLECULES_FORMS); }

CardEnd card_scattering(Run& run, Card& card) { return card_subword(run, card, SCATTERING_FORMS); }

CardEnd card_pressure(Run& run, Card& card) { return card_subword(run, card, PRESSURE_FORMS); }

CardEnd card_correction(Run& run, Card& card) { return card_subword(run, card, CORRECTION_FORMS); }

CardEnd card_convection(Run& run, Card& card) { return card_subword(run, card, CONVECTION_FORMS); }

CardEnd card_turbulence(Run& run, Card& card) { return card_subword(run, card, TURBULENCE_FORMS); }

CardEnd card_surface(Run& run, Card& card) { return card_subword(run, card, SURFACE_FORMS); }

// LTE: departure coefficients of hydrogen and H-minus back to 1 at every depth (a model deeper
// than an earlier one read with READ DEPARTURES must not keep that one's deep coefficients).
CardEnd card_lte(Run& run, Card&) {
  run.IF.IFNLTE = 0;
  run.JUNK.WLTE = {'L', 'T', 'E', ' ', ' ', ' ', ' ', ' '};
  for (int j = 1; j <= MAXD; ++j) {
    for (int n = 1; n <= 6; ++n) run.BHYD.BHYD(j, n) = 1.0;
    run.BHYD.BMIN(j) = 1.0;
  }
  return CardEnd::Continue;
}

CardEnd card_nlte(Run& run, Card&) {
  run.IF.IFNLTE = 1;
  run.JUNK.WLTE = {'N', 'L', 'T', 'E', ' ', ' ', ' ', ' '};
  return CardEnd::Continue;
}

CardEnd card_abundance(Run& run, Card& card) { return card_subword(run, card, ABUNDANCE_FORMS); }

// TITLE: columns 7..80, whatever stands there.
CardEnd card_title(Run& run, Card& card) {
  for (int i = 1; i <= 74; ++i) run.JUNK.TITLE(i) = card(i + 6);
  return CardEnd::NewCard;
}

// WAVELENGTHS w1 dw w2: an equally spaced range; w1 and dw given as frequencies (>= 1e7) or as
// wavenumbers times 1e25 (> 1e20) are turned into nm.
CardEnd card_wavelengths(Run& run, Card& card) {
  Run::FresetRec& R = run.FRESET;
  const double w1 = freeff(run, card);
  const double dw = freeff(run, card);
  const double w2 = freeff(run, card);
  R.WBEGIN = w1;
  R.DELTAW = dw;
  R.IFWAVE = 1;
  const double steps = (w2 - w1) / std::abs(dw) + 0.5;
  // A zero step, or a range of more than a billion steps, is no count of wavelengths.
  if (!(std::abs(steps) < 1e9))
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     "WAVELENGTHS card: step dw = " + std::to_string(dw) + " gives no count of " +
                         "wavelengths from " + std::to_string(w1) + " to " + std::to_string(w2));
  R.NUHI = card_int(steps) + 1;
  R.NULO = 1;
  R.NUMNU = R.NUHI;
  if (R.WBEGIN >= 1e7) {
    if (R.WBEGIN <= 1e20) {
      R.WBEGIN = CLIGHT_NM / R.WBEGIN;
      R.DELTAW = CLIGHT_NM / R.DELTAW;
    } else {
      R.WBEGIN = NM_PER_CM / (R.WBEGIN / 1e25);
      R.DELTAW = NM_PER_CM / (R.DELTAW / 1e25);
    }
  }
  return CardEnd::Continue;
}

CardEnd card_nothing(Run&, Card&) { return CardEnd::Continue; }

CardEnd card_end(Run&, Card&) { return CardEnd::End; }

}  // namespace atmotab
