// Model cards whose readers are not part of this program yet: the starting model (READ START),
// the molecule list (READ MOLECULES), the grey model (GREY) and the two re-griddings (SCALE, RHOX).
// Each is recognised and stops the run with a message instead of being ignored; the reader that
// takes over a card replaces its function here.
#include "common/error.h"
#include "input/cards.h"

namespace atmotab {
namespace {

[[noreturn]] void not_available(const Card& card, const char* what) {
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                   std::string(what) + " is not available yet in this version of atmotab (card '" +
                       card_text(card) + "')");
}

}  // namespace

CardEnd card_read_start(Run&, Card& card) { not_available(card, "READ START (starting model)"); }
CardEnd card_read_molecules(Run&, Card& card) {
  not_available(card, "READ MOLECULES (molecule list)");
}
CardEnd card_grey(Run&, Card& card) { not_available(card, "GREY (grey starting model)"); }
CardEnd card_scale(Run&, Card& card) {
  not_available(card, "SCALE (re-gridding on Rosseland depth)");
}
CardEnd card_rhox(Run&, Card& card) { not_available(card, "RHOX (re-gridding on mass depth)"); }

}  // namespace atmotab
