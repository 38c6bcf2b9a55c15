"""tools/readtables.py on table and maxima files built record by record in the test."""
import io
import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.environ.get("ATMOTAB_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..")), "tools"))
import readtables  # noqa: E402


def frame(payload):
    return struct.pack("<i", len(payload)) + payload + struct.pack("<i", len(payload))


def header(nrhox, teff, title):
    chars = b"".join(c.encode() + b" " * 7 for c in title.ljust(74))
    return frame(struct.pack("<idd", nrhox, teff, 0.0) + chars)


def edges(triples, with_molecules):
    body = struct.pack("<i", len(triples)) + b"".join(struct.pack("<3d", *t) for t in triples)
    if with_molecules:
        body += struct.pack("<60d", *range(101, 161)) + struct.pack("<60d", *range(1, 61))
    return frame(body)


def freqs(values):
    return frame(struct.pack("<i", len(values)) + struct.pack("<%dd" % len(values), *values))


TRIPLES = [(7.5e14, 400.0, 25000.0), (6.0e14, 500.0, 20000.0)]
FREQS = [7.49e14, 6.66e14, 6.01e14]


def table_file(nrhox=2):
    block = struct.pack("<400f", *[float(k) for k in range(400)])
    depth = struct.pack("<2319f", *([1.5] * 594 + [2.5] * 594 + [-3.25] * 3 + [0.0] * 1128))
    return (header(nrhox, 5000.0, "TEST MODEL") + edges(TRIPLES, True) + freqs(FREQS) + frame(block)
            + frame(depth) * nrhox)


def maxima_file():
    values = [0.0] * (377 * 6 * 99)
    values[377 * (0 + 6 * 25)] = 42.0  # interval 1, stage slot 1, element 26
    return header(2, 5000.0, "TEST MODEL") + edges(TRIPLES, False) + freqs(FREQS) + frame(
        struct.pack("<%df" % len(values), *values))


class ReadTables(unittest.TestCase):
    def test_table_file_round_trip(self):
        models = readtables.parse(table_file() * 2)
        self.assertEqual(len(models), 2)
        m = models[0]
        self.assertEqual((m["UNIT"], m["NRHOX"], m["TEFF"], m["TITLE"]), (10, 2, 5000.0, "TEST MODEL"))
        self.assertEqual(m["EDGES"], TRIPLES)
        self.assertEqual(m["IDMOL"][35], 136.0)
        self.assertEqual(m["FREQSET"], FREQS)
        self.assertEqual(m["BLOCK"]["TKEV"][0], 25.0)   # second quantity starts at value 25
        self.assertEqual(m["BLOCK"]["XNFH2"][24], 399.0)
        self.assertEqual(m["DEPTHS"][1]["CONTINALL"][:4], [-3.25, -3.25, -3.25, 0.0])

    def test_maxima_file(self):
        (m,) = readtables.parse(maxima_file())
        self.assertEqual(m["UNIT"], 11)
        self.assertNotIn("IDMOL", m)
        self.assertEqual(m["XNFDOPMAX"][377 * 150], 42.0)
        out = io.StringIO()
        readtables.print_model(1, m, False, out)
        self.assertIn("XNFDOPMAX stage slot 1 element 26: 4.2000e+01", out.getvalue())

    def test_damaged_files_are_reported(self):
        good = table_file()
        cases = {
            "trailing length": good[:-1] + b"\x01",
            "past the end": good[:-10],
            "depth records": table_file(nrhox=3)[:-(4 + 2319 * 4 + 4)],
            "header records": good[:612 + 8],
        }
        for what, data in cases.items():
            with self.subTest(what):
                with self.assertRaises(readtables.FormatError):
                    readtables.parse(data)

    def test_command_line(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "fort.10")
            with open(path, "wb") as f:
                f.write(table_file())
            out, sys.stdout = sys.stdout, io.StringIO()
            try:
                status = readtables.main([path])
                text = sys.stdout.getvalue()
            finally:
                sys.stdout = out
            self.assertEqual(status, 0)
            self.assertIn("TITLE 'TEST MODEL'", text)
            err, sys.stderr = sys.stderr, io.StringIO()
            try:
                self.assertEqual(readtables.main([os.path.join(d, "missing")]), 2)
            finally:
                sys.stderr = err


if __name__ == "__main__":
    unittest.main()
