"""tools/atmotab_tables.py and tools/readtables.py on files written by the program: cross-checked
with scipy.io.FortranFile, with the listing of the same run and with the physics of the Doppler
widths and line-strength maxima; truncated files; every value through --full."""
import os
import re
import tempfile
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)
import numpy as np
from scipy.io import FortranFile

from atmotab import tables as at

AMU = 1.66e-24  # [g] the atomic mass unit the program uses for Doppler widths
CLIGHT = 2.99792458e10  # [cm s-1]
# Standard atomic weights (IUPAC 2021) of the elements whose Doppler widths are checked.
MASS = {1: 1.008, 2: 4.0026, 12: 24.305, 20: 40.078, 26: 55.845, 56: 137.33}


def two_models():
    """A 20-depth solar model, then the whole 56-depth model 2 % hotter."""
    return ar.solar_cards(20, "short sun") + ar.solar_cards(None, "hot sun", 1.02) + "END\n"


def fortran_models(path, unit):
    """Every model of a file as scipy.io.FortranFile reads it, record by record."""
    header = np.dtype([("nrhox", "<i4"), ("teff", "<f8"), ("glog", "<f8"), ("title", "S8", 74)])
    models = []
    with FortranFile(path, "r", header_dtype=np.dtype("<u4")) as f:
        while True:
            try:
                r1 = f.read_record(header)[0]
            except (TypeError, ValueError):  # end of file (which error depends on scipy's age)
                break
            raw = f.read_record(np.uint8)
            nedge = int(raw[:4].view("<i4")[0])
            extra = [("idmol", "<f8", 60), ("momass", "<f8", 60)] if unit == 10 else []
            r2 = raw.view(np.dtype([("nedge", "<i4"), ("edges", "<f8", (nedge, 3))] + extra))[0]
            raw = f.read_record(np.uint8)
            numnu = int(raw[:4].view("<i4")[0])
            r3 = raw.view(np.dtype([("numnu", "<i4"), ("freqset", "<f8", numnu)]))[0]
            m = {"r1": r1, "r2": r2, "r3": r3}
            if unit == 10:
                m["block"] = f.read_record("<f4").reshape(16, 25)
                depth = np.dtype([("xnfpel", "<f4", (99, 6)), ("dopple", "<f4", (99, 6)),
                                  ("continall", "<f4", 1131)])
                m["depths"] = [f.read_record(depth)[0] for _ in range(int(r1["nrhox"]))]
            else:
                m["maxima"] = f.read_record("<f4").reshape(99, 6, 377)
            models.append(m)
    return models


def listing_elements(path):
    """Per model, per depth: the listing's element table (99, 6) and DOPPLE(1,Z), DOPPLE(6,Z)."""
    models = []
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    k = 0
    while k < len(lines):
        if lines[k].startswith("0XNFPEL.....DOPPLE"):
            j = int(lines[k][18:])
            if j == 1:
                models.append([])
            xnfpel, dop1, dop6 = np.zeros((99, 6)), np.zeros(99), np.zeros(99)
            for z in range(1, 100):
                line = lines[k + z]
                assert int(line[:5]) == z, line
                # (I5,1P,6E12.4,5X,2E12.4,0P,F10.2,I5)
                xnfpel[z - 1] = [at._listing_number(line[5 + 12 * s:17 + 12 * s]) for s in range(6)]
                dop1[z - 1] = at._listing_number(line[82:94])
                if z >= 40:
                    dop6[z - 1] = at._listing_number(line[94:106])
            models[-1].append((xnfpel, dop1, dop6))
            k += 100
        else:
            k += 1
    return models


class RealRun(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.paths, _ = ar.run_program(cls.tmp.name, two_models())
        cls.tables = at.read(cls.paths["table"], cls.paths["maxima"])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_fortranfile_reads_the_same_numbers(self):
        for unit, key in ((10, "table"), (11, "maxima")):
            theirs = fortran_models(self.paths[key], unit)
            ours = at.read_file(self.paths[key])
            self.assertEqual((ours.unit, ours.truncated), (unit, None))
            self.assertEqual(len(theirs), 2)
            self.assertEqual(len(ours.models), 2)
            for f, m in zip(theirs, ours.models):
                with self.subTest(unit=unit, model=m.index):
                    self.assertEqual(m.NRHOX, f["r1"]["nrhox"])
                    self.assertEqual((m.TEFF, m.GLOG), (f["r1"]["teff"], f["r1"]["glog"]))
                    title = b"".join(w[:1] for w in f["r1"]["title"]).decode().rstrip()
                    self.assertEqual(m.TITLE, title)
                    edges = f["r2"]["edges"]
                    np.testing.assert_array_equal(np.stack([m.FRQEDG, m.WLEDGE, m.CMEDGE], 1),
                                                  edges)
                    np.testing.assert_array_equal(m.FREQSET, f["r3"]["freqset"])
                    if unit == 10:
                        np.testing.assert_array_equal(m.IDMOL, f["r2"]["idmol"])
                        np.testing.assert_array_equal(m.MOMASS, f["r2"]["momass"])
                        n = min(m.NRHOX, 25)
                        for k, name in enumerate(at.BLOCK_NAMES):
                            np.testing.assert_array_equal(m.block[name], f["block"][k, :n])
                        for j, d in enumerate(f["depths"]):
                            np.testing.assert_array_equal(m.XNFPEL_SLOTS[j], d["xnfpel"])
                            np.testing.assert_array_equal(m.DOPPLE_SLOTS[j], d["dopple"])
                            np.testing.assert_array_equal(m.CONTINALL[j],
                                                          d["continall"][:m.NUMNU])
                            self.assertFalse(d["continall"][m.NUMNU:].any())
                    else:
                        nint = m.NEDGE - 1
                        np.testing.assert_array_equal(
                            m.XNFDOPMAX_SLOTS, f["maxima"][:, :, :nint].transpose(2, 0, 1))
                        self.assertFalse(f["maxima"][:, :, nint:].any())

    def test_listing_shows_the_same_tables(self):
        listing = listing_elements(self.paths["listing"])
        depths = at.read_listing_depths(self.paths["listing"])
        self.assertEqual([len(x) for x in listing], [20, 56])
        for m, lst, dep in zip(self.tables.models, listing, depths):
            for j, (xnfpel, dop1, dop6) in enumerate(lst):
                # The listing prints five significant digits: 5e-5 relative; below the normal
                # single-precision range the table keeps steps of 1.4e-45.
                np.testing.assert_allclose(m.XNFPEL_SLOTS[j], xnfpel, rtol=5e-5, atol=1.5e-45,
                                           err_msg=f"model {m.index} depth {j + 1}")
                np.testing.assert_allclose(m.DOPPLE[j, :, 0], dop1, rtol=5e-5)
                # Unpacked names: Ca VII..X from the slot 5 the listing shows for Z = 50..88,
                # molecule k from slot 6 of element 39 + k.
                for k in range(9):
                    for n, stage in enumerate(("VII", "VIII", "IX", "X")):
                        ion = f"{at.SYMBOLS[19 + k]} {stage}"
                        np.testing.assert_allclose(m.population(ion)[j], xnfpel[49 + 10 * n + k, 4],
                                                   rtol=5e-5, atol=1.5e-45)
                for k, name in enumerate(m.MOLECULES, 1):
                    np.testing.assert_allclose(m.doppler(name)[j], dop6[38 + k], rtol=5e-5)
            n = len(m.T)
            self.assertEqual(n, min(m.NRHOX, 25))
            self.assertEqual(len(dep["T"]), m.NRHOX)
            for name in ("T", "P", "XNE", "RHOX", "RHO", "XNFH2"):
                np.testing.assert_allclose(m.block[name], dep[name][:n], rtol=5e-5)

    def test_doppler_widths_follow_the_masses(self):
        for m in self.tables.models:
            n = len(m.T)
            tk = m.TK.astype(float)
            vturb2 = m.VTURB.astype(float) ** 2
            for k, name in enumerate(m.MOLECULES):
                want = np.sqrt(2 * tk / (m.MOMASS[k] * AMU)) / CLIGHT
                np.testing.assert_allclose(m.doppler(name)[:n], want, rtol=2e-6, err_msg=name)
            for z, mass in MASS.items():
                dop = m.DOPPLE[:n, z - 1, 0].astype(float)
                inferred = 2 * tk / AMU / ((dop * CLIGHT) ** 2 - vturb2)
                np.testing.assert_allclose(inferred, mass, rtol=2e-3, err_msg=f"Z = {z}")
            for stage in range(7, 11):
                np.testing.assert_array_equal(m.doppler(f"Ca {at.ROMAN[stage - 1]}"),
                                              m.doppler("Ca I"))
            # Molecules are off in these decks: their slots hold no population.
            self.assertFalse(any(v.any() for v in m.XNFPMOL.values()))

    def test_maxima_recomputed_from_the_depth_tables(self):
        m = self.tables.models[0]  # 20 depths, so record 4 holds RHO of every depth
        nint = m.NEDGE - 1
        cont = m.CONTINALL.astype(float).reshape(m.NRHOX, nint, 3)
        cmin = 10.0 ** cont.min(axis=2)  # (depth, interval)
        numid = m.FREQSET[1::3]  # mid frequency of each interval
        xnfpel, dopple = m.XNFPEL.astype(float), m.DOPPLE.astype(float)
        tiny = float(np.finfo(np.float32).tiny)

        def indicator(pop):  # (interval, element, stage), largest over the depths
            with np.errstate(divide="ignore", invalid="ignore"):
                v = (pop[:, None] / dopple[:, None] / numid[None, :, None, None]
                     / m.RHO.astype(float)[:, None, None, None] / cmin[:, :, None, None] / 0.001)
            return np.nan_to_num(v, nan=0.0).max(axis=0)

        # The table's populations are single precision: below the normal range they lose digits
        # or vanish, while the program divided its double ones. Where the largest indicator from
        # normal populations beats anything a smaller population could give, it must match.
        want = indicator(np.where(xnfpel >= tiny, xnfpel, 0.0))
        bound = indicator(np.where(dopple > 0, tiny, 0.0))
        got = m.XNFDOPMAX.astype(float)
        self.assertEqual(got.shape, (nint, 99, 10))
        decided = want > bound
        np.testing.assert_allclose(got[decided], want[decided], rtol=1e-5)
        self.assertTrue(np.all(got[~decided] <= bound[~decided] * (1 + 1e-5)))
        self.assertGreater(decided.sum(), 1000)

    def test_pair_of_files_of_different_runs_refused(self):
        with tempfile.TemporaryDirectory() as d:
            other, _ = ar.run_program(d, ar.solar_cards(20, "other sun") + "END\n")
            with self.assertRaisesRegex(at.TableError, "headers .* differ"):
                at.read(self.paths["table"], other["maxima"])
            with self.assertRaisesRegex(at.TableError, "unit 11 file where unit 10"):
                at.read(self.paths["maxima"], self.paths["table"])

    def test_full_prints_every_value(self):
        for key in ("table", "maxima"):
            out = ar.python_tool("readtables.py", "--full", self.paths[key])
            self.assertEqual(out.returncode, 0, out.stderr)
            blocks = re.split(r"^model \d+ unit \d+\n", out.stdout, flags=re.M)[1:]
            self.assertEqual(len(blocks), 2)
            for m, text in zip(self.tables.models, blocks):
                lines = text.splitlines()
                if key == "table":
                    self.check_full_unit10(m, lines)
                else:
                    self.check_full_unit11(m, lines)

    def check_full_unit10(self, m, lines):
        k = lines.index("depth " + " ".join(at.BLOCK_NAMES))
        block = np.array([[np.float32(x) for x in ln.split()[1:]]
                          for ln in lines[k + 1:k + 1 + len(m.T)]])
        for c, name in enumerate(at.BLOCK_NAMES):
            np.testing.assert_array_equal(block[:, c], m.block[name])
        for j in range(m.NRHOX):
            k = lines.index(f"depth {j + 1}: element XNFPEL[cm-3] by stage, then DOPPLE by stage")
            for z in range(1, 100):
                sym, rest = lines[k + z].split(" ", 1)
                self.assertEqual(sym, at.SYMBOLS[z - 1])
                left, right = rest.split(" | ")
                pops = np.array([np.float32(x) for x in left.split()])
                np.testing.assert_array_equal(pops, m.XNFPEL[j, z - 1, :len(pops)])
                self.assertFalse(m.XNFPEL[j, z - 1, len(pops):].any())
                np.testing.assert_array_equal([np.float32(x) for x in right.split()],
                                              m.DOPPLE[j, z - 1, :len(pops)])
            for i, name in enumerate(m.MOLECULES):
                self.assertEqual(lines[k + 100 + i].split()[0], name)
            k = lines.index(f"depth {j + 1}: CONTINALL, log10 continuum opacity [cm2 g-1] "
                            "by frequency")
            values = " ".join(lines[k + 1:k + 1 + (m.NUMNU + 7) // 8]).split()
            np.testing.assert_array_equal([np.float32(x) for x in values], m.CONTINALL[j])
        freqs = [float(ln.split()[1]) for ln in lines[lines.index(
            "frequency FREQSET[Hz] WAVELENGTH[nm]") + 1:][:m.NUMNU]]
        np.testing.assert_array_equal(freqs, m.FREQSET)

    def check_full_unit11(self, m, lines):
        got = np.zeros_like(m.XNFDOPMAX)
        molecules = []  # the maxima file alone names molecule slots by number
        k = lines.index("XNFDOPMAX by edge interval, per element and stage, then per molecule slot")
        k += 1
        nint = m.NEDGE - 1
        while k < len(lines):
            label = lines[k].split(":")[0]
            kind = at.species(label)
            values = np.zeros(nint, np.float32)
            if lines[k].endswith("zero"):
                k += 1
            else:
                text = " ".join(lines[k + 1:k + 1 + (nint + 7) // 8])
                values = [np.float32(x) for x in text.split()]
                self.assertEqual(len(values), nint)
                k += 1 + (nint + 7) // 8
            if kind[0] == "atom":
                got[:, kind[1] - 1, kind[2] - 1] = values
            else:
                self.assertEqual(label, f"molecule {len(molecules) + 1}")
                molecules.append(values)
        np.testing.assert_array_equal(got, m.XNFDOPMAX)
        np.testing.assert_array_equal(molecules, list(m.XNFDOPMAXMOL.values()))

    def test_quantity_option(self):
        m = self.tables.models[1]
        out = ar.python_tool("readtables.py", "--model", "2", "-q", "T", "-q", "DOPPLE:CO",
                             self.paths["table"])
        self.assertEqual(out.returncode, 0, out.stderr)
        parts = out.stdout.split("model 2 'hot sun' ")[1:]
        self.assertEqual([p.splitlines()[0] for p in parts], ["T", "DOPPLE:CO"])
        t = [np.float32(ln.split()[1]) for ln in parts[0].splitlines()[1:]]
        np.testing.assert_array_equal(t, m.T)
        co = [np.float32(ln.split()[1]) for ln in parts[1].splitlines()[1:]]
        np.testing.assert_array_equal(co, m.doppler("CO"))
        out = ar.python_tool("readtables.py", "-q", "Fe II", self.paths["maxima"])
        rows = [ln.split() for ln in out.stdout.splitlines() if ln[:1].isdigit()]
        self.assertEqual(len(rows), 2 * (m.NEDGE - 1))
        np.testing.assert_array_equal([np.float32(r[3]) for r in rows[:m.NEDGE - 1]],
                                      self.tables.models[0].maximum("Fe II"))
        self.assertEqual((float(rows[0][1]), float(rows[0][2])), (91.18, 200.0))
        for bad in ("Fe XI", "Zz I", "XNFPEL:NaCl", "Fe"):
            with self.subTest(bad):
                out = ar.python_tool("readtables.py", "-q", bad, self.paths["table"])
                self.assertEqual(out.returncode, 2)
                self.assertIn("readtables: ", out.stderr)


class Molecules(unittest.TestCase):
    """The cool dwarf with the molecular equilibrium on: the molecule slots by name."""

    def test_molecule_slots_by_name(self):
        with tempfile.TemporaryDirectory() as d:
            with open(os.path.join(ar.EXAMPLES, "cool4000_molecules.deck")) as f:
                cards = f.read()
            paths, _ = ar.run_program(
                d, cards, extra=["--molecules", os.path.join(ar.SOURCE, "data", "molecules.dat")])
            (m,) = at.read(paths["table"], paths["maxima"]).models
            listing = listing_elements(paths["listing"])[0]
        self.assertEqual(len(listing), m.NRHOX)
        # Molecule k of IDMOL stands in slot 6 of element 39 + k: H2 (k = 1), CO (7), H2O (50).
        for k, name, code in ((1, "H2", 101.0), (7, "CO", 608.0), (50, "H2O", 10108.0)):
            self.assertEqual((m.MOLECULES[k - 1], m.IDMOL[k - 1]), (name, code))
            self.assertTrue(np.all(m.population(name) > 0), name)
        for k, name in enumerate(m.MOLECULES, 1):
            pops = np.array([xnfpel[38 + k, 5] for xnfpel, _, _ in listing])
            np.testing.assert_allclose(m.population(name), pops, rtol=5e-5, atol=1.5e-45,
                                       err_msg=name)
        # The host elements keep only their own three stages.
        self.assertFalse(m.XNFPEL[:, 39:, 3:].any())
        # Maxima of a molecule come from its population: CO's interval maxima are positive.
        self.assertTrue(np.all(m.maximum("CO") > 0))


class Truncated(unittest.TestCase):
    """Files cut where a killed run may leave them: the complete models are read."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cards = "".join(ar.solar_cards(4 + k, f"model {k + 1}") for k in range(3)) + "END\n"
        cls.paths, _ = ar.run_program(cls.tmp.name, cards)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def model_ends(self, data):
        """Byte offsets where the records of the file end."""
        ends, pos = [], 0
        while pos < len(data):
            pos += 8 + int(np.frombuffer(data, "<i4", 1, pos)[0])
            ends.append(pos)
        return ends

    def test_cut_anywhere_in_the_last_model(self):
        for key, per_model in (("table", [8, 9, 10]), ("maxima", [4, 4, 4])):
            with open(self.paths[key], "rb") as f:
                data = f.read()
            ends = self.model_ends(data)
            self.assertEqual(len(ends), sum(per_model))
            two = ends[per_model[0] + per_model[1] - 1]
            cuts = sorted({e + d for e in ends if e > two for d in (-7, -1, 0, 2)
                           if two < e + d < len(data)} | {two + 3, (two + len(data)) // 2})
            for cut in cuts:
                with self.subTest(key=key, cut=cut):
                    f = at.parse(data[:cut])
                    self.assertEqual([m.TITLE for m in f.models], ["model 1", "model 2"])
                    self.assertRegex(f.truncated, "model 3|after model 2")
                    self.assertEqual(f.complete_bytes, two)
            f = at.parse(data[:two])
            self.assertEqual((len(f.models), f.truncated), (2, None))

    def test_pair_and_command_line(self):
        with open(self.paths["maxima"], "rb") as f:
            data = f.read()
        cut = os.path.join(self.tmp.name, "cut.maxima")
        with open(cut, "wb") as f:
            f.write(data[:-100])
        run = at.read(self.paths["table"], cut)
        self.assertEqual(len(run.models), 2)
        self.assertEqual(len(run.truncated), 2)  # the cut file's tail; model 3 of the other
        self.assertIn("models 3..3 have no partner", run.truncated[1])
        out = ar.python_tool("readtables.py", cut)
        self.assertEqual(out.returncode, 1)
        self.assertEqual(out.stdout.count("\nmodel "), 2)
        self.assertIn("the 2 complete model(s) before it are printed", out.stderr)

    def test_damage_before_the_end_is_an_error(self):
        with open(self.paths["table"], "rb") as f:
            data = bytearray(f.read())
        ends = self.model_ends(bytes(data))
        data[ends[2] - 1] ^= 0x01  # trailing length of record 3
        with self.assertRaisesRegex(at.TableError, "trailing length"):
            at.parse(bytes(data))
        out = ar.python_tool("readtables.py", os.devnull)  # an empty file: no models
        self.assertEqual((out.returncode, out.stdout),
                         (0, f"{os.devnull}: unit None, 0 model(s)\n"))


if __name__ == "__main__":
    unittest.main()
