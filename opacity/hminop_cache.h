// The private state of hminop (opacity/hminop.cpp): the free-free table in logarithmic form (once
// per run) and the per-model H-minus density. Held in the opacity workspace (opacity/workspace.h).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful).
#pragma once

#include "common/array.h"
#include "common/elements.h"
#include "common/model_key.h"

namespace atmotab {

struct Run;

struct HminopRec {
  Arr<double, 22, 11> FFLOG;  // FFLOG(I,T)  ln of the free-free coefficient per H atom and
                              //             electron [1e-26 cm^5] at wavelength I, theta T
  Arr<double, 22> WFFLOG;     // WFFLOG(I)   ln of wavelength I of the free-free table [nm]
  bool FFREADY = false;       // FFREADY     true once FFLOG and WFFLOG are filled
  ModelKey MODEL;             // MODEL       model of the fields below (common/model_key.h)
  Dep THETA;                  // THETA(J)    5040/T(J)
  Dep XHMIN;                  // XHMIN(J)    H-minus number density [cm^-3]
  Arr<int, NDEPTH> ITHETA;    // ITHETA(J)   upper theta node of the free-free interpolation
  Dep DTHETA;                 // DTHETA(J)   THETA(J) minus theta node ITHETA(J) - 1
  int ITLO = 11;              // ITLO        smallest ITHETA(J) of the model
  int ITHI = 2;               // ITHI        largest ITHETA(J) of the model
  bool BMIN1 = false;         // BMIN1       every BMIN(J) of the model is 1 (H-minus in LTE)
};

HminopRec& hminop_cache(Run& run);

}  // namespace atmotab
