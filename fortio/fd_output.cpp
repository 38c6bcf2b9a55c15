#include "fortio/fd_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace atmotab {

FdOutputBuffer::FdOutputBuffer(int fd) : fd_(fd), buf_(SIZE) {
  setp(buf_.data(), buf_.data() + buf_.size());
}

FdOutputBuffer::~FdOutputBuffer() { drain(); }

bool FdOutputBuffer::write_all(const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(fd_, p, n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    p += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

bool FdOutputBuffer::drain() {
  const bool ok = write_all(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(buf_.data(), buf_.data() + buf_.size());
  return ok;
}

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize FdOutputBuffer::xsputn(const char* s, std::streamsize n) {
  const auto count = static_cast<std::size_t>(n);
  const auto room = static_cast<std::size_t>(epptr() - pptr());
  if (count <= room) {
    std::memcpy(pptr(), s, count);
    pbump(static_cast<int>(count));
    return n;
  }
  // Fill the buffer, pass it on; what is left either goes straight to the descriptor (a whole
  // buffer or more) or starts the next buffer.
  std::memcpy(pptr(), s, room);
  pbump(static_cast<int>(room));
  if (!drain()) return static_cast<std::streamsize>(room);
  const std::size_t rest = count - room;
  if (rest >= buf_.size())
    return write_all(s + room, rest) ? n : static_cast<std::streamsize>(room);
  std::memcpy(pptr(), s + room, rest);
  pbump(static_cast<int>(rest));
  return n;
}

int FdOutputBuffer::sync() { return drain() ? 0 : -1; }

}  // namespace atmotab
