// The 64 KB output buffer of the listing: every byte reaches the file in order, whatever the mix
// of small and large writes, by the flush at the latest; a descriptor that refuses the bytes
// makes the stream bad.
#include "fortio/fd_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <ostream>
#include <random>
#include <string>

#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

TEST(fd_output, bytes_arrive_in_order_across_buffer_sizes) {
  TempDir dir;
  const std::string path = (dir / "out").string();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::string expected;
  {
    FdOutputBuffer buf(fd);
    std::ostream out(&buf);
    std::mt19937 rng(3);
    // Pieces from one character to three buffers, as characters, strings and writes.
    const std::size_t sizes[] = {1,
                                 7,
                                 FdOutputBuffer::SIZE - 3,
                                 2,
                                 100000,
                                 FdOutputBuffer::SIZE,
                                 5,
                                 3 * FdOutputBuffer::SIZE + 11,
                                 1};
    for (std::size_t n : sizes) {
      std::string piece(n, ' ');
      for (char& c : piece) c = static_cast<char>('a' + rng() % 26);
      if (n == 1)
        out.put(piece[0]);
      else
        out.write(piece.data(), static_cast<std::streamsize>(n));
      expected += piece;
    }
    out << 12345 << '\n';
    expected += "12345\n";
    out.flush();
    EXPECT_TRUE(out.good());
    EXPECT_EQ(testing::read_file(path), expected);  // all there at the flush
    out << "tail";
    expected += "tail";
  }  // the destructor writes the rest
  ::close(fd);
  EXPECT_EQ(testing::read_file(path), expected);
}

TEST(fd_output, refused_bytes_make_the_stream_bad) {
  const int fd = ::open("/dev/full", O_WRONLY);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  {
    FdOutputBuffer buf(fd);
    std::ostream out(&buf);
    out << "a line\n";
    EXPECT_TRUE(out.good());  // still in the buffer
    out.flush();
    EXPECT_TRUE(out.bad());
    std::ostream big(&buf);
    const std::string block(2 * FdOutputBuffer::SIZE, 'x');
    big.write(block.data(), static_cast<std::streamsize>(block.size()));
    EXPECT_TRUE(big.bad());
  }
  ::close(fd);
}

}  // namespace
}  // namespace atmotab
