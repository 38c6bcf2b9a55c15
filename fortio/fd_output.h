// An output stream buffer over a file descriptor, 64 KB at a time. The listing on standard output
// runs to a few megabytes per model; the stream the C++ library sets up on standard output passes
// it on 8 KB at a time, and each write is a system call whose fixed cost is then a visible part of
// a model. Everything buffered reaches the descriptor at a flush (std::flush, the stream's
// destructor) or when the buffer is full.
#pragma once

#include <cstddef>
#include <streambuf>
#include <vector>

namespace atmotab {

class FdOutputBuffer : public std::streambuf {
 public:
  static constexpr std::size_t SIZE = std::size_t{1} << 16;

  // FD stays open; the caller owns it.
  explicit FdOutputBuffer(int fd);
  // Writes what is left; a failure here goes unreported (flush first to see it).
  ~FdOutputBuffer() override;
  FdOutputBuffer(const FdOutputBuffer&) = delete;
  FdOutputBuffer& operator=(const FdOutputBuffer&) = delete;

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  // Writes the buffered bytes; false (and the buffer dropped) when the descriptor refuses them.
  bool drain();
  bool write_all(const char* p, std::size_t n);
  int fd_;
  std::vector<char> buf_;
};

}  // namespace atmotab
