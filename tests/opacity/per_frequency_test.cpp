// The frequency-only values that the sources keep per frequency of the set across the models of a
// run (hop's level cross-sections, he1op's cross-section factors, the cool atoms' row
// cross-sections): a run that has kept them must give, bit for bit, what a fresh run forms, when
// the next model differs and when the frequency set changes under the same indices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "support/bundled_model.h"

namespace atmotab {
namespace {

struct Session {
  std::ostringstream listing;
  std::unique_ptr<Run> run = testing::run_with_examples_edges(listing);
  // The model of DECK, the next model counter, every switch on (XCONT as XCONT_ON says: on, it
  // takes the place of the cool-metal atoms and the intermediate metals).
  void model(const char* deck, bool xcont_on) {
    ASSERT_TRUE(testing::read_example_model(*run, deck));
    for (int i = 1; i <= NIFOP; ++i) run->IF.IFOP(i) = 1;
    run->IF.IFOP(IFOP_XCONT) = xcont_on ? 1 : 0;
  }
  // Every array of kapp's rows and the totals at NU, index I of the set (0: none), depth by depth.
  std::vector<double> opacity(double nu, int i) {
    Run& r = *run;
    setfreq(r, nu, i);
    int NSTEPS = 0;
    double STEPWT = 0;
    kapp(r, 1, NSTEPS, STEPWT);
    std::vector<double> out;
    auto add = [&](const Dep* a) {
      if (a != nullptr) out.insert(out.end(), a->data(), a->data() + r.RHOX.NRHOX);
    };
    for (const OpacitySource& row : kapp_sources()) {
      for (const SourceArray& a : row.written()) {
        add(&a.array(r));
        if (a.source != nullptr) add(&a.source(r));
      }
    }
    add(&r.FREQ.BNU);
    add(&r.OPTOT.ACONT);
    add(&r.OPTOT.SCONT);
    add(&r.OPTOT.SIGMAC);
    return out;
  }
};

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(per_frequency, kept_values_give_the_fresh_run_for_a_new_model_and_a_new_set) {
  // From the far ultraviolet (He I, hydrogen Lyman) to the infrared, where each kept source runs.
  constexpr int NF = 40;
  double setA[NF + 1], setB[NF + 1];
  for (int i = 1; i <= NF; ++i) {
    setA[i] = 3e13 * std::pow(1e3, (i - 1) / (NF - 1.0));
    setB[i] = setA[i] * 1.07;  // another set: the same indices, other frequencies
  }
  for (bool xcont_on : {false, true}) {
    Session kept;
    kept.model("sun.deck", xcont_on);
    for (int i = 1; i <= NF; ++i) kept.opacity(setA[i], i);
    kept.model("cool4000.deck", xcont_on);
    Session fresh;
    fresh.model("cool4000.deck", xcont_on);
    struct Case {
      const char* what;
      const double* set;
    };
    for (const Case& c : {Case{"same set, next model", setA}, Case{"new set", setB},
                          Case{"first set again", setA}}) {
      int differ = 0;
      for (int i = 1; i <= NF; ++i)
        if (!same_bits(kept.opacity(c.set[i], i), fresh.opacity(c.set[i], 0)) && ++differ <= 3)
          ADD_FAILURE() << c.what << ": " << c.set[i] << " Hz, index " << i << ", XCONT "
                        << xcont_on;
      EXPECT_EQ(differ, 0) << c.what << ", XCONT " << xcont_on;
    }
  }
}

}  // namespace
}  // namespace atmotab
