#include "driver/hdf5_library.h"

#include "fortio/error.h"

#ifdef ATMOTAB_HDF5_LIBRARY
#include <dlfcn.h>
#endif

namespace atmotab {

#ifndef ATMOTAB_HDF5_LIBRARY

bool hdf5_built() { return false; }

#else

bool hdf5_built() { return true; }

Hdf5Library::~Hdf5Library() {
  if (handle != nullptr) ::dlclose(handle);
}

namespace {

[[noreturn]] void cannot_load(const std::string& what) {
  throw atmo_error(EXIT_IO, "atmotab",
                   "--hdf5: cannot load the HDF5 library " + what +
                       " (Debian: apt-get install libhdf5-103-1, or libhdf5-dev to build)");
}

template <class F>
void take(void* handle, const char* name, F& f) {
  void* p = ::dlsym(handle, name);
  if (p == nullptr) cannot_load(std::string(ATMOTAB_HDF5_LIBRARY) + ": no symbol " + name);
  f = reinterpret_cast<F>(p);
}

hid_t type_of(void* handle, const char* name) {
  void* p = ::dlsym(handle, name);
  if (p == nullptr) cannot_load(std::string(ATMOTAB_HDF5_LIBRARY) + ": no symbol " + name);
  return *static_cast<const hid_t*>(p);
}

}  // namespace

std::unique_ptr<Hdf5Library> load_hdf5_library() {
  auto lib = std::make_unique<Hdf5Library>();
  lib->handle = ::dlopen(ATMOTAB_HDF5_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (lib->handle == nullptr) lib->handle = ::dlopen(ATMOTAB_HDF5_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (lib->handle == nullptr) {
    const char* why = ::dlerror();
    cannot_load(std::string(ATMOTAB_HDF5_SONAME) + ": " + (why != nullptr ? why : "not found"));
  }
  void* h = lib->handle;
  decltype(&H5open) open = nullptr;
  decltype(&H5Eset_auto2) set_auto = nullptr;
  take(h, "H5open", open);
  take(h, "H5Eset_auto2", set_auto);
  if (open() < 0) cannot_load(std::string(ATMOTAB_HDF5_LIBRARY) + ": H5open failed");
  set_auto(H5E_DEFAULT, nullptr, nullptr);
  take(h, "H5Fcreate", lib->Fcreate);
  take(h, "H5Fopen", lib->Fopen);
  take(h, "H5Fclose", lib->Fclose);
  take(h, "H5Fflush", lib->Fflush);
  take(h, "H5Pcreate", lib->Pcreate);
  take(h, "H5Pclose", lib->Pclose);
  take(h, "H5Pset_libver_bounds", lib->Pset_libver_bounds);
  take(h, "H5Pset_obj_track_times", lib->Pset_obj_track_times);
  take(h, "H5Pset_link_phase_change", lib->Pset_link_phase_change);
  take(h, "H5Pset_est_link_info", lib->Pset_est_link_info);
  take(h, "H5Pset_sieve_buf_size", lib->Pset_sieve_buf_size);
  take(h, "H5Pset_file_locking", lib->Pset_file_locking);
  take(h, "H5Pget_mdc_config", lib->Pget_mdc_config);
  take(h, "H5Pset_mdc_config", lib->Pset_mdc_config);
  take(h, "H5Gcreate2", lib->Gcreate);
  take(h, "H5Gclose", lib->Gclose);
  take(h, "H5Ldelete", lib->Ldelete);
  take(h, "H5Lexists", lib->Lexists);
  take(h, "H5Lcreate_hard", lib->Lcreate_hard);
  take(h, "H5Screate", lib->Screate);
  take(h, "H5Screate_simple", lib->Screate_simple);
  take(h, "H5Sclose", lib->Sclose);
  take(h, "H5Dcreate2", lib->Dcreate);
  take(h, "H5Dwrite", lib->Dwrite);
  take(h, "H5Dclose", lib->Dclose);
  take(h, "H5Acreate2", lib->Acreate);
  take(h, "H5Awrite", lib->Awrite);
  take(h, "H5Aclose", lib->Aclose);
  take(h, "H5Tcopy", lib->Tcopy);
  take(h, "H5Tset_size", lib->Tset_size);
  take(h, "H5Tclose", lib->Tclose);
  lib->NATIVE_DOUBLE = type_of(h, "H5T_NATIVE_DOUBLE_g");
  lib->NATIVE_FLOAT = type_of(h, "H5T_NATIVE_FLOAT_g");
  lib->NATIVE_INT = type_of(h, "H5T_NATIVE_INT_g");
  lib->C_S1 = type_of(h, "H5T_C_S1_g");
  lib->IEEE_F64LE = type_of(h, "H5T_IEEE_F64LE_g");
  lib->IEEE_F32LE = type_of(h, "H5T_IEEE_F32LE_g");
  lib->STD_I32LE = type_of(h, "H5T_STD_I32LE_g");
  lib->FILE_ACCESS = type_of(h, "H5P_CLS_FILE_ACCESS_ID_g");
  lib->FILE_CREATE = type_of(h, "H5P_CLS_FILE_CREATE_ID_g");
  lib->DATASET_CREATE = type_of(h, "H5P_CLS_DATASET_CREATE_ID_g");
  lib->GROUP_CREATE = type_of(h, "H5P_CLS_GROUP_CREATE_ID_g");
  return lib;
}

#endif

}  // namespace atmotab
