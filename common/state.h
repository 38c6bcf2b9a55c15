// The run state of atmotab: every record the routines exchange, as members of one object that is
// passed by reference. Nothing lives in globals or function-local statics, so a test can make a
// fresh run. Records keep their values between models; a card setting stays in force until
// another card changes it.
//
// Glossary: one line per field, with units and index range. Depth index J = 1..NRHOX (<= 99).
// Text is held one character per slot; a blank column is ' '.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "common/array.h"
#include "common/elements.h"
#include "common/model_key.h"
#include "common/opacity_records.h"
#include "common/per_frequency.h"
#include "common/tables.h"
#include "fortio/listing.h"
#include "fortio/unformatted.h"

namespace atmotab {

constexpr int MAXD = 99;        // depth points
constexpr int MAXEDGE = 377;    // edges of the edge list
constexpr int MAXFRESET = 500;  // frequency slots of the frequency-set card
constexpr int MAXMU = 40;       // surface angles
constexpr int MAXITER = 15;     // iterations

using Depth = Arr<double, MAXD>;

// The file a card comes from.
enum class CardFile {
  Control,   // the control cards (unit 5, standard input)
  EdgeList,  // the edge list (unit 17)
};

// An 80-column card and the permanent blank column 81, one character per column, with where it
// comes from (for messages).
struct Card : Arr<char, 81> {
  Card() { fill(' '); }
  CardFile file = CardFile::Control;  // the file of the card
  int number = 0;                     // its number in that file, 1 = first card (0: none read)
  int warned = 0;                     // column of its last dropped-exponent warning (once each)
};

struct OpacityWorkspace;
struct PopulationsWorkspace;
struct DriverWorkspace;
struct Run;
void start_model(Run& run);

// The model counter TEMP.ITEMP: read as an int; only start_model counts it.
class ModelCounter {
 public:
  operator int() const { return n_; }  // NOLINT(google-explicit-constructor): reads as ITEMP

 private:
  int n_ = 0;
  friend void start_model(Run& run);
};

// Storage in whole 2 MB pages, for the run and the large workspaces. The huge-page advice makes
// the first touch of a page cost one fault per 2 MB instead of one per 4 KB (a 99-depth model
// writes most of it, and a thousand 4 KB faults cost more than the whole start-up on virtual
// machines); it is only a request, and where the system has no such pages the mapping is an
// ordinary one (common/state.cpp). The objects are constructed as usual: every array is cleared
// by its constructor.
struct PagedStorage {
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size) noexcept;
};

// The workspace of one layer, owned by the run: W is complete only in its layer, which makes it
// (with the deleter that knows its type) at its first use.
template <class W>
using LayerWorkspace = std::unique_ptr<W, void (*)(W*)>;

// The workspace HELD, made (every cache in its initial state) if the run has none yet. Used only
// by W's own layer, where W is complete.
template <class W>
W& layer_workspace(LayerWorkspace<W>& held) {
  if (held == nullptr) [[unlikely]]
    held = LayerWorkspace<W>(new W(), [](W* w) { delete w; });
  return *held;
}

struct Run {
  // STATE: thermodynamic state per depth.
  struct StateRec {
    Depth P;       // P(J)       gas pressure [dyn cm^-2]
    Depth XNE;     // XNE(J)     electron number density [cm^-3]
    Depth XNATOM;  // XNATOM(J)  heavy-particle number density P/TK - XNE [cm^-3]
    Depth RHO;     // RHO(J)     mass density XNATOM*WTMOLE*1.66e-24 [g cm^-3]
    Depth PTOTAL;  // PTOTAL(J)  total pressure [dyn cm^-2]
  } STATE;

  // TEMP: temperature and derived quantities per depth, set from T when a model is completed.
  struct TempRec {
    Depth T;             // T(J)     temperature [K]
    Depth TKEV;          // TKEV(J)  kT [eV] = 8.6171e-5*T
    Depth TK;            // TK(J)    kT [erg] = 1.38054e-16*T
    Depth HKT;           // HKT(J)   h/kT [s] = 6.6256e-27/TK
    Depth TLOG;          // TLOG(J)  ln T
    Depth HCKT;          // HCKT(J)  hc/kT [cm] = HKT*29979245800
    ModelCounter ITEMP;  // ITEMP  model counter: 0 until the first model; start_model counts it
  } TEMP;

  // RHOX: depth scale.
  struct RhoxRec {
    Depth RHOX;     // RHOX(J)  mass column density above the point [g cm^-2], increasing inwards
    int NRHOX = 0;  // NRHOX    depth points of the current model, 0..99
  } RHOX;

  // TEFF: global stellar parameters.
  struct TeffRec {
    double TEFF = 0;  // TEFF  effective temperature [K]; the driver overwrites it with T(1)
    double GRAV = 0;  // GRAV  surface gravity [cm s^-2]
    double GLOG = 0;  // GLOG  log10 GRAV; the driver sets 0.0 before writing the table headers
  } TEFF;

  // TURBPR: microturbulence and turbulent pressure.
  struct TurbprRec {
    Depth VTURB;        // VTURB(J)  microturbulent velocity [cm s^-1]
    Depth PTURB;        // PTURB(J)  turbulent pressure 0.5*RHO*VTURB^2 [dyn cm^-2]
    double TRBFDG = 0;  // TRBFDG    turbulence parameter (turbulence card), stored only
    double TRBCON = 0;  // TRBCON    turbulence parameter, stored only
    double TRBPOW = 0;  // TRBPOW    turbulence parameter, stored only
    double TRBSND = 0;  // TRBSND    turbulence parameter, stored only
    int IFTURB = 0;     // IFTURB    1 when the turbulence parameters are in force
  } TURBPR;

  // FREQ: the current frequency, set by the driver before every opacity evaluation.
  struct FreqRec {
    double FREQ = 0;    // FREQ      frequency [Hz]
    double FREQLG = 0;  // FREQLG    ln FREQ
    Depth EHVKT;        // EHVKT(J)  exp(-FREQ*HKT(J))
    Depth STIM;         // STIM(J)   1 - EHVKT(J), stimulated-emission factor
    Depth BNU;          // BNU(J)    Planck function [erg s^-1 cm^-2 Hz^-1 sr^-1]
    double WAVENO = 0;  // WAVENO    wavenumber [cm^-1]
    int IFREQ = 0;      // IFREQ     index of FREQ in the frequency set FREQSET; 0: set otherwise
  } FREQ;

  // FRESET: the frequency set as described by the control cards.
  struct FresetRec {
    Arr<double, MAXFRESET>
        FRESET;  // FRESET(I)  frequencies of the frequency-set card [Hz], I = 1..500
    Arr<double, MAXFRESET> RCOSET;  // RCOSET(I)  integration weights read beside them
    int NULO = 0;                   // NULO       first frequency index to process
    int NUHI = 0;                   // NUHI       last frequency index to process
    int NUMNU = 0;                  // NUMNU      number of frequencies
    int IFWAVE = 0;                 // IFWAVE     0: list of frequencies, 1: wavelength range
    double WBEGIN = 0;              // WBEGIN     first wavelength of the range [nm]
    double DELTAW = 0;              // DELTAW     wavelength step [nm]
  } FRESET;

  // FREE: state of the free-format card scanner; each user sets LASTCOL and MAXPOW before use.
  struct FreeRec {
    Arr<char, 6> WORD;  // WORD(K)  first six characters of the last word read, blank-filled
    int NCOL = 0;       // NCOL     next column the number reader examines
    int NCOLW = 0;      // NCOLW    next column the word reader examines
    int LASTCOL = 0;  // LASTCOL  last column examined: 81 (80 card columns and the blank column 81)
    int IFNEXT = 0;   // IFNEXT   1: running off the card only raises IFEND; 0: it is fatal
    int IFEND = 0;    // IFEND    1 when the last read ran off the card without an item
    int MAXPOW = 0;   // MAXPOW   exponents must be smaller than this (99 edges, 38 cards)
    FreeRec() { WORD.fill(' '); }
  } FREE;

  // IF: run switches (1 on, 0 off unless said).
  struct IfRec {
    int IFCORR = 1;  // IFCORR  correction switch, stored and printed only
    int IFPRES = 1;  // IFPRES  1: populations bring XNE (or the molecular equilibrium) up to date
    int IFSURF = 0;  // IFSURF  0 off, 1 flux, 2 intensities at the angles of MUS
    int IFSCAT = 1;  // IFSCAT  scattering switch, stored and printed only
    int IFMOL = 0;   // IFMOL   molecular equilibrium in force
    int IFNLTE = 0;  // IFNLTE  1 departure coefficients in force, 0 LTE, -1 while molecules work
    Arr<int, NIFOP> IFOP;  // IFOP(I) opacity-source switches, I = 1..20 (H1 ... XSCAT, IfopSwitch)
    IfRec() {
      for (int i : {IFOP_H1, IFOP_H2PLUS, IFOP_HMINUS, IFOP_HRAY, IFOP_HE1, IFOP_HE2, IFOP_COOL,
                    IFOP_ELECTRON})
        IFOP(i) = 1;
    }
  } IF;

  // ITER: iteration and print control.
  struct IterRec {
    int ITER = 0;              // ITER       current iteration
    Arr<int, MAXITER> IFPRNT;  // IFPRNT(I)  print level per iteration, I = 1..15
    Arr<int, MAXITER> IFPNCH;  // IFPNCH(I)  punch flag per iteration
    int NUMITS = 0;            // NUMITS     number of iterations
    IterRec() { IFPRNT.fill(2); }
  } ITER;

  // JUNK: texts of the run.
  struct JunkRec {
    Arr<char, 74> TITLE;  // TITLE(I)   columns 7..80 of the title card
    Arr<char, 6> FREQID;  // FREQID(I)  name of the frequency set; zero bytes until set
    std::array<char, 8> WLTE{'L', 'T', 'E', ' ', ' ', ' ', ' ', ' '};  // WLTE "LTE" or "NLTE"
    double XSCALE = 1.0;  // XSCALE     factor on the abundances of elements 3..99
    JunkRec() { TITLE.fill(' '); }
  } JUNK;

  // ABROSS: Rosseland opacity.
  struct AbrossRec {
    Depth ABROSS;  // ABROSS(J)  Rosseland mean opacity [cm^2 g^-1]
    Depth TAUROS;  // TAUROS(J)  Rosseland optical depth
  } ABROSS;

  // RAD: radiative acceleration and pressure.
  struct RadRec {
    Depth RAD;   // RAD(J)   radiative acceleration [cm s^-2]
    Depth PRAD;  // PRAD(J)  radiation pressure above the surface value [dyn cm^-2]
  } RAD;

  // PZERO: pressures at the surface and the total radiation pressure.
  struct PzeroRec {
    double PZERO = 0;   // PZERO     total pressure at the top PCON + PRADK0 + PTURB0 [dyn cm^-2]
    double PCON = 0;    // PCON      constant pressure term [dyn cm^-2]
    double PRADK0 = 0;  // PRADK0    radiation pressure at the top [dyn cm^-2]
    double PTURB0 = 0;  // PTURB0    turbulent pressure at the top [dyn cm^-2]
    Depth PSTRUC;       // PSTRUC(J) depth array of atmosphere-structure work, unused here
    Depth PRADK;        // PRADK(J)  total radiation pressure PRAD(J) + PRADK0 [dyn cm^-2]
  } PZERO;

  // FLUX: flux constants.
  struct FluxRec {
    double FLUX = 0;  // FLUX       nominal flux 4.511793506554121e-6*TEFF^4 [erg s^-1 cm^-2 sr^-1]
    Depth FLXERR;     // FLXERR(J)  first flux-correction array
    Depth FLXDRV;     // FLXDRV(J)  second flux-correction array
    Depth FLXWRK;     // FLXWRK(J)  scratch of the cool-metal opacities
  } FLUX;

  // CONV: convection.
  struct ConvRec {
    Arr<double, MAXD, 8> CONVQ;  // CONVQ(J,K)  convective quantities, K = 1..8; re-gridding scratch
    double MIXLTH = 1.0;         // MIXLTH      mixing-length parameter
    int IFCONV = 0;              // IFCONV      convection on (1) or off (0)
  } CONV;

  // MUS: angles for surface intensities.
  struct MusRec {
    Arr<double, MAXMU> MU;  // MU(I)  cosines of the angles, I = 1..NMU
    int NMU = 1;            // NMU    number of angles
  } MUS;

  // Element and population records (common/elements.h).
  ElemRec ELEM;      // ELEM     abundances, atomic masses, symbols, XABUND, WTMOLE
  PotionRec POTION;  // POTION   packed ionization potentials [cm^-1]
  IfequaRec IFEQUA;  // IFEQUA   set-up of the molecular equilibrium
  XnmolRec XNMOL;    // XNMOL    molecule codes and molecular populations
  ChohRec CHOH;      // CHOH     CH and OH populations for the cool-metal opacity
  BhydRec BHYD;      // BHYD     hydrogen: departure coefficients, opacities, populations
  BheRec BHE;        // BHE      helium
  BbRec BB;          // BB       boron
  BcRec BC;          // BC       carbon
  BoRec BO;          // BO       oxygen
  BnaRec BNA;        // BNA      sodium
  BmgRec BMG;        // BMG      magnesium
  BalRec BAL;        // BAL      aluminium
  BsiRec BSI;        // BSI      silicon
  BkRec BK;          // BK       potassium
  BcaRec BCA;        // BCA      calcium
  BfeRec BFE;        // BFE      iron

  // EDGE: the edge list and the frequency set built from it; filled once per run.
  struct EdgeRec {
    Arr<double, MAXEDGE> FRQEDG;   // FRQEDG(I)  edge frequency [Hz], sign of the input kept
    Arr<double, MAXEDGE> WLEDGE;   // WLEDGE(I)  edge wavelength [nm], sign kept
    Arr<double, MAXEDGE> CMEDGE;   // CMEDGE(I)  edge wavenumber [cm^-1], sign kept
    Arr<double, MAXEDGE> A;        // A(I)       sort key |WLEDGE(I)| [nm]
    Arr<double, MAXFREQ> FREQSET;  // FREQSET(I) the frequency set [Hz], decreasing, I = 1..NUMFREQ
    int NEDGE = 0;                 // NEDGE      number of edges read
    int NUMFREQ = 0;               // NUMFREQ    size of the frequency set, 3*(NEDGE-1) or 0
  } EDGE;

  // Continuous-opacity records (common/opacity_records.h).
  OpsRec OPS;      // OPS    per-source absorption, scattering and source-function arrays
  OptotRec OPTOT;  // OPTOT  summed opacities and source functions of the current frequency
  AbtotRec ABTOT;  // ABTOT  total extinction per depth

  // TABLES: the per-model tables of units 10 and 11.
  TablesRec TABLES;

  // Partition-function tables, filled once when the run starts (load_pf_tables,
  // populations/pftables.h).
  struct PftabRec {
    Arr<int, 6, 365> IPFTAB;       // IPFTAB(W,N)   packed partition functions: words W = 1..6 of
                                   //               table row N = 1..365
    Arr<float, 7, 56, 90> FEGRPF;  // FEGRPF(L,R,K) iron-group partition functions: lowering column
                                   //               L = 1..7, log T row R = 1..56, K = ION +
                                   //               10*(Z-20) for stage ION = 1..10 of Z = 20..28
    Arr<int, 337> PFGLOC;          // PFGLOC(N)     first level of NELION N = 1..336 in PFGE/PFGG;
                                   //               N has PFGLOC(N+1) - PFGLOC(N) levels (0: PFGW)
    Arr<double, 336> PFGW;         // PFGW(N)       constant weight of NELION N without a level list
    Arr<double, 600> PFGE;         // PFGE(I)       ground-configuration level energy [cm^-1]
    Arr<double, 600> PFGG;         // PFGG(I)       its statistical weight
    double TMIN = 0;               // TMIN          lowest temperature of the population physics
                                   //               [K], max(TMINPF, TMINSAHA); pfsaha refuses below
    double TMINPF = 0;             // TMINPF        below it an extrapolated Ca..Ni partition
                                   //               function turns negative [K]
    double TMINSAHA = 0;           // TMINSAHA      below it every element's Saha exponent reaches
                                   //               its cap [K]
    bool LOADED = false;           // LOADED        true once the tables (and POTION) are filled
  } PFTAB;

  // TTAUP: the Rosseland opacity table of the pressure integration ttaup, converted once per run
  // from data/ttaup_kappa.txt (input/ttaup.h).
  struct TtaupRec {
    Arr<double, 36, 30> TABKAP;  // TABKAP(I,K)  log10 Rosseland opacity [cm^2 g^-1] at
                                 //   temperature node I = 1..36, pressure node K = 1..30
    int IFTAB = 0;               // IFTAB  1 once TABKAP holds the converted table
  } TTAUP;

  // Numbered units: unit 5 (cards), unit 6 (listing), unit 17 (edge list), unit 2 (molecule
  // list), units 10 and 11 (tables).
  struct Units {
    std::istream* cards = nullptr;          // unit 5, the control cards
    std::istream* edges = nullptr;          // unit 17, opened by the driver
    std::string edges_name = "fort.17";     // file name of unit 17, for messages
    std::string molecules_name = "fort.2";  // file name of unit 2
    int cards_read = 0;                     // cards read so far from unit 5
    int edge_cards_read = 0;                // cards read so far from unit 17
    std::ostream* errors = nullptr;         // standard error, for warnings (none when null)
    Unformatted table{"fort.10"};           // unit 10, per-depth tables
    Unformatted maxima{"fort.11"};          // unit 11, line-strength maxima
  } UNITS;

  // The listing (unit 6).
  Listing LISTING;

  // The private caches of the routines of the layers above, one workspace per layer, defined by
  // that layer (opacity/workspace.h, populations/workspace.h, driver/workspace.h) and made at its
  // first use; the run only owns them.
  LayerWorkspace<OpacityWorkspace> OPACITY_WS{nullptr, nullptr};
  LayerWorkspace<PopulationsWorkspace> POPULATIONS_WS{nullptr, nullptr};
  LayerWorkspace<DriverWorkspace> DRIVER_WS{nullptr, nullptr};

  // The records take about 2 MB; they are placed in whole 2 MB pages (PagedStorage). A run is
  // made only by make_run, never on the stack or inside other storage.
  static void* operator new(std::size_t size) { return PagedStorage::operator new(size); }
  static void operator delete(void* p, std::size_t size) noexcept {
    PagedStorage::operator delete(p, size);
  }

 private:
  explicit Run(std::ostream& listing) : LISTING(listing) {}
  friend std::unique_ptr<Run> make_run(std::ostream& listing);
};

// A fresh run on the heap, every record in its initial state.
std::unique_ptr<Run> make_run(std::ostream& listing);

// Starts the next model of the run: counts the model counter TEMP.ITEMP up by one, which makes
// every per-model cache stale. The only writer of the counter; the driver calls it once per model
// after the model's input is read, and so does every caller that sets up a model by hand.
void start_model(Run& run);

// The key of the current model: the model counter and the depth count.
inline ModelKey model_key(const Run& run) { return {run.TEMP.ITEMP, run.RHOX.NRHOX}; }

}  // namespace atmotab
