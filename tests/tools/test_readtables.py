"""tools/atmotab_tables.py and tools/readtables.py on table and maxima files built record by record
in the test, with a distinct value in every slot so that a misplaced axis or slot shows."""
import contextlib
import io
import os
import struct
import tempfile
import unittest

import atmotab_run  # noqa: F401 (exits 77 without numpy)
import numpy as np

from atmotab import tables as at
from atmotab import read as readtables


def frame(payload):
    return struct.pack("<i", len(payload)) + payload + struct.pack("<i", len(payload))


def header(nrhox, teff, title):
    chars = b"".join(c.encode() + b" " * 7 for c in title.ljust(74))
    return frame(struct.pack("<idd", nrhox, teff, 0.0) + chars)


def edges(triples, with_molecules):
    body = struct.pack("<i", len(triples)) + b"".join(struct.pack("<3d", *t) for t in triples)
    if with_molecules:
        codes = [101.0, 106.0, 608.0] + [float(c) for c in range(1001, 1056)] + [60808.0, 608.01]
        body += struct.pack("<60d", *codes) + struct.pack("<60d", *range(1, 61))
    return frame(body)


def freqs(values):
    return frame(struct.pack("<i", len(values)) + struct.pack("<%dd" % len(values), *values))


TRIPLES = [(7.5e14, 400.0, 25000.0), (6.0e14, 500.0, 20000.0)]
FREQS = [7.49e14, 6.66e14, 6.01e14]


def slot_values(depth):
    """Slot s of element Z at depth J holds 1000 Z + 10 s + J (Fortran order: s fastest)."""
    return [1000.0 * z + 10.0 * s + depth for z in range(1, 100) for s in range(1, 7)]


def table_file(nrhox=2, title="TEST MODEL", doppler_sign=-1):
    """Doppler widths are the slot values with DOPPLER_SIGN: negative ones (which the program never
    writes) tell them apart from the populations."""
    block = struct.pack("<400f", *[float(k) for k in range(400)])
    depths = b""
    for j in range(1, nrhox + 1):
        values = (slot_values(j) + [doppler_sign * v for v in slot_values(j)]
                  + [-3.25 - j, -3.5, -3.75]
                  + [0.0] * 1128)
        depths += frame(struct.pack("<2319f", *values))
    return (header(nrhox, 5000.0, title) + edges(TRIPLES, True) + freqs(FREQS) + frame(block)
            + depths)


def maxima_file():
    values = [0.0] * (377 * 6 * 99)
    values[377 * (0 + 6 * 25)] = 42.0  # interval 1, stage slot 1, element 26
    values[377 * (4 + 6 * 61)] = 7.0  # interval 1, slot 5 of element 62: stage VIII of Ca + 2 = Ti
    values[1 + 377 * (5 + 6 * 45)] = 3.0  # interval 2, slot 6 of element 46: molecule 7
    return header(2, 5000.0, "TEST MODEL") + edges(TRIPLES, False) + freqs(FREQS) + frame(
        struct.pack("<%df" % len(values), *values))


class ReadTables(unittest.TestCase):
    def test_table_file_round_trip(self):
        f = at.parse(table_file() * 2)
        self.assertEqual((f.unit, len(f.models), f.truncated), (10, 2, None))
        m = f.models[1]
        self.assertEqual((m.index, m.NRHOX, m.TEFF, m.GLOG, m.TITLE),
                         (2, 2, 5000.0, 0.0, "TEST MODEL"))
        self.assertEqual(list(zip(m.FRQEDG, m.WLEDGE, m.CMEDGE)), TRIPLES)
        self.assertEqual(m.IDMOL[59], 608.01)
        self.assertEqual(m.MOLECULES[:3] + m.MOLECULES[-2:], ["H2", "CH", "CO", "CO2", "CO+"])
        self.assertEqual(list(m.FREQSET), FREQS)
        np.testing.assert_allclose(m.WAVELENGTH, [400.2570, 450.1387, 498.8228], rtol=1e-6)
        self.assertEqual(list(m.TKEV), [25.0, 26.0])  # second quantity starts at value 25
        self.assertEqual(m.CONTINALL.shape, (2, 3))
        self.assertEqual(list(m.CONTINALL[1]), [-5.25, -3.5, -3.75])
        # All 25 depths of record 4 for a 25-depth model; XNFH2 is the 16th quantity.
        m25 = at.parse(table_file(nrhox=25)).models[0]
        self.assertEqual((len(m25.XNFH2), m25.XNFH2[24], m25.XNFHE2[0]), (25, 399.0, 350.0))

    def test_slots_unpacked_by_name(self):
        m = at.parse(table_file()).models[0]
        j = 2  # depth 2
        self.assertEqual(m.population("Fe II")[j - 1], 26000 + 20 + j)
        self.assertEqual(m.population("26.01")[j - 1], 26000 + 20 + j)
        self.assertEqual(m.population("Fe 6")[j - 1], 26000 + 60 + j)
        self.assertEqual(m.XNFPEL[j - 1, 25, 0], 26000 + 10 + j)  # (depth, element, stage)
        self.assertEqual(m.doppler("H I")[j - 1], -(1000 + 10 + j))
        # Stages VII..X of Ca..Ni from slot 5 of elements 50+k, 60+k, 70+k, 80+k.
        cases = {"Ca VII": 50, "Ca VIII": 60, "Ca IX": 70, "Ca X": 80, "Ti VII": 52,
                 "Fe VIII": 66, "Ni IX": 78, "Ni X": 88}
        for ion, host in cases.items():
            with self.subTest(ion):
                self.assertEqual(m.population(ion)[j - 1], 1000 * host + 50 + j)
                self.assertEqual(m.doppler(ion)[j - 1], -(1000 * host + 50 + j))
        # Molecule k from slot 6 of element 39 + k.
        for name, z in (("H2", 40), ("CH", 41), ("CO", 42), ("CO2", 98), ("CO+", 99)):
            with self.subTest(name):
                self.assertEqual(m.population(name)[j - 1], 1000 * z + 60 + j)
        # The host slots read 0 once unpacked; every stored value appears exactly once.
        self.assertEqual(m.population("Sn V")[j - 1], 0.0)
        self.assertEqual(m.population("Zr VI")[j - 1], 0.0)
        stored = sorted(slot_values(j))
        shown = sorted([v for v in m.XNFPEL[j - 1].ravel() if v]
                       + [v[j - 1] for v in m.XNFPMOL.values()])
        self.assertEqual(shown, stored)
        for bad in ("Fe XI", "Xx I", "Fe", "NaCl", "26.10", "2x"):
            with self.subTest(bad), self.assertRaises(KeyError):
                m.population(bad)

    def test_maxima_file(self):
        (m,) = at.parse(maxima_file()).models
        self.assertIsNone(m.IDMOL)
        self.assertEqual(m.XNFDOPMAX.shape, (1, 99, 10))  # (interval, element, stage)
        self.assertEqual(m.maximum("Fe I")[0], 42.0)
        self.assertEqual(m.maximum("Ti VIII")[0], 7.0)
        # Without the unit-10 file the molecule slots have numbers, not names.
        self.assertEqual(m.XNFDOPMAXMOL["molecule 7"][0], 0.0)  # interval 2 is past NEDGE - 1
        out = io.StringIO()
        readtables.summary(m, 11, out)
        self.assertIn("Fe I 4.2000e+01", out.getvalue())
        self.assertIn("Ti VIII 7.0000e+00", out.getvalue())

    def test_damaged_and_cut_files(self):
        good = table_file()
        with self.assertRaisesRegex(at.TableError, "trailing length"):
            at.parse(good[:-1] + b"\x01")
        cut = {
            "past the end": good[:-10],
            "depth records": table_file(nrhox=3)[:-(4 + 2319 * 4 + 4)],
            "header records": good[:612 + 8],
            "length marker": good + good[:2],
        }
        for what, data in cut.items():
            with self.subTest(what):
                f = at.parse(data)
                self.assertEqual(len(f.models), 1 if what == "length marker" else 0)
                self.assertIsNotNone(f.truncated)
        with self.assertRaisesRegex(at.TableError, "not the depth block"):
            at.parse(header(2, 5000.0, "X") + edges(TRIPLES, True) + freqs(FREQS) + frame(b"1234"))

    def test_damage_and_values_the_program_never_writes(self):
        """A length marker no table record has, or junk, is damage (exit 2), not a cut (exit 1);
        NaN, infinities and negative populations or temperatures are named (exit 1)."""
        good = table_file(doppler_sign=1)
        for data in (b"not a table\n" * 40, good + struct.pack("<i", 123457) + b"\0" * 99,
                     struct.pack("<i", 2 ** 30) + good[4:]):
            with self.assertRaisesRegex(at.TableError, "the length of no record"):
                at.parse(data)
        depth1 = len(good) - 2 * (2319 * 4 + 8) + 4  # first value of depth record 1

        def spoil(offset, value):
            return good[:offset] + struct.pack("<f", value) + good[offset + 4:]
        cases = [(spoil(depth1 + 28, float("nan")), "XNFPEL is nan at depth 1, element 2, slot 2"),
                 (spoil(depth1 + 4752, float("inf")), "CONTINALL is inf at depth 1, frequency 1"),
                 (spoil(depth1 - 1604, -5.0), "T is -5.0 at depth 2 of record 4"),
                 (spoil(depth1 + 4752, -9.5), None), (good, None)]  # log10 opacity < 0: fine
        for data, message in cases:
            self.assertEqual(at.parse(data).problems, [f"model 1: {message}"] if message else [])
        with tempfile.TemporaryDirectory() as d:
            err = io.StringIO()
            for name, data, status in (("junk", b"junk" * 9, 2), ("nan", cases[0][0], 1)):
                with open(os.path.join(d, name), "wb") as f:
                    f.write(data)
                with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(err):
                    self.assertEqual(readtables.main([os.path.join(d, name)]), status)
            self.assertIn("junk is damaged: the length marker at byte 0", err.getvalue())
            self.assertIn("slot 2: a value the program never writes", err.getvalue())

    def test_dictionary_form(self):
        """readtables.parse, the dictionaries of the script's earlier versions."""
        (m10,) = readtables.parse(table_file())
        self.assertEqual((m10["UNIT"], m10["TITLE"], m10["EDGES"]), (10, "TEST MODEL", TRIPLES))
        self.assertEqual(m10["DEPTHS"][1]["CONTINALL"], [-5.25, -3.5, -3.75])
        self.assertEqual(m10["DEPTHS"][0]["XNFPEL"][:7], slot_values(1)[:7])
        self.assertEqual(m10["BLOCK"]["XNFH2"], [375.0, 376.0])
        (m11,) = readtables.parse(maxima_file())
        self.assertEqual(len(m11["XNFDOPMAX"]), 377 * 6 * 99)
        self.assertEqual((m11["XNFDOPMAX"][377 * 150], m11["XNFDOPMAX"][377 * (4 + 6 * 61)]),
                         (42.0, 7.0))
        with self.assertRaises(readtables.FormatError):
            readtables.parse(table_file()[:-10])

    def test_command_line(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "fort.10")
            with open(path, "wb") as f:
                f.write(table_file(doppler_sign=1))
            out, err = io.StringIO(), io.StringIO()
            with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
                self.assertEqual(readtables.main([path]), 0)
                self.assertEqual(readtables.main([os.path.join(d, "missing")]), 2)
                self.assertEqual(readtables.main([path, "-q", "CO"]), 0)
                empty = os.path.join(d, "empty.10")
                open(empty, "wb").close()
                self.assertEqual(readtables.main([empty]), 1)
            self.assertIn("model 1 'TEST MODEL': NRHOX 2", out.getvalue())
            self.assertIn("model 1 'TEST MODEL' CO\n1 42061\n2 42062\n", out.getvalue())
            self.assertIn("readtables: [Errno 2]", err.getvalue())
            self.assertIn("empty.10 is empty: it holds no model", err.getvalue())


if __name__ == "__main__":
    unittest.main()
