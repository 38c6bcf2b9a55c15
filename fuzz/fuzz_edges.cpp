// The edge-list reader on an arbitrary edge list. Invariants: a failure is an atmo_error with
// status 2; a list that was read holds at most 377 edges with finite frequency, wavelength and
// wavenumber, sorted by |wavelength|, and a frequency set of 3 (NEDGE - 1) positive, finite
// frequencies.
#include <cmath>
#include <memory>
#include <sstream>

#include "common/state.h"
#include "driver/edges.h"
#include "fortio/error.h"
#include "fuzz_support.h"

using namespace atmotab;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream edges(fuzz::text_of(data, size));
  // A fresh run for every input, so that a finding never depends on the inputs before it.
  std::ostringstream listing;
  const std::unique_ptr<Run> run = make_run(listing);
  run->UNITS.edges = &edges;
  try {
    read_edge_list(*run);
  } catch (const atmo_error& e) {
    if (e.status() != EXIT_IO)
      fuzz::broken("edge list failed with status " + std::to_string(e.status()));
    return 0;
  }
  const Run::EdgeRec& E = run->EDGE;
  if (E.NEDGE < 0 || E.NEDGE > MAXEDGE) fuzz::broken("NEDGE " + std::to_string(E.NEDGE));
  for (int i = 1; i <= E.NEDGE; ++i) {
    if (!std::isfinite(E.FRQEDG(i)) || !std::isfinite(E.WLEDGE(i)) || !std::isfinite(E.CMEDGE(i)))
      fuzz::broken("edge " + std::to_string(i) + " not finite");
    if (i > 1 && E.A(i) < E.A(i - 1)) fuzz::broken("edges not sorted");
  }
  const int expected = E.NEDGE >= 2 ? 3 * (E.NEDGE - 1) : 0;
  if (E.NUMFREQ != expected) fuzz::broken("NUMFREQ " + std::to_string(E.NUMFREQ));
  for (int i = 1; i <= E.NUMFREQ; ++i)
    if (!(E.FREQSET(i) > 0) || !std::isfinite(E.FREQSET(i)))
      fuzz::broken("frequency " + std::to_string(i) + " = " + std::to_string(E.FREQSET(i)));
  return 0;
}
