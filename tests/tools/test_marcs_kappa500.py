"""The continuum opacity at 500 nm of the bundled MARCS models against the models' own (Gustafsson et
al. 2008, A&A 486, 951): kappa500 = d tau500 / d RHOX from their lgTau5 and RHOX columns, compared
depth by depth by tools/marcs_kappa500.py, which runs the program on the converted deck with a
frequency at exactly 500 nm; and the program's kappa500 integrated over RHOX against the models'
lgTau5 column itself."""
import math
import os
import unittest

import atmotab_run as ar  # noqa: I001 (exits 77 without numpy or the program)

from atmotab import kappa500 as mk

WARM = "p7750_g+4.5_m0.0_t02_st_z-0.25_a+0.10_c+0.00_n+0.00_o+0.10_r+0.00_s+0.00.mod"
COOL = "p4000_g+4.5_m0.0_t01_st_z+0.00_a+0.00_c+0.00_n+0.00_o+0.00_r+0.00_s+0.00.mod"


def rows(model, molecules=False):
    return mk.compare(os.path.join(ar.EXAMPLES, model), ar.BINARY, molecules)


def worst_tau500(model, molecules=False):
    """Largest |log10 tau500 of atmotab (the integral) - lgTau5 of MARCS| [dex] between log
    tau_Ross -4 and 1, with its depth."""
    return max((abs(ours - theirs), k) for k, lgtaur, _, _, _, theirs, ours in rows(model, molecules)
               if -4 <= lgtaur <= 1)


class MarcsKappa500(unittest.TestCase):
    def test_solar_model_at_tau_ross_one(self):
        # Depth 41 of the solar model: log tau_Ross = 0, T = 6235.2 K, MARCS's own 0.565 cm2/g.
        r = rows("sun.mod")
        self.assertEqual(len(r), 56)
        k, lgtaur, t, marcs, ours, _, _ = r[40]
        self.assertEqual((k, lgtaur), (41, 0.0))
        self.assertAlmostEqual(t, 6235.2, delta=0.05)
        self.assertAlmostEqual(marcs, 0.565, delta=1e-3)
        self.assertAlmostEqual(ours / marcs, 1.0, delta=0.05)
        # Across the line-forming layers (log tau_Ross -4 .. 1), where H-minus makes up the
        # opacity, the two agree within 3.5 % (2.8 % below at log tau_Ross -2.9, 3.2 % above at 0.5).
        for k, lgtaur, t, marcs, ours, _, _ in r:
            if -4 <= lgtaur <= 1:
                self.assertAlmostEqual(ours / marcs, 1.0, delta=0.035, msg=f"depth {k}, T = {t}")

    def test_warm_model_in_the_line_forming_layers(self):
        # Teff 7750 K: H-minus and hydrogen bound-free; within 4 % from log tau_Ross -4 to 0 (3.4 %
        # below at the top). Deeper, where the temperature steepens, the difference reaches 5 %.
        for k, lgtaur, t, marcs, ours, _, _ in rows(WARM):
            if -4 <= lgtaur <= 0:
                self.assertAlmostEqual(ours / marcs, 1.0, delta=0.04, msg=f"depth {k}, T = {t}")

    def test_integral_reproduces_a_power_law(self):
        # tau = 3e-3 RHOX^1.4: kappa = 4.2e-3 RHOX^0.4, and the integral from RHOX = 0.01 returns
        # tau exactly on an uneven grid (a power law in each interval).
        rhox = [0.01 * 10 ** (0.3 * k + 0.02 * k * k) for k in range(12)]
        got = mk.log_tau500([4.2e-3 * x ** 0.4 for x in rhox], rhox, 3e-3 * 0.01 ** 1.4)
        for x, lg in zip(rhox, got):
            self.assertAlmostEqual(lg, math.log10(3e-3 * x ** 1.4), delta=1e-12)

    def test_tau500_integral_against_the_models_lgtau5(self):
        # All default sources on: kappa500 integrated over RHOX against the model's own lgTau5
        # between log tau_Ross -4 and 1, within 0.02 dex for the solar and the warm model (found:
        # 0.0098 dex at log tau_Ross 0.7, 0.0107 dex at 1.0).
        for model in ("sun.mod", WARM):
            worst, k = worst_tau500(model)
            self.assertLessEqual(worst, 0.02, msg=f"{model}: depth {k}")

    def test_tau500_integral_of_the_cool_model_with_molecules(self):
        # The cool model with the molecular equilibrium on, as MARCS computed it: within 0.04 dex
        # (found: 0.0047 dex at log tau_Ross 0.1).
        worst, k = worst_tau500(COOL, molecules=True)
        self.assertLessEqual(worst, 0.04, msg=f"depth {k}")

    @unittest.expectedFailure
    def test_tau500_integral_of_the_cool_model_with_default_switches(self):
        # Known failure: with molecules off (the default) no H2 forms, the opacity at 500 nm (mostly
        # H-minus) at 3000 to 4000 K is up to 21 % above MARCS's, and the integral runs 0.077 dex above lgTau5 at
        # log tau_Ross -1.3 (0.022 dex already at -4), against the 0.04 dex asked of it. The cool
        # metals are not the cause: without them the difference is 0.0765 dex.
        worst, k = worst_tau500(COOL)
        self.assertLessEqual(worst, 0.04, msg=f"depth {k}")

    def test_command_line(self):
        p = ar.python_tool("marcs_kappa500.py", os.path.join(ar.EXAMPLES, "sun.mod"), "--binary",
                           ar.BINARY)
        self.assertEqual(p.returncode, 0, p.stderr)
        lines = [l for l in p.stdout.splitlines() if not l.startswith("#")]
        self.assertEqual(len(lines), 56)
        k, lgtaur, t, marcs, ours, ratio, lgtau5, integral, diff = (float(v) for v in lines[40].split())
        self.assertEqual((k, lgtaur, t, lgtau5), (41, 0.0, 6235.2, -0.107))
        self.assertAlmostEqual(marcs, 0.5646, delta=1e-4)
        self.assertAlmostEqual(ratio, ours / marcs, delta=1e-4)
        self.assertAlmostEqual(diff, integral - lgtau5, delta=1.5e-4)
        bad = ar.python_tool("marcs_kappa500.py", os.path.join(ar.EXAMPLES, "sun.deck"))
        self.assertEqual(bad.returncode, 2)
        self.assertIn("marcs_kappa500:", bad.stderr)


if __name__ == "__main__":
    unittest.main()
