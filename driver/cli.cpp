#include "driver/cli.h"

#include "fortio/error.h"

namespace atmotab {

std::string usage_text() {
  return R"(usage: atmotab [--edges FILE] [--molecules FILE] [--table FILE] [--maxima FILE]
               [--help] [--version] < cards > listing

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
                    tools/grid.py)
  --help            print this text and exit
  --version         print the version and exit

Exit status:
  0  the end card was reached
  1  a failure reported on the listing (a card that is not understood, an incomplete model,
     no convergence, ...); the message is repeated on standard error
  2  a file, usage or I/O error (missing or unreadable file, end of input before the end card,
     write failure)
  128 + signal  stopped by SIGTERM, SIGINT, SIGHUP or SIGPIPE
The table files are emptied when the run starts; after a failure or a stop by a signal they hold
the models finished before it, every record complete.
When standard error is a terminal, it shows one line per finished model (number, depths,
frequencies, time).
)";
}

Options parse_options(const std::vector<std::string>& args) {
  Options o;
  struct FileOption {
    const char* name;
    std::string Options::*field;
  };
  const FileOption files[] = {{"--edges", &Options::edges},
                              {"--molecules", &Options::molecules},
                              {"--table", &Options::table},
                              {"--maxima", &Options::maxima},
                              {"--batch", &Options::batch}};
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
    if (!matched) throw atmo_error(EXIT_IO, "atmotab", "unknown argument '" + a + "' (try --help)");
  }
  return o;
}

}  // namespace atmotab
