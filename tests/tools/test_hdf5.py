"""The HDF5 output (--hdf5) read with h5py and atmotab.hdf5, against the deck, the listing and the
table files of the same run; a run that fails or is stopped keeps exactly its finished models;
grids in one file."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)
import numpy as np

from atmotab import hdf5
from atmotab import tables as at

if hdf5.h5py is None:
    print(f"skipped: {sys.executable} has no h5py (Debian: apt-get install python3-h5py)")
    sys.exit(77)
h5py = hdf5.h5py
_help = subprocess.run([ar.BINARY, "--help"], capture_output=True, text=True).stdout
if "not built in this program" in _help:
    print(f"skipped: {ar.BINARY} was built without HDF5 (libhdf5-dev)")
    sys.exit(77)

EDGES = os.path.join(ar.EXAMPLES, "edges.txt")
MOLECULES = os.path.join(ar.SOURCE, "data", "molecules.dat")
# name, deck, extra options, the deck's TEFF [K] and log g
CASES = [("sun", "sun.deck", (), 5777.0, 4.44),
         ("cool_molecules", "cool4000_molecules.deck", ("--molecules", MOLECULES), 4000.0, 4.5)]


def deck_columns(path):
    """RHOX, T, P of the READ DECK rows of a deck with one model."""
    with open(path) as f:
        rows = [ln.split() for ln in f]
    k = next(i for i, r in enumerate(rows) if r[:2] == ["READ", "DECK"])
    n = int(rows[k][2])
    return np.array([[float(x) for x in r[:3]] for r in rows[k + 1:k + 1 + n]]).T


def run(folder, name, deck_path, extra=(), hdf5_file=True, wait=True):
    """Runs the program on DECK_PATH in FOLDER; returns (paths, the finished process, or the
    running one when not WAIT)."""
    p = {key: os.path.join(folder, f"{name}.{key}") for key in ("table", "maxima", "listing", "h5")}
    args = [ar.BINARY, "--edges", EDGES, "--table", p["table"], "--maxima", p["maxima"], *extra]
    if hdf5_file:
        args += ["--hdf5", p["h5"]]
    with open(deck_path) as deck, open(p["listing"], "w") as listing:
        if not wait:
            return p, subprocess.Popen(args, stdin=deck, stdout=listing, stderr=subprocess.DEVNULL)
        proc = subprocess.run(args, stdin=deck, stdout=listing, stderr=subprocess.PIPE, text=True)
    return p, proc


class Examples(unittest.TestCase):
    """The solar and cool-molecule examples, run with and without --hdf5."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.runs = {}
        for name, deck, extra, _, _ in CASES:
            path = os.path.join(ar.EXAMPLES, deck)
            with_h5, proc = run(cls.tmp, name, path, extra)
            assert proc.returncode == 0, proc.stderr
            without, proc = run(cls.tmp, name + "_plain", path, extra, hdf5_file=False)
            assert proc.returncode == 0, proc.stderr
            cls.runs[name] = (path, with_h5, without)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def models(self, name):
        _, p, _ = self.runs[name]
        (h,) = hdf5.read(p["h5"]).models
        (t,) = at.read(p["table"], p["maxima"]).models
        return h, t

    def test_the_same_run_gives_the_same_file(self):
        """No times in the objects: the run made again gives its file again, byte for byte."""
        path, p, _ = self.runs["sun"]
        again = os.path.join(self.tmp, "again.h5")
        _, proc = run(self.tmp, "sun", path, ["--hdf5", again], hdf5_file=False)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        with open(p["h5"], "rb") as a, open(again, "rb") as b:
            self.assertTrue(a.read() == b.read())

    def test_tables_and_listing_unchanged_by_the_option(self):
        for name, (_, a, b) in self.runs.items():
            for key in ("table", "maxima", "listing"):
                with open(a[key], "rb") as fa, open(b[key], "rb") as fb:
                    self.assertEqual(fa.read(), fb.read(), f"{name} {key}")

    def test_depth_quantities_at_every_depth(self):
        for name, (deck, p, _) in self.runs.items():
            h, t = self.models(name)
            rhox, temp, pres = deck_columns(deck)
            self.assertEqual(h.NRHOX, len(temp))
            # The deck's columns, exactly, at every depth.
            for q, want in (("RHOX", rhox), ("T", temp), ("P", pres)):
                np.testing.assert_array_equal(getattr(h, q), want, err_msg=f"{name} {q}")
            # The listing's five digits, at every depth (XNE is the populations' own).
            (listing,) = at.read_listing_depths(p["listing"])
            for q in ("T", "P", "XNE", "RHO", "XNFH", "XNFH2"):
                np.testing.assert_allclose(getattr(h, q), listing[q], rtol=5.1e-5,
                                           err_msg=f"{name} {q}")

    def test_arrays_round_to_the_table_singles(self):
        """The doubles round to the table's singles (record 4: the first 25 depths)."""
        for name in self.runs:
            h, t = self.models(name)
            for q in ("CONTINALL", "XNFPEL_SLOTS", "DOPPLE_SLOTS", "XNFDOPMAX_SLOTS", "XNFPEL",
                      "DOPPLE", "XNFDOPMAX", *at.BLOCK_NAMES):
                want = getattr(t, q)
                np.testing.assert_array_equal(getattr(h, q)[:len(want)].astype(np.float32), want,
                                              err_msg=f"{name} {q}")
            for mol, v in t.XNFPMOL.items():
                np.testing.assert_array_equal(h.XNFPMOL[mol].astype(np.float32), v)
            # The doubles they were rounded from: more digits than the singles.
            self.assertFalse(np.array_equal(h.CONTINALL, h.CONTINALL.astype(np.float32)))

    def test_number_densities(self):
        """n/U and n of one species give U >= 1; the stages of an element add up to its share
        of the heavy particles (molecules off); H I and He I, II as the depth quantities."""
        h, _ = self.models("sun")
        some = h.XNFPEL > 0
        self.assertTrue(np.all(h.XNF[some] / h.XNFPEL[some] >= 1 - 1e-12))
        total = h.XNF.sum(axis=2)  # (depth, element)
        expected = h.XNATOM[:, None] * h.XABUND[None, :]
        for z in (1, 2, 6, 8, 12, 14, 20, 26, 29, 56):
            np.testing.assert_allclose(total[:, z - 1], expected[:, z - 1], rtol=1e-9,
                                       err_msg=f"Z = {z}")
        for species, q in (("H I", "XNFH"), ("He I", "XNFHE1"), ("He II", "XNFHE2")):
            np.testing.assert_array_equal(h.number_density(species), getattr(h, q))
        hm, _ = self.models("cool_molecules")
        self.assertGreater(hm.XNFMOL["CO"].min(), 0)
        self.assertGreater(hm.XNFPMOL["CO"].min(), 0)
        self.assertIsNone(h.XNFMOL)

    def test_layout_parameters_and_units(self):
        """The file read with h5py alone, as docs/hdf5.md describes it: one row per depth
        quantity, species or molecule, units on every dataset; TEFF and log g of the deck."""
        for name, deck, _, teff, logg in CASES:
            h, t = self.models(name)
            self.assertEqual(h.TEFF, teff)
            self.assertAlmostEqual(h.GLOG, logg, places=6)
            self.assertEqual((t.TEFF, t.GLOG), (h.T[0], 0.0))  # what the table header carries
            with h5py.File(self.runs[name][1]["h5"], "r") as f:
                g = f["model_00001"]
                n, nu = h.NRHOX, int(g.attrs["NUMNU"])
                depth = g["DEPTH_QUANTITIES"]
                rows = [q.decode() for q in depth.attrs["quantities"]]
                self.assertEqual(sorted(rows), sorted(at.BLOCK_NAMES))
                self.assertEqual([u.decode() for u in depth.attrs["units"]],
                                 [at.BLOCK_UNITS[q] for q in rows])
                np.testing.assert_array_equal(depth[rows.index("T")],
                                              deck_columns(os.path.join(ar.EXAMPLES, deck))[1])
                shapes = {"DEPTH_QUANTITIES": (16, n), "CONTINALL": (n, nu), "XNFPEL": (401, n),
                          "DOPPLE": (99, n), "XNFPMOL": (60, n), "XNFDOPMAX": (401, (nu + 2) // 3),
                          "XNFDOPMAXMOL": (60, (nu + 2) // 3), "WAVELENGTH": (nu,)}
                for key, shape in shapes.items():
                    self.assertEqual(g[key].shape, shape, f"{name} {key}")
                self.assertEqual(g["XNFDOPMAX"].dtype, np.float32)
                for key, d in g.items():
                    units = np.atleast_1d(d.attrs["units"])
                    self.assertTrue(all(len(u) for u in units), f"{name} {key} has no units")
                self.assertEqual(g["CONTINALL"].attrs["units"], b"log10(cm2 g-1)")
                self.assertEqual(int(g.attrs["MOLECULES"]), 1 if "molecules" in name else 0)
                self.assertIn("HMINUS", g.attrs["OPACITY_ON"].decode())
        # Outside Python: h5dump shows the deck's TEFF and log g and the units.
        if shutil.which("h5dump"):
            out = subprocess.run(["h5dump", "-A", self.runs["sun"][1]["h5"]], capture_output=True,
                                 text=True).stdout
            for text in ('ATTRIBUTE "TEFF"', "5777", 'ATTRIBUTE "GLOG"', "4.44", '"dyn cm-2"'):
                self.assertIn(text, out)


def many_models(n, bad_after=None):
    """N copies of the solar model in one deck; with BAD_AFTER, a card the program refuses after
    that many models."""
    cards = ar.solar_cards()
    k = cards.index("BEGIN\n") + len("BEGIN\n")
    models = [cards[:k]] * n
    if bad_after is not None:
        models.insert(bad_after, "NOSUCHCARD 1\n")
    return "".join(models) + "END\n"


def start_after_two_models(folder, name, n):
    """Starts the program on N solar models in FOLDER; returns (paths, process) once the table holds
    two models (or the run has ended, or two minutes have passed)."""
    p, proc = run(folder, name, ar.write(os.path.join(folder, f"{name}.deck"), many_models(n)),
                  wait=False)
    deadline = time.time() + 120
    while time.time() < deadline and proc.poll() is None:
        if os.path.exists(p["table"]) and len(at.read_file(p["table"]).models) >= 2:
            break
        time.sleep(0.02)
    return p, proc


class FinishedModelsOnly(unittest.TestCase):
    def check_same_models(self, p, expect=None):
        done = at.read_file(p["table"])
        with h5py.File(p["h5"], "r") as f:  # opens: the file is whole
            groups = hdf5.model_groups(f)
            self.assertEqual(len(groups), len(done.models))
        if expect is not None:
            self.assertEqual(len(done.models), expect)
        for m in hdf5.read(p["h5"]).models:
            np.testing.assert_array_equal(m.T[:25].astype(np.float32), done.models[0].T)
        return len(done.models)

    def test_an_older_layout_is_refused(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "old.h5")
            with h5py.File(path, "w") as f:
                f.attrs["format"] = "atmotab HDF5 tables 1"
                f.create_group("model_00001").create_dataset("T", data=np.ones(3))
            with self.assertRaisesRegex(hdf5.Hdf5Error, "tables 1"):
                hdf5.read(path)

    def test_a_reader_or_a_second_run_during_the_run_does_not_stop_it(self):
        """Opening the file while the run writes (refused while the run holds the file), or a
        second run given the same file (refused before it empties the file, which it did), leaves
        the run to finish every model whole."""
        with tempfile.TemporaryDirectory() as d:
            p, proc = start_after_two_models(d, "busy", 12)
            try:
                with h5py.File(p["h5"], "r"):
                    time.sleep(0.2)
            except OSError:
                pass
            _, second = run(d, "second", os.path.join(ar.EXAMPLES, "sun.deck"),
                            ("--hdf5", p["h5"]), hdf5_file=False)
            proc.wait()
            self.assertEqual(second.returncode, 2)
            self.assertIn("the file is locked", second.stderr)
            self.assertEqual(proc.returncode, 0)
            self.assertEqual(self.check_same_models(p), 12)

    def test_failure_keeps_the_finished_models(self):
        """A run that fails on its third model keeps the two before it; the second model's
        frequency set, edges, species and molecule codes (written once, named twice) read as its
        own."""
        with tempfile.TemporaryDirectory() as d:
            deck = ar.write(os.path.join(d, "deck"), many_models(3, bad_after=2))
            p, proc = run(d, "bad", deck)
            self.assertEqual(proc.returncode, 1, proc.stderr)
            self.check_same_models(p, expect=2)
            first, second = hdf5.read(p["h5"]).models
            for name in ("FREQSET", "WAVELENGTH", "FRQEDG", "IDMOL", "T", "CONTINALL", "XNF"):
                np.testing.assert_array_equal(getattr(first, name), getattr(second, name))

    def test_sigterm_keeps_exactly_the_finished_models(self):
        with tempfile.TemporaryDirectory() as d:
            p, proc = start_after_two_models(d, "stop", 40)
            proc.send_signal(signal.SIGTERM)
            proc.wait()
            self.assertEqual(proc.returncode, 128 + signal.SIGTERM)
            n = self.check_same_models(p)
            self.assertGreaterEqual(n, 2)
            self.assertLess(n, 40)


@unittest.skipIf(shutil.which("parallel") is None, "GNU parallel is not installed")
class GridFile(unittest.TestCase):
    def test_grid_h5_selects_by_teff_and_logg(self):
        with tempfile.TemporaryDirectory() as d:
            bad = ar.write(os.path.join(d, "bad.deck"), many_models(1, bad_after=0))
            decks = [os.path.join(ar.EXAMPLES, n) for n in ("sun.deck", "cool4000.deck",
                                                             "warm7750.deck")] + [bad]
            edges = ar.write(os.path.join(d, "edges"), ar.SHORT_EDGES)
            grid = os.path.join(d, "GRID")
            proc = ar.python_tool("grid.py", "run", grid, *decks, "--edges", edges,
                                  "--program", ar.BINARY, "-j", "2", "--no-bar")
            self.assertEqual(proc.returncode, 1, proc.stderr)  # the bad deck fails
            with hdf5.Grid(os.path.join(grid, "grid.h5")) as g:
                self.assertEqual(len(g.index), 4)
                cool = ["p4000_g+4.5_m0.0_t01_st_z+0.00_a+0.00_c+0.00_n+0.00_o+0.00_r+0.00_s+0.00"]
                cases = [({"teff": 5777, "logg": 4.44}, ["sun"]), ({"teff": 4000}, cool),
                         ({"teff": (3000, 6000), "logg": 4.5}, cool),
                         ({"teff": (3000, 8000)}, None), ({"teff": 5000}, [])]
                for criteria, titles in cases:
                    got = [m.TITLE for m in g.select(**criteria)]
                    if titles is None:
                        self.assertEqual(len(got), 3, criteria)
                    else:
                        self.assertEqual(got, titles, criteria)
                (m,) = g.select(teff=5777)
                self.assertEqual(m.NRHOX, len(m.T))
                failed = g.rows(status="failed")
                self.assertEqual([r["name"].decode() for r in failed], ["00004-bad"])


if __name__ == "__main__":
    unittest.main()
