// Initial values of the element records: abundances, atomic masses and symbols of elements 1..99,
// the reference ionization potentials of the lightest and of the outermost elements of the packed
// table, and departure coefficients of 1.0 for every level.
#include "common/elements.h"

#include "common/state.h"

namespace atmotab {

static_assert(NDEPTH == MAXD, "element records and run state must agree on the depth slots");

namespace {

// Initial abundances, Z = 1..99: H and He as number fractions, Z >= 3 as log10 of the number
// fraction; -20 marks an element that is in effect absent. Stored as single-precision constants.
constexpr float ABUND0[NELEM] = {
    0.911f,  0.089f,  -10.88f, -10.89f, -9.44f,  -3.48f,  -3.99f,  -3.11f,  -7.48f,  -3.95f,
    -5.71f,  -4.46f,  -5.57f,  -4.49f,  -6.59f,  -4.83f,  -6.54f,  -5.48f,  -6.92f,  -5.68f,
    -8.94f,  -7.05f,  -8.04f,  -6.37f,  -6.65f,  -4.37f,  -7.12f,  -5.79f,  -7.83f,  -7.44f,
    -9.16f,  -8.63f,  -9.67f,  -8.69f,  -9.41f,  -8.81f,  -9.44f,  -9.14f,  -9.8f,   -9.44f,
    -10.62f, -10.12f, -20.0f,  -10.2f,  -10.92f, -10.35f, -11.1f,  -10.18f, -10.38f, -10.04f,
    -11.04f, -9.8f,   -10.53f, -9.81f,  -10.92f, -9.91f,  -10.82f, -10.49f, -11.33f, -10.54f,
    -20.0f,  -11.04f, -11.53f, -10.92f, -12.14f, -10.94f, -11.78f, -11.11f, -12.04f, -10.96f,
    -11.28f, -11.16f, -11.91f, -10.93f, -11.77f, -10.59f, -10.69f, -10.24f, -11.03f, -10.95f,
    -11.14f, -10.19f, -11.33f, -20.0f,  -20.0f,  -20.0f,  -20.0f,  -20.0f,  -20.0f,  -11.92f,
    -20.0f,  -12.51f, -20.0f,  -20.0f,  -20.0f,  -20.0f,  -20.0f,  -20.0f,  -20.0f,
};

// Atomic masses [amu], Z = 1..99: standard atomic weights to four significant digits; for elements
// without a stable isotope, the mass number of a long-lived isotope (Tc 99, Pm 147, Po 210, ...).
// Stored as single-precision constants.
constexpr float ATMASS0[NELEM] = {
    1.008f, 4.003f, 6.939f, 9.013f, 10.81f, 12.01f, 14.01f, 16.0f,  19.0f,  20.18f, 22.99f,
    24.31f, 26.98f, 28.09f, 30.98f, 32.07f, 35.45f, 39.95f, 39.1f,  40.08f, 44.96f, 47.9f,
    50.94f, 52.0f,  54.94f, 55.85f, 58.94f, 58.71f, 63.55f, 65.37f, 69.72f, 72.6f,  74.92f,
    78.96f, 79.91f, 83.8f,  85.48f, 87.63f, 88.91f, 91.22f, 92.91f, 95.95f, 99.0f,  101.1f,
    102.9f, 106.4f, 107.9f, 112.4f, 114.8f, 118.7f, 121.8f, 127.6f, 126.9f, 131.3f, 132.9f,
    137.4f, 138.9f, 140.1f, 140.9f, 144.3f, 147.0f, 150.4f, 152.0f, 157.3f, 158.9f, 162.5f,
    164.9f, 167.3f, 168.9f, 173.0f, 175.0f, 178.5f, 181.0f, 183.9f, 186.3f, 190.2f, 192.2f,
    195.1f, 197.0f, 200.6f, 204.4f, 207.2f, 209.0f, 210.0f, 211.0f, 222.0f, 223.0f, 226.1f,
    227.1f, 232.0f, 231.0f, 238.0f, 237.0f, 244.0f, 243.0f, 247.0f, 247.0f, 251.0f, 254.0f,
};

// Element symbols, Z = 1..99, upper case.
constexpr const char* ELEMSYM0[NELEM] = {
    "H",  "HE", "LI", "BE", "B",  "C",  "N",  "O",  "F",  "NE", "NA", "MG", "AL", "SI", "P",
    "S",  "CL", "AR", "K",  "CA", "SC", "TI", "V",  "CR", "MN", "FE", "CO", "NI", "CU", "ZN",
    "GA", "GE", "AS", "SE", "BR", "KR", "RB", "SR", "Y",  "ZR", "NB", "MO", "TC", "RU", "RH",
    "PD", "AG", "CD", "IN", "SN", "SB", "TE", "I",  "XE", "CS", "BA", "LA", "CE", "PR", "ND",
    "PM", "SM", "EU", "GD", "TB", "DY", "HO", "ER", "TM", "YB", "LU", "HF", "TA", "W",  "RE",
    "OS", "IR", "PT", "AU", "HG", "TL", "PB", "BI", "PO", "AT", "RN", "FR", "RA", "AC", "TH",
    "PA", "U",  "NP", "PU", "AM", "CM", "BK", "CF", "ES",
};

}  // namespace

ElemRec::ElemRec() {
  for (int z = 1; z <= NELEM; ++z) {
    ABUND(z) = sp(ABUND0[z - 1]);
    ATMASS(z) = sp(ATMASS0[z - 1]);
    ELEMSYM(z).fill(' ');
    for (int k = 0; ELEMSYM0[z - 1][k] != '\0'; ++k) ELEMSYM(z)[k] = ELEMSYM0[z - 1][k];
  }
}

PotionRec::PotionRec() {
  struct Reference {
    int z, ion;
    float value;  // [cm^-1]
  };
  // The reference values of H, He, Li, Ga and Es (the values data/potion.txt must hold there);
  // every other slot waits for the full table.
  constexpr Reference REFERENCE[] = {
      {1, 1, 109678.766f}, {2, 1, 198310.766f}, {2, 2, 438908.844f}, {3, 1, 43487.148f},
      {3, 2, 610079.0f},   {3, 3, 987660.125f}, {31, 1, 48387.629f}, {31, 2, 165458.0f},
      {31, 3, 247700.0f},  {31, 4, 517600.0f},  {31, 5, 726000.0f},  {99, 1, 51800.0f},
      {99, 2, 95000.0f},   {99, 3, 161000.0f},
  };
  for (const Reference& q : REFERENCE) POTION(potion_slot(q.z, q.ion)) = sp(q.value);
}

BhydRec::BhydRec() {
  BHYD.fill(1.0);
  BMIN.fill(1.0);
}
BheRec::BheRec() {
  BHE1.fill(1.0);
  BHE2.fill(1.0);
}
BbRec::BbRec() { BB1.fill(1.0); }
BcRec::BcRec() {
  BC1.fill(1.0);
  BC2.fill(1.0);
}
BoRec::BoRec() {
  BO1.fill(1.0);
  BO2.fill(1.0);
}
BnaRec::BnaRec() { BNA1.fill(1.0); }
BmgRec::BmgRec() {
  BMG1.fill(1.0);
  BMG2.fill(1.0);
}
BalRec::BalRec() {
  BAL1.fill(1.0);
  BAL2.fill(1.0);
}
BsiRec::BsiRec() {
  BSI1.fill(1.0);
  BSI2.fill(1.0);
}
BkRec::BkRec() { BK1.fill(1.0); }
BcaRec::BcaRec() {
  BCA1.fill(1.0);
  BCA2.fill(1.0);
}
BfeRec::BfeRec() { BFE1.fill(1.0); }

}  // namespace atmotab
