"""Checks of data/tabh2h2.txt and data/tabh2he.txt (collision-induced absorption) and of their generator
tools/make_cia_tables.py: layout, reference columns, fill rule, and the raw entries against A. Borysow's
original tables (cm-1 amagat-2) converted independently."""

import math
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
DATA = os.path.join(ROOT, "data")
TOOL = os.path.join(ROOT, "tools", "make_cia_tables.py")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import make_cia_tables as gen  # noqa: E402

ORIGINALS = {"h2h2": "CIA_Borysow_H2H2_0060-7000K_0.6-500um.dat", "h2he": "CIA_Borysow_H2He_1000-7000K_0.5-400um.dat"}
LOSCHMIDT = 2.6867811e19  # cm-3 per amagat (CODATA 2018, 273.15 K and 1 atm)


def raw_dir():
    for base in ("/work/shared/data", os.path.join(ROOT, "..", "shared", "data")):
        d = os.path.join(base, "continuum", "cia")
        if os.path.isfile(os.path.join(d, ORIGINALS["h2h2"])):
            return d
    return None


def table(name):
    with open(os.path.join(DATA, f"tab{name}.txt"), encoding="utf-8") as f:
        lines = [l.split() for l in f if l.strip() and not l.startswith("#")]
    assert lines[0] == ["format", f"atmotab-tab{name}", "1"]
    assert lines[1] == ["temperatures", "7", "wavenumbers", "81"]
    return [(int(l[0]), int(l[1]), l[2], [float(v) for v in l[3:]]) for l in lines[2:]]


def original(name):
    """Borysow's table: {wavenumber: {T: alpha [cm-1 amagat-2]}}."""
    with open(os.path.join(raw_dir(), ORIGINALS[name]), encoding="ascii") as f:
        lines = f.read().splitlines()
    temps = [float(t) for t in lines[lines.index("@TEMPERATURES") + 1].split()]
    out = {}
    for line in lines[lines.index("@DATA") + 1:]:
        if line.strip() and not line.startswith("#"):
            v = [float(x) for x in line.split()]
            out[v[0]] = dict(zip(temps, v[1:]))
    return out


class CiaTables(unittest.TestCase):
    def test_layout_reference_columns_and_finite_values(self):
        for name in ("h2h2", "h2he"):
            rows = table(name)
            self.assertEqual([r[0] for r in rows], list(range(1, 82)))
            self.assertEqual([r[1] for r in rows], [250 * k for k in range(81)])
            for k, w, tag, vals in rows:
                self.assertEqual(len(vals), 7)
                self.assertTrue(all(math.isfinite(v) and -60 < v < -40 for v in vals), (name, w))
                if w in gen.REFERENCE[name]:
                    self.assertEqual(tag, "given")
                    self.assertEqual(tuple(vals), gen.REFERENCE[name][w])
        # Spot values typed from the reference columns.
        self.assertEqual(table("h2h2")[8][3][0], -44.712)
        self.assertEqual(table("h2he")[80][3][6], -46.578)
        self.assertEqual(table("h2he")[40][3][3], -46.749)

    def test_fill_rows_linear_between_last_raw_row_and_20000(self):
        rows = table("h2h2")
        fills = [r for r in rows if r[2] == "fill"]
        self.assertEqual([r[1] for r in fills], list(range(16500, 20000, 250)))
        last_raw, end = rows[65], rows[80]
        self.assertEqual((last_raw[1], last_raw[2]), (16250, "raw"))
        for k, w, tag, vals in fills:
            f = (w - 16250) / 3750
            for t in range(7):
                self.assertAlmostEqual(vals[t], last_raw[3][t] + f * (end[3][t] - last_raw[3][t]), delta=6e-4)
        self.assertFalse(any(r[2] == "fill" for r in table("h2he")))

    @unittest.skipIf(raw_dir() is None, "raw CIA data (../shared/data/continuum/cia) not available")
    def test_raw_rows_against_borysow_originals(self):
        # Wherever the 250 cm-1 grid meets the original grid (every 500 cm-1), a raw row is the original
        # alpha converted to cm5 per pair: log10 alpha - 2 log10(Loschmidt), rounded to 3 decimals.
        checked = 0
        for name in ("h2h2", "h2he"):
            orig = original(name)
            for k, w, tag, vals in table(name):
                if tag != "raw" or float(w) not in orig:
                    continue
                for t, v in zip(gen.TEMPS, vals):
                    expected = math.log10(orig[float(w)][float(t)]) - 2 * math.log10(LOSCHMIDT)
                    self.assertAlmostEqual(v, expected, delta=6e-4, msg=(name, w, t))
                    checked += 1
        self.assertGreater(checked, 250)

    @unittest.skipIf(raw_dir() is None, "raw CIA data (../shared/data/continuum/cia) not available")
    def test_generator_reproduces_the_committed_tables(self):
        with tempfile.TemporaryDirectory() as d:
            subprocess.run([sys.executable, TOOL, raw_dir(), "--out", d], check=True)
            for name in ("tabh2h2.txt", "tabh2he.txt"):
                with open(os.path.join(d, name), encoding="utf-8") as a, open(os.path.join(DATA, name), encoding="utf-8") as b:
                    self.assertEqual(a.read(), b.read(), name)


if __name__ == "__main__":
    unittest.main()
