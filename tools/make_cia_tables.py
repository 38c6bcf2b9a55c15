#!/usr/bin/env python3
"""Write data/tabh2h2.txt and data/tabh2he.txt, the H2-H2 and H2-He collision-induced absorption tables
TABH2H2(7,81) and TABH2HE(7,81) of the source h2collop.

Each table holds log10 of the collision-induced absorption coefficient per pair [cm5] at T = 1000, 2000,
..., 7000 K and wavenumber (k-1) x 250 cm-1, k = 1..81 (0 .. 20000 cm-1). Sources:

* Raw data: A. Borysow's tables, H2-H2 from Borysow 2002 (A&A 390, 779) and Borysow, Jorgensen & Fu 2001
  (JQSRT 68, 235), H2-He from Jorgensen et al. 2000 (A&A 361, 283), as regridded onto this grid in
  ../shared/data/continuum/cia/ (H2H2_log10cm5_T1000-7000_wn0-20000.txt, H2He_...; linear in
  wavenumber, log10 alpha - 38.8585 with alpha in cm-1 amagat-2 and Loschmidt's 2.6867811e19 cm-3).
* The program's reference columns (0, 250, 2000, 10000 and 20000 cm-1 for all seven temperatures), which
  are written exactly as given: fixed values that the program's results rest on; they are not Borysow's
  and differ from his by up to 2.2 dex (see the header of each table and data/PROVENANCE.md).
* Where the raw data have no value (H2-H2 beyond 16250 cm-1; both at 0 cm-1, a reference column): linear
  in wavenumber (log10 linear, an exponential fall) between the nearest entries on either side at the
  same temperature, i.e. from the last Borysow value to the reference 20000 cm-1 column.

Usage: make_cia_tables.py [RAW_DIR] [--out DIR]
  RAW_DIR defaults to ../shared/data/continuum/cia beside the source tree (or /work/shared/data/...).
"""

import argparse
import math
import os

TEMPS = (1000, 2000, 3000, 4000, 5000, 6000, 7000)
NWAVE = 81
STEP = 250  # cm-1

# The program's reference columns: wavenumber [cm-1] -> values at the seven temperatures.
REFERENCE = {
    "h2h2": {
        0: (-46.0,) * 7,
        250: (-45.35,) * 7,
        2000: (-44.712, -44.08, -43.881, -43.785, -43.726, -43.682, -43.662),
        10000: (-46.891, -46.327, -46.058, -45.844, -45.648, -45.477, -45.292),
        20000: (-55.685, -52.778, -51.42, -50.527, -49.732, -48.981, -48.338),
    },
    "h2he": {
        0: (-46.0,) * 7,
        250: (-44.288,) * 7,
        2000: (-45.268, -44.53, -44.122, -43.996, -43.883, -43.786, -43.703),
        10000: (-48.416, -47.683, -47.169, -46.749, -46.274, -45.671, -45.165),
        20000: (-52.856, -51.756, -50.418, -49.85, -49.45, -47.839, -46.578),
    },
}
RAW_FILES = {"h2h2": "H2H2_log10cm5_T1000-7000_wn0-20000.txt", "h2he": "H2He_log10cm5_T1000-7000_wn0-20000.txt"}
TITLES = {"h2h2": ("TABH2H2", "H2-H2", "Borysow 2002 (A&A 390, 779); Borysow, Jorgensen & Fu 2001 (JQSRT 68, 235)"),
          "h2he": ("TABH2HE", "H2-He", "Jorgensen et al. 2000 (A&A 361, 283)")}


def default_raw_dir():
    here = os.path.dirname(os.path.abspath(__file__))
    for base in (os.path.join(here, "..", "..", "shared", "data"), "/work/shared/data"):
        d = os.path.join(base, "continuum", "cia")
        if os.path.isfile(os.path.join(d, RAW_FILES["h2h2"])):
            return d
    return os.path.join(here, "..", "..", "shared", "data", "continuum", "cia")


def read_raw(path):
    """Rows of the regridded raw table: {wavenumber: [7 values or None]} (None where the file has nan)."""
    rows = {}
    with open(path, encoding="ascii") as f:
        source = f.readline().split(":", 1)[1].strip()
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            fields = line.split()
            if len(fields) != 8:
                raise ValueError(f"{path}: expected wavenumber and 7 values, found {line.strip()!r}")
            w = float(fields[0])
            vals = [None if v == "nan" else float(v) for v in fields[1:]]
            rows[int(w)] = vals
    if sorted(rows) != [k * STEP for k in range(NWAVE)]:
        raise ValueError(f"{path}: expected wavenumbers 0..20000 in steps of 250")
    return source, rows


def build(raw_rows, reference):
    """The table as (values[k][t], tags[k]) for k = 0..80: tag 'given' (reference column), 'raw'
    (Borysow value), 'fill' (no raw value: linear between the nearest entries on either side)."""
    values, tags = [], []
    for k in range(NWAVE):
        w = k * STEP
        if w in reference:
            values.append(list(reference[w]))
            tags.append("given")
        elif all(v is not None for v in raw_rows[w]):
            values.append(list(raw_rows[w]))
            tags.append("raw")
        elif all(v is None for v in raw_rows[w]):
            values.append(None)
            tags.append("fill")
        else:
            raise ValueError(f"raw row {w} cm-1 has values at some temperatures only")
    known = [k for k in range(NWAVE) if values[k] is not None]
    for k in range(NWAVE):
        if values[k] is None:
            lo = max(i for i in known if i < k)
            hi = min(i for i in known if i > k)
            f = (k - lo) / (hi - lo)
            values[k] = [round(a + f * (b - a), 3) for a, b in zip(values[lo], values[hi])]
    return values, tags


def raw_vs_reference(raw_rows, reference):
    """Reference minus raw [dex] at every reference entry with a raw value."""
    return [d - r for w, col in reference.items() for d, r in zip(col, raw_rows[w]) if r is not None]


def table_text(name, source, raw_rows):
    array, pair, paper = TITLES[name]
    values, tags = build(raw_rows, REFERENCE[name])
    diffs = raw_vs_reference(raw_rows, REFERENCE[name])
    mean_abs = sum(abs(d) for d in diffs) / len(diffs)
    worst = max(diffs, key=abs)
    fills = [k * STEP for k in range(NWAVE) if tags[k] == "fill"]
    out = [
        f"# {array}: log10 {pair} collision-induced absorption coefficient per pair [cm5]",
        "# Source: A. Borysow's tables,",
        f"#   {paper};",
        f"#   ../shared/data/continuum/cia/{RAW_FILES[name]}, regridded from",
        f"#   {source}",
        "#   (linear in wavenumber; log10 of cm-1 amagat-2 minus 38.8585).",
        "# Columns: row k (1..81), wavenumber (k-1) x 250 [cm-1], tag (given: the program's reference",
        "#   column; raw: Borysow; fill: no raw value), then log10 alpha at T = 1000 2000 ... 7000 K.",
        "# Values are single-precision decimal constants: the loader rounds them to float.",
        "# Edits: the reference columns 0, 250, 2000, 10000, 20000 cm-1 replace the raw values;",
        f"#   raw minus reference there: mean |difference| {mean_abs:.2f} dex, largest {-worst:+.3f} dex.",
    ]
    if fills:
        out.append(f"#   Rows {fills[0]}..{fills[-1]} cm-1 (no raw value): linear in wavenumber between the last")
        out.append("#   raw row and the reference 20000 cm-1 column, at each temperature.")
    out += ["# Generator: tools/make_cia_tables.py", f"format atmotab-{array.lower()} 1", f"temperatures 7 wavenumbers {NWAVE}"]
    for k in range(NWAVE):
        vals = " ".join(f"{v:8.3f}" for v in values[k])
        out.append(f"{k + 1:2d} {k * STEP:5d} {tags[k]:5s} {vals}")
    return "\n".join(out) + "\n"


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("raw", nargs="?", default=default_raw_dir())
    ap.add_argument("--out", default=os.path.join(here, "..", "data"))
    args = ap.parse_args(argv)
    for name in ("h2h2", "h2he"):
        source, rows = read_raw(os.path.join(args.raw, RAW_FILES[name]))
        text = table_text(name, source, rows)
        assert all(math.isfinite(float(v)) for line in text.splitlines()[-NWAVE:] for v in line.split()[3:])
        with open(os.path.join(args.out, f"tab{name}.txt"), "w", encoding="ascii") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
