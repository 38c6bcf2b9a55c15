// The card interpreter with the model readers on an arbitrary deck: readin is called model after
// model, as the driver calls it, until the end card or a failure. Invariants: a failure is an
// atmo_error with status 1 or 2; a model returned at a begin card has 1..99 depths at positive,
// finite temperatures.
#include <cmath>
#include <sstream>

#include "common/state.h"
#include "fortio/error.h"
#include "fuzz_support.h"
#include "input/readin.h"

using namespace atmotab;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream cards(fuzz::text_of(data, size));
  std::ostringstream listing;
  auto run = make_run(listing);
  run->UNITS.cards = &cards;
  for (int model = 0; model < 100; ++model) {
    run->FRESET.NUMNU = 3;  // the driver's frequency set of two edges
    try {
      if (!readin(*run)) break;
    } catch (const atmo_error& e) {
      if (e.status() != EXIT_FAILURE_REPORTED && e.status() != EXIT_IO)
        fuzz::broken("readin failed with status " + std::to_string(e.status()));
      break;
    }
    const int n = run->RHOX.NRHOX;
    if (n < 1 || n > MAXD) fuzz::broken("a model of " + std::to_string(n) + " depths");
    for (int j = 1; j <= n; ++j)
      if (!(run->TEMP.T(j) > 0) || !std::isfinite(run->TEMP.T(j)))
        fuzz::broken("temperature " + std::to_string(run->TEMP.T(j)) + " at depth " +
                     std::to_string(j));
    run->ITER.NUMITS = 1;  // as the driver sets after every model
  }
  return 0;
}
