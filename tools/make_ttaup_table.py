#!/usr/bin/env python3
"""Write data/ttaup_kappa.txt, the Rosseland opacity table of the pressure integration ttaup.

The table holds log10 of the Rosseland mean opacity per gram [cm2 g-1] times 1000, as integers, at
36 temperatures (log10 T = 3.5 .. 5.0) and 30 gas pressures (log10 P = -2 .. 6, P in dyn cm-2).
Three rows are the program's reference values (log10 P = -2, 3 and 6, all 36 temperatures), and
so are the first six temperatures of the row log10 P = -1.5. Every other entry is provisional:

* at each temperature, log10 kappa is interpolated linearly in log10 P between the nearest
  reference entries below and above (for the first six temperatures the row -1.5 is one of them);
* the result is rounded to the nearest integer, halves away from zero, in exact rational
  arithmetic (no floating-point rounding enters).

A later version computes every row from the program's continuous-opacity sources; until then these
rows only have to give the hydrostatic integration a smooth, plausible opacity.

Usage: make_ttaup_table.py [--output FILE]   (default: data/ttaup_kappa.txt beside this script)
"""

import argparse
import os
from fractions import Fraction

# log10 T nodes [K]: 3.5 .. 4.0 step 0.025, 4.05 .. 4.5 step 0.05, 4.6 .. 5.0 step 0.1.
TABT = ([Fraction(3500 + 25 * i, 1000) for i in range(21)]
        + [Fraction(405 + 5 * i, 100) for i in range(10)]
        + [Fraction(46 + i, 10) for i in range(5)])
# log10 P nodes [dyn cm-2]: -2 .. 1 step 0.5, 1.25 .. 3 step 0.25, 3.2 .. 6 step 0.2.
TABP = ([Fraction(-4 + i, 2) for i in range(7)]
        + [Fraction(5 + i, 4) for i in range(8)]
        + [Fraction(16 + i, 5) for i in range(15)])
assert len(TABT) == 36 and len(TABP) == 30

# Reference rows, all 36 temperatures from log10 T = 3.5 upward, keyed by row number (1-based).
GIVEN = {
    1: [-4254, -4220, -4147, -3936, -3601, -3206, -2787, -2361, -1944, -1540, -1161, -838,
        -632, -553, -533, -532, -537, -542, -545, -541, -525, -500, -489, -488, -493, -489,
        -481, -455, -451, -449, -445, -428, -403, -405, -410, -437],
    15: [-3256, -3024, -2783, -2578, -2435, -2360, -2339, -2319, -2197, -1971, -1697, -1402,
         -1104, -794, -471, -136, 203, 537, 843, 1088, 1248, 1255, 1024, 751, 529, 349, 204,
         77, -19, -74, -95, -193, -317, -363, -384, -408],
    30: [-1119, -936, -776, -629, -478, -319, -164, -21, 94, 177, 235, 292, 398, 563, 764, 973,
         1174, 1384, 1604, 1821, 2024, 2427, 2781, 3047, 3159, 3092, 2918, 2734, 2570, 2415,
         2267, 1993, 1704, 1107, 557, 145],
}
# The reference start of row 2 (log10 P = -1.5): its first six temperatures.
ROW2_START = [-4257, -4220, -4175, -4039, -3758, -3394]


def round_half_away(x):
    """Nearest integer of the rational X, halves away from zero."""
    n = abs(x)
    r = int(n + Fraction(1, 2))
    return r if x >= 0 else -r


def build():
    """The table as rows[k][i] (k = pressure row 0..29, i = temperature 0..35) and row tags."""
    known = {}  # (k, i) -> reference value
    for row, values in GIVEN.items():
        for i, v in enumerate(values):
            known[(row - 1, i)] = v
    for i, v in enumerate(ROW2_START):
        known[(1, i)] = v
    rows = []
    for k in range(30):
        row = []
        for i in range(36):
            if (k, i) in known:
                row.append(known[(k, i)])
                continue
            lo = max(kk for kk in range(k) if (kk, i) in known)
            hi = min(kk for kk in range(k + 1, 30) if (kk, i) in known)
            f = (TABP[k] - TABP[lo]) / (TABP[hi] - TABP[lo])
            row.append(round_half_away(known[(lo, i)] + f * (known[(hi, i)] - known[(lo, i)])))
        rows.append(row)
    tags = []
    for k in range(30):
        n = sum((k, i) in known for i in range(36))
        tags.append("given" if n == 36 else "partial" if n else "interp")
    return rows, tags


def decimal(x):
    """A node value as the shortest decimal text (e.g. 3.525, -1.5, 6)."""
    s = f"{float(x):.3f}".rstrip("0").rstrip(".")
    assert Fraction(s) == x
    return s


HEADER = """\
# TTAUP_KAPPA: Rosseland mean opacity of the pressure integration ttaup, log10 kappa x 1000
# Source: the program's reference rows (log10 P = -2, 3, 6 in full; log10 P = -1.5 for the first
#   six temperatures); all other entries provisional, interpolated (see data/PROVENANCE.md).
# Columns: row k (1..30), log10 P [dyn cm-2] of the row, tag (given: reference row; partial:
#   reference values for the first six temperatures only; interp: interpolated), then 36 integers
#   1000 x log10 kappa_Ross [cm2 g-1] at log10 T [K] =
#   {tabt}
# Edits: the other entries are linear in log10 P between the nearest reference entries of
#   the same temperature, rounded to the nearest integer (halves away from zero).
# Generator: tools/make_ttaup_table.py
format atmotab-ttaup_kappa 1
temperatures 36 pressures 30
"""


def write(path):
    rows, tags = build()
    tabt = " ".join(decimal(t) for t in TABT)
    # Wrap the temperature list of the header at 96 columns.
    words, lines, line = tabt.split(), [], ""
    for w in words:
        if len(line) + len(w) + 1 > 92:
            lines.append(line)
            line = ""
        line = (line + " " + w).strip()
    lines.append(line)
    text = HEADER.replace("{tabt}", "\n#   ".join(lines))
    for k in range(30):
        text += f"{k + 1:2d} {decimal(TABP[k]):>4s} {tags[k]:7s} " + " ".join(
            f"{v:5d}" for v in rows[k]) + "\n"
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--output", default=os.path.join(here, "..", "data", "ttaup_kappa.txt"))
    args = ap.parse_args()
    write(args.output)


if __name__ == "__main__":
    main()
