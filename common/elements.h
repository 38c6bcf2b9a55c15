// Element and population records of atmotab: element data, ionization potentials, the set-up and
// results of the molecular equilibrium, and the twelve per-element records that hold departure
// coefficients, per-source opacity arrays and the populations the driver tabulates.
//
// Glossary: one line per field, with units and index range. Depth index J = 1..99 (only 1..NRHOX
// meaningful); Z = atomic number 1..99.
//
// Layout: each record is its fields in the order listed, without gaps. A field of k depth arrays
// is one Arr<double, 99, k>, so &X(1,s) is the start of the 99-slot column of stage (or level) s
// and a run of stages written by the population driver stays inside that one field. The
// static_asserts below pin the offsets of every per-element record.
#pragma once

#include <array>
#include <cstddef>

#include "common/array.h"

namespace atmotab {

constexpr int NDEPTH = 99;     // depth slots of every per-depth array (the MAXD of the run state)
constexpr int NELEM = 99;      // elements Z = 1..99
constexpr int NPOTION = 1000;  // slots of the ionization-potential table
constexpr int MAXMOL = 200;    // entries of the molecule list
constexpr int MAXLOC = 600;    // component slots of the molecule list
constexpr int MAXEQUA = 30;    // equations of the molecular equilibrium

using Dep = Arr<double, NDEPTH>;  // one per-depth array
template <int K>
using DepK = Arr<double, NDEPTH, K>;  // K consecutive per-depth arrays, column s = &X(1,s)

// Pins the layout of a record of depth arrays: field F of record R starts at depth array FIRST
// (1-based).
#define ATMOTAB_DEPTH_FIELD_AT(R, F, first) \
  static_assert(offsetof(R, F) == ((first)-1) * sizeof(Dep), #R "." #F " out of place")

// ELEM: element data. ABUND, ATMASS and ELEMSYM start from the tables of elements.cpp (single-
// precision constants widened to double); XABUND and WTMOLE are derived at the begin card.
struct ElemRec {
  Arr<double, NELEM> ABUND;   // ABUND(Z)    abundance as entered: Z = 1,2 number fraction (log10 if
                              //             < 0), Z >= 3 log10 number fraction before scaling
  Arr<double, NELEM> ATMASS;  // ATMASS(Z)   atomic mass [amu]
  Arr<std::array<char, 8>, NELEM> ELEMSYM;  // ELEMSYM(Z)  upper-case symbol, left-justified, blanks
  Arr<double, NELEM> XABUND;  // XABUND(Z)   atoms of element Z per heavy particle, after scaling;
                              //             valid only once the begin card of a model is read
  double WTMOLE = 0;          // WTMOLE      mean mass per heavy particle sum XABUND*ATMASS [amu]
  ElemRec();
};

// POTION: ionization potentials [cm^-1], packed by element. Z = 1..30: Z+1 slots from Z(Z+1)/2
// (stages I..Z, then 0 for the bare nucleus); Z = 31..99: five slots from 5Z+341 (stages I..V, 0
// where no value is tabulated); slots 841..1000 are 0. The constructor sets the reference values of
// H, He, Li, Ga and Es and zeros elsewhere; the full table of 840 laboratory values is loaded from
// data/potion.txt at run start (load_potion, populations/atomic_data.h).
struct PotionRec {
  Arr<double, NPOTION> POTION;  // POTION(I)  ionization potential of slot I [cm^-1], I = 1..1000
  PotionRec();
};

// The POTION slot of stage ION (1 = neutral) of element Z; a 0 there means "take the preceding
// slot". Z = 1..30 with ION = 1..Z+1, Z = 31..99 with ION = 1..5.
constexpr int potion_slot(int z, int ion) {
  return z <= 30 ? z * (z + 1) / 2 - 1 + ion : 5 * z + 340 + ion;
}

// IFEQUA: set-up of the molecular equilibrium, rebuilt by the molecule-list reader.
struct IfequaRec {
  Arr<int, 101> IFEQUA;          // IFEQUA(Z)    equation conserving element Z (0: none), Z = 1..99;
                                 //              (100) the electron's, (101) equations + 1
  Arr<int, MAXLOC> KCOMPS;       // KCOMPS(I)    components of all molecules in list order, as
                                 //              equation numbers (charge slots: electron's), 1..600
  Arr<int, MAXMOL + 1> LOCJ;     // LOCJ(JMOL)   first KCOMPS slot of molecule JMOL, 1..201
  Arr<double, 7, MAXMOL> EQUIL;  // EQUIL(K,JMOL) K=1 dissociation energy [eV], 2..7 coefficients
                                 //              of the equilibrium-constant polynomial, JMOL=1..200
  Arr<int, MAXEQUA> IDEQUA;      // IDEQUA(K)    element of equation K (1: total particles), 1..30
  int NEQUA = 0;                 // NEQUA        number of equations
  int NLOC = 0;                  // NLOC         KCOMPS slots in use
};

// XNMOL: molecule codes and molecular populations.
struct XnmolRec {
  Arr<double, MAXMOL> CODEMOL;        // CODEMOL(JMOL)    species code of list entry JMOL; 0 beyond
  Arr<double, NDEPTH, MAXMOL> XNMOL;  // XNMOL(J,JMOL)    number density [cm^-3]
  // XNFPMOL(J,JMOL)  number density / partition fn [cm^-3]
  Arr<double, NDEPTH, MAXMOL> XNFPMOL;
  int NUMMOL = 0;  // NUMMOL           entries of the molecule list
};

// CHOH: CH and OH populations of the cool-metal opacity; 0 while molecules are off.
struct ChohRec {
  Dep XNFPCH;  // XNFPCH(J)  number density / partition function of CH [cm^-3] (code 106, mode 11)
  Dep XNFPOH;  // XNFPOH(J)  number density / partition function of OH [cm^-3] (code 108, mode 11)
};

// Per-element records. Departure coefficients b (actual / LTE level population) start at 1.0;
// opacity arrays (absorption and scattering per gram [cm^2 g^-1], source functions in units of
// BNU) and populations start at 0. "n/U" is number density over partition function [cm^-3].

struct BhydRec {
  DepK<8> BHYD;   // BHYD(J,N)    departure coefficients of H I levels N = 1..8
  Dep AHYD;       // AHYD(J)      H I bound-free and free-free absorption
  Dep SHYD;       // SHYD(J)      source function of AHYD
  Dep AH2P;       // AH2P(J)      H2+ absorption
  Dep BMIN;       // BMIN(J)      H-minus departure coefficient
  Dep AHMIN;      // AHMIN(J)     H-minus absorption
  Dep SHMIN;      // SHMIN(J)     source function of AHMIN
  Dep SIGH;       // SIGH(J)      H I Rayleigh scattering
  Dep SIGH2;      // SIGH2(J)     H2 Rayleigh scattering
  Dep AHLINE;     // AHLINE(J)    hydrogen line absorption (cleared only)
  Dep SHLINE;     // SHLINE(J)    source function of AHLINE (cleared only)
  DepK<2> XNFPH;  // XNFPH(J,S)   n/U of H I, H II, S = 1..2 (code 1.01, mode 11)
  Dep XNFH;       // XNFH(J)      number density of H I [cm^-3] (code 1.00, mode 12)
  BhydRec();
};

struct BheRec {
  DepK<29> BHE1;   // BHE1(J,N)    departure coefficients of He I levels N = 1..29
  Dep AHE1;        // AHE1(J)      He I absorption
  Dep SHE1;        // SHE1(J)      source function of AHE1
  DepK<6> BHE2;    // BHE2(J,N)    departure coefficients of He II levels N = 1..6
  Dep AHE2;        // AHE2(J)      He II absorption
  Dep SHE2;        // SHE2(J)      source function of AHE2
  Dep AHEMIN;      // AHEMIN(J)    He-minus free-free absorption
  Dep SIGHE;       // SIGHE(J)     He Rayleigh scattering
  DepK<3> XNFPHE;  // XNFPHE(J,S)  n/U of He I, He II, He III, S = 1..3 (code 2.02, mode 11)
  DepK<2> XNFHE;   // XNFHE(J,S)   number density of He I, He II [cm^-3] (code 2.01, mode 12)
  BheRec();
};

struct BbRec {
  DepK<7> BB1;  // BB1(J,N)  departure coefficients of B I levels N = 1..7
  Dep XNFPB;    // XNFPB(J)  n/U of B I (code 5.00, mode 11)
  BbRec();
};

struct BcRec {
  DepK<14> BC1;   // BC1(J,N)    departure coefficients of C I levels N = 1..14
  Dep AC1;        // AC1(J)      C I absorption
  Dep SC1;        // SC1(J)      source function of AC1
  DepK<2> XNFPC;  // XNFPC(J,S)  n/U of C I, C II, S = 1..2 (code 6.01, mode 11)
  DepK<6> BC2;    // BC2(J,N)    departure coefficients of C II levels N = 1..6
  BcRec();
};

struct BoRec {
  DepK<13> BO1;  // BO1(J,N)  departure coefficients of O I levels N = 1..13
  Dep XNFPO;     // XNFPO(J)  n/U of O I (code 8.00, mode 11)
  DepK<4> BO2;   // BO2(J,N)  departure coefficients of O II levels N = 1..4
  BoRec();
};

struct BnaRec {
  DepK<8> BNA1;  // BNA1(J,N)  departure coefficients of Na I levels N = 1..8
  Dep XNFPNA;    // XNFPNA(J)  n/U of Na I (code 11.00, mode 11)
  BnaRec();
};

struct BmgRec {
  DepK<11> BMG1;   // BMG1(J,N)    departure coefficients of Mg I levels N = 1..11
  Dep AMG1;        // AMG1(J)      Mg I absorption
  Dep SMG1;        // SMG1(J)      source function of AMG1
  DepK<2> XNFPMG;  // XNFPMG(J,S)  n/U of Mg I, Mg II, S = 1..2 (code 12.01, mode 11)
  DepK<6> BMG2;    // BMG2(J,N)    departure coefficients of Mg II levels N = 1..6
  BmgRec();
};

struct BalRec {
  DepK<9> BAL1;    // BAL1(J,N)    departure coefficients of Al I levels N = 1..9
  Dep AAL1;        // AAL1(J)      Al I absorption
  Dep SAL1;        // SAL1(J)      source function of AAL1
  DepK<2> XNFPAL;  // XNFPAL(J,S)  n/U of Al I, Al II, S = 1..2 (code 13.01, mode 11)
  DepK<1> BAL2;    // BAL2(J,1)    departure coefficient of the Al II ground level
  BalRec();
};

struct BsiRec {
  DepK<11> BSI1;   // BSI1(J,N)    departure coefficients of Si I levels N = 1..11
  Dep ASI1;        // ASI1(J)      Si I absorption
  Dep SSI1;        // SSI1(J)      source function of ASI1
  DepK<2> XNFPSI;  // XNFPSI(J,S)  n/U of Si I, Si II, S = 1..2 (code 14.01, mode 11)
  DepK<10> BSI2;   // BSI2(J,N)    departure coefficients of Si II levels N = 1..10
  BsiRec();
};

struct BkRec {
  DepK<8> BK1;  // BK1(J,N)  departure coefficients of K I levels N = 1..8
  Dep XNFPK;    // XNFPK(J)  n/U of K I (code 19.00, mode 11)
  BkRec();
};

struct BcaRec {
  DepK<8> BCA1;    // BCA1(J,N)    departure coefficients of Ca I levels N = 1..8
  DepK<5> BCA2;    // BCA2(J,N)    departure coefficients of Ca II levels N = 1..5
  DepK<2> XNFPCA;  // XNFPCA(J,S)  n/U of Ca I, Ca II, S = 1..2 (code 20.01, mode 11)
  BcaRec();
};

struct BfeRec {
  DepK<15> BFE1;  // BFE1(J,N)  departure coefficients of Fe I levels N = 1..15
  Dep AFE1;       // AFE1(J)    Fe I absorption
  Dep SFE1;       // SFE1(J)    source function of AFE1
  Dep XNFPFE;     // XNFPFE(J)  n/U of Fe I (code 26.00, mode 11)
  BfeRec();
};

ATMOTAB_DEPTH_FIELD_AT(BhydRec, AHYD, 9);
ATMOTAB_DEPTH_FIELD_AT(BhydRec, BMIN, 12);
ATMOTAB_DEPTH_FIELD_AT(BhydRec, XNFPH, 19);
ATMOTAB_DEPTH_FIELD_AT(BhydRec, XNFH, 21);
ATMOTAB_DEPTH_FIELD_AT(BheRec, AHE1, 30);
ATMOTAB_DEPTH_FIELD_AT(BheRec, BHE2, 32);
ATMOTAB_DEPTH_FIELD_AT(BheRec, AHE2, 38);
ATMOTAB_DEPTH_FIELD_AT(BheRec, XNFPHE, 42);
ATMOTAB_DEPTH_FIELD_AT(BheRec, XNFHE, 45);
ATMOTAB_DEPTH_FIELD_AT(BbRec, XNFPB, 8);
ATMOTAB_DEPTH_FIELD_AT(BcRec, XNFPC, 17);
ATMOTAB_DEPTH_FIELD_AT(BcRec, BC2, 19);
ATMOTAB_DEPTH_FIELD_AT(BoRec, XNFPO, 14);
ATMOTAB_DEPTH_FIELD_AT(BoRec, BO2, 15);
ATMOTAB_DEPTH_FIELD_AT(BnaRec, XNFPNA, 9);
ATMOTAB_DEPTH_FIELD_AT(BmgRec, XNFPMG, 14);
ATMOTAB_DEPTH_FIELD_AT(BmgRec, BMG2, 16);
ATMOTAB_DEPTH_FIELD_AT(BalRec, XNFPAL, 12);
ATMOTAB_DEPTH_FIELD_AT(BalRec, BAL2, 14);
ATMOTAB_DEPTH_FIELD_AT(BsiRec, XNFPSI, 14);
ATMOTAB_DEPTH_FIELD_AT(BsiRec, BSI2, 16);
ATMOTAB_DEPTH_FIELD_AT(BkRec, XNFPK, 9);
ATMOTAB_DEPTH_FIELD_AT(BcaRec, BCA2, 9);
ATMOTAB_DEPTH_FIELD_AT(BcaRec, XNFPCA, 14);
ATMOTAB_DEPTH_FIELD_AT(BfeRec, XNFPFE, 18);

// Total depth arrays per record.
static_assert(sizeof(BhydRec) == 21 * sizeof(Dep));
static_assert(sizeof(BheRec) == 46 * sizeof(Dep));
static_assert(sizeof(BbRec) == 8 * sizeof(Dep));
static_assert(sizeof(BcRec) == 24 * sizeof(Dep));
static_assert(sizeof(BoRec) == 18 * sizeof(Dep));
static_assert(sizeof(BnaRec) == 9 * sizeof(Dep));
static_assert(sizeof(BmgRec) == 21 * sizeof(Dep));
static_assert(sizeof(BalRec) == 14 * sizeof(Dep));
static_assert(sizeof(BsiRec) == 25 * sizeof(Dep));
static_assert(sizeof(BkRec) == 9 * sizeof(Dep));
static_assert(sizeof(BcaRec) == 15 * sizeof(Dep));
static_assert(sizeof(BfeRec) == 18 * sizeof(Dep));

}  // namespace atmotab
