"""Checks of data/ttaup_kappa.txt and of its generator tools/make_ttaup_table.py."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
TABLE = os.path.join(ROOT, "data", "ttaup_kappa.txt")
TOOL = os.path.join(ROOT, "tools", "make_ttaup_table.py")


def rows():
    with open(TABLE, encoding="utf-8") as f:
        lines = [l.split() for l in f if l.strip() and not l.startswith("#")]
    return lines[2:]


class TtaupTable(unittest.TestCase):
    def test_generator_reproduces_the_committed_table(self):
        with tempfile.TemporaryDirectory() as d:
            out = os.path.join(d, "ttaup_kappa.txt")
            subprocess.run([sys.executable, TOOL, "--output", out], check=True)
            with open(out, encoding="utf-8") as a, open(TABLE, encoding="utf-8") as b:
                self.assertEqual(a.read(), b.read())

    def test_reference_rows_and_tags(self):
        r = rows()
        self.assertEqual(len(r), 30)
        tags = [row[2] for row in r]
        self.assertEqual(tags.count("given"), 3)
        self.assertEqual([i + 1 for i, t in enumerate(tags) if t == "given"], [1, 15, 30])
        self.assertEqual(tags[1], "partial")
        self.assertEqual([int(v) for v in r[1][3:9]], [-4257, -4220, -4175, -4039, -3758, -3394])
        self.assertEqual(int(r[0][3 + 35]), -437)
        self.assertEqual(int(r[14][3 + 21]), 1255)
        self.assertEqual(int(r[29][3 + 24]), 3159)

    def test_interpolated_rows_lie_between_their_reference_neighbours(self):
        # Linear in log10 P: each provisional entry lies between (or on) the reference values
        # that bracket it at its temperature.
        r = rows()
        val = [[int(v) for v in row[3:]] for row in r]
        for i in range(36):
            for k in range(30):
                lo = 1 if (k > 1 and i < 6) else 0
                lo, hi = (lo, 14) if k < 14 else (14, 29)
                if k in (0, 14, 29) or (k == 1 and i < 6):
                    continue
                a, b = sorted((val[lo][i], val[hi][i]))
                self.assertTrue(a <= val[k][i] <= b, (k + 1, i + 1))


if __name__ == "__main__":
    unittest.main()
