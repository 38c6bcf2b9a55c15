#include "driver/hdf5_output.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "common/constants.h"
#include "driver/hdf5_library.h"
#include "driver/tabulate.h"
#include "fortio/error.h"
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
void Hdf5Output::begin_model(const Run&) {}
void Hdf5Output::write_model(Run&) {}

#else

namespace {

constexpr int NSTAGE = 10;  // stages I..X of an element
constexpr const char* FORMAT = "atmotab HDF5 tables 1";
// The file access flags of H5Fpublic.h without their macros' calls into the library (which would
// tie the program to it at link time): read-write, and create or empty.
constexpr unsigned ACC_RDWR = 0x0001u;
constexpr unsigned ACC_TRUNC = 0x0002u;

// An identifier of the library, closed when it goes.
class Id {
 public:
  Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  ~Id() {
    if (id_ >= 0) close_(id_);
  }
  Id(const Id&) = delete;
  Id& operator=(const Id&) = delete;
  hid_t get() const { return id_; }
  // Closes it now; the library's status.
  herr_t close() {
    const herr_t status = close_(id_);
    id_ = -1;
    return status;
  }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

// Writes datasets and attributes below one location of a file; every failure throws.
class Writer {
 public:
  Writer(const Hdf5Library& lib, const std::string& path, hid_t create)
      : lib_(lib), path_(path), create_(create) {}

  void check(long long status, const std::string& what) const {
    if (status < 0)
      throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write " + what);
  }

  // A string attribute NAME = TEXT of LOC.
  void text(hid_t loc, const char* name, const std::string& value) const {
    Id type(lib_.Tcopy(lib_.C_S1), lib_.Tclose);
    check(type.get(), name);
    check(lib_.Tset_size(type.get(), value.size() + 1), name);  // with its closing zero
    Id space(lib_.Screate(H5S_SCALAR), lib_.Sclose);
    Id attr(lib_.Acreate(loc, name, type.get(), space.get(), H5P_DEFAULT, H5P_DEFAULT),
            lib_.Aclose);
    check(attr.get(), name);
    check(lib_.Awrite(attr.get(), type.get(), value.c_str()), name);
  }

  // A numeric attribute NAME of LOC: N values (a scalar when N is 0).
  void number(hid_t loc, const char* name, const double* v, hsize_t n = 0) const {
    attribute(loc, name, v, n, lib_.IEEE_F64LE, lib_.NATIVE_DOUBLE);
  }
  void integer(hid_t loc, const char* name, const int* v, hsize_t n = 0) const {
    attribute(loc, name, v, n, lib_.STD_I32LE, lib_.NATIVE_INT);
  }

  // A dataset NAME of LOC with the dimensions DIMS (C order, last fastest) from DATA, with its
  // unit as attribute (the datasets are described in docs/hdf5.md).
  template <class T>
  void dataset(hid_t loc, const char* name, std::initializer_list<hsize_t> dims, const T* data,
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
    text(set.get(), "units", units);
  }

 private:
  template <class T>
  void attribute(hid_t loc, const char* name, const T* v, hsize_t n, hid_t file_type,
                 hid_t mem_type) const {
    Id space(n == 0 ? lib_.Screate(H5S_SCALAR) : lib_.Screate_simple(1, &n, nullptr), lib_.Sclose);
    check(space.get(), name);
    Id attr(lib_.Acreate(loc, name, file_type, space.get(), H5P_DEFAULT, H5P_DEFAULT), lib_.Aclose);
    check(attr.get(), name);
    check(lib_.Awrite(attr.get(), mem_type, v), name);
  }

  const Hdf5Library& lib_;
  const std::string& path_;
  hid_t create_;  // dataset creation properties
};

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
  const Hdf5Library& L = *lib_;
  // The file format of HDF5 1.8 (compact groups and attribute storage; its superblock keeps no
  // open-for-writing mark, so the file of a run ended by a signal opens as it was last flushed).
  access_ = L.Pcreate(L.FILE_ACCESS);
  if (access_ < 0 || L.Pset_libver_bounds(access_, H5F_LIBVER_V18, H5F_LIBVER_V18) < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5: the HDF5 library does not take the 1.8 format");
  // A model's group keeps its few dozen links in its own header (compact storage), which is
  // quicker to build than the indexed storage HDF5 turns to beyond 8 links by default.
  group_ = L.Pcreate(L.GROUP_CREATE);
  if (group_ < 0 || L.Pset_link_phase_change(group_, 64, 48) < 0 ||
      L.Pset_est_link_info(group_, 40, 8) < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 groups");
  // No modification times in the objects: the same run gives the same file.
  create_ = L.Pcreate(L.DATASET_CREATE);
  if (create_ < 0 || L.Pset_obj_track_times(create_, false) < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5: cannot set up the HDF5 datasets");
  Id file(L.Fcreate(path_.c_str(), ACC_TRUNC, H5P_DEFAULT, access_), L.Fclose);
  if (file.get() < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot create the file");
  const Writer w(L, path_, create_);
  const hid_t f = file.get();
  w.text(f, "format", FORMAT);
  w.text(f, "program", std::string("atmotab ") + ATMOTAB_VERSION);
  w.text(f, "cards", cards);
  w.text(f, "edges", opt.edges);
  w.text(f, "molecules", opt.molecules);
  w.text(f, "table", opt.table);
  w.text(f, "maxima", opt.maxima);
  w.text(f, "contents",
         "one group per finished model, model_00001, model_00002, ... in the order of the run");
  if (file.close() < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write the file");
}

Hdf5Output::~Hdf5Output() {
  if (create_ >= 0) lib_->Pclose(create_);
  if (group_ >= 0) lib_->Pclose(group_);
  if (access_ >= 0) lib_->Pclose(access_);
}

void Hdf5Output::begin_model(const Run& run) {
  if (species_code_.empty())
    for (int z = 1; z <= NELEM; ++z) {
      const double code = element_code(z);
      for (int s = 1; s <= pops_nion(code); ++s) {
        species_z_.push_back(z);
        species_stage_.push_back(s);
        species_code_.push_back(z + (s - 1) / 100.0);
      }
    }
  deck_ = {run.TEFF.TEFF, run.TEFF.GRAV, run.TEFF.GLOG};
}

void Hdf5Output::write_model(Run& run) {
  const Hdf5Library& L = *lib_;
  const Writer w(L, path_, create_);
  // The file is open only while it takes a model: between models it is closed and complete.
  Id file(L.Fopen(path_.c_str(), ACC_RDWR, access_), L.Fclose);
  if (file.get() < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot open the file again");
  const hid_t file_ = file.get();
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
    w.text(g, "ABUNDANCE_CHANGES", abundance_changes(run));
    w.integer(g, "NRHOX", &n);
    w.integer(g, "NUMNU", &numnu);
    w.integer(g, "NEDGE", &nedge);
    w.integer(g, "OPACITY_SWITCHES", run.IF.IFOP.data(), NIFOP);
    w.text(g, "OPACITY_ON", switches_on(run));
    w.integer(g, "MOLECULES", &run.IF.IFMOL);

    // The depth quantities.
    struct Quantity {
      const char* name;
      std::function<double(int)> at;
      const char* units;
    };
    const Run& R = run;
    const Quantity depth[] = {
        {"RHOX", [&](int j) { return R.RHOX.RHOX(j); }, "g cm-2"},
        {"T", [&](int j) { return R.TEMP.T(j); }, "K"},
        {"TKEV", [&](int j) { return R.TEMP.TKEV(j); }, "eV"},
        {"TK", [&](int j) { return R.TEMP.TK(j); }, "erg"},
        {"HKT", [&](int j) { return R.TEMP.HKT(j); }, "s"},
        {"TLOG", [&](int j) { return R.TEMP.TLOG(j); }, "ln K"},
        {"HCKT", [&](int j) { return R.TEMP.HCKT(j); }, "cm"},
        {"P", [&](int j) { return R.STATE.P(j); }, "dyn cm-2"},
        {"XNE", [&](int j) { return R.STATE.XNE(j); }, "cm-3"},
        {"XNATOM", [&](int j) { return R.STATE.XNATOM(j); }, "cm-3"},
        {"RHO", [&](int j) { return R.STATE.RHO(j); }, "g cm-3"},
        {"VTURB", [&](int j) { return R.TURBPR.VTURB(j); }, "cm s-1"},
        {"XNFH", [&](int j) { return R.BHYD.XNFH(j); }, "cm-3"},
        {"XNFHE1", [&](int j) { return R.BHE.XNFHE(j, 1); }, "cm-3"},
        {"XNFHE2", [&](int j) { return R.BHE.XNFHE(j, 2); }, "cm-3"},
        {"XNFH2", [&](int j) { return R.TABLES.XNFH2(j); }, "cm-3"},
    };
    std::vector<double>& v = values_;
    v.resize(nh);
    for (const Quantity& q : depth) {
      for (int j = 1; j <= n; ++j) v[j - 1] = q.at(j);
      w.dataset(g, q.name, {nh}, v.data(), q.units);
    }

    // The abundances.
    w.dataset(g, "ABUND", {static_cast<hsize_t>(NELEM)}, run.ELEM.ABUND.data(), "1");
    w.dataset(g, "XABUND", {static_cast<hsize_t>(NELEM)}, run.ELEM.XABUND.data(), "1");

    // The frequency set and the edges.
    const auto nu = static_cast<hsize_t>(numnu);
    w.dataset(g, "FREQSET", {nu}, run.EDGE.FREQSET.data(), "Hz");
    v.resize(nu);
    for (int i = 1; i <= numnu; ++i) v[i - 1] = CLIGHT_NM / run.EDGE.FREQSET(i);
    w.dataset(g, "WAVELENGTH", {nu}, v.data(), "nm");
    const auto ne = static_cast<hsize_t>(nedge);
    w.dataset(g, "FRQEDG", {ne}, run.EDGE.FRQEDG.data(), "Hz");
    w.dataset(g, "WLEDGE", {ne}, run.EDGE.WLEDGE.data(), "nm");
    w.dataset(g, "CMEDGE", {ne}, run.EDGE.CMEDGE.data(), "cm-1");

    // The continuum opacity, depth by frequency.
    v.resize(nh * nu);
    for (int j = 1; j <= n; ++j)
      for (int i = 1; i <= numnu; ++i) v[(j - 1) * nu + (i - 1)] = TB.CONTINALL(i, j);
    w.dataset(g, "CONTINALL", {nh, nu}, v.data(), "log10(cm2 g-1)");

    // Populations per partition function and number densities, (depth, species): one column
    // per element stage, in the order of SPECIES.
    const auto nsp = species_code_.size();
    w.dataset(g, "SPECIES", {nsp}, species_code_.data(), "1");
    xnfp_.resize(nh * nsp);
    xnf_.resize(nh * nsp);
    column_.resize(static_cast<std::size_t>(MAXD) * NSTAGE);
    std::size_t k = 0;
    for (int z = 1; z <= NELEM; ++z) {
      const double code = element_code(z);
      const int nstage = pops_nion(code);
      pops(run, code, 12, column_.data());
      for (int s = 1; s <= nstage; ++s, ++k)
        for (int j = 1; j <= n; ++j) {
          xnf_[(j - 1) * nsp + k] = column_[(s - 1) * MAXD + (j - 1)];
          xnfp_[(j - 1) * nsp + k] = TB.XNFP(j, s, z);
        }
    }
    w.dataset(g, "XNFPEL", {nh, nsp}, xnfp_.data(), "cm-3");
    w.dataset(g, "XNF", {nh, nsp}, xnf_.data(), "cm-3");
    constexpr auto NZ = static_cast<hsize_t>(NELEM);
    v.resize(nh * NZ);
    for (int j = 1; j <= n; ++j)
      for (int z = 1; z <= NELEM; ++z) v[(j - 1) * NZ + (z - 1)] = element_doppler(run, j, z);
    w.dataset(g, "DOPPLE", {nh, NZ}, v.data(), "1");

    // The molecules of the tables' 60 slots.
    constexpr auto NM = static_cast<hsize_t>(NMOLTAB);
    w.dataset(g, "IDMOL", {NM}, TB.IDMOL.data(), "1");
    w.dataset(g, "MOMASS", {NM}, TB.MOMASS.data(), "amu");
    v.resize(nh * NM);
    for (int j = 1; j <= n; ++j)
      for (int m = 1; m <= NMOLTAB; ++m) v[(j - 1) * NM + (m - 1)] = TB.XNFP(j, 6, 39 + m);
    w.dataset(g, "XNFPMOL", {nh, NM}, v.data(), "cm-3");
    for (int j = 1; j <= n; ++j)
      for (int m = 1; m <= NMOLTAB; ++m) v[(j - 1) * NM + (m - 1)] = molecule_doppler(run, j, m);
    w.dataset(g, "DOPPLEMOL", {nh, NM}, v.data(), "1");
    if (run.IF.IFMOL != 0) {
      for (int m = 1; m <= NMOLTAB; ++m) {
        pops(run, TB.IDMOL(m), 2, column_.data());
        for (int j = 1; j <= n; ++j) v[(j - 1) * NM + (m - 1)] = column_[j - 1];
      }
      w.dataset(g, "XNFMOL", {nh, NM}, v.data(), "cm-3");
    }

    // The line-strength maxima: single-precision values by definition, stored as they are.
    const auto ni = static_cast<hsize_t>(nint);
    maxima_.assign(ni * std::max(nsp, static_cast<std::size_t>(NM)), 0.0f);
    for (std::size_t c = 0; c < nsp; ++c) {
      const auto [slot, host] = table_slot(species_z_[c], species_stage_[c]);
      for (int i = 1; i <= nint; ++i)
        maxima_[(i - 1) * nsp + c] = slot == 0 ? 0.0f : TB.XNFDOPMAX(i, slot, host);
    }
    w.dataset(g, "XNFDOPMAX", {ni, nsp}, maxima_.data(), "1");
    for (int m = 1; m <= NMOLTAB; ++m)
      for (int i = 1; i <= nint; ++i) maxima_[(i - 1) * NM + (m - 1)] = TB.XNFDOPMAX(i, 6, 39 + m);
    w.dataset(g, "XNFDOPMAXMOL", {ni, NM}, maxima_.data(), "1");
  } catch (const atmo_error&) {
    // Nothing of a model that was not written whole stays.
    if (L.Lexists(file_, name, H5P_DEFAULT) > 0) L.Ldelete(file_, name, H5P_DEFAULT);
    throw;
  }
  // Closed before the tables commit the model: a signal after this finds it in the file.
  if (file.close() < 0)
    throw atmo_error(EXIT_IO, "atmotab", "--hdf5 '" + path_ + "': cannot write the file");
  ++models_;
}

#endif

}  // namespace atmotab
