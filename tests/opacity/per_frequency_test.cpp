// The frequency-only values that the sources keep per frequency of the set across the models of a
// run (hop's level cross-sections, he1op's cross-section factors, the cool atoms' row
// cross-sections): a run that has kept them must give, bit for bit, what a fresh run forms, when
// the next model differs and when the frequency set changes under the same indices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/state.h"
#include "driver/edges.h"
#include "driver/tabulate.h"
#include "input/readin.h"
#include "opacity/kapp.h"
#include "opacity/setfreq.h"
#include "populations/pftables.h"

namespace atmotab {
namespace {

const std::string EXAMPLES = std::string(ATMOTAB_SOURCE_DIR) + "/examples/";

struct Session {
  std::ostringstream listing;
  std::unique_ptr<Run> run = make_run(listing);
  Session() {
    std::ifstream edges(EXAMPLES + "edges.txt");
    run->UNITS.edges = &edges;
    read_edge_list(*run);
    run->UNITS.edges = nullptr;
    load_pf_tables(*run);
  }
  // The model of DECK, the next model counter, every switch on.
  void model(const char* deck) {
    std::ifstream cards(EXAMPLES + deck);
    run->UNITS.cards = &cards;
    ASSERT_TRUE(readin(*run)) << deck;
    run->UNITS.cards = nullptr;
    apply_model_overrides(*run);
    start_model(*run);
    fill_element_records(*run);
    for (int i = 1; i <= NIFOP; ++i) run->IF.IFOP(i) = 1;
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
    for (const OpacityRow& row : kapp_rows(r)) {
      add(row.absorption);
      add(row.source);
      add(row.scattering);
    }
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
  Session kept;
  kept.model("sun.deck");
  for (int i = 1; i <= NF; ++i) kept.opacity(setA[i], i);
  kept.model("cool4000.deck");
  Session fresh;
  fresh.model("cool4000.deck");
  struct Case {
    const char* what;
    const double* set;
  };
  for (const Case& c :
       {Case{"same set, next model", setA}, Case{"new set", setB}, Case{"first set again", setA}}) {
    int differ = 0;
    for (int i = 1; i <= NF; ++i)
      if (!same_bits(kept.opacity(c.set[i], i), fresh.opacity(c.set[i], 0)) && ++differ <= 3)
        ADD_FAILURE() << c.what << ": " << c.set[i] << " Hz, index " << i;
    EXPECT_EQ(differ, 0) << c.what;
  }
}

}  // namespace
}  // namespace atmotab
