// Model cards whose readers are not part of this program yet: the molecule list (READ MOLECULES).
// It is recognised and stops the run with a message instead of being ignored; the reader that
// takes over the card replaces its function here.
#include "fortio/error.h"
#include "input/cards.h"

namespace atmotab {
namespace {

[[noreturn]] void not_available(const Card& card, const char* what) {
  throw atmo_error(EXIT_FAILURE_REPORTED, "readin",
                   std::string(what) + " is not available yet in this version of atmotab (card '" +
                       card_text(card) + "')");
}

}  // namespace

CardEnd card_read_molecules(Run&, Card& card) {
  not_available(card, "READ MOLECULES (molecule list)");
}

}  // namespace atmotab
