"""Checks of the atomic data tables in data/ and of their generator tools/make_atomic_tables.py.

The partition-function evaluations below are written out independently of the generator, following
the program's rules: packed-table interpolation in ten points at (p + 0.5) Ts, the ground-level
floor below 2 Ts, and the iron-group interpolation in log T and log lowering.
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
TOOL = os.path.join(ROOT, "tools", "make_atomic_tables.py")
TABLES = ("potion.txt", "ipftab.txt", "fegrpf.txt", "pfground.txt")


def raw_dir():
    for base in ("/work/shared/data", os.path.join(ROOT, "..", "shared", "data")):
        d = os.path.join(base, "atomic")
        if os.path.isfile(os.path.join(d, "nist_levels.tsv")):
            return d
    return None


def data_lines(name):
    """Non-comment lines of a table: the format line, the count line, then the rows."""
    with open(os.path.join(DATA, name), encoding="utf-8") as f:
        return [l.split() for l in f if l.strip() and not l.startswith("#")]


def load_potion():
    lines = data_lines("potion.txt")
    return {int(c[0]): float(c[1]) for c in lines[2:]}


def load_ipftab():
    lines = data_lines("ipftab.txt")
    return {int(c[0]): (int(c[1]), int(c[2]), [int(w) for w in c[3:]]) for c in lines[2:]}


def load_fegrpf():
    lines = data_lines("fegrpf.txt")
    return {(int(c[0]), int(c[1]), int(c[2])): [float(v) for v in c[3:]] for c in lines[2:]}


def load_pfground():
    lines = data_lines("pfground.txt")
    out = {}
    for c in lines[2:]:
        n = int(c[3])
        if n == 0:
            out[int(c[0])] = float(c[4])
        else:
            out[int(c[0])] = [(float(c[4 + 2 * k]), float(c[5 + 2 * k])) for k in range(n)]
    return out


def decode(word):
    """Two values of a packed word: K1, K2 times SCALE(KS)."""
    scale = (0.001, 0.01, 0.1, 1.0)[word % 10 - 1]
    return (word // 100000) * scale, ((word % 100000) // 10) * scale


def potion_ev(potion, z, ion):
    slot = z * (z + 1) // 2 - 1 + ion if z <= 30 else 5 * z + 340 + ion
    while potion[slot] == 0.0:
        slot -= 1
    return potion[slot] / 8065.479


def pfground(levels, t):
    if not isinstance(levels, list):
        return levels
    return sum(g * math.exp(-1.4387884 * e / t) for g, e in levels)


def packed_part(words, ip_ev, t, ground):
    """Partition function from one packed row at T (no lowering, hence no tail)."""
    ts = ip_ev * 2000.0 / 11.0
    u = t / ts - 0.5
    it = min(9, max(1, int(u)))
    dt = u - it
    i = (it + 1) // 2
    if it % 2 == 1:
        p1, p2 = decode(words[i - 1])
        ks = words[i - 1] % 10
    else:
        p1 = decode(words[i - 1])[1]
        p2 = decode(words[i])[0]
        ks = 9
    pmin = 1.0
    if it % 2 == 1 and dt < 0 and ks <= 1 and int(p1) == int(p2 + 0.5):
        pmin = float(int(p1))
    part = max(pmin, p1 + (p2 - p1) * dt)
    if t < 2 * ts:
        part = max(pfground(ground, t), part)
    return part


def pfiron(table, z, ion, t, lowering_cm):
    """Iron-group interpolation in log10 T rows and log10 lowering columns."""
    tl = math.log10(t)
    if 3.7 <= tl <= 4.0:
        it = int((tl - 3.7) / 0.03 + 21)
        f = ((tl - 3.7) - (it - 21) * 0.03) / 0.03
    elif tl < 3.7:
        it = max(2, int((tl - 3.32) / 0.02 + 2))
        f = ((tl - 3.32) - (it - 2) * 0.02) / 0.02
    else:
        it = min(56, int((tl - 4.0) / 0.05 + 31))
        f = ((tl - 4.0) - (it - 31) * 0.05) / 0.05

    def col(l):
        return (1 - f) * table[(z, ion, it - 1)][l - 1] + f * table[(z, ion, it)][l - 1]

    lows = [500, 1000, 2000, 4000, 8000, 16000, 32000]
    if lowering_cm < 500:
        return col(1)
    if lowering_cm >= 32000:
        return col(7)
    l = next(k for k in range(2, 8) if lowering_cm < lows[k - 1])
    p = (math.log10(lowering_cm) - math.log10(lows[l - 2])) / 0.30103
    return (1 - p) * col(l - 1) + p * col(l)


def barklem_collet(raw, species):
    """Q(T) of Barklem & Collet 2016 table 8 (Nov 2022) for a species such as 'Fe_II'."""
    with open(os.path.join(raw, "barklem_collet_2016", "table8_vNov2022.dat")) as f:
        lines = f.read().splitlines()
    temps = [float(v) for v in lines[2].split()[2:]]
    for l in lines[3:]:
        c = l.split()
        if c and c[0] == species:
            return dict(zip(temps, (float(v) for v in c[1:])))
    raise KeyError(species)


class TableFormat(unittest.TestCase):
    def test_counts_and_finite_positive(self):
        expect = {"potion.txt": ("atmotab-potion", 840), "ipftab.txt": ("atmotab-ipftab", 365),
                  "fegrpf.txt": ("atmotab-fegrpf", 9 * 10 * 56), "pfground.txt": ("atmotab-pfground", 336)}
        for name, (fmt, nrows) in expect.items():
            lines = data_lines(name)
            self.assertEqual(lines[0][:2], ["format", fmt], name)
            self.assertEqual(len(lines) - 2, nrows, name)
        for k, v in load_fegrpf().items():
            self.assertEqual(len(v), 7)
            for x in v:
                self.assertTrue(math.isfinite(x) and x > 0, k)
        for n, (z, ion, words) in load_ipftab().items():
            for w in words[:5]:
                self.assertTrue(1 <= w % 10 <= 4 and 0 < w < 2**31, n)
                for x in decode(w):
                    self.assertGreaterEqual(x, 1.0, n)  # at least the ground weight
            self.assertTrue(0 <= words[5] < 2**31)
        for n, entry in load_pfground().items():
            self.assertGreater(pfground(entry, 5000.0), 0.0, n)


class Potion(unittest.TestCase):
    def test_check_values(self):
        p = load_potion()
        cases = {1: 109678.766, 2: 0.0, 3: 198310.766, 4: 438908.844, 5: 0.0, 6: 43487.148,
                 7: 610079.0, 8: 987660.125, 496: 48387.629, 497: 165458.0, 498: 247700.0,
                 499: 517600.0, 500: 726000.0, 836: 51800.0, 837: 95000.0, 838: 161000.0,
                 839: 0.0, 840: 0.0}
        for slot, v in cases.items():
            self.assertEqual(p[slot], v, slot)
        # Fe I (slot 26*27/2 - 1 + 1 = 351) and O I (slot 36): NIST check values.
        self.assertAlmostEqual(p[351], 63737.704, delta=0.01)
        self.assertAlmostEqual(p[36], 109837.021, delta=0.01)

    def test_bare_nucleus_zero_and_stages_positive(self):
        p = load_potion()
        for z in range(1, 31):
            first = z * (z + 1) // 2
            self.assertEqual(p[first + z], 0.0, "bare nucleus of Z=%d" % z)
            for ion in range(1, z + 1):
                self.assertGreater(p[first + ion - 1], 0.0, (z, ion))
            # ionization potentials increase with stage
            seq = [p[first + ion - 1] for ion in range(1, z + 1)]
            self.assertEqual(seq, sorted(seq), z)
        for z in range(31, 100):
            for ion in range(1, 4):
                self.assertGreater(p[5 * z + 340 + ion], 0.0, (z, ion))


class Ipftab(unittest.TestCase):
    ROW1 = [2.000, 2.000, 2.000, 2.001, 2.016, 2.088, 2.312, 2.828, 3.789, 5.341]
    ROW27 = [8.747, 8.969, 9.247, 9.571, 9.94, 10.49, 11.52, 13.49, 16.9, 22.24]

    def test_reference_rows_decode(self):
        t = load_ipftab()
        for row, z, ion, vals, g in ((1, 1, 1, self.ROW1, 2), (27, 8, 1, self.ROW27, 7)):
            tz, tion, words = t[row]
            self.assertEqual((tz, tion), (z, ion))
            got = [v for w in words[:5] for v in decode(w)]
            for a, b in zip(got, vals):
                self.assertAlmostEqual(a, b, places=9)
            self.assertEqual(words[5] % 100, g)

    def test_row_index_order(self):
        t = load_ipftab()
        self.assertEqual(t[2][:2], (1, 2))       # H II
        self.assertEqual(t[45][:2], (11, 1))     # Na I: LOCZ(11)
        self.assertEqual(t[141][:2], (29, 1))    # Cu I: 3 Z + 53 + 1
        self.assertEqual(t[353][:2], (99, 3))
        self.assertEqual(t[354][:2], (6, 1))
        self.assertEqual(t[365][:2], (7, 6))
        # word 6: IP of O II 35.121 eV, G = 2 x 9 (O III ground term 3P)
        self.assertEqual(t[28][2][5], 3512100 + 18)
        for row in (2, 5, 9):                    # bare nuclei: U = 1
            self.assertEqual(set(t[row][2][:5]), {100010001})

    @unittest.skipIf(raw_dir() is None, "raw NIST data (../shared/data/atomic) not available")
    def test_method_reproduces_reference_rows(self):
        sys.path.insert(0, os.path.dirname(TOOL))
        import make_atomic_tables as gen
        at = gen.Atomic(raw_dir())
        slots = gen.build_potion(at)
        for z, vals in ((1, self.ROW1), (8, self.ROW27)):
            levels, _ = gen.ipftab_levels(at, z, 1)
            ts = potion_ev(load_potion(), z, 1) * 2000.0 / 11.0
            self.assertAlmostEqual(ts, gen.potion_ev(slots, z, 1) * 2000 / 11, delta=0.01)
            for p, v in enumerate(vals, start=1):
                t = (p + 0.5) * ts
                u = sum(g * math.exp(-1.4387769 * e / t) for e, g in levels)
                self.assertLess(abs(u / v - 1), 0.02, "Z=%d point %d: %.4f vs %.4f" % (z, p, u, v))

    @unittest.skipIf(raw_dir() is None, "raw data (../shared/data/atomic) not available")
    def test_barklem_collet(self):
        """U(O I), U(Fe II), U(Ca II) from the packed rows within 2 % of Barklem & Collet 2016."""
        t, p, pg = load_ipftab(), load_potion(), load_pfground()
        rows = {(8, 1): 27, (26, 2): 127, (20, 2): 97}
        for (z, ion), row in rows.items():
            name = {8: "O", 26: "Fe", 20: "Ca"}[z] + "_" + "I" * ion
            bc = barklem_collet(raw_dir(), name)
            self.assertEqual(t[row][:2], (z, ion))
            for temp in (5000.0, 10000.0):
                u = packed_part(t[row][2], potion_ev(p, z, ion), temp, pg.get(6 * (z - 1) + ion, 1.0))
                self.assertLess(abs(u / bc[temp] - 1), 0.02, "%s %g K: %.4f vs %.4f"
                                % (name, temp, u, bc[temp]))


class Fegrpf(unittest.TestCase):
    def test_reference_values(self):
        f = load_fegrpf()
        self.assertEqual([round(v, 3) for v in f[(26, 1, 1)]], [19.692] * 7)
        self.assertEqual([round(v, 3) for v in f[(20, 1, 1)]], [1.0] * 7)
        row30 = [60.584, 60.539, 60.374, 59.965, 59.205, 58.074, 55.0]
        for a, b in zip(f[(26, 1, 30)], row30):
            self.assertLess(abs(a / b - 1), 0.03, (a, b))
        self.assertLess(abs(f[(26, 1, 56)][6] / 466.539 - 1), 0.03)
        row20 = (27.834, 27.818)
        self.assertLess(abs(f[(26, 1, 20)][0] / row20[0] - 1), 0.01)
        self.assertLess(abs(f[(26, 1, 20)][6] / row20[1] - 1), 0.01)

    def test_monotonic_in_lowering_and_temperature(self):
        f = load_fegrpf()
        for (z, ion, r), v in f.items():
            # a larger lowering removes levels: U does not increase along a row
            for a, b in zip(v, v[1:]):
                self.assertGreaterEqual(a, b, (z, ion, r))
            if r > 1:
                for a, b in zip(f[(z, ion, r - 1)], v):
                    self.assertLessEqual(a, b * (1 + 1e-6), (z, ion, r))

    @unittest.skipIf(raw_dir() is None, "raw data (../shared/data/atomic) not available")
    def test_barklem_collet(self):
        f = load_fegrpf()
        # Ca I only at 5000 K: at 10^4 K its NIST Rydberg levels within 500 cm-1 of the limit,
        # which the smallest lowering column cuts off, carry a fifth of Barklem & Collet's sum.
        cases = ((26, 1, "Fe_I", (5000.0, 10000.0)), (26, 2, "Fe_II", (5000.0, 10000.0)),
                 (20, 2, "Ca_II", (5000.0, 10000.0)), (20, 1, "Ca_I", (5000.0,)))
        for z, ion, name, temps in cases:
            bc = barklem_collet(raw_dir(), name)
            for temp in temps:
                u = pfiron(f, z, ion, temp, 0.0)
                self.assertLess(abs(u / bc[temp] - 1), 0.02, "%s %g K: %.4f vs %.4f"
                                % (name, temp, u, bc[temp]))


class Pfground(unittest.TestCase):
    def test_reference_lists(self):
        pg = load_pfground()
        cases = {
            1: 2.0, 37: 4.0, 85: 4.0,
            31: [(1, 0), (3, 16.4), (5, 43.4), (5, 10192.63)],
            32: [(2, 0), (4, 63.42)],
            43: [(5, 0), (3, 158.265), (1, 226.977)],
            327: [(4, 0), (2, 13884)],
            332: [(2, 0), (4, 4873.852), (6, 5674.807)],
        }
        for n, v in cases.items():
            self.assertEqual(pg[n], v, n)
        for n in list(range(114, 169)) + [2, 5]:  # iron group, bare H and He
            self.assertEqual(pg[n], 1.0, n)
        self.assertEqual(pg[247], 7.0)  # Mo I 7S3 alone below the cut

    def test_worked_value(self):
        # C I at 5000 K: 1 + 3 e^(-16.4 c) + 5 e^(-43.4 c) + 5 e^(-10192.63 c), c = 1.4387884/5000
        self.assertAlmostEqual(pfground(load_pfground()[31], 5000.0), 9.190004, places=5)  # evaluated by hand from the four terms


class Regeneration(unittest.TestCase):
    @unittest.skipIf(raw_dir() is None,
                     "raw NIST data not found (/work/shared/data or $ATMOTAB_SOURCE_DIR/../shared/data)")
    def test_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, TOOL, raw_dir(), "--out", out], check=True)
            for name in TABLES:
                with open(os.path.join(out, name), "rb") as a, open(os.path.join(DATA, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), name + " differs from its regeneration")


if __name__ == "__main__":
    unittest.main()
