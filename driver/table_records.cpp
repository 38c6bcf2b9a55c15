// The unformatted records of units 10 and 11 (Fortran sequential records, little-endian).
#include <algorithm>

#include "driver/tabulate.h"

namespace atmotab {
namespace {

Record header_record(const Run& run) {
  Record r;
  r.i4(run.RHOX.NRHOX).r8(table_header_teff(run)).r8(TABLE_HEADER_GLOG);
  r.chars8(run.JUNK.TITLE.data(), 74);
  return r;
}

Record edge_record(const Run& run) {
  const Run::EdgeRec& E = run.EDGE;
  Record r;
  r.i4(E.NEDGE);
  for (int i = 1; i <= E.NEDGE; ++i) r.r8(E.FRQEDG(i)).r8(E.WLEDGE(i)).r8(E.CMEDGE(i));
  return r;
}

Record frequency_record(const Run& run) {
  const int n = run.FRESET.NUMNU;
  Record r;
  r.i4(n);
  const double* f = run.EDGE.FREQSET.data();
  r.r8(f, f + n);
  return r;
}

}  // namespace

double table_header_teff(const Run& run) { return run.TEMP.T(1); }

void write_table_headers(Run& run) {
  Unformatted& u10 = run.UNITS.table;
  Unformatted& u11 = run.UNITS.maxima;
  const TablesRec& TB = run.TABLES;
  u10.write(header_record(run));
  u11.write(header_record(run));
  Record edges10 = edge_record(run);
  edges10.r8(TB.IDMOL.begin(), TB.IDMOL.end()).r8(TB.MOMASS.begin(), TB.MOMASS.end());
  u10.write(edges10);
  u11.write(edge_record(run));
  u10.write(frequency_record(run));
  u11.write(frequency_record(run));
}

void write_depth_block(Run& run) {
  TablesRec& TB = run.TABLES;
  Record r;
  for (const Arr<float, NTAB_HEAD>* a :
       {&TB.T4, &TB.TKEV4, &TB.TK4, &TB.HKT4, &TB.TLOG4, &TB.HCKT4, &TB.P4, &TB.XNE4, &TB.XNATOM4,
        &TB.RHO4, &TB.RHOX4, &TB.VTURB4, &TB.XNFH4})
    r.r4(a->begin(), a->end());
  r.r4(TB.XNFHE4.begin(), TB.XNFHE4.end());
  r.r4(TB.XNFH24.begin(), TB.XNFH24.end());
  run.UNITS.table.write(r);
}

void write_depth_record(Run& run) {
  const TablesRec& TB = run.TABLES;
  Record r;
  r.reserve(sizeof(float) * (TB.XNFPEL4.size() + TB.DOPPLE4.size() + TB.CONTINALL4.size()));
  r.r4(TB.XNFPEL4.begin(), TB.XNFPEL4.end());
  r.r4(TB.DOPPLE4.begin(), TB.DOPPLE4.end());
  r.r4(TB.CONTINALL4.begin(), TB.CONTINALL4.end());
  run.UNITS.table.write(r);
}

void write_maxima(Run& run) {
  // The 896 KB of singles are the record's bytes as they stand: written without a copy.
  const TablesRec& TB = run.TABLES;
  run.UNITS.maxima.write(TB.XNFDOPMAX.data(), sizeof(float) * TB.XNFDOPMAX.size());
}

}  // namespace atmotab
