#!/usr/bin/env python3
"""Build the CH and OH photodissociation tables TABCH and TABOH of the cool-metal opacity.

Writes, into data/ of the repository:
  tabch.txt  log10 CH photodissociation cross-section [cm2 per molecule], 105 rows (photon energy
             0.1 N eV, N = 1..105) x 15 columns (T = 1500 + 500 IT K, IT = 1..15)
  taboh.txt  the same for OH, 130 rows (2.0 + 0.1 N eV, N = 1..130) x 15 columns

Usage: make_choh_tables.py [RAW_DIR] [--out DATA_DIR]
RAW_DIR defaults to ../shared/data/continuum/photodissociation relative to the repository root (or
to its parent, for a worktree one level deeper).

Sources (see data/PROVENANCE.md): the Leiden photodissociation database (Heays, Bosman & van
Dishoeck 2017, A&A 602, A105): CH from van Dishoeck 1987, OH from van Dishoeck & Dalgarno 1983/84,
on a 0.1 nm wavelength grid and for cold molecules only; and the program's reference values, a few
cells that fix the temperature dependence at a few photon energies (ANCHORS below).

Method, per table:
 1. Thermal red wing. A molecule with internal (rotation-vibration) energy eps absorbs the same
    upper-state continuum at a photon energy lower by eps; with a Boltzmann distribution of eps
    (density exp(-eps/kT)/kT) the cross-section at temperature T is
        sigma_T(E) = integral_0^inf sigma_0(E + eps) exp(-eps/kT) deps/kT,
    sigma_0 the cold Leiden cross-section. It keeps the cold shape at low T, moves absorption into
    the gaps below each band and gives the wing below the lowest band a Boltzmann slope of
    1/(kT ln 10) dex per eV. Evaluated on a 0.001 eV grid as the exact recursion of the discrete
    exponential kernel, sigma_T(e_k) = (1 - a) sigma_0(e_k) + a sigma_T(e_k+1), a = exp(-0.001/kT).
    sigma_0 is linear in photon energy between the Leiden points, 0 below the lowest energy and
    held at the mean of the ten highest-energy points above the highest (the database stops at
    the Lyman limit, not the molecule).
 2. Base value of a cell: log10 of the mean of sigma_T over its 0.1 eV bin [E - 0.05, E + 0.05).
 3. Anchor rows: the reference values exactly; their other columns linear in 1/T between the
    reference columns that bracket them (a Boltzmann factor exp(-dE/kT) piece by piece). Left
    out of the fit, the reference 3000 K values of CH row 20 and OH row 1 are predicted within
    0.05 dex.
 4. Other rows, column by column: base value plus a correction linear in photon energy between
    the corrections (anchor minus base) of the anchor rows on either side. So the Leiden structure
    sets the shape between anchors and the anchors set the level and the temperature trend.
 5. Rounded to three decimals; never below -38 (the zero level of CH row 1, a reference value).
Standard library only; deterministic output.
"""

import argparse
import math
import os
import sys
import textwrap

GENERATOR = "tools/make_choh_tables.py"
HC_EV_NM = 1239.841984  # h c [eV nm] (CODATA 2018)
K_EV = 8.617333262e-5   # Boltzmann constant [eV K-1] (CODATA 2018)
STEP = 0.001            # fine energy grid [eV]
EMAX = 16.0             # top of the fine grid [eV]
FLOOR = -38.0           # log10 cross-section of "no absorption" (CH row 1)
NCOL = 15

LEIDEN = "Heays, Bosman & van Dishoeck 2017, A&A 602, A105, doi:10.1051/0004-6361/201628742"
LEIDEN_URL = ("https://home.strw.leidenuniv.nl/~ewine/photo/ (via github.com/alexandergagliano/"
              "water_network @7e29397f)")

# Reference cells: row -> {column: text}. CH row 1 is -38 in every column.
ANCHORS = {
    "tabch": {
        1: {c: "-38" for c in range(1, NCOL + 1)},
        20: {1: "-24.086", 2: "-23.222", 3: "-22.65", 15: "-20.937"},
        30: {1: "-19.64", 2: "-19.364", 15: "-18.836"},
        80: {1: "-16.694", 2: "-16.724", 15: "-17.088"},
        105: {1: "-24.519", 2: "-23.883", 15: "-22.702"},
    },
    "taboh": {
        1: {1: "-30.855", 2: "-29.121", 3: "-27.976", 15: "-24.363"},
        61: {1: "-17.613", 2: "-17.626", 15: "-17.737"},
        100: {1: "-17.193", 15: "-17.353"},
        130: {1: "-25.43", 2: "-24.787", 15: "-23.16"},
    },
}

TABLES = {
    # name: (raw file, molecule, cold source, rows, energy of row 1 [eV], rows read by the program)
    "tabch": ("Leiden_CH_0.1nm.txt", "CH", "van Dishoeck 1987, J. Chem. Phys. 86, 196", 105, 0.1,
              "20..105 (photon energies 2.0 to 10.5 eV; rows 1..19 are never read)"),
    "taboh": ("Leiden_OH_0.1nm.txt", "OH",
              "van Dishoeck & Dalgarno 1983, J. Chem. Phys. 79, 873; 1984, ApJ 277, 576", 130, 2.1,
              "1..130 (photon energies 2.1 to 15.0 eV)"),
}


def column_temperature(it):
    return 1500.0 + 500.0 * it


def row_energy(name, n):
    return TABLES[name][4] + 0.1 * (n - 1)


def read_leiden(path):
    """(energy [eV], photodissociation cross-section [cm2]) sorted by rising energy; a repeated
    wavelength keeps its first row."""
    points = {}
    with open(path, encoding="utf-8") as f:
        header = f.readline().split()
        if header[:3] != ["wavelength", "photoabsorption", "photodissociation"]:
            sys.exit(f"{path}: unexpected header {header}")
        for line in f:
            w = line.split()
            if not w:
                continue
            wl, sdiss = float(w[0]), float(w[2])
            points.setdefault(wl, sdiss)
    pts = sorted((HC_EV_NM / wl, s) for wl, s in points.items())
    return pts


def cold_on_grid(pts):
    """sigma_0 on the fine grid e_k = k STEP, k = 0..K."""
    kmax = int(round(EMAX / STEP))
    top = sum(s for _, s in pts[-10:]) / 10.0
    e0, e1 = pts[0][0], pts[-1][0]
    grid = [0.0] * (kmax + 1)
    i = 0
    for k in range(kmax + 1):
        e = k * STEP
        if e < e0:
            continue
        if e >= e1:
            grid[k] = top
            continue
        while pts[i + 1][0] <= e:
            i += 1
        (ea, sa), (eb, sb) = pts[i], pts[i + 1]
        grid[k] = sa + (sb - sa) * (e - ea) / (eb - ea)
    return grid


def thermal(cold, t):
    a = math.exp(-STEP / (K_EV * t))
    out = [0.0] * len(cold)
    out[-1] = cold[-1]
    for k in range(len(cold) - 2, -1, -1):
        out[k] = (1.0 - a) * cold[k] + a * out[k + 1]
    return out


def bin_log(sig, e):
    c = int(round(e / STEP))
    window = sig[c - 50:c + 50]
    return math.log10(sum(window) / len(window))


def anchor_rows(name):
    """Full anchor rows: reference text where given, else linear in 1/T between the reference
    columns on either side, rounded to three decimals."""
    rows = {}
    for n, cells in ANCHORS[name].items():
        cols = sorted(cells)
        row = []
        for it in range(1, NCOL + 1):
            if it in cells:
                row.append(float(cells[it]))
                continue
            lo = max(c for c in cols if c < it)
            hi = min(c for c in cols if c > it)
            xl, xh, x = (1.0 / column_temperature(c) for c in (lo, hi, it))
            vl, vh = float(cells[lo]), float(cells[hi])
            row.append(float(f"{vl + (vh - vl) * (x - xl) / (xh - xl):.3f}"))
        rows[n] = row
    return rows


def build(name, raw_dir):
    fname, _, _, nrow, _, _ = TABLES[name]
    cold = cold_on_grid(read_leiden(os.path.join(raw_dir, fname)))
    base = [[0.0] * NCOL for _ in range(nrow)]
    for it in range(1, NCOL + 1):
        sig = thermal(cold, column_temperature(it))
        for n in range(1, nrow + 1):
            base[n - 1][it - 1] = bin_log(sig, row_energy(name, n))
    anchors = anchor_rows(name)
    rows_a = sorted(anchors)
    if rows_a[0] != 1 or rows_a[-1] != nrow:
        sys.exit(f"{name}: the anchors must include the first and the last row")
    table, tags = [], []
    for n in range(1, nrow + 1):
        if n in anchors:
            table.append(anchors[n])
            tags.append("anchor")
            continue
        lo = max(r for r in rows_a if r < n)
        hi = min(r for r in rows_a if r > n)
        f = (n - lo) / (hi - lo)
        row = []
        for it in range(NCOL):
            cl = anchors[lo][it] - base[lo - 1][it]
            ch = anchors[hi][it] - base[hi - 1][it]
            v = base[n - 1][it] + cl + (ch - cl) * f
            row.append(max(FLOOR, float(f"{v:.3f}")))
        table.append(row)
        tags.append("filled")
    return table, tags


def header(name):
    fname, mol, cold_src, nrow, e1, read = TABLES[name]
    cells = "; ".join(
        f"row {n}: " + ", ".join(f"col {c} {v}" for c, v in sorted(cs.items()))
        for n, cs in sorted(ANCHORS[name].items()) if not (name == "tabch" and n == 1))
    if name == "tabch":
        cells = "row 1: -38 in every column; " + cells
    paragraphs = [
        f"{name.upper()}: log10 of the {mol} photodissociation cross-section per molecule [cm2], "
        "thermally averaged, for the CH/OH terms of the cool-metal opacity. The weakest data of the "
        "program: the only raw data are cold-molecule cross-sections; the temperature dependence "
        "comes from a model (thermal red wing) and the reference cells.",
        f"Source: Leiden photodissociation database, {LEIDEN}; {LEIDEN_URL}; file {fname} "
        f"(photodissociation column); {mol}: {cold_src}.",
        "Anchor cells (the program's reference values, kept exactly): " + cells + ".",
        f"Rows: N = 1..{nrow}, photon energy {e1:g} + 0.1 (N - 1) eV; read by the program: {read}.",
        "Columns: row N, photon energy [eV], tag (anchor: row with reference cells, its other "
        "columns linear in 1/T between them; filled: thermal Leiden shape plus a correction linear "
        "in energy between the anchor rows), then 15 values log10 sigma [cm2] at T = 2000, 2500, "
        "..., 9000 K (column IT at 1500 + 500 IT K).",
        "Edits: thermal red-wing average of the cold cross-section (kernel exp(-eps/kT)), 0.1 eV "
        "bin means, anchoring as above, rounded to three decimals, floor -38. See "
        "data/PROVENANCE.md.",
        f"Generator: {GENERATOR}",
    ]
    out = []
    for p in paragraphs:
        for i, line in enumerate(textwrap.wrap(p, width=96)):
            out.append(("# " if i == 0 else "#   ") + line + "\n")
    return "".join(out)


def render(name, table, tags):
    out = [header(name), f"format atmotab-{name} 1\n", f"rows {len(table)} columns {NCOL}\n"]
    for n, (row, tag) in enumerate(zip(table, tags), start=1):
        vals = "".join(f"{v:8.3f}" for v in row)
        out.append(f"{n:3d} {row_energy(name, n):4.1f} {tag:6s}{vals}\n")
    return "".join(out)


def main():
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    raw = [os.path.join(root, *up, "shared", "data", "continuum", "photodissociation")
           for up in (("..",), ("..", ".."))]
    ap.add_argument("raw", nargs="?", default=next((d for d in raw if os.path.isdir(d)), raw[0]))
    ap.add_argument("--out", default=os.path.join(root, "data"))
    args = ap.parse_args()
    for name in TABLES:
        table, tags = build(name, args.raw)
        with open(os.path.join(args.out, name + ".txt"), "w", encoding="utf-8", newline="\n") as f:
            f.write(render(name, table, tags))


if __name__ == "__main__":
    main()
