"""tools/plot_tables.py: MARCS's kappa(500 nm) from its optical-depth scale, and every kind of plot
rendered from a real run of the program and checked as a picture."""
import os
import struct
import tempfile
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)
import numpy as np

from atmotab import tables as at
from atmotab import plot as pt
import matplotlib.image

SUN_MOD = os.path.join(ar.EXAMPLES, "sun.mod")
COOL_MOD = os.path.join(
    ar.EXAMPLES, "p4000_g+4.5_m0.0_t01_st_z+0.00_a+0.00_c+0.00_n+0.00_o+0.00_r+0.00_s+0.00.mod")
# Colours of matplotlib's default cycle: the second and third curves of a panel (the last drawn is
# on top), the T curve.
ORANGE, GREEN, RED = (0xFF, 0x7F, 0x0E), (0x2C, 0xA0, 0x2C), (0xD6, 0x27, 0x28)


def png_size(path):
    """(width, height) from the IHDR chunk, after checking the PNG signature."""
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


def pixels_of(image, rgb, tol=8):
    """Number of pixels within TOL (of 255) of the colour RGB."""
    diff = np.abs(image[:, :, :3] * 255.0 - np.array(rgb)[None, None, :])
    return int(np.all(diff <= tol, axis=2).sum())


class Kappa500(unittest.TestCase):
    def test_power_law_exact(self):
        rhox = np.array([1e-3, 2e-3, 7e-3, 0.02, 0.1, 0.3, 1.5, 4.0])
        tau = 3.0 * rhox ** 1.3
        np.testing.assert_allclose(pt.kappa500_from_marcs(np.log10(tau), rhox),
                                   3.9 * rhox ** 0.3, rtol=1e-12)

    def test_integrates_back_to_the_optical_depth(self):
        lgtau5, rhox, kappa = pt.marcs_kappa500(SUN_MOD)
        self.assertEqual(len(kappa), 56)
        tau = 10.0 ** lgtau5
        # tau(k) = tau(1) + integral of kappa dRHOX, by the trapezoid rule in ln RHOX (steps of
        # about 0.1 dex): within 4 % below the top layers.
        f, lnm = kappa * rhox, np.log(rhox)
        integral = np.concatenate([[0.0], np.cumsum(0.5 * (f[1:] + f[:-1]) * np.diff(lnm))])
        np.testing.assert_allclose(tau[0] + integral, tau, rtol=0.04)
        # The solar photosphere: kappa(500 nm) near tau500 = 1 is of order 0.1..1 cm2 g-1
        # (RHOX about 1 g cm-2 at tau = 1).
        k1 = np.interp(0.0, lgtau5, np.log10(kappa))
        self.assertTrue(-1.5 < k1 < 0.5, k1)

    def test_bad_columns(self):
        for lg, rhox in (([1.0, 0.0, 2.0], [1.0, 2.0, 3.0]), ([1.0, 2.0], [1.0, 2.0]),
                         ([1.0, 2.0, 3.0], [1.0, 1.0, 3.0])):
            with self.assertRaises(ValueError):
                pt.kappa500_from_marcs(lg, rhox)


class Plots(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        # The whole solar model (56 depths, deeper than record 4) on the bundled edge list.
        with open(os.path.join(ar.EXAMPLES, "edges.txt")) as f:
            edges = f.read()
        cls.paths, _ = ar.run_program(cls.tmp.name, ar.solar_cards() + "END\n", "sun", edges)
        # The same model with the metal photoionization of switch XCONT.
        xdir = os.path.join(cls.tmp.name, "xcont")
        os.mkdir(xdir)
        cls.xcont, _ = ar.run_program(xdir, "OPACITY ON XCONT\n" + ar.solar_cards() + "END\n", "sun", edges)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def render(self, *args):
        out = os.path.join(self.tmp.name, "_".join(a for a in args[:1]) + ".png")
        proc = ar.python_tool("plot_tables.py", *args, "-o", out)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertIn(f"wrote {out}", proc.stdout)
        return out

    def check_picture(self, path, size, colours):
        self.assertEqual(png_size(path), size)
        self.assertGreater(os.path.getsize(path), 20000)
        image = matplotlib.image.imread(path)
        ink = np.any(image[:, :, :3] < 0.9, axis=2).mean()
        self.assertTrue(0.02 < ink < 0.5, f"{path}: {ink:.3f} of the picture drawn")
        for rgb in colours:
            self.assertGreater(pixels_of(image, rgb), 300, f"{path}: colour {rgb}")

    def test_each_kind(self):
        t, listing = self.paths["table"], self.paths["listing"]
        cases = [
            (("opacity", t, "--depths", "1,30,56"), (800, 500), [GREEN]),
            (("structure", t, "--listing", listing, "--species", "Fe I", "Fe II", "CO"),
             (1400, 450), [GREEN, RED]),
            (("marcs", t, SUN_MOD), (700, 700), [ORANGE]),
            (("overview", t, "--listing", listing, "--marcs", SUN_MOD), (1200, 1260),
             [RED, ORANGE]),
            (("compare", t, self.xcont["table"], "--depths", "1,41"), (900, 700), [ORANGE]),
        ]
        for args, size, colours in cases:
            with self.subTest(args[0]):
                self.check_picture(self.render(*args), size, colours)

    def test_depth_scale(self):
        m = at.read_file(self.paths["table"]).models[0]
        listing = at.read_listing_depths(self.paths["listing"])[0]
        x, label, q = pt.depth_scale(m, listing)
        self.assertEqual((len(x), label), (56, "log10 RHOX [g cm-2]"))
        np.testing.assert_allclose(q["T"][:25], m.T, rtol=5e-5)
        x, label, q = pt.depth_scale(m, None)  # record 4 alone: 25 of 56 depths
        self.assertEqual((len(x), label, len(q["T"])), (56, "depth index J", 25))
        # The opacity legend names each depth by its RHOX where the file gives it.
        self.assertEqual(pt.depth_label(25, q["RHOX"]),
                         f"depth 25: log RHOX {np.log10(q['RHOX'][24]):.2f}")
        self.assertEqual(pt.depth_label(26, q["RHOX"]), "depth 26")
        # The comparison with MARCS at depth 1: atmotab's log kappa(500 nm) from the table.
        lgtau5, ours, theirs = pt.model_vs_marcs(m, SUN_MOD)
        self.assertEqual(len(ours), 56)
        i = int(np.searchsorted(m.WAVELENGTH, 500.0))
        around = m.CONTINALL[0, i - 1:i + 1]
        self.assertTrue(min(around) <= ours[0] <= max(around))

    def test_compare_ratio_near_one_in_the_infrared_above_it_in_the_near_ultraviolet(self):
        # In the infrared the metals are a small part of either continuum and the dissolved hydrogen
        # levels below the Paschen, Brackett and Pfund edges add at most 4 % at tau_Ross ~ 1 (depth 41):
        # the two runs agree within 5 %; in the near ultraviolet the OP/IP metals raise the solar
        # continuum there.
        m = at.read_file(self.paths["table"]).models[0]
        x = at.read_file(self.xcont["table"]).models[0]
        ratio = x.kappa()[40] / m.kappa()[40]
        far = m.WAVELENGTH > 1000.0
        np.testing.assert_allclose(ratio[far], 1.0, rtol=0.05)
        near_uv = (m.WAVELENGTH > 280.0) & (m.WAVELENGTH < 320.0)
        self.assertTrue(np.all(ratio[near_uv] > 1.03), ratio[near_uv])

    def test_errors(self):
        with tempfile.TemporaryDirectory() as d:
            short, _ = ar.run_program(d, ar.solar_cards(20) + "END\n")
            out = os.path.join(d, "x.png")
            cases = [
                (("marcs", short["table"], SUN_MOD), "has 56 depths, the table model 20"),
                (("marcs", self.paths["table"], COOL_MOD),
                 "is not the model of the table: RHOX at depth"),
                (("compare", self.paths["table"], short["table"]), "not of the same model"),
                (("opacity", short["table"], "--depths", "1,21"), "depth 21 is outside 1..20"),
                (("opacity", short["maxima"]), "is not a --table (unit 10) file"),
                (("opacity", short["table"], "--model", "2"), "has 1 complete model(s)"),
                (("structure", short["table"], "--species", "Qq I"), "Qq is not an element"),
                (("structure", short["table"], "--species", "Fe XI"), "stage must be"),
            ]
            for args, message in cases:
                with self.subTest(message):
                    proc = ar.python_tool("plot_tables.py", *args, "-o", out)
                    self.assertEqual(proc.returncode, 2, proc.stderr)
                    self.assertIn(message, proc.stderr)
            self.assertFalse(os.path.exists(out))


if __name__ == "__main__":
    unittest.main()
