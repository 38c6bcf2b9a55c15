// The begin card: checks that the model is complete, normalises the abundances, completes the
// model (complete_model) and prints the settings and the model table on the listing.
#include <cmath>
#include <string>
#include <vector>

#include "fortio/error.h"
#include "input/cards.h"
#include "input/complete_model.h"
#include "input/readin_print.h"

namespace atmotab {
namespace {

// Prompts for the items a model still lacks; stops the run after all of them are printed.
void check_complete(Run& run) {
  struct Item {
    bool missing;
    const char* format;
    const char* name;
  };
  const Item items[] = {
      {run.ITER.NUMITS == 0, "(' HOW MANY ITERATIONS')", "ITERATIONS"},
      {run.RHOX.NRHOX == 0, "(' HOW MANY RHOX')", "depth points (READ DECK ...)"},
      {run.FRESET.NUMNU == 0, "(' HOW MANY FREQUENCIES')", "frequencies"},
      {run.TEFF.TEFF == 0, "(' WHAT TEFF')", "TEFF"},
      {run.TEFF.GRAV == 0, "(' WHAT GRAVITY')", "GRAVITY"},
  };
  std::string lacking;
  for (const Item& item : items) {
    if (!item.missing) continue;
    run.LISTING.print(item.format, std::span<const FItem>());
    lacking += lacking.empty() ? item.name : std::string(", ") + item.name;
  }
  if (!lacking.empty())
    throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                     "the model at the BEGIN card lacks: " + lacking);
}

// Every depth of the model needs a positive temperature: kT, h/kT and ln T of a zero or negative
// temperature would make the whole model NaN.
void check_temperatures(Run& run) {
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double t = run.TEMP.T(j);
    if (!(t > 0) || !std::isfinite(t))
      throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                       "the model at the BEGIN card has temperature T = " + std::to_string(t) +
                           " K at depth " + std::to_string(j) + "; temperatures must be positive");
  }
}

// Hydrogen and helium are number fractions, a negative value being its log10; the other
// elements are log10 number fractions, a positive value being the fraction itself.
void normalise_abundances(Run& run) {
  Arr<double, 99>& A = run.ELEM.ABUND;
  for (int k = 1; k <= 2; ++k)
    if (A(k) < 0) A(k) = card_pow10(A(k));
  for (int k = 3; k <= 99; ++k)
    if (A(k) > 0) A(k) = std::log10(A(k));
}

}  // namespace

CardEnd card_begin(Run& run, Card&) {
  check_complete(run);
  check_temperatures(run);
  normalise_abundances(run);
  print_model_header(run);
  complete_model(run);
  print_model_settings(run);
  print_model_table(run);
  return CardEnd::Begin;
}

}  // namespace atmotab
