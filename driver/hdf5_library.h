// The HDF5 C library, loaded when a run asks for the HDF5 output (--hdf5) and not before: linked
// in, the library and the thirty libraries it needs (network, encryption, compression) cost every
// start of the program about 15 ms, several times the start-up of a run, and a grid starts one
// run per model. The functions are taken from the library with dlopen and dlsym, under the
// prototypes of its own header, so a call through them is a call of the library.
#pragma once

#include <memory>
#include <string>

#ifdef ATMOTAB_HDF5_LIBRARY
#include <hdf5.h>
#endif

namespace atmotab {

// Whether this program was built with the HDF5 headers (CMake found the HDF5 C library).
bool hdf5_built();

#ifdef ATMOTAB_HDF5_LIBRARY

// The functions and predefined types of the library that the HDF5 output uses.
struct Hdf5Library {
  void* handle = nullptr;
  decltype(&H5Fcreate) Fcreate = nullptr;
  decltype(&H5Fopen) Fopen = nullptr;
  decltype(&H5Fclose) Fclose = nullptr;
  decltype(&H5Fflush) Fflush = nullptr;
  decltype(&H5Pcreate) Pcreate = nullptr;
  decltype(&H5Pclose) Pclose = nullptr;
  decltype(&H5Pset_libver_bounds) Pset_libver_bounds = nullptr;
  decltype(&H5Pset_obj_track_times) Pset_obj_track_times = nullptr;
  decltype(&H5Pset_link_phase_change) Pset_link_phase_change = nullptr;
  decltype(&H5Pset_est_link_info) Pset_est_link_info = nullptr;
  decltype(&H5Pset_sieve_buf_size) Pset_sieve_buf_size = nullptr;
  decltype(&H5Pset_file_locking) Pset_file_locking = nullptr;
  decltype(&H5Pget_mdc_config) Pget_mdc_config = nullptr;
  decltype(&H5Pset_mdc_config) Pset_mdc_config = nullptr;
  decltype(&H5Gcreate2) Gcreate = nullptr;
  decltype(&H5Gclose) Gclose = nullptr;
  decltype(&H5Ldelete) Ldelete = nullptr;
  decltype(&H5Lexists) Lexists = nullptr;
  decltype(&H5Lcreate_hard) Lcreate_hard = nullptr;
  decltype(&H5Screate) Screate = nullptr;
  decltype(&H5Screate_simple) Screate_simple = nullptr;
  decltype(&H5Sclose) Sclose = nullptr;
  decltype(&H5Dcreate2) Dcreate = nullptr;
  decltype(&H5Dwrite) Dwrite = nullptr;
  decltype(&H5Dclose) Dclose = nullptr;
  decltype(&H5Acreate2) Acreate = nullptr;
  decltype(&H5Awrite) Awrite = nullptr;
  decltype(&H5Aclose) Aclose = nullptr;
  decltype(&H5Tcopy) Tcopy = nullptr;
  decltype(&H5Tset_size) Tset_size = nullptr;
  decltype(&H5Tclose) Tclose = nullptr;
  // The predefined types (the library's own variables, valid once it is open).
  hid_t NATIVE_DOUBLE = -1, NATIVE_FLOAT = -1, NATIVE_INT = -1, C_S1 = -1;
  hid_t IEEE_F64LE = -1, IEEE_F32LE = -1, STD_I32LE = -1;
  // The property list classes.
  hid_t FILE_ACCESS = -1, FILE_CREATE = -1, DATASET_CREATE = -1, GROUP_CREATE = -1;
  Hdf5Library() = default;
  Hdf5Library(const Hdf5Library&) = delete;
  Hdf5Library& operator=(const Hdf5Library&) = delete;
  ~Hdf5Library();
};

// Loads the library (its path as CMake found it, else its name on the loader's search path) and
// turns off its own printing of error stacks: the output reports failures itself. Throws
// atmo_error (status 2) naming the library and the loader's message.
std::unique_ptr<Hdf5Library> load_hdf5_library();

#else

struct Hdf5Library {};  // nothing to load: the program was built without HDF5

#endif

}  // namespace atmotab
