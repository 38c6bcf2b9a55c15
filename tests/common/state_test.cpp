// The run state and the layer workspaces start in their initial state whatever the storage they
// are made in held: every array is cleared by its constructor. (That a cache is formed again for a
// new model or depth count: the step tables of tests/opacity/elecop_test.cpp and coulff_test.cpp.)
#include "common/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "driver/workspace.h"
#include "opacity/workspace.h"
#include "populations/workspace.h"

namespace atmotab {
namespace {

struct Block {
  const char* name;
  std::span<const unsigned char> bytes;
};

template <class A>
Block block(const char* name, const A& a) {
  return {name, {reinterpret_cast<const unsigned char*>(a.data()), sizeof(*a.data()) * A::SIZE}};
}

bool all_zero(const Block& b) {
  return std::all_of(b.bytes.begin(), b.bytes.end(), [](unsigned char c) { return c == 0; });
}

// An object of type T made in storage that holds all-one bytes, and the storage released with it.
template <class T>
struct InDirtyStorage {
  std::unique_ptr<unsigned char[]> storage{new unsigned char[sizeof(T)]};
  T* object;
  InDirtyStorage() {
    std::memset(storage.get(), 0xFF, sizeof(T));
    object = ::new (storage.get()) T;
  }
  ~InDirtyStorage() { object->~T(); }
};

TEST(run_state, the_large_arrays_are_cleared_by_their_constructors) {
  // The largest arrays of the run records and of each workspace, which were once left to zero
  // storage: made in dirty storage, each must read 0.
  InDirtyStorage<TablesRec> tables;
  InDirtyStorage<XnmolRec> xnmol;
  InDirtyStorage<OpacityWorkspace> opacity;
  InDirtyStorage<PopulationsWorkspace> populations;
  InDirtyStorage<DriverWorkspace> driver;
  const TablesRec& T = *tables.object;
  const SahacRec& S = populations.object->SAHAC;
  const LineStrengthRec& L = driver.object->LS;
  const OpacityWorkspace& O = *opacity.object;
  for (const Block& b :
       {block("TABLES.XNFP", T.XNFP), block("TABLES.CONTINALL", T.CONTINALL),
        block("TABLES.XNFDOPMAX", T.XNFDOPMAX), block("XNMOL.XNMOL", xnmol.object->XNMOL),
        block("XNMOL.XNFPMOL", xnmol.object->XNFPMOL), block("SAHAC.KEY", S.KEY),
        block("SAHAC.PART", S.PART), block("SAHAC.RAT", S.RAT), block("SAHAC.LSUM", S.LSUM),
        block("LS.LSA", L.LSA), block("LS.LSR", L.LSR), block("LS.LSTILE", L.LSTILE),
        block("LS.NDOPMAX", L.NDOPMAX), block("HOP.XN.KEY", O.HOP.XN.KEY),
        block("HOP.XN.VAL", O.HOP.XN.VAL), block("HE1OP.W.VAL", O.HE1OP.W.VAL),
        block("COOLOP.SI1.SIG.VAL", O.COOLOP.SI1.SIG.VAL), block("KAPP.NCLEAR", O.KAPP.NCLEAR)})
    EXPECT_TRUE(all_zero(b)) << b.name;
}

TEST(run_state, a_new_run_starts_in_its_initial_state_however_often_runs_are_made) {
  std::ostringstream out;
  for (int round = 1; round <= 3; ++round) {
    auto run = make_run(out);
    EXPECT_TRUE(all_zero(block("TABLES.CONTINALL", run->TABLES.CONTINALL))) << round;
    EXPECT_TRUE(all_zero(block("SAHAC.RAT", sahac_cache(*run).RAT))) << round;
    EXPECT_EQ(run->IF.IFOP(IFOP_H1), 1);
    EXPECT_EQ(run->ITER.IFPRNT(MAXITER), 2);
    EXPECT_EQ(run->TEMP.ITEMP, 0);
    EXPECT_EQ(sahac_cache(*run).MODEL, ModelKey{});
    run->TABLES.CONTINALL.fill(-1.0);
    sahac_cache(*run).RAT.fill(-1.0);
    start_model(*run);
  }
}

TEST(run_state, two_runs_at_once_are_apart) {
  std::ostringstream out;
  auto a = make_run(out);
  auto b = make_run(out);
  a->TABLES.CONTINALL(NTAB_FREQ, 99) = 1.0;
  sahac_cache(*a).RAT(MAXD, 10, 99) = 2.0;
  hop_cache(*a).BOLT(NDEPTH, 15) = 3.0;
  line_strength_cache(*a).LSA(LineStrengthRec::LS_SLOTS, 99) = 4.0;
  EXPECT_EQ(b->TABLES.CONTINALL(NTAB_FREQ, 99), 0.0);
  EXPECT_EQ(sahac_cache(*b).RAT(MAXD, 10, 99), 0.0);
  EXPECT_EQ(hop_cache(*b).BOLT(NDEPTH, 15), 0.0);
  EXPECT_EQ(line_strength_cache(*b).LSA(LineStrengthRec::LS_SLOTS, 99), 0.0);
}

TEST(run_state, an_ordinary_array_is_cleared_whatever_its_storage_held) {
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
