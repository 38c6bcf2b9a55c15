// The private state of hotop (opacity/hotop.cpp): the ion populations and Boltzmann factors of
// the model, formed at its first call of a model. Held in the opacity workspace
// (opacity/workspace.h).
#pragma once

#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

constexpr int NHOTROW = 60;  // hot-metal levels
constexpr int NHOTION = 21;  // hot-metal ion stages

struct HotopRec {
  ModelKey MODEL;                        // MODEL         model of the two tables below
  Arr<double, NDEPTH, NHOTION> XNFPHOT;  // XNFPHOT(J,ID) n/U of ion ID: 1-4 C I-IV, 5-9 N I-V,
                                         //               10-15 O I-VI, 16-21 Ne I-VI
  Arr<double, NDEPTH, NHOTROW> BOLTHOT;  // BOLTHOT(J,I)  exp(-E(I)/kT) of level I
};

HotopRec& hotop_cache(Run& run);

}  // namespace atmotab
