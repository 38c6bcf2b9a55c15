#include "driver/hdf5_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/constants.h"
#include "driver/hdf5_library.h"
#include "driver/tabulate.h"
#include "fortio/error.h"
#include "fortio/unformatted.h"
#include "populations/pops.h"

namespace atmotab {

std::string cards_name(int fd) {
  std::error_code ec;
  const std::filesystem::path link = "/proc/self/fd/" + std::to_string(fd);
  const std::filesystem::path target = std::filesystem::read_symlink(link, ec);
  if (fd < 0 || ec || !std::filesystem::is_regular_file(target, ec)) return "standard input";
  return target.string();
}

#ifndef ATMOTAB_HDF5_LIBRARY

Hdf5Output::Hdf5Output(const Options&, const std::string&) {
  throw atmo_error(EXIT_IO, "atmotab",
                   "--hdf5: this atmotab was built without HDF5 (install the HDF5 C library, "
                   "Debian's libhdf5-dev, and configure the build again)");
}
Hdf5Output::~Hdf5Output() = default;
void Hdf5Output::release() noexcept {}
void Hdf5Output::begin_model(const Run&) {}
void Hdf5Output::write_model(Run&) {}
void Hdf5Output::close() {}

#else

namespace {

constexpr int NSTAGE = 10;  // stages I..X of an element
constexpr const char* FORMAT = "atmotab HDF5 tables 2";
// The file access flag of H5Fpublic.h without its macro's call into the library (which would tie
// the program to it at link time): create or empty.
constexpr unsigned ACC_TRUNC = 0x0002u;
constexpr std::size_t METADATA_CACHE = 64 * 1024;  // [bytes] the library's metadata cache

// An identifier of the library, closed when it goes.
class Id {
 public:
  Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  ~Id() {
    if (id_ >= 0) close_(id_);
  }
  Id(Id&& other) noexcept : id_(other.id_), close_(other.close_) { other.id_ = -1; }
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  Id& operator=(Id&&) = delete;
  hid_t get() const { return id_; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

// Writes datasets and attributes below one location of a file; every failure throws.
class Writer {
 public:
  Writer(const Hdf5Library& lib, const std::string& path, hid_t create)
      : lib_(lib),
        path_(path),
        create_(create),
        string_(lib.Tcopy(lib.C_S1), lib.Tclose),
        scalar_(lib.Screate(H5S_SCALAR), lib.Sclose) {
    check(string_.get(), "a string type");
    check(scalar_.get(), "a scalar space");
  }

  void check(long long status, const std::string& what) const {
    if (status < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write " + what);
  }

  // A string attribute NAME = TEXT of LOC.
  void text(hid_t loc, const char* name, const std::string& value) const {
    const hid_t type = string_.get();
    check(lib_.Tset_size(type, value.size() + 1), name);  // with its closing zero
    Id attr(lib_.Acreate(loc, name, type, scalar_.get(), H5P_DEFAULT, H5P_DEFAULT), lib_.Aclose);
    check(attr.get(), name);
    check(lib_.Awrite(attr.get(), type, value.c_str()), name);
  }

  // A numeric attribute NAME of LOC: N values (a scalar when N is 0).
  void number(hid_t loc, const char* name, const double* v, hsize_t n = 0) const {
    attribute(loc, name, v, n, lib_.IEEE_F64LE, lib_.NATIVE_DOUBLE);
  }
  void integer(hid_t loc, const char* name, const int* v, hsize_t n = 0) const {
    attribute(loc, name, v, n, lib_.STD_I32LE, lib_.NATIVE_INT);
  }

  // A string-array attribute NAME of LOC, one fixed-length string per value.
  void texts(hid_t loc, const char* name, const std::vector<std::string>& values) const {
    std::size_t size = 1;
    for (const std::string& t : values) size = std::max(size, t.size() + 1);
    std::vector<char> packed(values.size() * size, '\0');
    for (std::size_t k = 0; k < values.size(); ++k)
      std::copy(values[k].begin(), values[k].end(), packed.begin() + k * size);
    const hid_t type = string_.get();
    check(lib_.Tset_size(type, size), name);
    const hsize_t n = values.size();
    Id space(lib_.Screate_simple(1, &n, nullptr), lib_.Sclose);
    check(space.get(), name);
    Id attr(lib_.Acreate(loc, name, type, space.get(), H5P_DEFAULT, H5P_DEFAULT), lib_.Aclose);
    check(attr.get(), name);
    check(lib_.Awrite(attr.get(), type, packed.data()), name);
  }

  // A dataset NAME of LOC with the dimensions DIMS (C order, last fastest) from DATA, with its
  // unit as attribute (the datasets are described in docs/hdf5.md).
  template <class T>
  Id dataset(hid_t loc, const char* name, std::initializer_list<hsize_t> dims, const T* data,
             const char* units) const {
    const bool single = std::is_same_v<T, float>;
    const std::vector<hsize_t> d(dims);
    Id space(lib_.Screate_simple(static_cast<int>(d.size()), d.data(), nullptr), lib_.Sclose);
    check(space.get(), name);
    Id set(lib_.Dcreate(loc, name, single ? lib_.IEEE_F32LE : lib_.IEEE_F64LE, space.get(),
                        H5P_DEFAULT, create_, H5P_DEFAULT),
           lib_.Dclose);
    check(set.get(), name);
    hsize_t count = 1;
    for (hsize_t k : d) count *= k;
    if (count > 0)
      check(lib_.Dwrite(set.get(), single ? lib_.NATIVE_FLOAT : lib_.NATIVE_DOUBLE, H5S_ALL,
                        H5S_ALL, H5P_DEFAULT, data),
            name);
    if (units != nullptr) text(set.get(), "units", units);
    return set;
  }

  // The dataset NAME of the group G (named GROUP in FILE) with the N values DATA: a second name
  // of the dataset SHARED names when that holds the same values, else a new dataset that SHARED
  // then names.
  void shared(hid_t file, hid_t g, const std::string& group, const char* name, hsize_t n,
              const double* data, const char* units, Hdf5Output::Shared& shared) const {
    if (!shared.path.empty() && shared.values.size() == n &&
        (n == 0 || std::memcmp(shared.values.data(), data, n * sizeof(double)) == 0)) {
      check(lib_.Lcreate_hard(file, shared.path.c_str(), g, name, H5P_DEFAULT, H5P_DEFAULT), name);
      return;
    }
    dataset(g, name, {n}, data, units);
    shared.path = "/" + group + "/" + name;
    shared.values.assign(data, data + n);
  }

 private:
  template <class T>
  void attribute(hid_t loc, const char* name, const T* v, hsize_t n, hid_t file_type,
                 hid_t mem_type) const {
    Id space(n == 0 ? -1 : lib_.Screate_simple(1, &n, nullptr), lib_.Sclose);
    check(n == 0 ? 0 : space.get(), name);
    Id attr(lib_.Acreate(loc, name, file_type, n == 0 ? scalar_.get() : space.get(), H5P_DEFAULT,
                         H5P_DEFAULT),
            lib_.Aclose);
    check(attr.get(), name);
    check(lib_.Awrite(attr.get(), mem_type, v), name);
  }

  const Hdf5Library& lib_;
  const std::string& path_;
  hid_t create_;  // dataset creation properties
  Id string_;     // the string type of the text attributes, sized for each
  Id scalar_;     // the space of a single value
};

// The depth quantities of a model, the rows of its dataset DEPTH_QUANTITIES: name and unit.
constexpr std::array<std::array<const char*, 2>, 16> DEPTH_QUANTITIES{{
    {"RHOX", "g cm-2"},
    {"T", "K"},
    {"TKEV", "eV"},
    {"TK", "erg"},
    {"HKT", "s"},
    {"TLOG", "ln K"},
    {"HCKT", "cm"},
    {"P", "dyn cm-2"},
    {"XNE", "cm-3"},
    {"XNATOM", "cm-3"},
    {"RHO", "g cm-3"},
    {"VTURB", "cm s-1"},
    {"XNFH", "cm-3"},
    {"XNFHE1", "cm-3"},
    {"XNFHE2", "cm-3"},
    {"XNFH2", "cm-3"},
}};

// Where the run holds them, depth 1 first.
std::array<const double*, DEPTH_QUANTITIES.size()> depth_rows(const Run& R) {
  return {R.RHOX.RHOX.data(), R.TEMP.T.data(),       R.TEMP.TKEV.data(), R.TEMP.TK.data(),
          R.TEMP.HKT.data(),  R.TEMP.TLOG.data(),    R.TEMP.HCKT.data(), R.STATE.P.data(),
          R.STATE.XNE.data(), R.STATE.XNATOM.data(), R.STATE.RHO.data(), R.TURBPR.VTURB.data(),
          R.BHYD.XNFH.data(), &R.BHE.XNFHE(1, 1),    &R.BHE.XNFHE(1, 2), R.TABLES.XNFH2.data()};
}

// The first N elements of the scratch vector V, which only grows (no refilling of what it holds).
template <class T>
T* scratch(std::vector<T>& v, std::size_t n) {
  if (v.size() < n) v.resize(n);
  return v.data();
}

// Opens PATH (created when missing, not emptied) and takes its exclusive lock without waiting, when
// it is a regular file; returns the descriptor that holds the lock (-1 for another kind of file).
// Throws atmo_error (status 2) when another process holds the file.
int lock_before_emptying(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    throw atmo_error(EXIT_IO, "atmotab",
                     "--hdf5 '" + path + "': cannot create the file: " + std::strerror(errno));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  if (!lock_exclusive(fd)) {
    const int err = errno;
    ::close(fd);
    throw atmo_error(
        EXIT_IO, "atmotab",
        "--hdf5 '" + path + "': " +
            (err == EWOULDBLOCK ? std::string("the file is locked: another run writes "
                                              "there, or a program has it open; give "
                                              "this run another file")
                                : std::string("cannot lock the file: ") + std::strerror(err)));
  }
  return fd;
}

// The model's title without its trailing blanks.
std::string title_of(const Run& run) {
  std::string t(run.JUNK.TITLE.begin(), run.JUNK.TITLE.end());
  t.erase(t.find_last_not_of(' ') + 1);
  return t;
}

std::string symbol_of(const Run& run, int z) {
  std::string s(run.ELEM.ELEMSYM(z).begin(), run.ELEM.ELEMSYM(z).end());
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// The abundances that differ from the program's starting values, "SYMBOL value" as entered.
std::string abundance_changes(const Run& run) {
  const ElemRec start;
  std::string out;
  for (int z = 1; z <= NELEM; ++z) {
    if (run.ELEM.ABUND(z) == start.ABUND(z)) continue;
    char item[48];
    std::snprintf(item, sizeof item, "%s%s %.9g", out.empty() ? "" : ", ",
                  symbol_of(run, z).c_str(), run.ELEM.ABUND(z));
    out += item;
  }
  return out;
}

// The names of the opacity switches that are on, as the OPACITY card spells them.
std::string switches_on(const Run& run) {
  std::string out;
  for (int i = 1; i <= NIFOP; ++i)
    if (run.IF.IFOP(i) != 0) (out += out.empty() ? "" : " ") += IFOP_NAMES[i - 1];
  return out;
}

// Stage slot S (1..6) of element Z in the tables is a slot that carries something else: slot 5 of
// elements 50+k, 60+k, 70+k and 80+k (k = 0..8) holds stages VII..X of Ca..Ni, slot 6 of elements
// 40..99 a molecule.
bool borrowed_slot(int s, int z) {
  return (s == 5 && z >= 50 && z <= 88 && z % 10 <= 8) || (s == 6 && z >= 40);
}

// The table slot (S, Z) of stage STAGE of element Z, 0 for S when the tables have none.
std::array<int, 2> table_slot(int z, int stage) {
  if (stage <= 6) return {borrowed_slot(stage, z) ? 0 : stage, z};
  if (z >= 20 && z <= 28) return {5, 50 + 10 * (stage - 7) + (z - 20)};
  return {0, z};
}

}  // namespace

Hdf5Output::Hdf5Output(const Options& opt, const std::string& cards) : path_(opt.hdf5) {
  lib_ = load_hdf5_library();
  try {
    const Hdf5Library& L = *lib_;
    // The file format of HDF5 1.8 (compact groups and attribute storage; its superblock keeps no
    // open-for-writing mark, so the file of a run ended by a signal opens as it was last flushed).
    access_ = L.Pcreate(L.FILE_ACCESS);
    if (access_ < 0 || L.Pset_libver_bounds(access_, H5F_LIBVER_V18, H5F_LIBVER_V18) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: the HDF5 library does not take the 1.8 format");
    // Every dataset is written whole, once: straight to the file, not through a buffer that the
    // library would first fill from the file (64 KiB per dataset by default). A metadata cache of
    // fixed size, small against the run's metadata (some 20 KiB per model): the flush after each
    // model looks at every object the cache holds, and a cache that kept them all (it grows to 32
    // MiB by default) would make the flushes of a long run slower and slower.
    H5AC_cache_config_t cache{};
    cache.version = H5AC__CURR_CACHE_CONFIG_VERSION;
    if (L.Pset_sieve_buf_size(access_, 0) < 0 || L.Pget_mdc_config(access_, &cache) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 file access");
    cache.set_initial_size = true;
    cache.initial_size = cache.min_size = cache.max_size = METADATA_CACHE;
    cache.incr_mode = H5C_incr__off;
    cache.flash_incr_mode = H5C_flash_incr__off;
    cache.decr_mode = H5C_decr__off;
    if (L.Pset_mdc_config(access_, &cache) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 metadata cache");
    // The lock is the program's, taken before the library empties the file (the library would take
    // its own only after that, so a second run given the file of a running one emptied it under
    // it); the library's own lock would collide with it and is left off.
    lock_ = lock_before_emptying(path_);
    if (L.Pset_file_locking(access_, false, true) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 file access");
    // No times in any object (the root group, the model groups, the datasets): the same run gives
    // the same file, byte for byte. A model's group keeps its few dozen links in its own header
    // (compact storage), which is quicker to build than the indexed storage HDF5 turns to beyond 8
    // links by default.
    group_ = L.Pcreate(L.GROUP_CREATE);
    if (group_ < 0 || L.Pset_link_phase_change(group_, 64, 48) < 0 ||
        L.Pset_est_link_info(group_, 40, 8) < 0 || L.Pset_obj_track_times(group_, false) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 groups");
    create_ = L.Pcreate(L.DATASET_CREATE);
    if (create_ < 0 || L.Pset_obj_track_times(create_, false) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 datasets");
    const Id file_create(L.Pcreate(L.FILE_CREATE), L.Pclose);
    if (file_create.get() < 0 || L.Pset_obj_track_times(file_create.get(), false) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 file");
    file_ = L.Fcreate(path_.c_str(), ACC_TRUNC, file_create.get(), access_);
    if (file_ < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot create the file");
    const Writer w(L, path_, create_);
    const hid_t f = file_;
    w.text(f, "format", FORMAT);
    w.text(f, "program", std::string("atmotab ") + ATMOTAB_VERSION);
    w.text(f, "cards", cards);
    w.text(f, "edges", opt.edges);
    w.text(f, "molecules", opt.molecules);
    w.text(f, "table", opt.table);
    w.text(f, "maxima", opt.maxima);
    w.text(f, "contents",
           "one group per finished model, model_00001, model_00002, ... in the order of the run");
    if (L.Fflush(file_, H5F_SCOPE_LOCAL) < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write the file");
  } catch (...) {
    release();  // what was made before the failure: identifiers, the lock
    throw;
  }
}

Hdf5Output::~Hdf5Output() { release(); }

void Hdf5Output::release() noexcept {
  if (file_ >= 0) lib_->Fclose(std::exchange(file_, -1));
  if (lock_ >= 0) ::close(std::exchange(lock_, -1));
  if (create_ >= 0) lib_->Pclose(std::exchange(create_, -1));
  if (group_ >= 0) lib_->Pclose(std::exchange(group_, -1));
  if (access_ >= 0) lib_->Pclose(std::exchange(access_, -1));
}

void Hdf5Output::close() {
  const std::int64_t file = file_;
  file_ = -1;
  if (file >= 0 && lib_->Fclose(file) < 0)
    throw atmo_error(EXIT_IO, "atmotab",
                     "--hdf5 '" + path_ + "': cannot close the file (it may lack finished models)");
  if (lock_ >= 0) ::close(std::exchange(lock_, -1));
}

void Hdf5Output::begin_model(const Run& run) {
  const auto& maxima = run.TABLES.XNFDOPMAX;
  if (species_code_.empty())
    for (int z = 1; z <= NELEM; ++z) {
      for (int s = 1; s <= element_stages(z); ++s) {
        const auto [slot, host] = table_slot(z, s);
        species_maxima_.push_back(
            slot == 0 ? -1 : static_cast<int>(&maxima(1, slot, host) - maxima.data()));
        species_code_.push_back(z + (s - 1) / 100.0);
      }
    }
  deck_ = {run.TEFF.TEFF, run.TEFF.GRAV, run.TEFF.GLOG};
}

void Hdf5Output::write_model(Run& run) {
  const Hdf5Library& L = *lib_;
  const Writer w(L, path_, create_);
  char name[32];
  std::snprintf(name, sizeof name, "model_%05d", models_ + 1);
  try {
    Id group(L.Gcreate(file_, name, H5P_DEFAULT, group_, H5P_DEFAULT), L.Gclose);
    w.check(group.get(), name);
    const hid_t g = group.get();
    const int n = run.RHOX.NRHOX;
    const int numnu = run.FRESET.NUMNU;
    const int nedge = run.EDGE.NEDGE;
    const int nint = (numnu + 2) / 3;
    const auto nh = static_cast<hsize_t>(n);
    const TablesRec& TB = run.TABLES;

    // The model's parameters.
    const int index = models_ + 1;
    w.integer(g, "MODEL", &index);
    w.text(g, "TITLE", title_of(run));
    w.number(g, "TEFF", &deck_.TEFF);
    w.number(g, "GRAV", &deck_.GRAV);
    w.number(g, "GLOG", &deck_.GLOG);
    w.text(g, "TEFF_units", "K, the deck's (the table headers carry T(1))");
    w.text(g, "GRAV_units", "cm s-2; GLOG = log10 GRAV (the table headers carry 0)");
    w.number(g, "XSCALE", &run.JUNK.XSCALE);
    if (!std::equal(abund_.begin(), abund_.end(), run.ELEM.ABUND.begin(), run.ELEM.ABUND.end())) {
      abund_.assign(run.ELEM.ABUND.begin(), run.ELEM.ABUND.end());
      changes_ = abundance_changes(run);
    }
    w.text(g, "ABUNDANCE_CHANGES", changes_);
    w.integer(g, "NRHOX", &n);
    w.integer(g, "NUMNU", &numnu);
    w.integer(g, "NEDGE", &nedge);
    w.integer(g, "OPACITY_SWITCHES", run.IF.IFOP.data(), NIFOP);
    w.text(g, "OPACITY_ON", switches_on(run));
    w.integer(g, "MOLECULES", &run.IF.IFMOL);

    // The depth quantities, one row each, in one dataset.
    const std::string group_name = name;
    const auto nq = static_cast<hsize_t>(DEPTH_QUANTITIES.size());
    double* v = scratch(values_, nq * nh);
    const std::array<const double*, DEPTH_QUANTITIES.size()> rows = depth_rows(run);
    for (std::size_t q = 0; q < rows.size(); ++q) std::copy(rows[q], rows[q] + n, v + q * nh);
    {
      const Id set = w.dataset(g, "DEPTH_QUANTITIES", {nq, nh}, v, nullptr);
      std::vector<std::string> names, units;
      for (const auto& [quantity, unit] : DEPTH_QUANTITIES) {
        names.emplace_back(quantity);
        units.emplace_back(unit);
      }
      w.texts(set.get(), "quantities", names);
      w.texts(set.get(), "units", units);
    }

    // The abundances.
    w.dataset(g, "ABUND", {static_cast<hsize_t>(NELEM)}, run.ELEM.ABUND.data(), "1");
    w.dataset(g, "XABUND", {static_cast<hsize_t>(NELEM)}, run.ELEM.XABUND.data(), "1");

    // The frequency set and the edges, the species and the molecules' codes and masses: the same
    // from model to model in most runs, written once and named again.
    shared_.resize(8);
    const auto shared = [&](const char* what, hsize_t count, const double* data, const char* units,
                            int k) {
      w.shared(file_, g, group_name, what, count, data, units, shared_[k]);
    };
    const auto nu = static_cast<hsize_t>(numnu);
    shared("FREQSET", nu, run.EDGE.FREQSET.data(), "Hz", 0);
    v = scratch(values_, nu);
    for (int i = 1; i <= numnu; ++i) v[i - 1] = CLIGHT_NM / run.EDGE.FREQSET(i);
    shared("WAVELENGTH", nu, v, "nm", 1);
    const auto ne = static_cast<hsize_t>(nedge);
    shared("FRQEDG", ne, run.EDGE.FRQEDG.data(), "Hz", 2);
    shared("WLEDGE", ne, run.EDGE.WLEDGE.data(), "nm", 3);
    shared("CMEDGE", ne, run.EDGE.CMEDGE.data(), "cm-1", 4);

    // The continuum opacity, depth by frequency.
    v = scratch(values_, nh * nu);
    for (int j = 1; j <= n; ++j) std::copy_n(&TB.CONTINALL(1, j), numnu, v + (j - 1) * nu);
    w.dataset(g, "CONTINALL", {nh, nu}, v, "log10(cm2 g-1)");

    // Populations per partition function and number densities: one row per element stage, in
    // the order of SPECIES, over the depths (each row as the populations hold it).
    const auto nsp = species_code_.size();
    shared("SPECIES", nsp, species_code_.data(), "1", 5);
    double* xnfp = scratch(xnfp_, nsp * nh);
    double* xnf = scratch(xnf_, nsp * nh);
    double* column = scratch(column_, static_cast<std::size_t>(MAXD) * NSTAGE);
    std::size_t k = 0;
    for (int z = 1; z <= NELEM; ++z) {
      const int nstage = element_stages(z);
      pops_stages(run, z, nstage, Wanted::Number, column);
      for (int s = 1; s <= nstage; ++s, ++k) {
        std::copy_n(column + (s - 1) * MAXD, n, xnf + k * nh);
        std::copy_n(&TB.XNFP(1, s, z), n, xnfp + k * nh);
      }
    }
    w.dataset(g, "XNFPEL", {nsp, nh}, xnfp, "cm-3");
    w.dataset(g, "XNF", {nsp, nh}, xnf, "cm-3");
    constexpr auto NZ = static_cast<hsize_t>(NELEM);
    v = scratch(values_, NZ * nh);
    for (int z = 1; z <= NELEM; ++z)
      for (int j = 1; j <= n; ++j) v[(z - 1) * nh + (j - 1)] = element_doppler(run, j, z);
    w.dataset(g, "DOPPLE", {NZ, nh}, v, "1");

    // The molecules of the tables' 60 slots, one row each.
    constexpr auto NM = static_cast<hsize_t>(NMOLTAB);
    shared("IDMOL", NM, TB.IDMOL.data(), "1", 6);
    shared("MOMASS", NM, TB.MOMASS.data(), "amu", 7);
    v = scratch(values_, NM * nh);
    for (int m = 1; m <= NMOLTAB; ++m) std::copy_n(&TB.XNFP(1, 6, 39 + m), n, v + (m - 1) * nh);
    w.dataset(g, "XNFPMOL", {NM, nh}, v, "cm-3");
    for (int m = 1; m <= NMOLTAB; ++m)
      for (int j = 1; j <= n; ++j) v[(m - 1) * nh + (j - 1)] = molecule_doppler(run, j, m);
    w.dataset(g, "DOPPLEMOL", {NM, nh}, v, "1");
    if (run.IF.IFMOL != 0) {
      for (int m = 1; m <= NMOLTAB; ++m) {
        pops_molecule(run, TB.IDMOL(m), Wanted::Number, column);
        std::copy_n(column, n, v + (m - 1) * nh);
      }
      w.dataset(g, "XNFMOL", {NM, nh}, v, "cm-3");
    }

    // The line-strength maxima, one row per species over the intervals: single-precision values
    // by definition, stored as they are.
    const auto ni = static_cast<hsize_t>(nint);
    float* maxima = scratch(maxima_, std::max(nsp, static_cast<std::size_t>(NM)) * ni);
    for (std::size_t c = 0; c < nsp; ++c) {
      const int at = species_maxima_[c];
      if (at < 0)
        std::fill_n(maxima + c * ni, nint, 0.0f);
      else
        std::copy_n(TB.XNFDOPMAX.data() + at, nint, maxima + c * ni);
    }
    w.dataset(g, "XNFDOPMAX", {nsp, ni}, maxima, "1");
    for (int m = 1; m <= NMOLTAB; ++m)
      std::copy_n(&TB.XNFDOPMAX(1, 6, 39 + m), nint, maxima + (m - 1) * ni);
    w.dataset(g, "XNFDOPMAXMOL", {NM, ni}, maxima, "1");
  } catch (const atmo_error&) {
    // Nothing of a model that was not written whole stays, nor a name of what it wrote.
    if (L.Lexists(file_, name, H5P_DEFAULT) > 0) L.Ldelete(file_, name, H5P_DEFAULT);
    const std::string prefix = std::string("/") + name + "/";
    for (Shared& s : shared_)
      if (s.path.starts_with(prefix)) s.path.clear();
    throw;
  }
  // Flushed before the tables commit the model: a signal after this finds it in the file.
  if (L.Fflush(file_, H5F_SCOPE_LOCAL) < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write the file");
  ++models_;
}

#endif

}  // namespace atmotab
