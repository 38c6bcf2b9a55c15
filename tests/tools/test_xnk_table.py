"""Checks of data/xnk.txt (hydrogen level photoionization cross-sections) and of its generator
tools/make_xnk_table.py: the computation against the closed form for n = 1, against published
values (exact thresholds and Nahar 2021 R-matrix data) and against the program's reference
entries; the table's physics (monotonic, high-energy power law, Gaunt factors at threshold)."""

import math
import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
TABLE = os.path.join(ROOT, "data", "xnk.txt")
TOOL = os.path.join(ROOT, "tools", "make_xnk_table.py")
sys.path.insert(0, os.path.join(ROOT, "tools"))
import make_xnk_table as gen  # noqa: E402

ALPHA, A0 = 7.2973525693e-3, 5.29177210903e-9  # CODATA 2018


def reference_dir():
    for base in ("/work/shared/data", os.path.join(ROOT, "..", "shared", "data")):
        d = os.path.join(base, "reference")
        if os.path.isfile(os.path.join(d, "h_bf_norad_levels_n1-15.tsv")):
            return d
    return None


def reference_rows(name):
    with open(os.path.join(reference_dir(), name), encoding="utf-8") as f:
        lines = [l.rstrip("\n").split("\t") for l in f if not l.startswith("#")]
    head = lines[0]
    return [dict(zip(head, l)) for l in lines[1:]]


def table():
    """XNK rows of the committed table, rows[n-1][i-1]."""
    with open(TABLE, encoding="utf-8") as f:
        lines = [l.split() for l in f if l.strip() and not l.startswith("#")]
    assert lines[0] == ["format", "atmotab-xnk", "1"] and lines[1] == ["energies", "29", "levels", "15"]
    rows = [[float(v) for v in l[1:]] for l in lines[2:]]
    assert [int(l[0]) for l in lines[2:]] == list(range(1, 16))
    return rows


def sigma_n1_closed_form(x):
    """Ground level at photon energy x times the threshold: (2^9 pi^2/3) alpha a0^2 x^-4
    exp(-4 atan(e)/e) / (1 - exp(-2 pi/e)), e = sqrt(x - 1) (Bethe & Salpeter 1957, section 71)."""
    e = math.sqrt(x - 1)
    return 2**9 * math.pi**2 / 3 * ALPHA * A0**2 * x**-4 * math.exp(-4 * math.atan(e) / e) / (
        -math.expm1(-2 * math.pi / e))


class XnkTable(unittest.TestCase):
    def test_generator_reproduces_the_committed_table(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "xnk.txt")
            subprocess.run([sys.executable, TOOL, "--output", out], check=True)
            with open(out, encoding="utf-8") as a, open(TABLE, encoding="utf-8") as b:
                self.assertEqual(a.read(), b.read())

    def test_ground_level_against_the_closed_form(self):
        for eps in (1e-6, 0.01, 0.4444, 1.0, 11.11, 400.0, 10000.0):
            with self.subTest(eps=eps):
                self.assertAlmostEqual(gen.sigma_exact(1, eps) / sigma_n1_closed_form(1 + eps), 1, delta=1e-12)
        # Threshold limit: (2^9 pi^2/3) alpha a0^2 e^-4 = 6.3043e-18 cm2.
        self.assertAlmostEqual(gen.sigma_exact(1, 0.0) / 6.304318e-18, 1, delta=2e-7)

    def test_decimal_precision_is_enough(self):
        # The double sums cancel most at high energy and high n: 50 and 120 digits agree.
        for n, eps in ((15, 10000.0), (15, 0.0), (8, 400.0)):
            self.assertEqual(gen.sigma_exact(n, eps), gen.sigma_exact(n, eps, prec=120))

    @unittest.skipIf(reference_dir() is None, "published reference values (../shared/data/reference) not available")
    def test_published_thresholds_and_rmatrix_values(self):
        # Exact threshold values of the reference file (7 digits), and Nahar 2021 (Atoms 9, 73)
        # R-matrix cross-sections of n = 1..15 at 17 energies each: agreement 1.4e-4 dex.
        for r in reference_rows("h_bf_threshold_n1-15.tsv"):
            n = int(r["n"])
            self.assertAlmostEqual(gen.sigma_exact(n, 0.0) / float(r["sigma_exact_cm2"]), 1, delta=1e-6)
            self.assertAlmostEqual(gen.gaunt(n, 0.0), float(r["g_bf_exact_computed"]), delta=6e-6)
        worst = 0.0
        for r in reference_rows("h_bf_norad_levels_n1-15.tsv"):
            n, x = int(r["n"]), float(r["x_computed"])
            d = math.log10(gen.sigma_exact(n, (x - 1) / n**2) / float(r["sigma_per_level_cm2_computed"]))
            worst = max(worst, abs(d))
        self.assertLess(worst, 2e-4)

    def test_reference_entries_reproduced(self):
        # Every reference entry (row n = 1, thresholds, first values) within 2e-3 dex.
        rows = gen.computed_table()
        largest, median = gen.check_reference(rows)
        print(f"\nXNK computed - reference: max {largest:.2e} dex, median {median:.2e} dex")
        self.assertLess(largest, 2e-3)
        self.assertLess(median, 3e-5)

    def test_table_physics(self):
        rows = table()
        ek = gen.EKARSAS
        for n in range(1, 16):
            row = rows[n - 1]
            # Falls with photoelectron energy (rows rise toward the threshold, i = 29).
            self.assertTrue(all(a < b for a, b in zip(row, row[1:])), n)
            # sigma ~ E^-3.5 far above threshold (s-electrons, Stobbe 1930): local slope in log-log.
            slope = (row[0] - row[1]) / math.log10((ek[0] + 1 / n**2) / (ek[1] + 1 / n**2))
            self.assertTrue(-3.5 < slope < -3.47, (n, slope))
            # Gaunt factor at threshold rises with n toward 1 (0.797 for n = 1, Karzas & Latter).
            nu = 109677.58 * 29979245800 / n**2
            g = 10 ** row[28] * n**5 * nu**3 / 2.815e29
            self.assertTrue(0.79 < g < 0.98, (n, g))
            if n > 1:
                self.assertGreater(g, g_prev)
            g_prev = g
        # Check value: 6.31e-18 cm2 for n = 1 at threshold.
        self.assertAlmostEqual(10 ** rows[0][28] / 6.31e-18, 1, delta=1e-3)


if __name__ == "__main__":
    unittest.main()
