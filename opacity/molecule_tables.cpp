// Readers of the CH, OH and H2 collision-induced opacity tables (opacity/molecule_tables.h).
#include "opacity/molecule_tables.h"

#include <string>
#include <vector>

#include "common/table_reader.h"

namespace atmotab {

void choh_load(std::string_view text, std::string_view name, int nrow, double* tab) {
  const std::string table(name);
  TableReader r(text, table + ".txt", "choh");
  r.expect_format("atmotab-" + table);
  std::vector<std::string_view> f = r.next();
  if (f.size() != 4 || f[0] != "rows" || f[1] != std::to_string(nrow) || f[2] != "columns" ||
      f[3] != std::to_string(NCHOHT))
    r.fail("count line is not 'rows " + std::to_string(nrow) + " columns 15'");
  for (int n = 1; n <= nrow; ++n) {
    f = r.next();
    if (f.empty()) r.fail("table ends before row " + std::to_string(n));
    if (f.size() != 3 + NCHOHT)
      r.fail("expected " + std::to_string(3 + NCHOHT) + " fields, found " +
             std::to_string(f.size()));
    r.expect(r.integer(f[0]), n, "row");
    for (int it = 1; it <= NCHOHT; ++it) {
      const float v = r.real(f[2 + it]);
      if (!(v <= 0.0f && v >= -99.0f))
        r.fail("'" + std::string(f[2 + it]) + "' is not a log10 cross-section");
      tab[(it - 1) + NCHOHT * (n - 1)] = sp(v);
    }
  }
  r.expect_end();
}

void h2collop_read(std::string_view text, std::string_view name, Arr<double, 7, 81>& tab) {
  const std::string file(name);
  TableReader r(text, file, "h2collop");
  r.expect_format("atmotab-" + file.substr(0, file.find('.')));
  const std::vector<std::string_view> c = r.row(4);
  if (c[0] != "temperatures" || c[1] != "7" || c[2] != "wavenumbers" || c[3] != "81")
    r.fail("count line is not 'temperatures 7 wavenumbers 81'");
  for (int k = 1; k <= 81; ++k) {
    const std::vector<std::string_view> f = r.row(10);
    r.expect(r.integer(f[0]), k, "row");
    r.expect(r.integer(f[1]), 250 * (k - 1), "wavenumber");
    for (int t = 1; t <= 7; ++t) tab(t, k) = r.real(f[2 + t]);
  }
  r.expect_end();
}

}  // namespace atmotab
