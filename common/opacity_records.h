// Records of the continuous-opacity calculation: the per-source arrays that no element record
// holds (OPS), the summed opacities and source functions (OPTOT) and the total extinction (ABTOT);
// and the positions and names of the opacity-source switches IFOP of the IF record.
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful). Absorption (A...)
// and scattering (SIG...) coefficients are per gram of stellar material [cm^2 g^-1], absorptions
// already corrected for stimulated emission; source functions (S...) are in the units of the
// Planck function BNU [erg s^-1 cm^-2 Hz^-1 sr^-1].
//
// Layout: each record is its fields in the order listed, without gaps (pinned below).
#pragma once

#include <cstddef>
#include <string_view>

#include "common/elements.h"

namespace atmotab {

// IFOP(I), I = 1..NIFOP: the opacity-source switches by position (1 on, any other value off).
enum IfopSwitch : int {
  IFOP_H1 = 1,    // H I bound-free and free-free
  IFOP_H2PLUS,    // H2+
  IFOP_HMINUS,    // H-minus bound-free and free-free
  IFOP_HRAY,      // H I Rayleigh scattering
  IFOP_HE1,       // He I
  IFOP_HE2,       // He II
  IFOP_HEMINUS,   // He-minus free-free
  IFOP_HERAY,     // He I Rayleigh scattering
  IFOP_COOL,      // cool metals
  IFOP_LUKE,      // intermediate ("Luke") metals
  IFOP_HOT,       // hot metals
  IFOP_ELECTRON,  // electron scattering
  IFOP_H2RAY,     // H2 Rayleigh scattering
  IFOP_HLINES,    // hydrogen lines
  IFOP_LINES,     // lines
  IFOP_LINESCAT,  // line scattering
  IFOP_XLINES,    // additional line absorption
  IFOP_XLSCAT,    // additional line scattering
  IFOP_XCONT,     // additional continuum absorption
  IFOP_XSCAT,     // additional continuum scattering
};
constexpr int NIFOP = 20;

// The names of the switches on the OPACITY card, IFOP_NAMES[I - 1] for switch I.
constexpr std::string_view IFOP_NAMES[NIFOP] = {
    "H1",    "H2PLUS",   "HMINUS", "HRAY",   "HE1",      "HE2",   "HEMINUS",
    "HERAY", "COOL",     "LUKE",   "HOT",    "ELECTRON", "H2RAY", "HLINES",
    "LINES", "LINESCAT", "XLINES", "XLSCAT", "XCONT",    "XSCAT"};

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
  Dep AXCONT;  // AXCONT(J)  additional continuum absorption: xcont (switch XCONT)
  Dep SIGX;    // SIGX(J)    additional continuum scattering; no source fills it
  Dep SXLINE;  // SXLINE(J)  source function of AXLINE; no source fills it
  Dep SXCONT;  // SXCONT(J)  source function of AXCONT (BNU: xcont's absorbers are in LTE)
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

ATMOTAB_DEPTH_FIELD_AT(OpsRec, SIGEL, 4);
ATMOTAB_DEPTH_FIELD_AT(OpsRec, SXCONT, 12);
ATMOTAB_DEPTH_FIELD_AT(OptotRec, SIGMAL, 6);
ATMOTAB_DEPTH_FIELD_AT(AbtotRec, ALPHA, 2);
static_assert(sizeof(OpsRec) == 12 * sizeof(Dep));
static_assert(sizeof(OptotRec) == 6 * sizeof(Dep));
static_assert(sizeof(AbtotRec) == 2 * sizeof(Dep));

}  // namespace atmotab
