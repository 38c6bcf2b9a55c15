// A long run of mixed models (hot and cool, deep and shallow, molecules on and off, non-LTE
// departures, re-grids on RHOX and on Rosseland depth, rescaling, grey models relying on the
// TEFF and GRAVITY of an earlier model) gives, model by model, the same table bytes as each model
// run alone: nothing a model leaves in the run state reaches a later one except the settings its
// cards made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "driver/atmotab.h"
#include "support/tools.h"

namespace atmotab {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

// An example deck without its BEGIN and END cards.
std::string body(const char* name) {
  std::string deck = read_file(std::string(ATMOTAB_SOURCE_DIR) + "/examples/" + name);
  for (const char* last : {"END\n", "BEGIN\n"}) {
    const std::size_t at = deck.rfind(last);
    EXPECT_NE(at, std::string::npos) << name;
    deck.erase(at);
  }
  return deck;
}

// Cards that undo what another example sets, so that each example deck is complete on its own.
constexpr const char* PLAIN = "LTE\nMOLECULES OFF\nOPACITY OFF HEMINUS HERAY\n";

// READ DEPARTURES for N depths, coefficients falling inwards (all differ from 1) and an NLTE card.
std::string departures(int n) {
  std::string cards = "READ DEPARTURES " + std::to_string(n) + "\n";
  char line[160];
  for (int j = 1; j <= n; ++j) {
    const double b = 0.5 + 0.01 * j;
    std::snprintf(line, sizeof line, "%d %.3f %.3f %.3f %.3f %.3f %.3f %.3f\n", j, b, b + 0.1,
                  b + 0.2, b + 0.3, b + 0.4, b + 0.5, 1.5 - 0.01 * j);
    cards += line;
  }
  return cards + "NLTE\n";
}

// RHOX n x1..xn: N values equally spaced in log10 RHOX from LG1 to LG2, several to a card.
std::string rhox_card(int n, double lg1, double lg2) {
  std::string cards = "RHOX " + std::to_string(n);
  char item[32];
  for (int j = 0; j < n; ++j) {
    std::snprintf(item, sizeof item, " %.5E", std::pow(10.0, lg1 + (lg2 - lg1) * j / (n - 1)));
    if (j % 5 == 0) cards += "\n";
    cards += item;
  }
  return cards + "\n";
}

struct Model {
  std::string cards;  // the cards of the model within the long run, BEGIN added
  std::string alone;  // the deck that gives the same model alone ("": the cards themselves)
};

struct Outcome {
  int status = -1;
  std::string table, maxima, errors;
};

Outcome run_deck(const std::string& deck) {
  TempDir dir;
  write_file(dir / "edges", "120.\n364.\n400.\n500.\n820.\n1640.\n0\n");
  std::istringstream cards(deck + "END\n");
  std::ostringstream listing, errors;
  Outcome out;
  out.status =
      atmotab_main({"--edges", (dir / "edges").string(), "--table", (dir / "fort.10").string(),
                    "--maxima", (dir / "fort.11").string(), "--molecules",
                    std::string(ATMOTAB_SOURCE_DIR) + "/data/molecules.dat"},
                   cards, listing, errors);
  out.table = read_file(dir / "fort.10");
  out.maxima = read_file(dir / "fort.11");
  out.errors = errors.str();
  return out;
}

TEST(mixed_run, every_model_of_a_long_run_equals_the_model_run_alone) {
  const std::string sun = std::string(PLAIN) + body("sun.deck");
  const std::string cool = std::string(PLAIN) + body("cool4000.deck");
  const std::string cool_mol = std::string(PLAIN) + body("cool4000_molecules.deck");
  // Molecules on without an LTE card: the departure coefficients are those left by the models
  // before, all exactly 1 when they were re-gridded from ones.
  const std::string cool_mol_inherit =
      "MOLECULES ON\nOPACITY OFF HEMINUS HERAY\n" + body("cool4000_molecules.deck");
  const std::string warm = std::string(PLAIN) + body("warm7750.deck");
  const std::string hot = std::string(PLAIN) + body("hot15000.deck");
  const std::string grey = std::string(PLAIN) + body("grey.deck");
  const std::vector<Model> models = {
      {sun + departures(56), ""},  // non-LTE over 56 depths
      {cool, ""},                  // LTE after it: every depth back to 1
      {hot, ""},
      {cool_mol, ""},
      {sun + "SCALE 40 -5.0 0.15\n", ""},  // a shallower model on Rosseland depth
      {cool_mol_inherit, ""},
      {warm + rhox_card(99, -2.5, 0.2), ""},  // deeper, 99 depths on RHOX
      {cool_mol_inherit, ""},
      // A grey model on the TEFF and GRAVITY of the model before.
      {"GREY 50 -6.0 0.15\n", cool_mol_inherit + "GREY 50 -6.0 0.15\n"},
      {grey, ""},
      {sun + departures(56), ""},
      {warm + "SCALE 30 -4.0 0.15 6500. 4.0\n", ""},  // rescaled to another TEFF and log g
      {sun, ""},
      // Rescaled from the TEFF of the sun's deck, read again.
      {"READ DECK" + sun.substr(sun.find("READ DECK") + 9) + "SCALE 45 -5.5 0.15 5000.\n",
       sun + "SCALE 45 -5.5 0.15 5000.\n"},
      {hot + rhox_card(20, -3.0, -0.5), ""},
      {cool_mol + "SCALE 40 -4.5 0.12\n", ""},
      {cool_mol_inherit, ""},
      {grey, ""},
  };
  std::string deck;
  std::string table_alone, maxima_alone;
  std::vector<std::size_t> table_ends, maxima_ends;  // where each model's records end
  for (const Model& m : models) {
    deck += m.cards + "BEGIN\n";
    const Outcome one = run_deck((m.alone.empty() ? m.cards : m.alone) + "BEGIN\n");
    ASSERT_EQ(one.status, 0) << one.errors << m.cards.substr(0, 200);
    table_alone += one.table;
    maxima_alone += one.maxima;
    table_ends.push_back(table_alone.size());
    maxima_ends.push_back(maxima_alone.size());
  }
  const Outcome all = run_deck(deck);
  ASSERT_EQ(all.status, 0) << all.errors;
  // The models (1 = first) whose records differ between the long run and the runs alone.
  const auto models_differing = [](const std::string& a, const std::string& b,
                                   const std::vector<std::size_t>& ends) {
    std::string list;
    std::size_t from = 0;
    for (std::size_t m = 0; m < ends.size(); ++m) {
      if (a.compare(from, ends[m] - from, b, from, ends[m] - from) != 0)
        list += " " + std::to_string(m + 1);
      from = ends[m];
    }
    return list;
  };
  EXPECT_EQ(all.table.size(), table_alone.size());
  EXPECT_EQ(all.maxima.size(), maxima_alone.size());
  EXPECT_EQ(models_differing(all.table, table_alone, table_ends), "") << "unit 10";
  EXPECT_EQ(models_differing(all.maxima, maxima_alone, maxima_ends), "") << "unit 11";
}

}  // namespace
}  // namespace atmotab
