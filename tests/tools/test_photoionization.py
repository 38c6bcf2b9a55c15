"""Checks of the metal photoionization tables data/photoionization_*.txt and their generator
tools/make_photoionization.py: byte-for-byte regeneration, thresholds against NIST ionization and level
energies (with the excited-parent offsets), and sigma_eff against a direct sum over the raw terms."""

import math
import os
import re
import sys
import tempfile
import unittest

ROOT = os.environ.get("ATMOTAB_SOURCE_DIR") or os.path.abspath(
    os.path.join(os.path.dirname(__file__), "..", ".."))
DATA = os.path.join(ROOT, "data")
sys.path.insert(0, os.path.join(ROOT, "tools"))

try:
    import numpy as np
    import make_photoionization as gen
except ImportError as e:  # numpy missing: the generator cannot run
    gen = None
    WHY = str(e)

H_EV, K_EV = 4.135667696e-15, 8.617333262e-5


def raw_dir():
    for base in ("/work/shared/data", os.path.join(ROOT, "..", "shared", "data")):
        d = os.path.join(base, "photoionization")
        if os.path.isfile(os.path.join(d, "SOURCES.md")):
            return d
    return None


def read_table(name):
    with open(os.path.join(DATA, f"photoionization_{name}.txt"), encoding="ascii") as f:
        rows = [l.split() for l in f if l.strip() and not l.startswith("#")]
    assert rows[0] == ["format", "atmotab-photoionization", "1"], rows[0]
    head = rows[1]
    nterm, ntemp, nfreq = int(head[7]), int(head[9]), int(head[11])
    temps = [float(v) for v in rows[2][1:]]
    terms = rows[3:3 + nterm]
    data = rows[3 + nterm:]
    assert len(temps) == ntemp and len(data) == nfreq
    return temps, terms, [float(r[0]) for r in data], [[float(v) for v in r[1:]] for r in data]


def nist(species):
    """(IP [eV] from the NIST limit, {term: (g, g-weighted E [eV])}, {parent: lowest limit [eV]}) read plainly."""
    rows = []
    with open(os.path.join(raw_dir(), species, "nist_levels.csv"), encoding="utf-8") as f:
        for line in f.read().splitlines()[1:]:
            rows.append([c.strip() for c in re.findall(r'"=""(.*?)"""', line)])
    limits = {}
    for r in rows:
        if r[1] == "Limit":
            limits.setdefault(r[0].split("<")[0] + ")", float(r[3]))
    ip = min(limits.values())
    terms = {}
    for r in rows:
        if r[1] == "Limit" or not re.fullmatch(r"\d+(/2)?", r[2]):
            continue
        j = int(r[2][:-2]) / 2 if r[2].endswith("/2") else int(r[2])
        try:
            e = float(r[3])
        except ValueError:
            continue
        g, s = terms.get((r[0], r[1]), (0, 0.0))
        terms[(r[0], r[1])] = (g + 2 * j + 1, s + (2 * j + 1) * e)
    return ip, {k: (g, s / g) for k, (g, s) in terms.items()}, limits


@unittest.skipIf(gen is None, "numpy is not importable" if gen is None else "")
@unittest.skipIf(raw_dir() is None, "raw photoionization data (../shared/data/photoionization) absent")
class Photoionization(unittest.TestCase):
    def test_regenerates_every_table_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as tmp:
            for sp in gen.SPECIES:
                gen.write_table(raw_dir(), sp, tmp)
                name = f"photoionization_{sp[0]}.txt"
                with open(os.path.join(tmp, name), "rb") as a, open(os.path.join(DATA, name), "rb") as b:
                    self.assertTrue(a.read() == b.read(), name)

    def test_thresholds_are_nist_ionization_minus_term_energy_plus_parent(self):
        # (species, configuration, term, parent limit or None for the ground of the ion)
        cases = [
            ("C_II", "2s2.2p", "2P*", None), ("N_I", "2s2.2p3", "4S*", None), ("O_I", "2s2.2p4", "3P", None),
            ("Na_I", "2p6.3s", "2S", None), ("Mg_I", "2p6.3s2", "1S", None), ("Mg_II", "2p6.3s", "2S", None),
            ("Al_I", "3s2.3p", "2P*", None), ("Si_II", "3s2.3p", "2P*", None), ("Ca_I", "3p6.4s2", "1S", None),
            ("Ca_II", "3p6.4s", "2S", None), ("Fe_I", "3d6.4s2", "a 5D", None),
            # terms that can ionize only to an excited ion term keep that term's excitation
            ("O_I", "2s2.2p4", "1D", "O II (2p3 2D*)"), ("C_II", "2s.2p2", "4P", "C III (2s.2p 3P*)"),
            ("Al_I", "3s.3p2", "4P", "Al II (3s.3p 3P*)"),
        ]
        for species, config, term, parent in cases:
            ip, terms, limits = nist(species)
            g, e = terms[(config, term)]
            want = ip - e + (limits[parent] - ip if parent else 0.0)
            _, rows, _, _ = read_table(species)
            row = [r for r in rows if r[4] == f"{config}_{term}".replace(" ", "_")]
            self.assertEqual(len(row), 1, (species, term))
            self.assertEqual(float(row[0][2]), g, (species, term))
            self.assertAlmostEqual(float(row[0][1]) * H_EV / want, 1.0, delta=1e-6, msg=(species, term))

    def test_sigma_eff_is_the_boltzmann_sum_of_the_averaged_raw_terms(self):
        # At table nodes: sum_i g_i exp(-E_i/kT) <sigma_i>, the box average formed here by dense sampling of the
        # raw points (linear in ln nu) instead of the generator's exact integral.
        for name, lam_nm, k_temp in [("Fe_I", 300.0, 20), ("Mg_I", 250.0, 25), ("Ca_I", 370.0, 15),
                                     ("Si_I", 160.0, 10), ("O_I", 80.0, 30)]:
            sp = [s for s in gen.SPECIES if s[0] == name][0]
            _, terms, _ = gen.species_terms(raw_dir(), sp)
            temps, _, nus, sig = read_table(name)
            k = min(range(len(nus)), key=lambda i: abs(nus[i] - 2.99792458e17 / lam_nm))
            nu, T = nus[k], temps[k_temp]
            if nus.count(nu) > 1:  # a threshold: take the node above it
                k += 1
            total = 0.0
            for t in terms:
                nu_t = float(f"{t.threshold / H_EV:.6e}")
                if nu < nu_t:
                    continue
                u = np.log(t.e / H_EV)
                x = np.linspace(max(math.log(nu) - gen.BOX_HALF, u[0]), min(math.log(nu) + gen.BOX_HALF, u[-1]),
                                20001)
                if x[-1] <= x[0]:
                    continue
                avg = np.trapz(np.interp(x, u, t.s), x) / (x[-1] - x[0])
                total += t.g * math.exp(-t.energy / (K_EV * T)) * avg
            self.assertGreater(total, 0, name)
            self.assertAlmostEqual(sig[k][k_temp] / total, 1.0, delta=3e-4, msg=(name, lam_nm, T))


if __name__ == "__main__":
    unittest.main()
