// The printouts of the card interpreter at the begin card, each with the Fortran format of its
// listing lines.
#include "input/readin_print.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace atmotab {
namespace {

constexpr const char* HEADER_FORMAT =
    "('1',/,/,/,/,/,' TEFF',F7.0,'   LOG G',F8.4,3X,A4,/,'0TITLE ',74A1,/,'0XSCALE',F10.6,"
    "2(3X,A2,F8.5),/,(10(1X,A2,F6.2)))";
constexpr const char* SWITCH_FORMAT =
    "('0H1',I2,' H2PLUS',I2,' HMINUS',I2,' HRAY',I2,' HE1',I2,' HE2',I2,' HEMINUS',I2,' HERAY',"
    "I2,' COOL',I2,' LUKE',I2,/,' HOT',I2,' ELECTRON',I2,' H2RAY',I2,' HLINES',I2,' LINES',I2,"
    "' LINESCAT',I2,' XLINES',I2,' XLSCAT',I2,' XCONT',I2,' XSCAT',I2)";
constexpr const char* RUN_SWITCH_FORMAT =
    "('0IFCORR',I2,'  IFPRES',I2,'  IFSURF',I2,'  IFSCAT',I2,'  IFCONV',I2,'  MIXLTH',F6.2,"
    "'  IFMOL',I2,/,' IFTURB',I2,'  TRBFDG',F6.2,'  TRBPOW',F6.2,'  TRBSND',F6.2,'  TRBCON',"
    "F6.2)";
constexpr const char* ITERATION_FORMAT = "(' NUMITS',I3,'  IFPRNT',15I2,'  IFPNCH',15I2)";
constexpr const char* FREQID_FORMAT = "('0FREQID ',6A1,'   NUMNU',I4,'   NULO',I4,'   NUHI',I4)";
constexpr const char* FOUR_COLUMN_FORMAT = "((4(3X,I3,1P,2E13.6)))";
constexpr const char* THREE_COLUMN_FORMAT = "((3(3X,I3,1P,2E13.6)))";
constexpr const char* RANGE_FORMAT = "('0WBEGIN',F11.4,'   DELTAW',F7.4,'   NUMNU',I5)";
constexpr const char* TABLE_FORMAT =
    "('1',/,/,/,/,/,8X,'RHOX',9X,'T',8X,'P',8X,'XNE',6X,'ABROSS',5X,'PRAD',6X,'VTURB',24X,"
    "'BHYD',25X,'BMIN',/,(I3,1P,E13.6,0P,F9.1,1P,5E10.3,1X,0P,7F8.4))";

// Entry I of the frequency set: index, frequency and weight (0 beyond the table's 500 slots).
void append_entry(const Run& run, std::vector<FItem>& items, int i) {
  const bool in_table = i >= 1 && i <= MAXFRESET;
  items.emplace_back(i);
  items.emplace_back(in_table ? run.FRESET.FRESET(i) : 0.0);
  items.emplace_back(in_table ? run.FRESET.RCOSET(i) : 0.0);
}

}  // namespace

void print_model_header(Run& run) {
  const ElemRec& E = run.ELEM;
  std::vector<FItem> items{run.TEFF.TEFF, run.TEFF.GLOG, std::string_view(run.JUNK.WLTE.data(), 4)};
  append_chars(items, run.JUNK.TITLE.data(), 74);
  items.emplace_back(run.JUNK.XSCALE);
  for (int k = 1; k <= 99; ++k) {
    items.emplace_back(std::string_view(E.ELEMSYM(k).data(), 2));
    items.emplace_back(E.ABUND(k));
  }
  run.LISTING.print(HEADER_FORMAT, items);
}

void print_model_settings(Run& run) {
  std::vector<FItem> ifop;
  for (int k = 1; k <= NIFOP; ++k) ifop.emplace_back(run.IF.IFOP(k));
  run.LISTING.print(SWITCH_FORMAT, ifop);

  const Run::IfRec& S = run.IF;
  const Run::TurbprRec& U = run.TURBPR;
  run.LISTING.print(RUN_SWITCH_FORMAT,
                    {S.IFCORR, S.IFPRES, S.IFSURF, S.IFSCAT, run.CONV.IFCONV, run.CONV.MIXLTH,
                     S.IFMOL, U.IFTURB, U.TRBFDG, U.TRBPOW, U.TRBSND, U.TRBCON});

  std::vector<FItem> iter{run.ITER.NUMITS};
  for (int i = 1; i <= MAXITER; ++i) iter.emplace_back(run.ITER.IFPRNT(i));
  for (int i = 1; i <= MAXITER; ++i) iter.emplace_back(run.ITER.IFPNCH(i));
  run.LISTING.print(ITERATION_FORMAT, iter);

  if (run.FRESET.IFWAVE == 0) {
    print_frequency_set(run);
  } else {
    const Run::FresetRec& R = run.FRESET;
    run.LISTING.print(RANGE_FORMAT, {R.WBEGIN, R.DELTAW, R.NUMNU});
  }
}

void print_frequency_set(Run& run) {
  const Run::FresetRec& R = run.FRESET;
  // A name never set is zero bytes; it prints as blanks so the listing stays text.
  char freqid[6];
  for (int i = 1; i <= 6; ++i)
    freqid[i - 1] = run.JUNK.FREQID(i) == '\0' ? ' ' : run.JUNK.FREQID(i);
  std::vector<FItem> head;
  append_chars(head, freqid, 6);
  head.emplace_back(R.NUMNU);
  head.emplace_back(R.NULO);
  head.emplace_back(R.NUHI);
  run.LISTING.print(FREQID_FORMAT, head);

  // Four columns filled column by column: rows 1..N4 hold four entries, rows N4+1..NROW three.
  const int numnu = R.NUMNU;
  int nrow = (numnu + 3) / 4;
  int n4 = numnu - 3 * nrow;
  if (n4 <= 0) {  // fewer entries than fill three columns: all in order, four to a line
    nrow = 1;
    n4 = 1;
  }
  std::vector<FItem> items;
  items.reserve(3 * static_cast<std::size_t>(std::max(numnu, 0)));
  for (int r = 1; r <= n4; ++r)
    for (int i = r; i <= numnu; i += nrow) append_entry(run, items, i);
  run.LISTING.print(FOUR_COLUMN_FORMAT, items);
  if (nrow != n4) {
    items.clear();
    for (int r = n4 + 1; r <= nrow; ++r)
      for (int i = r; i <= r + 2 * nrow; i += nrow) append_entry(run, items, i);
    run.LISTING.print(THREE_COLUMN_FORMAT, items);
  }
}

void print_model_table(Run& run) {
  std::vector<FItem> items;
  for (int j = 1; j <= run.RHOX.NRHOX; ++j) {
    items.emplace_back(j);
    items.emplace_back(run.RHOX.RHOX(j));
    items.emplace_back(run.TEMP.T(j));
    items.emplace_back(run.STATE.P(j));
    items.emplace_back(run.STATE.XNE(j));
    items.emplace_back(run.ABROSS.ABROSS(j));
    items.emplace_back(run.RAD.PRAD(j));
    items.emplace_back(run.TURBPR.VTURB(j));
    for (int n = 1; n <= 6; ++n) items.emplace_back(run.BHYD.BHYD(j, n));
    items.emplace_back(run.BHYD.BMIN(j));
  }
  run.LISTING.print(TABLE_FORMAT, items);
}

}  // namespace atmotab
