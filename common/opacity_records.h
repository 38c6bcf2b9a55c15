// Records of the continuous-opacity calculation: the per-source arrays that no element record
// holds (OPS), the summed opacities and source functions (OPTOT) and the total extinction (ABTOT).
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful). Absorption (A...)
// and scattering (SIG...) coefficients are per gram of stellar material [cm^2 g^-1], absorptions
// already corrected for stimulated emission; source functions (S...) are in the units of the
// Planck function BNU [erg s^-1 cm^-2 Hz^-1 sr^-1].
//
// Layout: each record is its fields in the order listed, without gaps (pinned below).
#pragma once

#include <cstddef>

#include "common/elements.h"

namespace atmotab {

// OPS: per-source arrays; cleared by kapp at every frequency before the sources run.
struct OpsRec {
  Dep ACOOL;   // ACOOL(J)   cool-metal block C I..Fe I, H2 CIA, CH, OH; no total reads it
  Dep ALUKE;   // ALUKE(J)   intermediate ("Luke") metals absorption
  Dep AHOT;    // AHOT(J)    hot-metal absorption
  Dep SIGEL;   // SIGEL(J)   electron (Thomson) scattering
  Dep ALINES;  // ALINES(J)  line absorption; no source of this program fills it
  Dep SIGLIN;  // SIGLIN(J)  line scattering; no source fills it
  Dep AXLINE;  // AXLINE(J)  additional line absorption; no source fills it
  Dep SIGXL;   // SIGXL(J)   additional line scattering; no source fills it
  Dep AXCONT;  // AXCONT(J)  additional continuum absorption; no source fills it
  Dep SIGX;    // SIGX(J)    additional continuum scattering; no source fills it
  Dep SXLINE;  // SXLINE(J)  source function of AXLINE; no source fills it
  Dep SXCONT;  // SXCONT(J)  source function of AXCONT; no source fills it
};

// OPTOT: totals formed by kapp from the source arrays.
struct OptotRec {
  Dep ACONT;   // ACONT(J)   continuum true absorption
  Dep SCONT;   // SCONT(J)   continuum source function (BNU where ACONT <= 0)
  Dep ALINE;   // ALINE(J)   line absorption
  Dep SLINE;   // SLINE(J)   line source function (BNU where ALINE <= 0)
  Dep SIGMAC;  // SIGMAC(J)  continuum scattering
  Dep SIGMAL;  // SIGMAL(J)  line scattering
};

// ABTOT: total extinction, written by the per-model driver after each kapp call.
struct AbtotRec {
  Dep ABTOT;  // ABTOT(J)  total extinction ACONT + SIGMAC
  Dep ALPHA;  // ALPHA(J)  scattering fraction; nothing fills it (stays 0)
};

#define ATMOTAB_AT(R, F, first) \
  static_assert(offsetof(R, F) == ((first)-1) * sizeof(Dep), #R "." #F " out of place")
ATMOTAB_AT(OpsRec, SIGEL, 4);
ATMOTAB_AT(OpsRec, SXCONT, 12);
ATMOTAB_AT(OptotRec, SIGMAL, 6);
ATMOTAB_AT(AbtotRec, ALPHA, 2);
#undef ATMOTAB_AT
static_assert(sizeof(OpsRec) == 12 * sizeof(Dep));
static_assert(sizeof(OptotRec) == 6 * sizeof(Dep));
static_assert(sizeof(AbtotRec) == 2 * sizeof(Dep));

}  // namespace atmotab
