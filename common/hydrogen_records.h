// Private state of the hydrogen opacity sources (opacity/hop, hminop, h2op, h2collop): tables
// converted once per run, and per-model tables keyed by the model counter ITEMP, which the driver
// increases once per model. A source rebuilds its per-model tables at its first call after ITEMP
// changed; the remembered copies start at -1, below every model counter (the driver's first model
// is 1; a run that calls the sources without the driver has 0), so the first call always rebuilds.
//
// Glossary: one line per field. Depth index J = 1..99 (only 1..NRHOX meaningful); hydrogen level
// N = 1..15; grid point I of the level cross-sections = 1..29.
#pragma once

#include "common/array.h"
#include "common/elements.h"
#include "common/per_frequency.h"

namespace atmotab {

// True, and REMEMBERED set to ITEMP, when a source's per-model tables (remembered for model
// counter REMEMBERED) are to be rebuilt for the model counter ITEMP.
inline bool new_model(int& REMEMBERED, int ITEMP) {
  if (REMEMBERED == ITEMP) return false;
  REMEMBERED = ITEMP;
  return true;
}

// xkarsas: level photoionization tables (data/xnk.txt), converted at the first call of the run.
struct XkarsasRec {
  Arr<float, 29, 15> FREQN;  // FREQN(I,N)  log10 photon frequency [Hz] at grid point I of level N
  Arr<float, 29, 15> XNK;    // XNK(I,N)    log10 cross-section of level N per atom in it [cm^2]
  bool LOADED = false;       // LOADED      true once FREQN and XNK are filled
};

// hop: temperature-only factors of the hydrogen bound-free and free-free sums, per model.
struct HopRec {
  int ITEMP = -1;                // ITEMP       model counter of the tables below (-1: none yet)
  Arr<double, NDEPTH, 15> BOLT;  // BOLT(J,N) exp(-E_N HCKT(J)), Boltzmann factor of level N >= 2
  Dep EXPLIM;                    // EXPLIM(J)   exp(-109678.766 HCKT(J)), at the ionization limit
  Dep EXPQC;                     // EXPQC(J)    exp(-109250.336 HCKT(J)), at the quasi-continuum's
                                 //             fixed lower end
  Dep QCDEN;                     // QCDEN(J)    HCKT(J) x 109677.58, the quasi-continuum's divisor
  Dep FFCON;                     // FFCON(J)    3.6919e8 / sqrt(T(J)), the free-free coefficient
  PerFrequency<15> XN;  // XN          per frequency of the set: VAL(N) the cross-section of
                        //             level N per atom in it [cm^2], 0 for N below NLOW
};

// hydrogen_dissolved: the per-model factors of the dissolved-level absorption of hydrogen levels
// N = 1..NHDISS (opacity/hydrogen_dissolved.cpp), rebuilt when ITEMP or NRHOX changes.
constexpr int NHDISS = 8;  // levels with a dissolved part
struct HdissRec {
  int ITEMP = -1;                     // ITEMP     model counter of the tables below (-1: none yet)
  int NRHOX = -1;                     // NRHOX     depths of the tables below
  bool LOADED = false;                // LOADED    true once SIGTHR is filled (once per run)
  Arr<double, NHDISS> SIGTHR;         // SIGTHR(N) cross-section of level N at its threshold [cm^2]
  Dep VH;                             // VH(J)     4 pi/3 n(H I) [cm^-3], neutral-perturber weight
  Dep VHE;                            // VHE(J)    4 pi/3 n(He I) [cm^-3]
  Dep C3;                             // C3(J)     coefficient of (n^4/K_n)^3 in 1/w_charged - 1
  Dep C15;                            // C15(J)    coefficient of (n^4/K_n)^1.5 in 1/w_charged - 1
  Arr<double, NDEPTH, NHDISS> LNW;    // LNW(J,N)   -ln w_neutral of level N at depth J
  Arr<double, NDEPTH, NHDISS> WCINV;  // WCINV(J,N) 1 / w_charged of level N at depth J
  Arr<double, NDEPTH, NHDISS> POP;    // POP(J,N)   LTE population of level N per gram [g^-1]
};

// coulff: the free-free Gaunt factor of charge 1 at the current frequency, which hop (electrons on
// protons) and he1op (electrons on He II) both take, and its frequency coordinate, which he2op
// (charge 2) takes too: formed once per frequency instead of once per source. GAMLOG1 is rebuilt
// when ITEMP or NRHOX changes, HVKTLG and G1 when that happens or FREQLG changes.
struct CoulffRec {
  int ITEMP = -1;        // ITEMP       model counter of GAMLOG1 (-1: none yet)
  int NRHOX = -1;        // NRHOX       number of depths of the columns below
  bool CURRENT = false;  // CURRENT     HVKTLG and G1 belong to FREQLG and this model
  double FREQLG = 0;     // FREQLG      ln nu [Hz] of HVKTLG and G1
  Dep GAMLOG1;           // GAMLOG1(J)  2 log10 gamma^2 at T(J), Z = 1
  Dep HVKTLG;            // HVKTLG(J)   2 log10 (h nu / kT(J)) at FREQLG
  Dep G1;                // G1(J)       the Gaunt factor of charge 1 at T(J) and FREQLG
};

// hminop: the free-free table in logarithmic form (once per run) and the per-model H-minus
// density.
struct HminopRec {
  Arr<double, 22, 11> FFLOG;  // FFLOG(I,T)  ln of the free-free coefficient per H atom and
                              //             electron [1e-26 cm^5] at wavelength I, theta T
  Arr<double, 22> WFFLOG;     // WFFLOG(I)   ln of wavelength I of the free-free table [nm]
  bool FFREADY = false;       // FFREADY     true once FFLOG and WFFLOG are filled
  int ITEMP = -1;             // ITEMP       model counter of THETA and XHMIN (-1: none yet)
  Dep THETA;                  // THETA(J)    5040/T(J)
  Dep XHMIN;                  // XHMIN(J)    H-minus number density [cm^-3]
  Arr<int, NDEPTH> ITHETA;    // ITHETA(J)   upper theta node of the free-free interpolation
  Dep DTHETA;                 // DTHETA(J)   THETA(J) minus theta node ITHETA(J) - 1
  int ITLO = 11;              // ITLO        smallest ITHETA(J) of the model
  int ITHI = 2;               // ITHI        largest ITHETA(J) of the model
  bool BMIN1 = false;         // BMIN1       every BMIN(J) of the model is 1 (H-minus in LTE)
};

// h2plop and h2raop: per-model quantities of the H2+ and H2 sources.
struct H2opRec {
  int ITEMPP = -1;  // ITEMPP     model counter of XNFPHLN (-1: none yet)
  Dep XNFPHLN;      // XNFPHLN(J) ln XNFPH(J,1), log of n/U of H I
  int ITEMPR = -1;  // ITEMPR     model counter of XNH2R (-1: none yet)
  Dep XNH2R;        // XNH2R(J)   H2 number density per gram [g^-1] (H2 Rayleigh scattering)
};

// h2collop: collision-induced absorption tables (data/tabh2h2.txt, tabh2he.txt), converted at the
// first call of the run, and the per-model H2 density and temperature cells.
struct H2collopRec {
  Arr<double, 7, 81> TABH2H2;  // TABH2H2(T,K) log10 H2-H2 coefficient per pair [cm^5] at
                               //              T x 1000 K, (K-1) x 250 cm^-1
  Arr<double, 7, 81> TABH2HE;  // TABH2HE(T,K) log10 H2-He coefficient per pair [cm^5]
  bool LOADED = false;         // LOADED       true once both tables are filled
  int ITEMP = -1;              // ITEMP        model counter of XNH2, IT, DELT (-1: none yet)
  Dep XNH2;                    // XNH2(J)      H2 number density [cm^-3]
  Arr<int, NDEPTH> IT;         // IT(J)        lower temperature column 1..6 of depth J
  Dep DELT;                    // DELT(J)      fraction of the way to column IT(J)+1, 0..1
  Arr<int, NDEPTH> ICOL;       // ICOL(J)      the column depth J takes unchanged (DELT(J) 0 or 1),
                               //              0 where it interpolates
  Arr<bool, 7> EXACT;          // EXACT(T)     true when some depth takes column T unchanged
};

}  // namespace atmotab
