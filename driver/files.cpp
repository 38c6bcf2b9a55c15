#include "driver/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "fortio/error.h"

namespace atmotab {
namespace {

// Identity of an existing file: device and inode.
struct FileId {
  bool exists = false;
  bool device = false;  // a character device
  dev_t dev = 0;
  ino_t ino = 0;
};

FileId id_of(const struct stat& st) { return {true, S_ISCHR(st.st_mode), st.st_dev, st.st_ino}; }

FileId id_of_path(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return id_of(st);
}

FileId id_of_descriptor(int fd) {
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return {};
  return id_of(st);
}

bool same_id(const FileId& a, const FileId& b) {
  return a.exists && b.exists && a.dev == b.dev && a.ino == b.ino;
}

// Whether paths A and B name one file: by identity when both exist, else by their paths with
// the symbolic links of the existing directories resolved.
bool same_file(const std::string& a, const std::string& b) {
  const FileId ia = id_of_path(a), ib = id_of_path(b);
  if (ia.exists || ib.exists) return same_id(ia, ib);
  std::error_code e1, e2;
  const auto ca = std::filesystem::weakly_canonical(a, e1);
  const auto cb = std::filesystem::weakly_canonical(b, e2);
  return a == b || (!e1 && !e2 && ca == cb);
}

[[noreturn]] void clash(const std::string& opt1, const std::string& path1, const std::string& opt2,
                        const std::string& path2, const std::string& why) {
  throw atmo_error(
      EXIT_IO, "atmotab",
      opt1 + " '" + path1 + "' and " + opt2 + " '" + path2 + "' name the same file; " + why);
}

constexpr const char* TWO_TABLES = "units 10 and 11 need two files";

}  // namespace

bool open_missing_standard_descriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor: FD itself, as those below it are open by now.
    const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened < 0) return false;
    if (opened != fd) {
      const bool moved = ::dup2(opened, fd) == fd;
      ::close(opened);
      if (!moved) return false;
    }
  }
  return true;
}

void check_distinct_files(const Options& opt, int cards_fd, int listing_fd, int errors_fd) {
  struct Table {
    const char* option;
    const std::string& path;
  };
  const Table tables[] = {{"--table", opt.table}, {"--maxima", opt.maxima}};
  struct Stream {
    int fd;
    const char* what;
  };
  const Stream streams[] = {{cards_fd, "standard input (the control cards)"},
                            {listing_fd, "standard output (the listing)"},
                            {errors_fd, "standard error (the messages)"}};
  for (const Table& t : tables) {
    if (same_file(t.path, opt.edges))
      clash(t.option, t.path, "--edges", opt.edges, "the table would overwrite the edge list");
    if (same_file(t.path, opt.molecules))
      clash(t.option, t.path, "--molecules", opt.molecules,
            "the table would overwrite the molecule list");
    const FileId id = id_of_path(t.path);
    for (const Stream& s : streams)
      if (!id.device && same_id(id, id_of_descriptor(s.fd)))
        throw atmo_error(EXIT_IO, "atmotab",
                         std::string(t.option) + " '" + t.path + "' is " + s.what +
                             "; the table would overwrite it");
  }
  if (!opt.hdf5.empty()) {
    const Table others[] = {{"--edges", opt.edges},
                            {"--molecules", opt.molecules},
                            {"--table", opt.table},
                            {"--maxima", opt.maxima}};
    for (const Table& t : others)
      if (same_file(opt.hdf5, t.path))
        clash("--hdf5", opt.hdf5, t.option, t.path, "the HDF5 output needs a file of its own");
    const FileId id = id_of_path(opt.hdf5);
    for (const Stream& s : streams)
      if (same_id(id, id_of_descriptor(s.fd)))
        throw atmo_error(EXIT_IO, "atmotab",
                         "--hdf5 '" + opt.hdf5 + "' is " + s.what +
                             "; the HDF5 output would "
                             "overwrite it");
  }
  const FileId table = id_of_path(opt.table);
  if (table.device && same_id(table, id_of_path(opt.maxima))) return;
  if (same_file(opt.table, opt.maxima))
    clash("--table", opt.table, "--maxima", opt.maxima, TWO_TABLES);
}

void open_tables(Run& run, const Options& opt) {
  Unformatted& u10 = run.UNITS.table;
  Unformatted& u11 = run.UNITS.maxima;
  u10.open();
  // Now that unit 10 exists, a name of unit 11 that did not resolve before (a dangling link)
  // may name it: refused before unit 11 tries for the lock that this run holds.
  if (!id_of_descriptor(u10.descriptor()).device &&
      same_id(id_of_descriptor(u10.descriptor()), id_of_path(opt.maxima)))
    clash("--table", opt.table, "--maxima", opt.maxima, TWO_TABLES);
  u11.open();
  const FileId table = id_of_descriptor(u10.descriptor());
  const FileId maxima = id_of_descriptor(u11.descriptor());
  if (same_id(table, maxima) && !table.device)
    clash("--table", opt.table, "--maxima", opt.maxima, TWO_TABLES);
  const FileId molecules = id_of_path(opt.molecules);
  if (same_id(table, molecules))
    clash("--table", opt.table, "--molecules", opt.molecules,
          "the table would overwrite the molecule list");
  if (same_id(maxima, molecules))
    clash("--maxima", opt.maxima, "--molecules", opt.molecules,
          "the table would overwrite the molecule list");
}

void check_cards_descriptor(int fd) {
  struct stat st;
  if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
    throw atmo_error(EXIT_IO, "atmotab",
                     "standard input is a directory; the control cards come from a file or a "
                     "pipe (atmotab ... < deck)");
}

}  // namespace atmotab
