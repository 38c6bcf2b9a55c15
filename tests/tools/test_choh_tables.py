"""Checks of data/tabch.txt and data/taboh.txt (CH and OH photodissociation) and of their generator
tools/make_choh_tables.py.

The reference cells are written out here independently of the generator.
"""

import math
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
DATA = os.path.join(ROOT, "data")
TOOL = os.path.join(ROOT, "tools", "make_choh_tables.py")
HC_EV_NM = 1239.841984

# Reference cells: table -> row -> {column: value}.
REFERENCE = {
    "tabch": {
        1: {c: -38.0 for c in range(1, 16)},
        20: {1: -24.086, 2: -23.222, 3: -22.65, 15: -20.937},
        30: {1: -19.64, 2: -19.364, 15: -18.836},
        80: {1: -16.694, 2: -16.724, 15: -17.088},
        105: {1: -24.519, 2: -23.883, 15: -22.702},
    },
    "taboh": {
        1: {1: -30.855, 2: -29.121, 3: -27.976, 15: -24.363},
        61: {1: -17.613, 2: -17.626, 15: -17.737},
        100: {1: -17.193, 15: -17.353},
        130: {1: -25.43, 2: -24.787, 15: -23.16},
    },
}
SHAPE = {"tabch": (105, 0.1), "taboh": (130, 2.1)}


def raw_dir():
    for base in ("/work/shared/data", os.path.join(ROOT, "..", "shared", "data")):
        d = os.path.join(base, "continuum", "photodissociation")
        if os.path.isfile(os.path.join(d, "Leiden_CH_0.1nm.txt")):
            return d
    return None


def load(name):
    """(format line, count line, {row: (energy, tag, [15 values])})."""
    with open(os.path.join(DATA, name + ".txt"), encoding="utf-8") as f:
        lines = [l.split() for l in f if l.strip() and not l.startswith("#")]
    rows = {int(r[0]): (float(r[1]), r[2], [float(v) for v in r[3:]]) for r in lines[2:]}
    return lines[0], lines[1], rows


def leiden_bin(name, e):
    """log10 of the mean Leiden photodissociation cross-section over [e - 0.05, e + 0.05) eV."""
    f = {"tabch": "Leiden_CH_0.1nm.txt", "taboh": "Leiden_OH_0.1nm.txt"}[name]
    vals = []
    with open(os.path.join(raw_dir(), f), encoding="utf-8") as fh:
        next(fh)
        for line in fh:
            w = line.split()
            if w and e - 0.05 <= HC_EV_NM / float(w[0]) < e + 0.05:
                vals.append(float(w[2]))
    return math.log10(sum(vals) / len(vals))


class ChohTables(unittest.TestCase):
    @unittest.skipIf(raw_dir() is None, "raw Leiden data (../shared/data/continuum) not available")
    def test_generator_reproduces_the_committed_tables(self):
        with tempfile.TemporaryDirectory() as d:
            subprocess.run([sys.executable, TOOL, raw_dir(), "--out", d], check=True)
            for name in ("tabch", "taboh"):
                with open(os.path.join(d, name + ".txt"), encoding="utf-8") as a, \
                        open(os.path.join(DATA, name + ".txt"), encoding="utf-8") as b:
                    self.assertEqual(a.read(), b.read(), name)

    def test_layout_and_reference_cells(self):
        for name, (nrow, e1) in SHAPE.items():
            fmt, count, rows = load(name)
            self.assertEqual(fmt, ["format", "atmotab-" + name, "1"])
            self.assertEqual(count, ["rows", str(nrow), "columns", "15"])
            self.assertEqual(sorted(rows), list(range(1, nrow + 1)))
            for n, (e, tag, vals) in rows.items():
                self.assertAlmostEqual(e, e1 + 0.1 * (n - 1), places=9)
                self.assertEqual(len(vals), 15)
                self.assertEqual(tag, "anchor" if n in REFERENCE[name] else "filled", (name, n))
            for n, cells in REFERENCE[name].items():
                for c, v in cells.items():
                    self.assertEqual(rows[n][2][c - 1], v, (name, n, c))

    def test_values_are_physical_cross_sections(self):
        # log10 sigma between the table's zero level (-38) and 1e-15 cm2, above any molecular
        # photodissociation cross-section (the Leiden maxima are 1.8e-16 for CH, 1.1e-17 for OH).
        for name in SHAPE:
            for n, (_, _, vals) in load(name)[2].items():
                for v in vals:
                    self.assertTrue(-38.0 <= v <= -15.0, (name, n, v))

    def test_other_anchor_cells_lie_between_their_reference_neighbours(self):
        for name in SHAPE:
            rows = load(name)[2]
            for n, cells in REFERENCE[name].items():
                cols = sorted(cells)
                for c in range(1, 16):
                    if c in cells:
                        continue
                    lo = max(k for k in cols if k < c)
                    hi = min(k for k in cols if k > c)
                    a, b = sorted((cells[lo], cells[hi]))
                    self.assertTrue(a <= rows[n][2][c - 1] <= b, (name, n, c))

    def test_boltzmann_law_predicts_a_left_out_reference_cell(self):
        # Linear in 1/T between 2500 and 9000 K, the 3000 K cell of CH row 20 and OH row 1 comes
        # out within 0.05 dex of the reference value: the red wing is a Boltzmann factor.
        for name, n in (("tabch", 20), ("taboh", 1)):
            cells = REFERENCE[name][n]
            x2500, x3000, x9000 = 1 / 2500, 1 / 3000, 1 / 9000
            pred = cells[2] + (cells[15] - cells[2]) * (x3000 - x2500) / (x9000 - x2500)
            self.assertLess(abs(pred - cells[3]), 0.05, (name, n, pred))

    def test_red_wing_rises_with_temperature(self):
        # Below the lowest band (CH 3.46 eV, OH 4.68 eV) every column lies above the cooler one.
        for name, last in (("tabch", 33), ("taboh", 26)):
            rows = load(name)[2]
            first = 20 if name == "tabch" else 1
            for n in range(first, last + 1):
                vals = rows[n][2]
                for c in range(14):
                    self.assertLess(vals[c], vals[c + 1], (name, n, c + 1))

    @unittest.skipIf(raw_dir() is None, "raw Leiden data (../shared/data/continuum) not available")
    def test_cool_column_follows_the_cold_cross_sections_at_the_band_maxima(self):
        _, _, ch = load("tabch")
        self.assertLess(abs(ch[79][2][0] - leiden_bin("tabch", 7.9)), 0.01)  # CH peak, 7.9 eV
        _, _, oh = load("taboh")
        for n in range(58, 67):  # OH maximum, 7.8 to 8.6 eV
            self.assertLess(abs(oh[n][2][0] - leiden_bin("taboh", oh[n][0])), 0.25, n)
        for n in range(46, 103):  # the OH continuum, 6.6 to 12.2 eV
            self.assertLess(abs(oh[n][2][0] - leiden_bin("taboh", oh[n][0])), 0.75, n)


if __name__ == "__main__":
    unittest.main()
