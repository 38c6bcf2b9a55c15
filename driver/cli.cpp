#include "driver/cli.h"

#include <algorithm>

#include "driver/hdf5_library.h"
#include "fortio/error.h"

namespace atmotab {
namespace {

// Levenshtein distance between A and B (insertions, deletions and substitutions of one character).
std::size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The message for an argument that is no option: the nearest option for a misspelt one (at most
// two edits, or a prefix of one), and for a plain name, that the deck goes on standard input.
std::string unknown_argument(const std::string& a, const std::vector<std::string>& known) {
  const std::string word = a.substr(0, a.find('='));
  std::string nearest;
  std::size_t best = 3;
  for (const std::string& k : known) {
    const std::size_t d = k.rfind(word, 0) == 0 && word.size() > 2 ? 1 : edit_distance(word, k);
    if (d < best) best = d, nearest = k;
  }
  if (!nearest.empty()) return "unknown option '" + a + "': did you mean " + nearest + "?";
  if (!a.empty() && a[0] != '-')
    return "'" + a +
           "' is not an option: the control cards (the deck) go on standard input, as in "
           "atmotab --edges EDGES < " +
           a + " > listing";
  return "unknown argument '" + a + "' (try --help)";
}

}  // namespace

std::string usage_text() {
  std::string text =
      R"(usage: atmotab [--edges FILE] [--molecules FILE] [--table FILE] [--maxima FILE]
               [--hdf5 FILE] [--help] [--version] < cards > listing

Reads control cards and model atmospheres from standard input, computes per depth the ionization
(and molecular) balance, the continuous opacity on a frequency set built from an edge list and the
line-strength maxima, writes them as Fortran unformatted sequential tables and prints a listing on
standard output.

Files (the numbered units of the program):
  --edges FILE      unit 17: the edge list, free-format numbers ended by 0 or a blank card
                    (wavelengths in nm, frequencies in Hz, or wavenumbers in cm-1 times 1e25);
                    must exist                                            [default fort.17]
  --molecules FILE  unit 2: the molecule list, read at a READ MOLECULES card (data/molecules.dat
                    is the shipped list; format in docs/cards.md)           [default fort.2]
  --table FILE      unit 10: per-depth tables, 4 + NRHOX records per model  [default fort.10]
  --maxima FILE     unit 11: line-strength maxima, 4 records per model      [default fort.11]
  --batch LIST      run several decks, each as a run of its own with its own files: LIST
                    (- for standard input) has one line per deck, its path, a tab and a
                    folder for its fort.10, fort.11, listing and stderr; after each deck one
                    line on standard output, its exit status, a tab and the folder (grids:
                    tools/grid.py); with --hdf5 NAME, each deck's HDF5 file is NAME in its
                    folder
  --hdf5 FILE       also an HDF5 file: per model every depth quantity at every depth, the
                    populations, Doppler widths, opacities and maxima in full precision, with
                    units, the deck's TEFF and log g (docs/hdf5.md)@HDF5@
  --help            print this text and exit
  --version         print the version and exit

Exit status:
  0  the end card was reached
  1  a failure reported on the listing (a card that is not understood, an incomplete model,
     no convergence, ...); the message is repeated on standard error
  2  a file, usage or I/O error (missing or unreadable file, end of input before the end card,
     write failure, a file-size limit reached)
  128 + signal  stopped by SIGTERM, SIGINT, SIGHUP, SIGPIPE or SIGXCPU (a CPU-time limit)
The table files are emptied when the run starts, once the edge list (and a molecule list named
with --molecules) could be opened: a run that cannot start leaves them as they were. After a
failure or a stop by a signal they hold the models finished before it, every record complete;
so does the HDF5 file.
Control cards whose first non-blank character is # are comments.
When standard error is a terminal, it shows one line per finished model (number, depths,
frequencies, time).
)";
  const std::size_t at = text.find("@HDF5@");
  text.replace(at, 6,
               hdf5_built()
                   ? ""
                   : "\n                    (not built in this program: it needs libhdf5-dev)");
  return text;
}

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  struct FileOption {
    const char* name;
    std::string Options::*field;
  };
  const FileOption files[] = {{"--edges", &Options::edges}, {"--molecules", &Options::molecules},
                              {"--table", &Options::table}, {"--maxima", &Options::maxima},
                              {"--batch", &Options::batch}, {"--hdf5", &Options::hdf5}};
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& a = args[k];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--version") {
      o.version = true;
      continue;
    }
    bool matched = false;
    for (const FileOption& f : files) {
      const std::string name = f.name;
      if (a == name) {
        if (k + 1 >= args.size() || args[k + 1].empty())
          throw atmo_error(EXIT_IO, "atmotab", "option " + name + " needs a file name");
        o.*f.field = args[++k];
        matched = true;
      } else if (a.rfind(name + "=", 0) == 0) {
        o.*f.field = a.substr(name.size() + 1);
        if ((o.*f.field).empty())
          throw atmo_error(EXIT_IO, "atmotab", "option " + name + " needs a file name");
        matched = true;
      }
      if (matched) break;
    }
    if (!matched) {
      std::vector<std::string> known = {"--help", "--version"};
      for (const FileOption& f : files) known.emplace_back(f.name);
      throw atmo_error(EXIT_IO, "atmotab", unknown_argument(a, known));
    }
  }
  if (!o.hdf5.empty() && !hdf5_built())
    throw atmo_error(EXIT_IO, "atmotab",
                     "--hdf5: this atmotab was built without HDF5 (install the HDF5 C library, "
                     "Debian's libhdf5-dev, and configure the build again)");
  return o;
}

}  // namespace atmotab
