// Unformatted sequential records read back by gfortran with plain READ statements.
#include "fortio/unformatted.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "fortio/error.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::TempDir;

TEST(unformatted, record_framing_bytes) {
  TempDir dir;
  Unformatted f((dir / "fort.10").string());
  EXPECT_FALSE(f.is_open());  // nothing is created before the first write
  EXPECT_FALSE(std::filesystem::exists(dir / "fort.10"));
  f.write(Record().i4(7).r4(1.5f));
  f.flush();
  const std::string bytes = testing::read_file(dir / "fort.10");
  ASSERT_EQ(bytes.size(), 16u);
  const unsigned char expected[16] = {8, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0xc0, 0x3f, 8, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data(), expected, 16), 0);
}

TEST(unformatted, gfortran_reads_the_records_back) {
  if (!testing::have_gfortran()) GTEST_SKIP() << "gfortran not found";
  TempDir dir;
  {
    Unformatted f((dir / "fort.10").string());
    const char title[] = "SOLAR MODEL";
    f.write(Record().i4(72).r8(5777.25).r8(-0.0).chars8(title, 11));
    const double freq[3] = {3.0e15, 2.5e-300, -1.0 / 3.0};
    f.write(Record().i4(3).r8(freq, freq + 3));
    const double singles[4] = {1.0, 3.4028234e38, 1.0e-30, -7.25};
    f.write(Record().r4(singles, singles + 4));
    f.write(Record());  // an empty record
    f.flush();
  }
  const std::string out = testing::run_fortran(dir, R"(
program readback
  implicit none
  integer :: n, m
  double precision :: teff, glog, freq(3)
  character(len=8) :: title(11)
  real :: s(4)
  open(10, file='fort.10', form='unformatted', access='sequential', status='old')
  read(10) n, teff, glog, title
  read(10) m, freq
  read(10) s
  read(10)
  write(*,'(I4,2ES26.17E3)') n, teff, glog
  write(*,'(11A1,A)') title(1:11)(1:1), '|'
  write(*,'(A)') title(5)
  write(*,'(I2,3ES26.17E3)') m, freq
  write(*,'(4ES16.8E2)') s
end program
)");
  EXPECT_EQ(out,
            "  72  5.77725000000000000E+003 -0.00000000000000000E+000\n"
            "SOLAR MODEL|\n"
            "R       \n"
            " 3  3.00000000000000000E+015  2.49999999999999998E-300 -3.33333333333333315E-001\n"
            "  1.00000000E+00  3.40282347E+38  1.00000000E-30 -7.25000000E+00\n");
}

TEST(unformatted, roll_back_keeps_the_committed_records_only) {
  TempDir dir;
  {
    // Two records (12 + 16 bytes with framing) committed, a third one (12 bytes) not.
    Unformatted f((dir / "a").string());
    f.write(Record().i4(1));
    f.write(Record().r8(2.0));
    f.commit();
    EXPECT_EQ(std::filesystem::file_size(dir / "a"), 28u);
    f.write(Record().i4(3));
    EXPECT_EQ(f.roll_back(), "");
    EXPECT_FALSE(f.is_open());
  }
  EXPECT_EQ(std::filesystem::file_size(dir / "a"), 28u);
  const std::string bytes = testing::read_file(dir / "a");
  const unsigned char tail[4] = {8, 0, 0, 0};  // the closing length of the second record
  EXPECT_EQ(std::memcmp(bytes.data() + 24, tail, 4), 0);
  {
    // Without a commit nothing stays; without a write nothing is created.
    Unformatted g((dir / "b").string());
    g.write(Record().i4(1));
    EXPECT_EQ(g.roll_back(), "");
    Unformatted h((dir / "c").string());
    EXPECT_EQ(h.roll_back(), "");
  }
  EXPECT_EQ(std::filesystem::file_size(dir / "b"), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir / "c"));
}

TEST(unformatted, records_reach_the_file_in_large_writes_and_all_of_them_in_the_end) {
  TempDir dir;
  const auto size = [&](const char* name) { return std::filesystem::file_size(dir / name); };
  {
    Unformatted f((dir / "a").string());
    f.write(Record().i4(1));
    f.write(Record().r8(2.0));
    EXPECT_EQ(size("a"), 0u);  // still in the buffer
    f.commit();
    EXPECT_EQ(size("a"), 28u);
    // A record larger than the buffer goes out at once, with what was gathered before it.
    f.write(Record().i4(3));
    const std::vector<double> big(10000, 1.5);
    f.write(Record().r8(big.data(), big.data() + big.size()));
    EXPECT_EQ(size("a"), 28u + 12u + 80008u);
    f.write(Record().i4(4));
    EXPECT_EQ(size("a"), 28u + 12u + 80008u);
    // The object going writes what is left, committed or not, as an unbuffered file would hold.
  }
  EXPECT_EQ(size("a"), 28u + 12u + 80008u + 12u);
  const std::string bytes = testing::read_file(dir / "a");
  const unsigned char last[12] = {4, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes.data() + bytes.size() - 12, last, 12), 0);
}

// A record given as raw bytes is framed as one built item by item, and goes out with the buffer
// exactly when the framed record would fill it (64 KB): a 12-byte record, then one of N bytes.
TEST(unformatted, raw_record_fills_the_buffer_at_the_same_byte_as_a_built_one) {
  struct Case {
    std::size_t n;  // bytes of the second record, whole singles
    bool at_once;   // the buffer goes out with it
  };
  constexpr Case cases[] = {{0, false}, {65512, false}, {65516, true}, {200000, true}};
  TempDir dir;
  for (const Case& c : cases) {
    std::vector<float> data(c.n / 4);
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = 0.5f * static_cast<float>(k) - 3;
    std::string files[2];
    for (int raw = 0; raw <= 1; ++raw) {
      const auto path = dir / ("f" + std::to_string(raw));
      {
        Unformatted f(path.string());
        f.write(Record().i4(5));
        if (raw == 1)
          f.write(data.data(), c.n);
        else
          f.write(Record().r4(data.data(), data.data() + data.size()));
        EXPECT_EQ(std::filesystem::file_size(path), c.at_once ? 12 + c.n + 8 : 0u) << c.n;
        f.commit();
      }
      files[raw] = testing::read_file(path);
    }
    EXPECT_EQ(files[0], files[1]) << c.n;
    ASSERT_EQ(files[1].size(), 12 + c.n + 8);
    const auto len = static_cast<std::uint32_t>(c.n);
    EXPECT_EQ(std::memcmp(files[1].data() + 12, &len, 4), 0);
    if (c.n > 0) {
      EXPECT_EQ(std::memcmp(files[1].data() + 16, data.data(), c.n), 0);
    }
    EXPECT_EQ(std::memcmp(files[1].data() + 16 + c.n, &len, 4), 0);
  }
}

TEST(unformatted, unwritable_path_is_an_io_error) {
  Unformatted f("/nonexistent-directory/fort.10");
  try {
    f.write(Record().i4(1));
    FAIL() << "no error";
  } catch (const atmo_error& e) {
    EXPECT_EQ(e.status(), EXIT_IO);
    EXPECT_NE(std::string(e.what()).find("/nonexistent-directory/fort.10"), std::string::npos);
  }
}

TEST(unformatted, full_disk_is_an_io_error) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Unformatted f("/dev/full");
  EXPECT_THROW(
      {
        f.write(Record().i4(1));
        f.flush();
      },
      atmo_error);
}

}  // namespace
}  // namespace atmotab
