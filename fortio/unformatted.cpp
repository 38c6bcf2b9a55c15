#include "fortio/unformatted.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "fortio/error.h"

static_assert(
    std::endian::native == std::endian::little,
    "unformatted records are written in the machine's byte order, which must be little-endian");

namespace atmotab {

void Record::put(const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  bytes_.insert(bytes_.end(), b, b + n);
}

Record& Record::i4(std::int32_t v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::r8(double v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::r4(float v) {
  put(&v, sizeof v);
  return *this;
}

Record& Record::chars8(const char* p, int n) {
  for (int k = 0; k < n; ++k) {
    const char word[8] = {p[k], ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    put(word, sizeof word);
  }
  return *this;
}

namespace {

// Writes all N bytes of P to FD, across short writes and interruptions; false on an error.
bool write_all(int fd, const void* p, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(p);
  while (n > 0) {
    const ssize_t k = ::write(fd, b, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    b += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

// Writes the N pieces of V to FD in order, across short writes and interruptions; false on an
// error. V is consumed.
bool writev_all(int fd, iovec* v, int n) {
  while (n > 0) {
    const ssize_t k = ::writev(fd, v, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    auto left = static_cast<std::size_t>(k);
    for (; n > 0 && left >= v->iov_len; ++v, --n) left -= v->iov_len;
    if (n > 0) {
      v->iov_base = static_cast<unsigned char*>(v->iov_base) + left;
      v->iov_len -= left;
    }
  }
  return true;
}

}  // namespace

Unformatted::~Unformatted() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return;
  // Records not yet pushed reach the file as they would have without the buffer; an error here
  // has no one left to report to.
  (void)write_all(fd, pending_.data(), pending_.size());
  ::close(fd);
}

void Unformatted::fail(const std::string& what, int err) const {
  const std::string reason = err != 0 ? std::string(": ") + std::strerror(err) : std::string();
  throw atmo_error(EXIT_IO, "unformatted", what + " '" + path_ + "'" + reason);
}

bool lock_exclusive(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  return errno == ENOSYS || errno == EOPNOTSUPP || errno == ENOLCK;
}

void Unformatted::lock_and_empty(int fd) const {
  if (!lock_exclusive(fd)) {
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK)
      throw atmo_error(EXIT_IO, "unformatted",
                       "'" + path_ +
                           "' is locked: another run holds it and writes its tables there; give "
                           "this run other table files (--table, --maxima)");
    fail("cannot lock", err);
  }
  if (::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    fail("cannot cut to length 0", err);
  }
}

void Unformatted::open() {
  if (is_open()) return;
  // Opened without O_TRUNC: a regular file is cut to length 0 only once this run holds its lock,
  // so that a second run given the same file stops without touching the first one's models.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) fail("cannot create", errno);
  struct stat st;
  regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (regular_) lock_and_empty(fd);
  written_ = 0;
  committed_.store(0);
  pending_.reserve(BUFFER_BYTES);  // never more: a record that would fill it goes out with it
  fd_.store(fd);
}

void Unformatted::write(const Record& rec) { write(rec.bytes().data(), rec.size()); }

void Unformatted::write(const void* data, std::size_t n) {
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw atmo_error(EXIT_IO, "unformatted", "record too long for a 4-byte length marker");
  open();
  const auto len = static_cast<std::int32_t>(n);
  const auto* marker = reinterpret_cast<const unsigned char*>(&len);
  written_ += n + 2 * sizeof len;
  if (pending_.size() + n + 2 * sizeof len >= BUFFER_BYTES) {
    // The buffer would be pushed at once: the record goes out with it, straight from the
    // caller's array, without a copy through the buffer (whose pages a large record would
    // otherwise fault in).
    iovec v[4] = {{pending_.data(), pending_.size()},
                  {const_cast<unsigned char*>(marker), sizeof len},
                  {const_cast<void*>(data), n},
                  {const_cast<unsigned char*>(marker), sizeof len}};
    const bool ok = writev_all(fd_.load(), v, 4);
    const int err = errno;
    pending_.clear();
    if (!ok) fail("cannot write", err);
    return;
  }
  const auto* b = static_cast<const unsigned char*>(data);
  pending_.insert(pending_.end(), marker, marker + sizeof len);
  pending_.insert(pending_.end(), b, b + n);
  pending_.insert(pending_.end(), marker, marker + sizeof len);
}

void Unformatted::flush() {
  if (pending_.empty() || !is_open()) return;
  const bool ok = write_all(fd_.load(), pending_.data(), pending_.size());
  const int err = errno;
  pending_.clear();
  if (!ok) fail("cannot write", err);
}

void Unformatted::commit() {
  flush();
  committed_.store(static_cast<std::int64_t>(written_));
}

void Unformatted::close() {
  flush();
  const int fd = fd_.exchange(-1);
  if (fd >= 0 && ::close(fd) != 0)
    fail("cannot close (the file may lack records of finished models)", errno);
}

std::string Unformatted::roll_back() {
  pending_.clear();  // the unfinished model's records, never to reach the file
  const int fd = fd_.exchange(-1);
  if (fd < 0) return {};
  std::string trouble;
  if (regular_ && ::ftruncate(fd, static_cast<off_t>(committed_.load())) != 0)
    trouble = "cannot cut '" + path_ + "' back to its complete records: " + std::strerror(errno);
  ::close(fd);
  return trouble;
}

void Unformatted::cut_back() const noexcept {
  const int fd = fd_.load();
  if (fd >= 0 && regular_) (void)::ftruncate(fd, static_cast<off_t>(committed_.load()));
}

}  // namespace atmotab
