// The opacity workspace: the private state of every opacity source, one member per source's
// cache, each declared beside its source (opacity/<source>_cache.h with its accessor). The run
// holds it (Run::OPACITY_WS) and makes it at the first access (opacity/workspace.cpp); only that
// file and tests that look at several caches at once include this header, so that changing one
// source's cache rebuilds that source, this workspace and their tests alone.
#pragma once

#include "common/state.h"
#include "opacity/coolop_cache.h"
#include "opacity/coulff_cache.h"
#include "opacity/elecop_cache.h"
#include "opacity/h2collop_cache.h"
#include "opacity/h2op_cache.h"
#include "opacity/he1op_cache.h"
#include "opacity/he2op_cache.h"
#include "opacity/hminop_cache.h"
#include "opacity/hop_cache.h"
#include "opacity/hotop_cache.h"
#include "opacity/hydrogen_dissolved_cache.h"
#include "opacity/kapp_cache.h"
#include "opacity/lukeop_cache.h"
#include "opacity/xcont_cache.h"

namespace atmotab {

struct OpacityWorkspace : PagedStorage {
  XkarsasRec XKARSAS;    // xkarsas  level photoionization tables, once per run
  HopRec HOP;            // hop      temperature-only factors, per model
  HdissRec HDISS;        // hydrogen_dissolved  threshold cross-sections, per-model factors
  CoulffRec COULFF;      // coulff   free-free Gaunt factor of charge 1, per frequency
  HminopRec HMINOP;      // hminop   free-free table (per run) and H-minus density (per model)
  H2opRec H2OP;          // h2plop, h2raop  per-model quantities
  H2collopRec H2COLLOP;  // h2collop tables (per run) and H2 density (per model)
  He1opRec HE1OP;        // he1op    per-model Boltzmann factors and constants
  He2opRec HE2OP;        // he2op    per-model Boltzmann factors and constants
  CoolopRec COOLOP;      // cool metals: Boltzmann factors, CH and OH tables and columns
  LukeopRec LUKEOP;      // intermediate metals: populations and per-routine caches
  HotopRec HOTOP;        // hot metals: populations and Boltzmann factors
  XcontRec XCONT;        // xcont    metal photoionization: n/U, weights (per model), columns
  KappRec KAPP;          // kapp     the source arrays known to be clear
  ElecopRec ELECOP;      // elecop   electron scattering of the current model
};

// The run's opacity workspace, made at the first call.
OpacityWorkspace& opacity_workspace(Run& run);

}  // namespace atmotab
