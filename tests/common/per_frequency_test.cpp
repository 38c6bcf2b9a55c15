// A per-frequency slot returns its values only for the frequency they were formed for, and is
// keyed only once they are all written.
#include "common/per_frequency.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace atmotab {
namespace {

struct Former {
  int calls = 0;
  double base = 0;
  void operator()(double* v) {
    ++calls;
    for (int k = 0; k < 3; ++k) v[k] = base + k;
  }
};

TEST(per_frequency, a_slot_answers_only_for_its_frequency) {
  auto pf = std::make_unique<PerFrequency<3>>();
  double scratch[3] = {};
  struct Case {
    int I;
    double FREQ;
    double base;
    int calls;  // formations so far
    const char* why;
  };
  const Case cases[] = {
      {7, 1e15, 10, 1, "first call: formed"},
      {7, 1e15, 99, 1, "again: held values, not formed"},
      {7, 2e15, 20, 2, "another frequency at the same index: formed anew"},
      {8, 1e15, 30, 3, "the first frequency at another index: its own slot"},
      {0, 1e15, 40, 4, "not one of the set's: formed every time"},
      {MAXFREQ + 1, 1e15, 50, 5, "beyond the set: formed every time"},
      {9, 0.0, 60, 6, "no frequency: never held"},
      {9, 0.0, 70, 7, "no frequency again"},
      {MAXFREQ, 3e15, 80, 8, "the last slot"},
      {MAXFREQ, 3e15, 0, 8, "the last slot again"},
  };
  Former form;
  for (const Case& c : cases) {
    form.base = c.base;
    const double* v = pf->values(c.I, c.FREQ, scratch, form);
    EXPECT_EQ(form.calls, c.calls) << c.why;
    const bool slot = c.I >= 1 && c.I <= MAXFREQ && c.FREQ > 0;
    EXPECT_EQ(v == scratch, !slot) << c.why;
  }
  // The values held are those of the formation that filled the slot.
  form.base = -1;
  EXPECT_EQ(pf->values(7, 2e15, scratch, form)[1], 21.0);
  EXPECT_EQ(pf->values(8, 1e15, scratch, form)[2], 32.0);
  EXPECT_EQ(pf->values(MAXFREQ, 3e15, scratch, form)[0], 80.0);
  EXPECT_EQ(form.calls, 8);
}

TEST(per_frequency, a_formation_cut_short_leaves_the_slot_holding_nothing) {
  auto pf = std::make_unique<PerFrequency<3>>();
  double scratch[3] = {};
  Former form;
  form.base = 1;
  pf->values(5, 1e15, scratch, form);
  // A formation for another frequency fails after writing part of the slot: neither frequency
  // may be answered from it afterwards.
  auto failing = [](double* v) {
    v[0] = -7;
    throw std::runtime_error("cut short");
  };
  EXPECT_THROW(pf->values(5, 2e15, scratch, failing), std::runtime_error);
  EXPECT_EQ(pf->KEY(5), 0.0);
  form.base = 2;
  EXPECT_EQ(pf->values(5, 2e15, scratch, form)[0], 2.0);
  EXPECT_EQ(form.calls, 2);
  form.base = 3;
  EXPECT_EQ(pf->values(5, 1e15, scratch, form)[0], 3.0);
  EXPECT_EQ(form.calls, 3);
}

}  // namespace
}  // namespace atmotab
