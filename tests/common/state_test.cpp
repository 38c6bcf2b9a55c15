// The run state starts in its initial state however often runs are made and dropped: the large
// arrays that are not cleared when a run is made (FreshArr) are zero because every run takes
// fresh storage, and the ordinary arrays are cleared by their constructor.
#include "common/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace atmotab {
namespace {

struct Block {
  const char* name;
  std::span<unsigned char> bytes;
};

template <class A>
Block block(const char* name, A& a) {
  return {name, {reinterpret_cast<unsigned char*>(a.data()), sizeof(*a.data()) * A::SIZE}};
}

// Every FreshArr of the run state.
std::vector<Block> uncleared(Run& r) {
  return {block("TABLES.XNFP", r.TABLES.XNFP),
          block("TABLES.CONTINALL", r.TABLES.CONTINALL),
          block("TABLES.XNFDOPMAX", r.TABLES.XNFDOPMAX),
          block("TABLES.LSA", r.TABLES.LSA),
          block("TABLES.LSR", r.TABLES.LSR),
          block("TABLES.LSTILE", r.TABLES.LSTILE),
          block("SAHAC.KEY", r.SAHAC.KEY),
          block("SAHAC.PART", r.SAHAC.PART),
          block("SAHAC.RAT", r.SAHAC.RAT),
          block("SAHAC.LSUM", r.SAHAC.LSUM),
          block("XNMOL.XNMOL", r.XNMOL.XNMOL),
          block("XNMOL.XNFPMOL", r.XNMOL.XNFPMOL)};
}

TEST(run_state, uncleared_arrays_are_zero_in_every_new_run) {
  // Each run is dirtied with all-one bytes before it is dropped: storage handed on from one run to
  // the next (a heap block reused without clearing) would show in the next one.
  std::ostringstream out;
  for (int round = 1; round <= 4; ++round) {
    auto run = make_run(out);
    for (const Block& b : uncleared(*run)) {
      EXPECT_TRUE(
          std::all_of(b.bytes.begin(), b.bytes.end(), [](unsigned char c) { return c == 0; }))
          << b.name << " in run " << round;
      std::memset(b.bytes.data(), 0xFF, b.bytes.size());
    }
    // The other records start as their constructors set them, not as the storage held them.
    EXPECT_EQ(run->IF.IFOP(IFOP_H1), 1);
    EXPECT_EQ(run->ITER.IFPRNT(MAXITER), 2);
    EXPECT_EQ(run->TEMP.ITEMP, 0);
    EXPECT_EQ(run->SAHAC.ITEMP, -1);
    run->TEMP.ITEMP = 7;
  }
}

TEST(run_state, two_runs_at_once_are_apart) {
  std::ostringstream out;
  auto a = make_run(out);
  auto b = make_run(out);
  a->TABLES.CONTINALL(NTAB_FREQ, 99) = 1.0;
  a->SAHAC.RAT(MAXD, 10, 99) = 2.0;
  EXPECT_EQ(b->TABLES.CONTINALL(NTAB_FREQ, 99), 0.0);
  EXPECT_EQ(b->SAHAC.RAT(MAXD, 10, 99), 0.0);
  const auto* pa = reinterpret_cast<const unsigned char*>(a.get());
  const auto* pb = reinterpret_cast<const unsigned char*>(b.get());
  EXPECT_TRUE(pb >= pa + sizeof(atmotab::Run) || pa >= pb + sizeof(atmotab::Run));
}

TEST(run_state, an_ordinary_array_is_cleared_whatever_its_storage_held) {
  // Only the tagged members rely on fresh storage; an Arr made in used storage is zeroed.
  alignas(Arr<double, 5, 3>) unsigned char d[sizeof(Arr<double, 5, 3>)];
  alignas(Arr<float, 7>) unsigned char f[sizeof(Arr<float, 7>)];
  alignas(Arr<int, 2, 2, 2>) unsigned char i[sizeof(Arr<int, 2, 2, 2>)];
  std::memset(d, 0xAB, sizeof d);
  std::memset(f, 0xAB, sizeof f);
  std::memset(i, 0xAB, sizeof i);
  auto* ad = new (d) Arr<double, 5, 3>;
  auto* af = new (f) Arr<float, 7>;
  auto* ai = new (i) Arr<int, 2, 2, 2>;
  for (double x : *ad) EXPECT_EQ(x, 0.0);
  for (float x : *af) EXPECT_EQ(x, 0.0f);
  for (int x : *ai) EXPECT_EQ(x, 0);
}

}  // namespace
}  // namespace atmotab
