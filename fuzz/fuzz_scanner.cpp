// The card scanner on arbitrary cards: every line of the input is read as a card (read_card) and
// scanned to its end for numbers (freeff) and for words (iwordf), with the two exponent limits
// of the program (38 on control cards, 99 in the edge list). Invariants: every number finite, the
// column pointers move forward, running off the card leaves them at LASTCOL + 1 with IFEND = 1.
#include <cmath>
#include <memory>
#include <sstream>

#include "common/state.h"
#include "fortio/error.h"
#include "fuzz_support.h"
#include "input/freeff.h"

using namespace atmotab;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(fuzz::text_of(data, size));
  // A fresh run for every input, so that a finding never depends on the inputs before it.
  std::ostringstream listing;
  const std::unique_ptr<Run> run = make_run(listing);
  Run::FreeRec& F = run->FREE;
  Card card;
  for (;;) {
    try {
      if (!read_card(in, card)) break;
    } catch (const atmo_error& e) {
      // Only a line longer than the bound is refused.
      if (size <= CARD_LINE_CHARS || e.status() != EXIT_IO)
        fuzz::broken("read_card refused a line");
      break;
    }
    for (int maxpow : {38, 99}) {
      F.LASTCOL = 81;
      F.MAXPOW = maxpow;
      F.IFNEXT = 1;
      F.NCOL = 1;
      for (int k = 0; k < 81; ++k) {
        const int before = F.NCOL;
        const double v = freeff(*run, card);
        if (F.IFEND == 1) {
          if (v != 0 || F.NCOL != 82) fuzz::broken("freeff off the end");
          break;
        }
        if (!std::isfinite(v)) fuzz::broken("freeff gave a value that is not finite");
        if (F.NCOL <= before || F.NCOL > 82) fuzz::broken("freeff column pointer");
      }
      F.NCOLW = 1;
      for (int k = 0; k < 81; ++k) {
        const int before = F.NCOLW;
        const std::int32_t code = iwordf(*run, card);
        if (F.IFEND == 1) {
          if (code != 0 || F.NCOLW != 82) fuzz::broken("iwordf off the end");
          break;
        }
        if (code <= 0 || F.NCOLW <= before) fuzz::broken("iwordf code or column pointer");
      }
      // Running off the end without IFNEXT stops with the scanner's message.
      F.IFNEXT = 0;
      F.NCOL = 82;
      try {
        freeff(*run, card);
        fuzz::broken("freeff ran off the end without stopping");
      } catch (const atmo_error& e) {
        if (e.status() != EXIT_FAILURE_REPORTED) fuzz::broken("freeff stop status");
      }
    }
  }
  return 0;
}
