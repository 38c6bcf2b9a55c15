// The HDF5 output of a run (--hdf5 FILE), beside the table files: per finished model a group
// model_NNNNN holding every depth quantity at every depth, the populations and number densities
// of every element and stage (and the molecules), the Doppler widths, the frequency set, the
// continuum opacity and the line-strength maxima in full precision, each dataset with its unit,
// and as attributes the deck's own TEFF and log g, the abundances, the title, the opacity
// switches and the files of the run. docs/hdf5.md describes the layout.
//
// The file stays open for the run, locked (flock, exclusive) from before it is emptied: another run
// given the same file stops without touching it, and a program that opens it with the HDF5 library
// is refused and cannot make a write fail. A model is written as one step when it is finished and
// flushed to the file before the tables commit the model, with the stop signals held meanwhile
// (driver/signals.h): a run that fails, or is stopped by a signal, leaves a file that holds exactly
// its finished models, as the table files do (a failed write removes what it wrote of its model).
//
// Cost (docs/hdf5.md): some 2.6 ms of CPU per solar model, about 15 % of its computation (a
// whole run, with the library's loading, some 19 % more CPU time); the library's work per object
// (a dataset with its attributes costs 10-25 us) is why a model has few datasets (the depth
// quantities in one, the run-constant arrays written once), and the system's work for the 1.4 MB
// a model writes is the largest single part.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/state.h"
#include "driver/cli.h"

namespace atmotab {

struct Hdf5Library;

// The deck's own parameters of a model, taken before the driver puts T(1) and log g = 0 into the
// table headers.
struct DeckParameters {
  double TEFF = 0;  // effective temperature [K]
  double GRAV = 0;  // surface gravity [cm s^-2]
  double GLOG = 0;  // log10 GRAV
};

class Hdf5Output {
 public:
  // A run-constant array (frequency set, wavelengths, edges, species codes, molecule codes and
  // masses) as last written, and where: a model whose array is the same gives that dataset a
  // second name in its group (an HDF5 hard link) instead of a copy.
  struct Shared {
    std::string path;  // "/model_NNNNN/NAME", empty before the first
    std::vector<double> values;
  };

  // Creates OPT.hdf5 (an existing file is replaced: the file holds this run's models only) with
  // the run's attributes; CARDS names the control cards ("standard input" when not a file).
  // Throws atmo_error (status 2) when the program was built without HDF5, the library cannot be
  // loaded or the file cannot be written.
  Hdf5Output(const Options& opt, const std::string& cards);
  ~Hdf5Output();
  Hdf5Output(const Hdf5Output&) = delete;
  Hdf5Output& operator=(const Hdf5Output&) = delete;

  // Takes the deck's TEFF and gravity of the model just read.
  void begin_model(const Run& run);
  // Appends the finished model (called by tabulate_model with the stop signals held, before the
  // tables are committed; NUMNU is still the model's frequency count). Throws atmo_error
  // (status 2) on a write failure, after removing what it wrote of the model.
  void write_model(Run& run);
  // Closes the file at the end of the run. Throws atmo_error (status 2) when the library reports a
  // failure: a file system that writes back only at a file's close (NFS and the like) can report a
  // failed write only here.
  void close();

 private:
  // Closes what is open (the file, its lock, the property lists); the destructor's work, and a
  // failed constructor's.
  void release() noexcept;

  std::string path_;
  std::unique_ptr<Hdf5Library> lib_;
  DeckParameters deck_;
  int models_ = 0;
  std::int64_t file_ = -1;    // the file, open for the run (an HDF5 identifier, hid_t)
  std::int64_t access_ = -1;  // file access properties
  std::int64_t create_ = -1;  // dataset creation properties
  std::int64_t group_ = -1;   // group creation properties
  int lock_ = -1;             // a descriptor of the file that holds its lock for the run
  // The element stages in the order of the species columns: where the maxima table holds the
  // first interval of each (-1: nowhere), and the code Z + (stage-1)/100.
  std::vector<int> species_maxima_;
  std::vector<double> species_code_;
  // Scratch of write_model, kept from model to model (it only grows).
  std::vector<double> values_, xnfp_, xnf_, column_;
  std::vector<float> maxima_;
  std::vector<Shared> shared_;
  // The abundances of the last model and their changes from the starting values, as text.
  std::vector<double> abund_;
  std::string changes_;
};

// Where the control cards come from, for the file's attributes: the path behind descriptor FD
// when it is a regular file, else "standard input".
std::string cards_name(int fd);

}  // namespace atmotab
