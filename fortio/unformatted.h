// Fortran unformatted sequential files: each record is framed by its byte count as a 4-byte
// little-endian integer before and after the data. Integers are 4 bytes, reals 8, singles 4, all
// IEEE little-endian; a gfortran program reads them back with plain READ statements. The file is
// created (or cut to length 0) by open(), or on the first write, as a Fortran unit is opened
// implicitly.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace atmotab {

// Takes the exclusive lock (flock) of the file open on FD without waiting: true when it is held,
// and when the file system has no locks (flock fails with ENOSYS, EOPNOTSUPP or ENOLCK: Lustre
// mounted without flock, an NFS server without a lock manager), where a run goes on without the
// protection the lock gives; false, with errno set, when another process holds it or the call fails
// otherwise.
bool lock_exclusive(int fd);

// The data of one record, built up item by item.
class Record {
 public:
  Record& i4(std::int32_t v);
  Record& r8(double v);
  Record& r4(float v);
  // N character words of 8 bytes each: the character and seven blanks.
  Record& chars8(const char* p, int n);
  template <class It>
  Record& r8(It first, It last) {
    if constexpr (std::is_same_v<It, const double*> || std::is_same_v<It, double*>) {
      put(first, sizeof(double) * static_cast<std::size_t>(last - first));  // already the bytes
      return *this;
    }
    for (; first != last; ++first) r8(static_cast<double>(*first));
    return *this;
  }
  template <class It>
  Record& r4(It first, It last) {
    if constexpr (std::is_same_v<It, const float*> || std::is_same_v<It, float*>) {
      put(first, sizeof(float) * static_cast<std::size_t>(last - first));  // already the bytes
      return *this;
    }
    for (; first != last; ++first) r4(static_cast<float>(*first));
    return *this;
  }
  // Room for N bytes in all, so that a record of known size is built without growing.
  Record& reserve(std::size_t n) {
    bytes_.reserve(n);
    return *this;
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  void put(const void* p, std::size_t n);
  std::vector<unsigned char> bytes_;
};

// The file holds the records of finished models (up to the last commit), and while a model is
// being written some of its records so far; roll_back and cut_back take it back to the last
// commit. Records are gathered in a buffer and reach the file in writes of about 64 KB, at a
// commit, at flush, or when the object goes.
class Unformatted {
 public:
  explicit Unformatted(std::string path) : path_(std::move(path)) {}
  ~Unformatted();
  Unformatted(const Unformatted&) = delete;
  Unformatted& operator=(const Unformatted&) = delete;
  // Names the file; only before it is opened.
  void set_path(std::string path) { path_ = std::move(path); }
  const std::string& path() const { return path_; }

  // Creates the file, or cuts an existing one to length 0, so that it holds only what this run
  // writes; a regular file is locked (flock, exclusive) for as long as it is open, and one that
  // another process holds locked is left untouched. Throws atmo_error (status 2) when it cannot
  // open, lock or cut the file. Does nothing when already open.
  void open();
  // Appends one framed record (opening the file first if needed); throws atmo_error (status 2)
  // when the file cannot be written (reported here or at the next flush or commit).
  void write(const Record& rec);
  // Appends one framed record of the N bytes at DATA (already in the file's byte order).
  void write(const void* data, std::size_t n);
  // Pushes everything written so far to the file.
  void flush();
  // Pushes everything written so far to the file and marks it complete (the end of a model).
  void commit();
  // Closes the file and cuts it back to its length at the last commit (empty without one), so that
  // the records of an unfinished model do not stay behind. Returns an empty string, or a message
  // when the file could not be cut back. Does nothing when the file is not open.
  std::string roll_back();
  // Pushes everything written so far to the file and closes it; throws atmo_error (status 2) when
  // either fails. A file system that writes back only when a file is closed (NFS and the like) can
  // report a failed write only here, so the end of a run closes its tables this way. Does nothing
  // when the file is not open.
  void close();
  // Cuts the file back to its length at the last commit and nothing else: async-signal-safe (it
  // only reads two atomics and calls ftruncate), for a handler that ends the process.
  void cut_back() const noexcept;
  bool is_open() const { return fd_.load() >= 0; }
  // The open file's descriptor, -1 when closed.
  int descriptor() const { return fd_.load(); }

 private:
  [[noreturn]] void fail(const std::string& what, int err) const;
  // Takes the exclusive lock of the regular file open on FD without waiting, then cuts it to
  // length 0; closes FD and throws atmo_error (status 2) when either fails.
  void lock_and_empty(int fd) const;
  static constexpr std::size_t BUFFER_BYTES = 64 * 1024;
  std::string path_;
  std::vector<unsigned char> pending_;  // framed records not yet written to the file
  std::atomic<int> fd_{-1};
  bool regular_ = false;                    // a regular file (only those are cut back)
  std::uintmax_t written_ = 0;              // bytes appended so far, framing included
  std::atomic<std::int64_t> committed_{0};  // bytes at the last commit
  static_assert(std::atomic<int>::is_always_lock_free &&
                    std::atomic<std::int64_t>::is_always_lock_free,
                "cut_back reads the descriptor and the length in a signal handler");
};

}  // namespace atmotab
