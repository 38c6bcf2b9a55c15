"""The continuum opacity at 500 nm of the bundled MARCS models against the models' own (Gustafsson et
al. 2008, A&A 486, 951): kappa500 = d tau500 / d RHOX from their lgTau5 and RHOX columns, compared
depth by depth by tools/marcs_kappa500.py, which runs the program on the converted deck with a
frequency at exactly 500 nm."""
import os
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)

import marcs_kappa500 as mk

WARM = "p7750_g+4.5_m0.0_t02_st_z-0.25_a+0.10_c+0.00_n+0.00_o+0.10_r+0.00_s+0.00.mod"


def rows(model):
    return mk.compare(os.path.join(ar.EXAMPLES, model), ar.BINARY)


class MarcsKappa500(unittest.TestCase):
    def test_solar_model_at_tau_ross_one(self):
        # Depth 41 of the solar model: log tau_Ross = 0, T = 6235.2 K, MARCS's own 0.565 cm2/g.
        r = rows("sun.mod")
        self.assertEqual(len(r), 56)
        k, lgtaur, t, marcs, ours = r[40]
        self.assertEqual((k, lgtaur), (41, 0.0))
        self.assertAlmostEqual(t, 6235.2, delta=0.05)
        self.assertAlmostEqual(marcs, 0.565, delta=1e-3)
        self.assertAlmostEqual(ours / marcs, 1.0, delta=0.05)
        # Across the line-forming layers (log tau_Ross -4 .. 1), where H-minus makes up the
        # opacity, the two agree within 3.5 % (2.8 % below at log tau_Ross -2.9, 3.2 % above at 0.5).
        for k, lgtaur, t, marcs, ours in r:
            if -4 <= lgtaur <= 1:
                self.assertAlmostEqual(ours / marcs, 1.0, delta=0.035, msg=f"depth {k}, T = {t}")

    def test_warm_model_in_the_line_forming_layers(self):
        # Teff 7750 K: H-minus and hydrogen bound-free; within 4 % from log tau_Ross -4 to 0 (3.4 %
        # below at the top). Deeper, where the temperature steepens, the difference reaches 5 %.
        for k, lgtaur, t, marcs, ours in rows(WARM):
            if -4 <= lgtaur <= 0:
                self.assertAlmostEqual(ours / marcs, 1.0, delta=0.04, msg=f"depth {k}, T = {t}")

    def test_command_line(self):
        p = ar.python_tool("marcs_kappa500.py", os.path.join(ar.EXAMPLES, "sun.mod"), "--binary",
                           ar.BINARY)
        self.assertEqual(p.returncode, 0, p.stderr)
        lines = [l for l in p.stdout.splitlines() if not l.startswith("#")]
        self.assertEqual(len(lines), 56)
        k, lgtaur, t, marcs, ours, ratio = (float(v) for v in lines[40].split())
        self.assertEqual((k, lgtaur, t), (41, 0.0, 6235.2))
        self.assertAlmostEqual(marcs, 0.5646, delta=1e-4)
        self.assertAlmostEqual(ratio, ours / marcs, delta=1e-4)
        bad = ar.python_tool("marcs_kappa500.py", os.path.join(ar.EXAMPLES, "sun.deck"))
        self.assertEqual(bad.returncode, 2)
        self.assertIn("marcs_kappa500:", bad.stderr)


if __name__ == "__main__":
    unittest.main()
