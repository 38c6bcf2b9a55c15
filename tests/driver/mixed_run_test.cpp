// A long run of mixed models gives, model by model, the table bytes of each model run alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/tools.h"

namespace atmotab {
namespace {

const std::string SRC = ATMOTAB_SOURCE_DIR;

// An example deck without BEGIN and END, after cards that undo what the other examples set.
std::string body(const char* name, const char* first = "LTE\nMOLECULES OFF\n") {
  const std::string deck = testing::read_file(SRC + "/examples/" + name);
  return first + std::string("OPACITY OFF HEMINUS HERAY\n") + deck.substr(0, deck.rfind("BEGIN"));
}

// READ DEPARTURES for 56 depths (all coefficients differ from 1), then NLTE.
std::string departures() {
  std::string cards = "READ DEPARTURES 56\n";
  for (int j = 1; j <= 56; ++j) cards += std::to_string(j) + " 0.5 0.6 0.7 0.8 0.9 1.1 1.2\n";
  return cards + "NLTE\n";
}

// RHOX n x1..xn, equally spaced in log10 RHOX from LG1 to LG2.
std::string rhox_card(int n, double lg1, double lg2) {
  std::string cards = "RHOX " + std::to_string(n);
  char item[32];
  for (int j = 0; j < n; ++j) {
    std::snprintf(item, sizeof item, "%s%.5E", j % 5 ? " " : "\n",
                  std::pow(10.0, lg1 + (lg2 - lg1) * j / (n - 1)));
    cards += item;
  }
  return cards + "\n";
}

// Unit 10 and unit 11 of a run of DECK.
std::pair<std::string, std::string> tables_of(const std::string& deck) {
  testing::Program p;
  p.run(deck + "END\n", "120.\n364.\n400.\n500.\n820.\n1640.\n0\n", {},
        {"--molecules", SRC + "/data/molecules.dat"});
  EXPECT_EQ(p.status, 0) << p.errors.str();
  return {p.table(), p.maxima()};
}

TEST(mixed_run, every_model_of_a_long_run_equals_the_model_run_alone) {
  // Hot and cool, 20 to 99 depths, molecules on and off, non-LTE, re-grids and rescaling; models
  // without an LTE card keep the departure coefficients before them (exactly 1 after a re-grid of
  // ones), and those with only GREY or SCALE the TEFF and gravity of the deck before them.
  const std::string sun = body("sun.deck"), cool_mol = body("cool4000_molecules.deck");
  const std::string inherit = body("cool4000_molecules.deck", "MOLECULES ON\n");
  const std::string sun_deck = sun.substr(sun.find("READ DECK"));
  const std::vector<std::pair<std::string, std::string>> models = {
      // in the run; alone
      {sun + departures(), ""},
      {body("cool4000.deck"), ""},
      {body("hot15000.deck"), ""},
      {cool_mol, ""},
      {sun + "SCALE 40 -5.0 0.15\n", ""},
      {inherit, ""},
      {body("warm7750.deck") + rhox_card(99, -2.5, 0.2), ""},
      {inherit, ""},
      {"GREY 50 -6.0 0.15\n", inherit + "GREY 50 -6.0 0.15\n"},
      {body("grey.deck"), ""},
      {sun + departures(), ""},
      {body("warm7750.deck") + "SCALE 30 -4.0 0.15 6500. 4.0\n", ""},
      {sun, ""},
      {sun_deck + "SCALE 45 -5.5 0.15 5000.\n", sun + "SCALE 45 -5.5 0.15 5000.\n"},
      {body("hot15000.deck") + rhox_card(20, -3.0, -0.5), ""},
      {cool_mol + "SCALE 40 -4.5 0.12\n", ""},
      {inherit, ""},
      {body("grey.deck"), ""}};
  std::string deck, alone10, alone11;
  for (const auto& [cards, own] : models) {
    deck += cards + "BEGIN\n";
    const auto [t10, t11] = tables_of((own.empty() ? cards : own) + "BEGIN\n");
    alone10 += t10;
    alone11 += t11;
  }
  const auto [all10, all11] = tables_of(deck);
  for (const auto& [all, alone] : {std::pair(all10, alone10), std::pair(all11, alone11)}) {
    std::size_t k = 0;
    while (k < all.size() && k < alone.size() && all[k] == alone[k]) ++k;
    EXPECT_EQ(k, std::max(all.size(), alone.size())) << "the long run differs from byte " << k;
  }
}

}  // namespace
}  // namespace atmotab
