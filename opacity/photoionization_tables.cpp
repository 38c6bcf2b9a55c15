// Reader of the metal photoionization tables; see opacity/photoionization_tables.h for the layout
// and tools/make_photoionization.py for how they are made.
#include "opacity/photoionization_tables.h"

#include <cmath>
#include <string>

#include "common/table_reader.h"

namespace atmotab {

PhotTable photoionization_read(std::string_view text, const PhotSpecies& species) {
  const std::string name = "photoionization_" + std::string(species.name) + ".txt";
  TableReader r(text, name, "photoionization_read");
  r.expect_format("atmotab-photoionization");
  const auto head = r.row(12);
  if (head[0] != "species" || head[1] != species.name || head[2] != "Z" || head[4] != "stage" ||
      head[6] != "terms" || head[8] != "temperatures" || head[10] != "frequencies")
    r.fail("species line is not 'species " + std::string(species.name) +
           " Z z stage s terms n temperatures m frequencies k'");
  r.expect(r.integer(head[3]), species.z, "Z");
  r.expect(r.integer(head[5]), species.stage, "stage");
  r.expect(r.integer(head[9]), NPHOT_TEMP, "temperatures");
  const long nterm = r.integer(head[7]);
  const long nfreq = r.integer(head[11]);
  if (nterm < 1 || nfreq < 2 || nfreq > NPHOT_FREQ)
    r.fail("terms " + std::to_string(nterm) + ", frequencies " + std::to_string(nfreq) +
           ": at least 1 and 2, at most " + std::to_string(NPHOT_FREQ) + " frequencies");
  PhotTable t;
  const auto temps = r.row(NPHOT_TEMP + 1);
  if (temps[0] != "T") r.fail("temperature row does not start with 'T'");
  for (int m = 1; m <= NPHOT_TEMP; ++m) {
    const double T = r.number(temps[m], "temperature");
    if (!(T > (t.T.empty() ? 0.0 : t.T.back()))) r.fail("temperatures not rising and positive");
    t.T.push_back(T);
  }
  for (long i = 0; i < nterm; ++i) {
    const auto term = r.row(5);
    if (term[0] != "term") r.fail("term row does not start with 'term'");
    if (!(r.number(term[1], "threshold") > 0)) r.fail("threshold not positive");
  }
  for (long k = 0; k < nfreq; ++k) {
    const auto row = r.row(NPHOT_TEMP + 1);
    const double nu = r.number(row[0], "frequency");
    const std::size_t nk = t.nu.size();
    if (!(nu > 0) || (nk > 0 && nu < t.nu[nk - 1]) || (nk > 1 && nu == t.nu[nk - 2]))
      r.fail("frequency not positive, falling, or listed more than twice");
    t.nu.push_back(nu);
    for (int m = 1; m <= NPHOT_TEMP; ++m) {
      const double s = r.number(row[m], "cross-section");
      if (!(std::isfinite(s) && s >= 0)) r.fail("cross-section not finite and >= 0");
      t.sigma.push_back(s);
    }
  }
  r.expect_end();
  return t;
}

}  // namespace atmotab
