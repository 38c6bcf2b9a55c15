// h2collop — collision-induced absorption of H2-H2 and H2-He pairs: the transient dipole of a
// colliding pair absorbs in the H2 rototranslational and vibrational bands (the main opacity of
// cool, dense, metal-poor atmospheres in the infrared).
// Sources: TABH2H2 and TABH2HE, log10 of the absorption coefficient per pair [cm^5] at T = 1000 ..
//          7000 K and 0 .. 20000 cm^-1 (data/tabh2h2.txt, tabh2he.txt): A. Borysow's tables
//          (Borysow 2002, A&A 390, 779; Borysow, Jorgensen & Fu 2001, JQSRT 68, 235; Jorgensen et
//          al. 2000, A&A 361, 283) with the program's documented columns (data/PROVENANCE.md).
//          H2 density: NH2 of opacity/h2op.h.
// Inputs:  FREQ, STIM(J); T(J); RHO(J); XNFPH(J,1), BHYD(J,1) (through NH2); XNFHE(J,1) number
//          density of He I [cm^-3].
// Output:  ACOLL(J) [cm^2 g^-1] = (alpha(H2-H2) n(H2) + alpha(H2-He) n(He)) n(H2) / RHO x STIM.
// Valid:   0 .. 20000 cm^-1 (0 above); linear in log10 alpha between the table's points, in
//          wavenumber and in temperature; below 1000 K the 1000 K column, above 7000 K the 7000 K
//          column.
// Deviations from the source: none.
#include "opacity/h2collop.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "common/array.h"
#include "common/embedded_data.h"
#include "common/error.h"
#include "common/state.h"
#include "opacity/h2op.h"

namespace atmotab {
namespace {

// Reads one table: rows "k wavenumber tag v(1) .. v(7)" after the format and count lines.
void h2collop_read(std::string_view name, std::string_view format, Arr<double, 7, 81>& tab) {
  const std::string_view text = embedded_data(name);
  std::size_t pos = 0;
  int line = 0, k = 0;
  auto fail = [&](const std::string& what) {
    throw atmo_error(EXIT_IO, "h2collop",
                     "data/" + std::string(name) + " line " + std::to_string(line) + ": " + what);
  };
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view l = text.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (l.empty() || l.front() == '#') continue;
    if (l.starts_with("format")) {
      if (l != format) fail("format line is not '" + std::string(format) + "'");
      continue;
    }
    if (l.starts_with("temperatures")) {
      if (l != "temperatures 7 wavenumbers 81")
        fail("count line is not 'temperatures 7 wavenumbers 81'");
      continue;
    }
    const char* p = l.data();
    const char* e = l.data() + l.size();
    auto skip = [&] {
      while (p < e && *p == ' ') ++p;
    };
    int row = 0, w = 0;
    skip();
    auto r = std::from_chars(p, e, row);
    if (r.ec != std::errc() || row != k + 1) fail("expected row " + std::to_string(k + 1));
    k = row;
    p = r.ptr;
    skip();
    r = std::from_chars(p, e, w);
    if (r.ec != std::errc() || w != 250 * (k - 1))
      fail("expected wavenumber " + std::to_string(250 * (k - 1)));
    p = r.ptr;
    skip();
    while (p < e && *p != ' ') ++p;  // tag
    for (int t = 1; t <= 7; ++t) {
      skip();
      float v = 0;
      r = std::from_chars(p, e, v);
      if (r.ec != std::errc()) fail("expected 7 values");
      tab(t, k) = v;
      p = r.ptr;
    }
    if (p != e) fail("more than 7 values");
  }
  if (k != 81) fail("expected 81 rows");
}

// Per model: the H2 density and the temperature cell of every depth.
void h2collop_prepare(Run& run) {
  H2collopRec& c = run.H2COLLOP;
  if (c.ITEMP == run.TEMP.ITEMP) return;
  c.ITEMP = run.TEMP.ITEMP;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    const double T = run.TEMP.T(j);
    c.XNH2(j) = nh2(run, j);
    const double cell = std::trunc(T / 1000);
    c.IT(j) = cell < 1 ? 1 : cell > 6 ? 6 : static_cast<int>(cell);
    const double DELT = (T - static_cast<float>(1000 * c.IT(j))) / 1000;
    c.DELT(j) = DELT < 0 ? 0.0 : DELT > 1 ? 1.0 : DELT;
  }
}

}  // namespace

void h2collop_load(Run& run) {
  H2collopRec& c = run.H2COLLOP;
  if (c.LOADED) return;
  h2collop_read("tabh2h2.txt", "format atmotab-tabh2h2 1", c.TABH2H2);
  h2collop_read("tabh2he.txt", "format atmotab-tabh2he 1", c.TABH2HE);
  c.LOADED = true;
}

void h2collop(Run& run, Dep& ACOLL) {
  h2collop_load(run);
  h2collop_prepare(run);
  const H2collopRec& c = run.H2COLLOP;
  const int nrhox = run.RHOX.NRHOX;
  const double W = run.FREQ.FREQ / 29979245800.0;  // wavenumber [cm^-1]
  if (W > 20000) {
    for (int j = 1; j <= nrhox; ++j) ACOLL(j) = 0;
    return;
  }
  const int K = std::min(static_cast<int>(W / 250) + 1, 80);
  const double DELNU = (W - static_cast<float>(250 * (K - 1))) / 250;
  double H2H2NU[8], H2HENU[8];  // the columns at W for the seven temperatures, 1-based
  for (int t = 1; t <= 7; ++t) {
    H2H2NU[t] = (1 - DELNU) * c.TABH2H2(t, K) + DELNU * c.TABH2H2(t, K + 1);
    H2HENU[t] = (1 - DELNU) * c.TABH2HE(t, K) + DELNU * c.TABH2HE(t, K + 1);
  }
  for (int j = 1; j <= nrhox; ++j) {
    const int IT = c.IT(j);
    const double DELT = c.DELT(j);
    const double XH2H2 = H2H2NU[IT] * (1 - DELT) + H2H2NU[IT + 1] * DELT;
    const double XH2HE = H2HENU[IT] * (1 - DELT) + H2HENU[IT + 1] * DELT;
    ACOLL(j) = (std::pow(10.0, XH2H2) * c.XNH2(j) + std::pow(10.0, XH2HE) * run.BHE.XNFHE(j, 1)) *
               c.XNH2(j) / run.STATE.RHO(j) * run.FREQ.STIM(j);
  }
}

}  // namespace atmotab
