#!/usr/bin/env python3
"""Write data/molecules.dat, atmotab's molecule list, from the raw thermochemistry.

The list names every species of the molecular equilibrium: the neutral atoms and first ions of the
elements the equilibrium conserves, H-minus, and every molecule of the output tables' molecule
slots for which thermochemical data exist. One card per species, format (F18.2,F7.3,6E11.4):

  code       atomic numbers two digits each (00 = an extra electron), .01 per positive charge
  D0         dissociation energy [eV] into neutral atoms (and free electrons for anions; a
             cation's D0 is that of its neutral-atom products minus the ionization energy of the
             atom that carries the charge): 0 for atoms and atomic ions
  A2..A7     coefficients of the formation constant
             K = n(M) n(e)^ION / prod n(atoms) [cm^(3 DELTA)], DELTA = NCOMP - 2 ION - 1,
             ln K = D0/kT - A2 + A3 T - A4 T^2 + A5 T^3 - A6 T^4 + A7 T^5 - 1.5 DELTA ln T,
             kT = 8.6171e-5 T eV and T in K as the program evaluates it

A blank card ends the list; the notes after it are not read.

The coefficients are fitted here, not copied: D0 is the source's 0 K dissociation energy rounded
to the card's three decimals, and A2..A7 are the least-squares fit of the remaining function of T
to ln K of the source at 1000..10000 K, solved in exact rational arithmetic. The E11.4 fields
carry five significant digits; each coefficient is rounded in turn from A7 down to A2, the lower
ones fitted again after every rounding, so that the rounding costs almost nothing.

Sources (see data/PROVENANCE.md):
  diatomics and their +1 ions  Barklem & Collet 2016 (A&A 588, A96), table 7 (Nov 2022): log10 pK,
                               pK = p(A) p(B) / p(AB) in Pa (ions: AB+ = A+ + B), D0 from table 1,
                               atomic partition functions from table 8 for the cations' Saha
                               factor with the NIST ionization energy of the charged atom;
  polyatomics and H-minus      NASA Glenn polynomials (McBride, Zehe & Gordon 2002, thermo.inp),
                               1 bar standard state, D0 from the heats of formation at 298.15 K and
                               H(298.15) - H(0). Beyond the top of a species' polynomials (6000 K
                               for H2O and CH2) ln K is continued with the heat capacity held at
                               its last value; those points steer the fit but are not data.

Usage: make_molecules.py [RAW_DIR] [--out FILE] [--provenance]
RAW_DIR (default: the shared raw data) holds molecules/ and atomic/. --provenance prints the
residual table of data/PROVENANCE.md instead of writing the list. Standard library only;
deterministic output.
"""

import argparse
import math
import os
import sys
from fractions import Fraction

GENERATOR = "tools/make_molecules.py"

# CODATA 2018
K_ERG = 1.380649e-16      # Boltzmann constant [erg K^-1]
K_EV = 8.617333262e-5     # Boltzmann constant [eV K^-1]
H_ERG = 6.62607015e-27    # Planck constant [erg s]
M_E = 9.1093837015e-28    # electron mass [g]
J_PER_MOL_EV = 96485.33212  # J mol^-1 per eV (Faraday constant)
P0 = 1e6                  # standard pressure 1 bar [dyn cm^-2]
# (2 pi m_e k / h^2)^1.5 [cm^-3 K^-1.5], the electron's translational factor of the Saha equation
SAHA_E = (2 * math.pi * M_E * K_ERG / H_ERG ** 2) ** 1.5

TKEV_PER_K = 8.6171e-5    # kT [eV] per K as the program forms TKEV
T_LO, T_HI = 1000, 10000  # fit range [K]
T_STEP_CEA = 250          # grid of the polynomial sources [K]
MAX_RESIDUAL_DEX = 0.05   # fit target

SYMBOL = {1: "H", 2: "He", 3: "Li", 4: "Be", 5: "B", 6: "C", 7: "N", 8: "O", 9: "F", 11: "Na",
          12: "Mg", 13: "Al", 14: "Si", 15: "P", 16: "S", 17: "Cl", 19: "K", 20: "Ca", 21: "Sc",
          22: "Ti", 23: "V", 24: "Cr", 25: "Mn", 26: "Fe", 27: "Co", 28: "Ni", 29: "Cu"}
ROMAN = {1: "I", 2: "II"}

# The molecules of the output tables' molecule slots, in slot order: (code, name, source label).
# Source None: no data in the raw compilations, so the species is left out of the list.
MOLECULES = [
    ("101", "H2", "BC"), ("106", "CH", "BC"), ("107", "NH", "BC"), ("108", "OH", "BC"),
    ("606", "C2", "BC"), ("607", "CN", "BC"), ("608", "CO", "BC"), ("707", "N2", "BC"),
    ("708", "NO", "BC"), ("808", "O2", "BC"), ("112", "MgH", "BC"), ("113", "AlH", "BC"),
    ("114", "SiH", "BC"), ("812", "MgO", "BC"), ("813", "AlO", "BC"), ("814", "SiO", "BC"),
    ("116", "SH", "BC"), ("120", "CaH", "BC"), ("816", "SO", "BC"), ("820", "CaO", "BC"),
    ("821", "ScO", "BC"), ("822", "TiO", "BC"), ("823", "VO", "BC"), ("103", "LiH", "BC"),
    ("104", "BeH", "BC"), ("105", "BH", "BC"), ("109", "HF", "BC"), ("115", "PH", "BC"),
    ("117", "HCl", "BC"), ("121", "ScH", None), ("122", "TiH", "BC"), ("123", "VH", None),
    ("124", "CrH", "BC"), ("125", "MnH", "BC"), ("126", "FeH", "BC"), ("106.01", "CH+", "BC"),
    ("107.01", "NH+", "BC"), ("108.01", "OH+", "BC"), ("112.01", "MgH+", "BC"),
    ("113.01", "AlH+", "BC"), ("114.01", "SiH+", "BC"), ("120.01", "CaH+", None),
    ("408", "BeO", "BC"), ("508", "BO", "BC"), ("815", "PO", "BC"), ("817", "ClO", "BC"),
    ("824", "CrO", "BC"), ("825", "MnO", "BC"), ("826", "FeO", "BC"), ("10108", "H2O", "CEA"),
    ("60808", "CO2", "CEA"), ("10106", "CH2", "CEA"), ("60606", "C3", "CEA"),
    ("127", "CoH", "BC"), ("128", "NiH", "BC"), ("129", "CuH", "BC"), ("827", "CoO", None),
    ("828", "NiO", "BC"), ("829", "CuO", "BC"), ("608.01", "CO+", "BC"),
]
BC_LABEL = {"SH": "HS"}  # Barklem & Collet's name where it differs

# Elements conserved by the equilibrium: those of the molecules above, and He, Na, K (electron
# donors without molecules in the list). Each enters as the neutral atom and its first ion.
ELEMENTS = sorted(SYMBOL)


def parse_code(code):
    """Atomic numbers (0 = electron) and positive charges of a species code such as '60808'."""
    whole, _, frac = code.partition(".")
    digits = whole if len(whole) % 2 == 0 else "0" + whole
    comps = [int(digits[i:i + 2]) for i in range(0, len(digits), 2)]
    return comps, int(frac or "0")


def delta_of(code):
    """DELTA = NCOMP - 2 ION - 1 of the formation constant (NCOMP counts charge slots)."""
    comps, ion = parse_code(code)
    return len(comps) + ion - 2 * ion - 1


class Raw:
    """The raw compilations: Barklem & Collet tables, NASA Glenn polynomials, NIST energies."""

    def __init__(self, raw):
        mol = os.path.join(raw, "molecules")
        bc = os.path.join(mol, "barklem_collet_2016")
        self.bc_temps, self.bc_logpk = self._bc_table(os.path.join(bc, "table7_vNov2022.dat"))
        t8, self.bc_u = self._bc_table(
            os.path.join(raw, "atomic", "barklem_collet_2016", "table8_vNov2022.dat"))
        assert t8 == self.bc_temps
        self.bc_d0, self.bc_parts = self._bc_d0(os.path.join(bc, "table1.dat"))
        self.cea = self._cea(os.path.join(mol, "nasa_cea", "thermo.inp"))
        self.ip = self._ionization(os.path.join(raw, "atomic", "ionization_energies.tsv"))

    @staticmethod
    def _bc_table(path):
        temps, rows = None, {}
        with open(path, encoding="utf-8") as f:
            for line in f:
                tok = line.split()
                if not tok:
                    continue
                if tok[0] == "T":
                    temps = [float(v) for v in tok[2:]]
                elif temps is not None and len(tok) == 43:
                    rows[tok[0]] = [float(v) for v in tok[1:]]
        return temps, rows

    @staticmethod
    def _bc_d0(path):
        d0, parts = {}, {}
        with open(path, encoding="utf-8") as f:
            for line in f.readlines()[4:]:
                if len(line) < 93:
                    continue
                name = line[0:5].strip()
                d0[name] = float(line[83:93])
                parts[name] = (line[5:10].strip(), line[10:15].strip())
        return d0, parts

    @staticmethod
    def _cea(path):
        """Species name -> (atoms {symbol: count}, dHf298 [J/mol], H298-H0 [J/mol], intervals)."""
        out = {}
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        i = 0
        while i < len(lines):
            line = lines[i]
            if not line or line[0] in "! " or line.startswith(("thermo", "END")):
                i += 1
                continue
            name = line[0:18].strip()
            head = lines[i + 1]
            try:
                nint = int(head[0:2])
            except ValueError:
                i += 1
                continue
            if nint == 0:  # a condensed species at one temperature: name, header, one line
                i += 3
                continue
            atoms = {}
            for k in range(5):
                sym = head[10 + 8 * k:12 + 8 * k].strip()
                cnt = float(head[12 + 8 * k:18 + 8 * k] or 0)
                if sym and cnt:
                    atoms[sym.capitalize()] = cnt
            dhf = float(head[65:80])
            intervals, h0 = [], None
            for k in range(nint):
                a, b, c = lines[i + 2 + 3 * k:i + 5 + 3 * k]
                tlo, thi = float(a[0:11]), float(a[11:22])
                h0 = float(a[65:80])
                num = (b + c).replace("D", "E")
                coef = [float(num[16 * m:16 * m + 16]) for m in range(5)]
                coef += [float(num[80 + 16 * m:96 + 16 * m]) for m in range(2)]
                bb = [float(num[128 + 16 * m:144 + 16 * m]) for m in range(2)]
                intervals.append((tlo, thi, coef, bb))
            out[name] = (atoms, dhf, h0, intervals)
            i += 2 + 3 * nint
        return out

    @staticmethod
    def _ionization(path):
        ip = {}
        with open(path, encoding="utf-8") as f:
            for line in f:
                if line.startswith("#"):
                    continue
                c = line.split("\t")
                ip[(int(c[0]), int(c[2]))] = float(c[3])
        return ip


def cea_g_rt(entry, t):
    """G/RT of a NASA Glenn species at T [K]; beyond its top interval, Cp held at its last value."""
    _, _, _, intervals = entry
    tlo, thi, a, b = intervals[-1]
    for iv in intervals:
        if iv[0] <= t <= iv[1]:
            tlo, thi, a, b = iv
            break
    else:
        if t < intervals[0][0]:
            raise ValueError("below the polynomials")

    def h_rt(x):
        return (-a[0] / x ** 2 + a[1] * math.log(x) / x + a[2] + a[3] * x / 2 + a[4] * x ** 2 / 3
                + a[5] * x ** 3 / 4 + a[6] * x ** 4 / 5 + b[0] / x)

    def s_r(x):
        return (-a[0] / x ** 2 / 2 - a[1] / x + a[2] * math.log(x) + a[3] * x + a[4] * x ** 2 / 2
                + a[5] * x ** 3 / 3 + a[6] * x ** 4 / 4 + b[1])

    if t <= thi:
        return h_rt(t) - s_r(t)
    cp = (a[0] / thi ** 2 + a[1] / thi + a[2] + a[3] * thi + a[4] * thi ** 2 + a[5] * thi ** 3
          + a[6] * thi ** 4)
    h = h_rt(thi) * thi + cp * (t - thi)  # H/R [K]
    s = s_r(thi) + cp * math.log(t / thi)
    return h / t - s


def cea_top(entry):
    return entry[3][-1][1]


class Species:
    """One molecule: its code, name, source, D0 [eV] and ln K at the fit temperatures."""

    def __init__(self, code, name, source, raw):
        self.code, self.name, self.source = code, name, source
        self.comps, self.ion = parse_code(code)
        self.delta = delta_of(code)
        self.points = []  # (T, ln K, True for data / False for continued beyond the data)
        if source == "BC":
            self._from_bc(raw)
        else:
            self._from_cea(raw)

    def _from_bc(self, raw):
        label = BC_LABEL.get(self.name, self.name)
        d0 = raw.bc_d0[label]
        charged = None
        if self.ion:
            # The charged atom of the process AB+ = A+ + B (table 1, columns 2 and 3).
            charged = [p for p in raw.bc_parts[label] if p.endswith("+")][0][:-1]
            z = [k for k, s in SYMBOL.items() if s == charged][0]
            d0 -= raw.ip[(z, 1)]
        self.d0 = d0
        for t, lpk in zip(raw.bc_temps, raw.bc_logpk[label]):
            if not T_LO <= t <= T_HI:
                continue
            # n(A) n(B) / n(AB) = 10 pK / kT [cm^-3]; formation is its inverse.
            lnk = -(lpk + 1 - math.log10(K_ERG * t)) * math.log(10)
            if charged:
                u = raw.bc_u
                i = raw.bc_temps.index(t)
                z = [k for k, s in SYMBOL.items() if s == charged][0]
                saha = (2 * u[charged + "_II"][i] / u[charged + "_I"][i] * SAHA_E * t ** 1.5
                        * math.exp(-raw.ip[(z, 1)] / (K_EV * t)))
                lnk += math.log(saha)
            self.points.append((int(t), lnk, True))

    def _from_cea(self, raw):
        name = {"H-": "H-"}.get(self.name, self.name)
        mol = raw.cea[name]
        parts = [raw.cea[SYMBOL[z] if z else "e-"] for z in self.comps]
        # 0 K dissociation energy from the heats of formation at 298.15 K and H(298.15) - H(0).
        def h0(e):
            return e[1] - e[2]
        self.d0 = (sum(h0(p) for p in parts) - h0(mol)) / J_PER_MOL_EV
        top = min([cea_top(mol)] + [cea_top(p) for p in parts])
        for t in range(T_LO, T_HI + 1, T_STEP_CEA):
            dg = cea_g_rt(mol, t) - sum(cea_g_rt(p, t) for p in parts)
            lnk = -dg + self.delta * math.log(K_ERG * t / P0)
            self.points.append((t, lnk, t <= top))


def fmt_e(x):
    """E11.4 field with scale factor 1P: five significant digits, as ' 1.2345E-03'."""
    s = "%11.4E" % x
    assert len(s) == 11, s
    return s


def round5(x):
    return float(fmt_e(float(x)))


def lstsq(rows, rhs):
    """Least squares in exact rationals through the normal equations."""
    n = len(rows[0])
    a = [[sum(r[i] * r[j] for r in rows) for j in range(n)] for i in range(n)]
    b = [sum(r[i] * y for r, y in zip(rows, rhs)) for i in range(n)]
    for c in range(n):
        p = max(range(c, n), key=lambda r: abs(a[r][c]))
        a[c], a[p], b[c], b[p] = a[p], a[c], b[p], b[c]
        for r in range(n):
            if r != c and a[r][c]:
                f = a[r][c] / a[c][c]
                a[r] = [x - f * y for x, y in zip(a[r], a[c])]
                b[r] -= f * b[c]
    return [b[i] / a[i][i] for i in range(n)]


# Signs of the polynomial terms: ln K = D0/kT + sum SIGN[k] A[k+2] T^k - 1.5 DELTA ln T.
SIGN = [-1, 1, -1, 1, -1, 1]


def fit(species):
    """D0 rounded to three decimals and A2..A7 rounded to five digits, A7 first."""
    d0 = round(species.d0, 3)
    xs, ys = [], []
    for t, lnk, _ in species.points:
        xs.append(Fraction(t, 10000))
        ys.append(Fraction(lnk - d0 / (TKEV_PER_K * t) + 1.5 * species.delta * math.log(t)))
    fixed = {}  # power k -> rounded A coefficient
    for k in range(5, -1, -1):
        free = [m for m in range(6) if m not in fixed]
        rows = [[x ** m for m in free] for x in xs]
        rhs = [y - sum(SIGN[m] * Fraction(fixed[m]) * (x * 10000) ** m for m in fixed)
               for x, y in zip(xs, ys)]
        sol = dict(zip(free, lstsq(rows, rhs)))
        # coefficient of x^k = c; of T^k = c / 10^(4k); A = SIGN * that.
        fixed[k] = round5(SIGN[k] * sol[k] / Fraction(10) ** (4 * k))
    return d0, [fixed[k] for k in range(6)]


def ln_k(d0, a, delta, t):
    """ln K as the program evaluates it from the card values."""
    return (d0 / (TKEV_PER_K * t) - a[0] + a[1] * t - a[2] * t ** 2 + a[3] * t ** 3
            - a[4] * t ** 4 + a[5] * t ** 5 - 1.5 * delta * math.log(t))


def residuals(species, d0, a):
    """Largest |log10 K_fit - log10 K_source| over the data points and over the continued ones."""
    data = [abs(ln_k(d0, a, species.delta, t) - y) / math.log(10)
            for t, y, real in species.points if real]
    cont = [abs(ln_k(d0, a, species.delta, t) - y) / math.log(10)
            for t, y, real in species.points if not real]
    return max(data), (max(cont) if cont else None)


def card(code, d0, a):
    return "%18s%7.3f%s" % (code, d0, "".join(fmt_e(x) for x in a))


def atom_cards():
    cards = []
    for z in ELEMENTS:
        for ion in (0, 1):
            cards.append(card("%d.%02d" % (z, ion), 0.0, [0.0] * 6))
        if z == 1:
            cards.append(None)  # H-minus follows H+
    return cards


def build(raw):
    """Cards of the list, the fitted species and the species without data."""
    fitted, missing = [], []
    hminus = Species("100", "H-", "CEA", raw)
    for code, name, source in MOLECULES:
        if source is None:
            missing.append((code, name))
        else:
            fitted.append(Species(code, name, source, raw))
    cards = []
    results = []
    for s in [hminus] + fitted:
        d0, a = fit(s)
        results.append((s, d0, a) + residuals(s, d0, a))
    hcard = card("100.00", results[0][1], results[0][2])
    cards = [hcard if c is None else c for c in atom_cards()]
    for s, d0, a, _, _ in results[1:]:
        cards.append(card(s.code + ("" if "." in s.code else ".00"), d0, a))
    return cards, results, missing


NOTES = """\
Molecule list of atmotab (unit 2, READ MOLECULES). One card per species, format
(F18.2,F7.3,6E11.4): code (atomic numbers two digits each, 00 = an extra electron,
.01 per positive charge), D0 [eV], A2..A7 of the formation constant
  ln K = D0/kT - A2 + A3 T - A4 T^2 + A5 T^3 - A6 T^4 + A7 T^5 - 1.5 DELTA ln T,
  K = n(M) n(e)^ION / prod n(atoms) [cm^(3 DELTA)], DELTA = NCOMP - 2 ION - 1.
Atoms and atomic ions carry zeros (their balance comes from the Saha equation).
The blank card above ends the list; these notes are not read.
Written by tools/make_molecules.py; sources and fit residuals in data/PROVENANCE.md.
"""


def write_list(cards, path):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for c in cards:
            f.write(c + "\n")
        f.write("\n")
        f.write(NOTES)


def ln_k_h2_fixed(t):
    """ln K of H2 with the fixed coefficients the program uses for code 101 whatever the list says
    (a polynomial to T^6)."""
    return (4.478 / (TKEV_PER_K * t) - 46.4584 + 1.6366e-3 * t - 4.93992e-7 * t ** 2
            + 1.11822e-10 * t ** 3 - 1.49567e-14 * t ** 4 + 1.06206e-18 * t ** 5
            - 3.0872e-23 * t ** 6 - 1.5 * math.log(t))


def provenance(results, missing):
    lines = ["| code | species | source | D0 [eV] | max residual [dex] | beyond the data [dex] |",
             "|---|---|---|---|---|---|"]
    for s, d0, a, res, cont in results:
        src = {"BC": "Barklem & Collet 2016", "CEA": "NASA Glenn (CEA)"}[s.source]
        lines.append("| %s | %s | %s | %.3f | %.4f | %s |" % (
            s.code, s.name, src, d0, res, "%.4f" % cont if cont is not None else ""))
    worst = max(results, key=lambda r: r[3])
    h2 = [r[0] for r in results if r[0].code == "101"][0]
    dev = [abs(ln_k_h2_fixed(t) - y) / math.log(10) for t, y, _ in h2.points]
    lines.append("")
    lines.append("H2 (101) is evaluated with the program's fixed coefficients, whatever its card says; "
                 "against Barklem & Collet they differ by at most %.4f dex at 1000..9000 K and "
                 "%.4f dex at 10000 K." % (max(dev[:-1]), dev[-1]))
    lines.append("Worst fit: %s, %.4f dex. Left out for want of data: %s." % (
        worst[0].name, worst[3], ", ".join("%s (%s)" % (n, c) for c, n in missing)))
    return "\n".join(lines) + "\n"


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    default_raw = "/work/shared/data"
    if not os.path.isdir(default_raw):
        default_raw = os.path.join(root, "..", "shared", "data")
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("raw", nargs="?", default=default_raw)
    ap.add_argument("--out", default=os.path.join(root, "data", "molecules.dat"))
    ap.add_argument("--provenance", action="store_true")
    args = ap.parse_args(argv)
    cards, results, missing = build(Raw(args.raw))
    bad = [r for r in results if r[3] > MAX_RESIDUAL_DEX]
    if bad:
        for s, d0, a, res, _ in bad:
            print("%s: residual %.4f dex above %.2f" % (s.name, res, MAX_RESIDUAL_DEX),
                  file=sys.stderr)
        return 1
    if args.provenance:
        sys.stdout.write(provenance(results, missing))
    else:
        write_list(cards, args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
