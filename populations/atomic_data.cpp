// atomic_data — loaders of the atomic data tables data/potion.txt, ipftab.txt, fegrpf.txt and
// pfground.txt, read with the table tokenizer (common/table_reader.h). Each loader checks the
// format line, the counts and the row indices, so that a damaged or misordered table stops the run
// instead of filling wrong slots.
#include "populations/atomic_data.h"

#include <string>
#include <vector>

#include "common/table_reader.h"
#include "populations/pfsaha.h"

namespace atmotab {
namespace {

// First packed-table row of Z = 1..29: row of stage ION of Z <= 28 is LOCZ(Z) + ION - 1.
constexpr int LOCZ[29] = {1,  3,  6,  10, 14, 18,  22,  27,  33,  39,  45,  51,  57,  63, 69,
                          75, 81, 86, 91, 96, 101, 106, 111, 116, 121, 126, 131, 136, 141};
constexpr int ROW_C = 354;  // C I..VI occupy rows 354..359
constexpr int ROW_N = 360;  // N I..VI occupy rows 360..365

// Element and stage of packed row N (the partition-function routine's row numbering).
void ipftab_species(int n, int& z, int& ion) {
  if (n >= 354) {
    z = n <= 359 ? 6 : 7;
    ion = n - (z == 6 ? 353 : 359);
  } else if (n >= pf_locz(29)) {  // three rows per element from Cu on
    z = (n - 54) / 3;
    ion = n - 3 * z - 53;
  } else {
    z = 1;
    while (pf_locz(z + 1) <= n) ++z;
    ion = n - pf_locz(z) + 1;
  }
}

}  // namespace

int pf_locz(int iz) { return LOCZ[iz - 1]; }

int pf_row(int iz, int ion) {
  if (iz == 6) return ROW_C + ion - 1;
  if (iz == 7) return ROW_N + ion - 1;
  if (iz <= 28) return LOCZ[iz - 1] + ion - 1;
  return 3 * iz + 53 + ion;
}

void load_potion(std::string_view text, double* potion, int n) {
  TableReader r(text, "potion.txt", "atomic_data");
  r.expect_format("atmotab-potion");
  std::vector<std::string_view> c = r.row(2);
  if (c[0] != "slots") r.fail("count line is not 'slots 840'");
  r.expect(r.integer(c[1]), NPOTION_USED, "slot count");
  for (int k = 1; k <= NPOTION_USED; ++k) {
    c = r.row(2);
    r.expect(r.integer(c[0]), k, "slot");
    const float v = r.real(c[1]);
    if (!(v >= 0.0f)) r.fail("negative ionization potential");
    potion[k - 1] = static_cast<double>(v);
  }
  r.expect_end();
  for (int k = NPOTION_USED + 1; k <= n; ++k) potion[k - 1] = 0.0;
}

void load_ipftab(std::string_view text, Ipftab& ipftab) {
  TableReader r(text, "ipftab.txt", "atomic_data");
  r.expect_format("atmotab-ipftab");
  std::vector<std::string_view> c = r.row(4);
  if (c[0] != "rows" || c[2] != "words") r.fail("count line is not 'rows 365 words 6'");
  r.expect(r.integer(c[1]), IPFTAB_ROWS, "row count");
  r.expect(r.integer(c[3]), 6, "word count");
  for (int n = 1; n <= IPFTAB_ROWS; ++n) {
    c = r.row(9);
    r.expect(r.integer(c[0]), n, "row");
    int z = 0, ion = 0;
    ipftab_species(n, z, ion);
    r.expect(r.integer(c[1]), z, "element of the row:");
    r.expect(r.integer(c[2]), ion, "stage of the row:");
    for (int i = 1; i <= 6; ++i) {
      const long w = r.integer(c[2 + i]);
      if (w < 0 || w > 2147483647L) r.fail("word outside 32 bits");
      if (i <= 5 && (w % 10 < 1 || w % 10 > 4)) r.fail("scale digit of a word outside 1..4");
      ipftab(i, n) = static_cast<std::int32_t>(w);
    }
  }
  r.expect_end();
}

void load_fegrpf(std::string_view text, Fegrpf& fegrpf) {
  TableReader r(text, "fegrpf.txt", "atomic_data");
  r.expect_format("atmotab-fegrpf");
  std::vector<std::string_view> c = r.row(8);
  if (c[0] != "elements" || c[2] != "stages" || c[4] != "rows" || c[6] != "columns")
    r.fail("count line is not 'elements 9 stages 10 rows 56 columns 7'");
  r.expect(r.integer(c[1]), 9, "element count");
  r.expect(r.integer(c[3]), 10, "stage count");
  r.expect(r.integer(c[5]), 56, "row count");
  r.expect(r.integer(c[7]), 7, "column count");
  for (int iz = 20; iz <= 28; ++iz) {
    for (int ion = 1; ion <= 10; ++ion) {
      for (int row = 1; row <= 56; ++row) {
        c = r.row(10);
        r.expect(r.integer(c[0]), iz, "element");
        r.expect(r.integer(c[1]), ion, "stage");
        r.expect(r.integer(c[2]), row, "temperature row");
        for (int l = 1; l <= 7; ++l) {
          const float v = r.real(c[2 + l]);
          if (!(v > 0.0f) || v > 3.0e38f) r.fail("partition function not finite and positive");
          fegrpf(l, row, ion + 10 * (iz - 20)) = v;
        }
      }
    }
  }
  r.expect_end();
}

void load_pfground(std::string_view text, PfgroundLevels& pfg) {
  TableReader r(text, "pfground.txt", "atomic_data");
  r.expect_format("atmotab-pfground");
  std::vector<std::string_view> c = r.row(4);
  if (c[0] != "nelion" || c[2] != "levels") r.fail("count line is not 'nelion 336 levels N'");
  r.expect(r.integer(c[1]), NELION_MAX, "NELION count");
  const long nlevels = r.integer(c[3]);
  if (nlevels < 0 || nlevels > PFGROUND_MAXLEV)
    r.fail("level count " + std::to_string(nlevels) + " outside 0.." +
           std::to_string(PFGROUND_MAXLEV));
  int k = 0;
  for (int nelion = 1; nelion <= NELION_MAX; ++nelion) {
    c = r.next();
    if (c.size() < 5) r.fail(c.empty() ? "table ends early" : "short row");
    r.expect(r.integer(c[0]), nelion, "NELION");
    r.expect(r.integer(c[1]), (nelion - 1) / 6 + 1, "element of NELION");
    r.expect(r.integer(c[2]), (nelion - 1) % 6 + 1, "stage of NELION");
    const long nlev = r.integer(c[3]);
    pfg.LOC(nelion) = k + 1;
    pfg.NLEV(nelion) = static_cast<int>(nlev);
    pfg.GCON(nelion) = 0.0;
    if (nlev == 0) {
      if (c.size() != 5) r.fail("a constant weight takes one value");
      pfg.GCON(nelion) = static_cast<double>(r.real(c[4]));
      continue;
    }
    if (nlev < 0 || c.size() != static_cast<std::size_t>(4 + 2 * nlev))
      r.fail("level count and number of g, E pairs disagree");
    if (k + nlev > nlevels) r.fail("more levels than the count line announces");
    for (long i = 0; i < nlev; ++i) {
      ++k;
      pfg.G(k) = static_cast<double>(r.real(c[4 + 2 * i]));
      pfg.E(k) = static_cast<double>(r.real(c[5 + 2 * i]));
      if (!(pfg.G(k) > 0.0) || !(pfg.E(k) >= 0.0)) r.fail("weight or energy out of range");
    }
  }
  r.expect_end();
  r.expect(k, nlevels, "levels in the lists:");
  pfg.NUSED = k;
}

}  // namespace atmotab
