#include "driver/atmotab.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string_view>

#include "common/state.h"
#include "driver/batch.h"
#include "driver/cli.h"
#include "driver/edges.h"
#include "driver/files.h"
#include "driver/hdf5_output.h"
#include "driver/signals.h"
#include "driver/tabulate.h"
#include "fortio/error.h"
#include "input/readin.h"
#include "populations/pftables.h"

namespace atmotab {
namespace {

// The progress line of a finished model.
std::string progress_line(int model, int nrhox, int numnu, double seconds) {
  char line[128];
  std::snprintf(line, sizeof line, "atmotab: model %d done: %d depths, %d frequencies, %.2f s\n",
                model, nrhox, numnu, seconds);
  return line;
}

// Opens the input file NAME as IN, or throws atmo_error (status 2) naming WHAT and UNIT (a
// directory is refused with the system's reason).
void open_input(std::ifstream& in, const std::string& name, const std::string& what,
                const std::string& unit) {
  std::error_code ec;
  const bool directory = std::filesystem::is_directory(name, ec);
  errno = 0;
  if (!directory) in.open(name);
  if (directory || !in) {
    const int err = directory ? EISDIR : errno;
    const std::string reason = err != 0 ? std::string(": ") + std::strerror(err) : "";
    throw atmo_error(EXIT_IO, "atmotab",
                     "cannot open " + what + " '" + name + "' (" + unit + ")" + reason);
  }
}

// Everything after the command line: the table files, unit 17 and the edges, the models; with
// PROGRESS, a line per finished model on it.
void run_program(Run& run, const Options& opt, const ProcessHooks& hooks, std::ostream* progress) {
  // Every input is opened and checked before the table files are created or emptied, so that a
  // run that cannot start leaves the tables of an earlier run as they were.
  check_distinct_files(opt, hooks.cards_descriptor, hooks.listing_descriptor,
                       hooks.errors_descriptor);
  check_cards_descriptor(hooks.cards_descriptor);
  std::ifstream edges;
  open_input(edges, opt.edges, "the edge list", "unit 17; name it with --edges FILE");
  // A molecule list named on the command line must be there from the start; the default name is
  // looked for only when a READ MOLECULES card asks for it.
  if (opt.molecules != Options{}.molecules) {
    std::ifstream molecules;
    open_input(molecules, opt.molecules, "the molecule list",
               "unit 2; name it with --molecules FILE");
  }
  open_tables(run, opt);
  run.UNITS.edges = &edges;
  run.UNITS.edges_name = opt.edges;
  read_edge_list(run);
  run.UNITS.edges = nullptr;
  load_pf_tables(run);
  std::optional<Hdf5Output> hdf5;
  if (!opt.hdf5.empty()) hdf5.emplace(opt, cards_name(hooks.cards_descriptor));

  // One pass per model until the END card.
  using clock = std::chrono::steady_clock;
  auto start = clock::now();
  for (int model = 1; readin(run); ++model) {
    if (hdf5) hdf5->begin_model(run);
    apply_model_overrides(run);
    const int numnu = run.FRESET.NUMNU;  // the tabulation leaves 1 there for the next model
    tabulate_model(run, hdf5 ? &*hdf5 : nullptr);
    run.UNITS.regrid_note.clear();  // a re-grid is the likely cause only within its model
    if (progress) {
      const auto now = clock::now();
      *progress << progress_line(model, run.RHOX.NRHOX, numnu,
                                 std::chrono::duration<double>(now - start).count())
                << std::flush;
      start = now;
    }
  }
  // Closed here rather than when the run goes, so that a failure to close is the run's failure.
  run.UNITS.table.close();
  run.UNITS.maxima.close();
  if (hdf5) hdf5->close();
}

// A failure: its message on standard error and, after whatever the failing routine printed, as
// the last lines of the listing. Returns STATUS.
int report(Run& run, std::ostream& errors, const std::string& message, int status) {
  errors << message << "\n";
  std::size_t from = 0;
  while (from <= message.size()) {
    const std::size_t to = std::min(message.find('\n', from), message.size());
    run.LISTING.print("(1X,A)", {std::string_view(message).substr(from, to - from)});
    from = to + 1;
  }
  return status;
}

// For a failure of the model after a re-grid beyond it: a line naming the re-grid as the likely
// cause (file and I/O errors have causes of their own).
std::string regrid_cause(const Run& run) {
  if (run.UNITS.regrid_note.empty()) return "";
  return "\natmotab: the likely cause: " + run.UNITS.regrid_note;
}

}  // namespace

int atmotab_main(const std::vector<std::string>& args, std::istream& cards, std::ostream& listing,
                 std::ostream& errors, const ProcessHooks& hooks) {
  Options opt;
  try {
    opt = parse_options(args);
  } catch (const atmo_error& e) {
    errors << "atmotab: " << e.what() << "\n";
    return e.status();
  }
  if (opt.help) {
    listing << usage_text();
    return EXIT_NORMAL;
  }
  if (opt.version) {
    listing << "atmotab " << ATMOTAB_VERSION << "\n";
    return EXIT_NORMAL;
  }
  if (!opt.batch.empty()) {
    if (opt.batch == "-") return run_batch(opt, cards, listing, errors);
    std::ifstream list(opt.batch);
    if (!list) {
      errors << "atmotab: cannot open the deck list '" << opt.batch << "' (--batch)\n";
      return EXIT_IO;
    }
    return run_batch(opt, list, listing, errors);
  }
  // Someone who started the program at a terminal without redirecting a deck sees why it waits.
  if (hooks.cards_descriptor >= 0 && isatty(hooks.cards_descriptor) == 1)
    errors << "atmotab: waiting for control cards on standard input (the terminal); a deck is "
              "given as atmotab --edges EDGES < DECK > LISTING (end typed cards with Ctrl-D)\n"
           << std::flush;
  auto run = make_run(listing);
  if (!hooks.vectors.empty()) {
    VectorSet set = VECTORS_BASE;
    if (!vector_set_named(hooks.vectors, set) || set > widest_vector_set()) {
      errors << "atmotab: ATMOTAB_VECTORS=" << hooks.vectors
             << ": not an instruction set of this processor (base, avx2 or avx512)\n";
      return EXIT_IO;
    }
    run->VECTORS = set;
  }
  run->UNITS.cards = &cards;
  run->UNITS.errors = &errors;
  run->UNITS.molecules_name = opt.molecules;
  run->UNITS.table.set_path(opt.table);
  run->UNITS.maxima.set_path(opt.maxima);
  int status = EXIT_NORMAL;
  std::optional<StopSignalGuard> stop_guard;
  if (hooks.stop_signals) stop_guard.emplace(run->UNITS);
  try {
    run_program(*run, opt, hooks, hooks.progress ? &errors : nullptr);
  } catch (const atmo_error& e) {
    status = report(*run, errors,
                    "atmotab: " + (e.where() == "atmotab" ? "" : e.where() + ": ") + e.what() +
                        (e.status() == EXIT_IO ? "" : regrid_cause(*run)),
                    e.status());
  } catch (const std::exception& e) {
    status = report(*run, errors, std::string("atmotab: internal error: ") + e.what(), EXIT_IO);
  }
  if (status != EXIT_NORMAL) {
    // The tables keep the models that were finished; the records of the one that failed go.
    for (Unformatted* u : {&run->UNITS.table, &run->UNITS.maxima}) {
      const std::string trouble = u->roll_back();
      if (!trouble.empty()) errors << "atmotab: " << trouble << "\n";
    }
  }
  listing.flush();
  if (!listing && status == EXIT_NORMAL) {
    errors << "atmotab: cannot write the listing (standard output)\n";
    status = EXIT_IO;
  }
  return status;
}

}  // namespace atmotab
