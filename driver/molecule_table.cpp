// The molecules of stage slot 6 of elements 40..99 in the output tables: codes (the atomic numbers
// of the constituents, two digits each after the first; .01 for a singly ionised molecule) and
// masses in atomic mass units.
#include "driver/molecule_table.h"

namespace atmotab {
namespace {

struct Molecule {
  double code;  // IDMOL
  double mass;  // MOMASS [amu]
};

// K = 1..60 in order: H2, CH, NH, OH, C2, CN, CO, N2, NO, O2, the hydrides, oxides and ions.
constexpr Molecule MOLECULES[NMOLTAB] = {
    {101, 2},          {106, 13},         {107, 15},         {108, 17},         {606, 24},
    {607, 26},         {608, 28},         {707, 28},         {708, 30},         {808, 32},
    {112, 25},         {113, 28},         {114, 29},         {812, 40},         {813, 43},
    {814, 44},         {116, 33},         {120, 41},         {816, 48},         {820, 56},
    {821, 61},         {822, 64},         {823, 67},         {103, 8},          {104, 10},
    {105, 12},         {109, 20},         {115, 32},         {117, 36},         {121, 46},
    {122, 49},         {123, 52},         {124, 53},         {125, 56},         {126, 57},
    {sp(106.01f), 13}, {sp(107.01f), 15}, {sp(108.01f), 17}, {sp(112.01f), 25}, {sp(113.01f), 28},
    {sp(114.01f), 29}, {sp(120.01f), 41}, {408, 25},         {508, 27},         {815, 47},
    {817, 51},         {824, 68},         {825, 71},         {826, 72},         {10108, 18},
    {60808, 44},       {10106, 14},       {60606, 36},       {127, 60},         {128, 59},
    {129, 64},         {827, 75},         {828, 74},         {829, 79},         {sp(608.01f), 28},
};

}  // namespace

void fill_molecule_table(TablesRec& tb) {
  for (int k = 1; k <= NMOLTAB; ++k) {
    tb.IDMOL(k) = MOLECULES[k - 1].code;
    tb.MOMASS(k) = MOLECULES[k - 1].mass;
  }
}

}  // namespace atmotab
