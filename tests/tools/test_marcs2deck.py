"""Tests of tools/marcs2deck.py, the bundled example decks and the bundled edge list.

The decks are read back with a small re-implementation of atmotab's free-format number
reader (column scan with the four states integer / fraction / after E / exponent digits),
so a number the card reader would take differently from what was meant (1E5, an exponent
of 38 or more, a number glued to text) fails here.
"""

import math
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get("ATMOTAB_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
TOOL = os.path.join(SOURCE, "tools", "marcs2deck.py")
EDGES_TOOL = os.path.join(SOURCE, "tools", "make_edges.py")
EXAMPLES = os.path.join(SOURCE, "examples")
RAW = os.path.join(SOURCE, "..", "shared", "data")
RAW_MODELS = os.path.join(RAW, "models")

BOLTZ_DECK = 1.38054e-16  # k used by atmotab for kT, hence for XNE = Pe / kT
BOLTZ = 1.380649e-16  # CODATA 2018, erg/K
AMU = 1.66053906660e-24  # CODATA 2018, g

DECKS = {
    "sun.deck": "sun.mod",
    "cool4000.deck": "p4000_g+4.5_m0.0_t01_st_z+0.00_a+0.00_c+0.00_n+0.00_o+0.00_r+0.00_s+0.00.mod",
    "warm7750.deck": "p7750_g+4.5_m0.0_t02_st_z-0.25_a+0.10_c+0.00_n+0.00_o+0.10_r+0.00_s+0.00.mod",
}

# Standard atomic weights (IUPAC), Z = 1..99; the radioactive ones by their longest-lived isotope.
ATOMIC_WEIGHT = [
    1.008, 4.0026, 6.94, 9.0122, 10.81, 12.011, 14.007, 15.999, 18.998, 20.180,
    22.990, 24.305, 26.982, 28.085, 30.974, 32.06, 35.45, 39.948, 39.098, 40.078,
    44.956, 47.867, 50.942, 51.996, 54.938, 55.845, 58.933, 58.693, 63.546, 65.38,
    69.723, 72.630, 74.922, 78.971, 79.904, 83.798, 85.468, 87.62, 88.906, 91.224,
    92.906, 95.95, 98.0, 101.07, 102.91, 106.42, 107.87, 112.41, 114.82, 118.71,
    121.76, 127.60, 126.90, 131.29, 132.91, 137.33, 138.91, 140.12, 140.91, 144.24,
    145.0, 150.36, 151.96, 157.25, 158.93, 162.50, 164.93, 167.26, 168.93, 173.05,
    174.97, 178.49, 180.95, 183.84, 186.21, 190.23, 192.22, 195.08, 196.97, 200.59,
    204.38, 207.2, 208.98, 209.0, 210.0, 222.0, 223.0, 226.0, 227.0, 232.04,
    231.04, 238.03, 237.0, 244.0, 243.0, 247.0, 247.0, 251.0, 252.0,
]


# ---------------------------------------------------------------------------------------
# Number reader of the card scanner: an 81-column card (column 81 always blank), scanned
# from column ncol; returns (value, next column, ifend).
def freeff(text, ncol=1, maxpow=38):
    card = (text[:80].ljust(80) + " ")
    state, nd, nfrac, mant, sign, exp, esign, expdig = 1, 0, 0, 0.0, 1.0, 0, 1, False

    for col in range(ncol, 82):
        c = card[col - 1]
        digit = c in "0123456789"
        sep = c in " ,"
        restart = False
        value = None
        if state == 1:
            if digit:
                nd += 1
                mant = 10.0 * mant + int(c)
            elif sep:
                if nd > 0:
                    value = sign * mant
                else:
                    restart = True
            elif c == ".":
                state = 2
            elif c == "-" and nd == 0:
                sign = -1.0
            else:
                restart = True
        elif state == 2:
            if digit:
                nd += 1
                nfrac += 1
                mant = 10.0 * mant + int(c)
            elif c == "E":
                state = 3
            elif c == "-":
                exp, esign, state = 0, -1, 4
            elif c == "+":
                exp, state = 0, 4
            elif sep and nd > 0:
                value = sign * mant / 10.0**nfrac
            else:
                restart = True
        elif state == 3:
            if digit:
                exp, expdig, state = int(c), True, 4
            elif c in " +":
                exp, state = 0, 4
            elif c == "-":
                exp, esign, state = 0, -1, 4
            else:
                restart = True
        else:
            if digit:
                exp = 10 * exp + int(c)
                expdig = True
                if exp >= maxpow:
                    restart = True
            elif sep and expdig:
                value = 10.0 ** (esign * exp - nfrac) * mant * sign
            else:
                restart = True
        if value is not None:
            return value, col + 1, 0
        if restart:
            state, nd, nfrac, mant, sign, exp, esign, expdig = 1, 0, 0, 0.0, 1.0, 0, 1, False
    return 0.0, 82, 1


def card_numbers(text, maxpow=38):
    """All numbers the scanner finds on one card."""
    out, col = [], 1
    while True:
        value, col, end = freeff(text, col, maxpow)
        if end:
            return out
        out.append(value)


def numeric_tokens(text):
    """Blank-separated tokens that are meant as numbers."""
    return [t for t in text.split() if re.match(r"^[-+.0-9]", t)]


def run_tool(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True)


def parse_deck(text):
    """A minimal reading of a converted deck: the keyword of each card and its numbers."""
    cards = text.split("\n")
    assert cards[-1] == "", "deck must end with a newline"
    cards = cards[:-1]
    out = {"abund": {}, "rows": []}
    i = 0
    while i < len(cards):
        card = cards[i]
        word = card.split()[0] if card.split() else ""
        if word == "TITLE":
            out["title"] = card[6:]
        elif word == "TEFF":
            out["teff"], out["glog"] = card_numbers(card)
        elif word == "ITERATIONS":
            (out["iterations"],) = card_numbers(card)
        elif word == "ABUNDANCE" and card.split()[1] == "SCALE":
            (out["scale"],) = card_numbers(card)
        elif word == "ABUNDANCE" and card.split()[1] == "CHANGE":
            vals = card_numbers(card)
            assert len(vals) % 2 == 0, card
            for z, a in zip(vals[0::2], vals[1::2]):
                out["abund"][int(z)] = a
        elif word == "READ":
            assert card.split()[1] == "DECK", card
            n = int(card_numbers(card)[0])
            out["rows"] = [card_numbers(c) for c in cards[i + 1:i + 1 + n]]
            i += n
        elif word in ("BEGIN", "END"):
            out.setdefault("tail", []).append(word)
        else:
            raise AssertionError(f"unexpected card {card!r}")
        i += 1
    return out


def marcs_columns(path):
    """Independent reading of a MARCS file: header values and both depth tables by column name."""
    with open(path) as f:
        lines = f.read().splitlines()
    num = re.compile(r"[+-]?(?:\d+\.\d*|\.\d+|\d+)(?:[Ee][+-]?\d+)?")
    info = {}
    for ln in lines:
        if "are X, Y and Z" in ln:
            info["xyz"] = [float(x) for x in num.findall(ln)[:3]]
        if "Microturbulence" in ln:
            info["vturb"] = float(num.findall(ln)[0])
        if "Number of depth points" in ln:
            n = int(num.findall(ln)[0])
    tables = {}
    for i, ln in enumerate(lines):
        if ln.split()[:2] == ["k", "lgTauR"]:
            names = ln.split()
            rows = [[float(x) for x in num.findall(r)] for r in lines[i + 1:i + 1 + n]]
            for k, name in enumerate(names):
                tables[name] = [r[k] for r in rows]
    info.update(tables)
    info["n"] = n
    return info


def mass_fractions(abund):
    """X, Y, Z from the deck's abundances (H, He number fractions; log10 fractions for Z >= 3)."""
    frac = {z: (a if z <= 2 else 10.0**a) for z, a in abund.items()}
    mass = {z: frac[z] * ATOMIC_WEIGHT[z - 1] for z in frac}
    total = sum(mass.values())
    return mass[1] / total, mass[2] / total, sum(m for z, m in mass.items() if z >= 3) / total


# ---------------------------------------------------------------------------------------
class ScannerTest(unittest.TestCase):
    """The re-implemented number reader behaves as the card reader's rules say."""

    def test_rules(self):
        cases = [
            ("  12,3.5 -4", 38, [12.0, 3.5, -4.0]),
            ("2.5E-3", 38, [0.0025]),
            ("2.5-3", 38, [0.0025]),
            ("2.5E3", 38, [2500.0]),
            ("25E3", 38, [3.0]),
            ("1E5", 38, [5.0]),
            ("1.E5 1.0E5", 38, [1e5, 1e5]),
            ("- 5", 38, [5.0]),
            ("1.0E   ", 38, []),
            ("12X 7", 38, [7.0]),
            ("1.E39 1.E37", 38, [1e37]),
            ("1.E98 1.E99", 99, [1e98]),
            ("1.2345678E+05", 38, [123456.78]),
            ("TEFF    5777.  GRAVITY 4.44000", 38, [5777.0, 4.44]),
        ]
        for text, maxpow, want in cases:
            with self.subTest(text=text):
                got = card_numbers(text, maxpow)
                self.assertEqual(len(got), len(want), got)
                for g, w in zip(got, want):
                    self.assertAlmostEqual(g, w, delta=1e-12 * abs(w))


class DeckChecks:
    """Checks every deck must pass: card width, number tokens, structure."""

    def check_cards(self, text):
        for n, card in enumerate(text.splitlines(), 1):
            self.assertLessEqual(len(card), 80, f"card {n} wider than 80 columns")
            self.assertTrue(card.isascii(), f"card {n}")
            if card.startswith("TITLE"):
                continue
            tokens = numeric_tokens(card)
            for tok in tokens:
                got = card_numbers(tok)
                self.assertEqual(len(got), 1, f"card {n}: {tok!r} is not one number for the card reader")
                self.assertAlmostEqual(got[0], float(tok), delta=1e-12 * abs(float(tok)), msg=f"card {n}: {tok}")
            self.assertEqual(len(card_numbers(card)), len(tokens), f"card {n}: {card!r}")


class SyntheticModelTest(unittest.TestCase, DeckChecks):
    """A small MARCS file written here, with values whose conversion is known by hand."""

    STRUCT = [
        "  1 -1.00 -1.0000 -1.000E+07  5000.0  6.9027E-01  1.0000E+03  1.5000E+00  0.0000E+00",
        "  2  0.00  0.0000  0.000E+00  6000.0  8.28324E+00 1.0000E+04  1.6000E+00  0.0000E+00",
        "  3  1.00  1.0000  1.000E+07  8000.0  1.104432E+02 1.0000E+05  1.7000E+00  0.0000E+00",
    ]
    SECOND = [
        "  1 -1.00  1.0000E-03  1.0000E-09 1.250  0.000E+00 0.00000  1.000000E-02",
        "  2  0.00  1.0000E-01  1.0000E-08 1.250  0.000E+00 0.00000  1.000000E-01",
        "  3  1.00  1.0000E+01  1.0000E-07 0.800 -1.140E+05-0.56233  1.000000E+00",
    ]

    def lines(self):
        return [
            "synthetic",
            "  5000.      Teff [K].         Last iteration; yyyymmdd=20080519",
            "  6.3157E+10 Flux [erg/cm2/s]",
            "  1.0000E+04 Surface gravity [cm/s2]",
            "  1.5        Microturbulence parameter [km/s]",
            "  0.0        No mass for plane-parallel models",
            " +0.00 +0.00 Metallicity [Fe/H] and [alpha/Fe]",
            "  1.0000E+00 1 cm radius for plane-parallel models",
            "  2.0783E-22 Luminosity [Lsun] FOR A RADIUS OF 1 cm!",
            "  1.50 8.00 0.076 0.00 are the convection parameters: alpha, nu, y and beta",
            "  0.7 0.3 1.0E-03 are X, Y and Z, 12C/13C=89 (=solar)",
            "Logarithmic chemical number abundances, H always 12.00",
            "  12.00  11.00 -99.00 -99.00 -99.00   8.00",
            "   3 Number of depth points",
            "Model structure",
            " k lgTauR  lgTau5    Depth     T        Pe          Pg         Prad       Pturb",
            *self.STRUCT,
            " k lgTauR    KappaRoss   Density   Mu      Vconv   Fconv/F      RHOX",
            *self.SECOND,
            "Assorted logarithmic partial pressures",
        ]

    def convert(self, lines, *extra):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "model.mod")
            with open(path, "w") as f:
                f.write("\n".join(lines) + "\n")
            res = run_tool(path, *extra)
        return res, path

    def test_converted_deck(self):
        res, _ = self.convert(self.lines())
        self.assertEqual(res.returncode, 0, res.stderr)
        text = res.stdout
        self.check_cards(text)
        cards = text.splitlines()
        self.assertEqual(cards[0], "TITLE synthetic")
        self.assertEqual(cards[-2:], ["BEGIN", "END"])
        self.assertIn("READ DECK 3 RHOX,T,P,XNE,ABROSS,PRAD,VTURB", cards)
        i = cards.index("READ DECK 3 RHOX,T,P,XNE,ABROSS,PRAD,VTURB")
        # XNE = Pe / (1.38054e-16 T): 0.69027 / (1.38054e-16 x 5000) = 1e12 and so on.
        self.assertEqual(
            cards[i + 1:i + 4],
            [
                "1.000000E-02 5000.0 1.00000E+03 1.00000E+12 1.00000E-03 1.50000E+00 1.5000E+05",
                "1.000000E-01 6000.0 1.00000E+04 1.00000E+13 1.00000E-01 1.60000E+00 1.5000E+05",
                "1.000000E+00 8000.0 1.00000E+05 1.00000E+14 1.00000E+01 1.70000E+00 1.5000E+05",
            ],
        )
        deck = parse_deck(text)
        self.assertEqual(deck["teff"], 5000.0)
        self.assertAlmostEqual(deck["glog"], 4.0, places=12)
        self.assertEqual(deck["iterations"], 1.0)
        self.assertEqual(deck["scale"], 1.0)
        self.assertEqual(sorted(deck["abund"]), list(range(1, 100)))
        # N(H) : N(He) : N(C) = 1 : 0.1 : 1e-4, total 1.1001.
        self.assertAlmostEqual(deck["abund"][1], 0.9090083, places=7)
        self.assertAlmostEqual(deck["abund"][2], 0.0909008, places=7)
        self.assertAlmostEqual(deck["abund"][6], -4.04143, places=5)
        for z in [3, 4, 5] + list(range(7, 100)):
            self.assertEqual(deck["abund"][z], -20.0, f"Z = {z}")

    def test_no_end_and_two_models(self):
        res, _ = self.convert(self.lines(), "--no-end")
        self.assertEqual(res.returncode, 0, res.stderr)
        self.assertEqual(res.stdout.splitlines()[-1], "BEGIN")
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "m.mod")
            with open(path, "w") as f:
                f.write("\n".join(self.lines()) + "\n")
            res = run_tool(path, path, "-o", os.path.join(tmp, "two.deck"))
            self.assertEqual(res.returncode, 0, res.stderr)
            with open(os.path.join(tmp, "two.deck")) as f:
                cards = f.read().splitlines()
        self.assertEqual([c for c in cards if c in ("BEGIN", "END")], ["BEGIN", "BEGIN", "END"])
        self.assertEqual(cards[-1], "END")

    def test_help(self):
        res = run_tool("--help")
        self.assertEqual(res.returncode, 0)
        self.assertIn("READ DECK", res.stdout)
        self.assertIn("MODEL.mod", res.stdout)

    def test_bad_input(self):
        base = self.lines()
        struct0 = base.index(self.STRUCT[0])

        def drop(pattern):
            return [ln for ln in base if pattern not in ln]

        def replace(index, text):
            out = list(base)
            out[index] = text
            return out

        cases = [
            # (name, file lines, line number named in the message, text expected in the message)
            ("not a model", ["hello", "world"], 2, "Logarithmic chemical number abundances"),
            ("empty", [""], 1, "model name"),
            ("no Teff", drop("Teff [K]"), 11, "'Teff' above"),
            ("no X, Y, Z", drop("are X, Y and Z"), 11, "are X, Y and Z"),
            ("text among abundances", base[:12] + ["  12.00 oops"] + base[13:], 13, "log abundances"),
            ("bad depth count", replace(13, "   3.5 Number of depth points"), 14, "depth count"),
            ("no structure title", replace(14, "Something else"), 15, "Model structure"),
            ("missing field", replace(struct0 + 1, self.STRUCT[1][:-12]), struct0 + 2, "depth 2 with 9 numbers"),
            ("wrong index", replace(struct0 + 2, " 4" + self.STRUCT[2][2:]), struct0 + 3, "depth index 3"),
            ("truncated", base[:struct0 + 2], struct0 + 3, "depth 3 of 3"),
            ("negative T", replace(struct0, self.STRUCT[0].replace("5000.0", "-500.0")), struct0 + 1, "positive T"),
            ("T beyond a double", replace(struct0, self.STRUCT[0].replace("5000.0", "1.0E+999")), struct0 + 1,
             "finite numbers, found inf"),
            ("Teff beyond a double", [ln.replace("5000.", "1.E+999", 1) if "Teff [K]" in ln else ln for ln in base],
             2, "finite numbers"),
            ("no RHOX column", replace(struct0 + 3, " k lgTauR KappaRoss Density Mu Vconv Fconv/F"), struct0 + 4,
             "column header"),
        ]
        for name, lines, line_no, fragment in cases:
            with self.subTest(name):
                res, path = self.convert(lines)
                self.assertEqual(res.returncode, 2, res.stdout)
                self.assertEqual(res.stdout, "")
                self.assertIn(f"{path}:{line_no}:", res.stderr)
                self.assertIn(fragment, res.stderr)

    def test_missing_file(self):
        res = run_tool("/nonexistent/model.mod")
        self.assertEqual(res.returncode, 2)
        self.assertIn("/nonexistent/model.mod", res.stderr)
        self.assertIn("cannot read", res.stderr)


class ExampleDeckTest(unittest.TestCase, DeckChecks):
    """The bundled decks: well-formed cards, a complete run each, and the physics of the conversion."""

    def test_cards(self):
        for deck_name, mod_name in DECKS.items():
            with self.subTest(deck_name):
                with open(os.path.join(EXAMPLES, deck_name)) as f:
                    text = f.read()
                self.check_cards(text)
                deck = parse_deck(text)
                self.assertEqual(deck["tail"], ["BEGIN", "END"])
                self.assertEqual(len(deck["rows"]), 56)
                for row in deck["rows"]:
                    self.assertEqual(len(row), 7)

    def test_made_by_the_tool(self):
        for deck_name, mod_name in DECKS.items():
            with self.subTest(deck_name):
                res = run_tool(os.path.join(EXAMPLES, mod_name))
                self.assertEqual(res.returncode, 0, res.stderr)
                with open(os.path.join(EXAMPLES, deck_name)) as f:
                    self.assertEqual(res.stdout, f.read())

    def test_physics(self):
        for deck_name, mod_name in DECKS.items():
            with self.subTest(deck_name):
                with open(os.path.join(EXAMPLES, deck_name)) as f:
                    deck = parse_deck(f.read())
                mod = marcs_columns(os.path.join(EXAMPLES, mod_name))
                # Abundances give back the header's mass fractions.
                for got, want, name in zip(mass_fractions(deck["abund"]), mod["xyz"], "XYZ"):
                    self.assertAlmostEqual(got / want, 1.0, delta=0.01, msg=f"{name}: {got} vs {want}")
                # Ideal gas at every depth: converted P and T with the model's density and mu.
                self.assertEqual(len(deck["rows"]), mod["n"])
                for j, (rhox, t, p, xne, abross, prad, vturb) in enumerate(deck["rows"]):
                    ideal = mod["Density"][j] * BOLTZ * t / (mod["Mu"][j] * AMU)
                    self.assertAlmostEqual(p / ideal, 1.0, delta=1e-3, msg=f"depth {j + 1}")
                    self.assertAlmostEqual(xne * BOLTZ_DECK * t / mod["Pe"][j], 1.0, delta=1e-5)
                    self.assertAlmostEqual(rhox / mod["RHOX"][j], 1.0, delta=1e-12)
                    self.assertAlmostEqual(abross / mod["KappaRoss"][j], 1.0, delta=1e-12)
                    self.assertAlmostEqual(prad / mod["Prad"][j], 1.0, delta=1e-12)
                    self.assertEqual(vturb, mod["vturb"] * 1e5)
                    self.assertEqual(t, mod["T"][j])

    def test_molecules_deck(self):
        # cool4000_molecules.deck: the cool4000 deck with the molecular equilibrium switched on.
        mod = os.path.join(EXAMPLES, DECKS["cool4000.deck"])
        res = run_tool("--molecules", mod)
        self.assertEqual(res.returncode, 0, res.stderr)
        with open(os.path.join(EXAMPLES, "cool4000_molecules.deck")) as f:
            self.assertEqual(res.stdout, f.read())
        with open(os.path.join(EXAMPLES, "cool4000.deck")) as f:
            plain = f.read()
        self.assertEqual(res.stdout, plain.replace("BEGIN\n", "MOLECULES ON\nREAD MOLECULES\nBEGIN\n"))
        self.check_cards(res.stdout)

    @unittest.skipUnless(os.path.isdir(RAW_MODELS), "raw model directory ../shared/data/models is absent")
    def test_originals_unchanged(self):
        for mod_name in DECKS.values():
            with self.subTest(mod_name):
                with open(os.path.join(EXAMPLES, mod_name), "rb") as a, open(os.path.join(RAW_MODELS, mod_name), "rb") as b:
                    self.assertEqual(a.read(), b.read())


class EdgeListTest(unittest.TestCase):
    """examples/edges.txt: numbers only, read as the driver reads unit 17."""

    def read_edges(self):
        with open(os.path.join(EXAMPLES, "edges.txt")) as f:
            cards = f.read().splitlines()
        for n, card in enumerate(cards, 1):
            self.assertLessEqual(len(card), 80, f"card {n}")
            self.assertTrue(re.fullmatch(r"[0-9. ]*", card), f"card {n} holds more than numbers: {card!r}")
        values = []
        for card in cards:
            vals = card_numbers(card, maxpow=99)
            self.assertEqual(len(vals), len(card.split()), card)
            for v in vals:
                if v == 0.0:
                    return values, card is cards[-1]
                values.append(v)
        self.fail("edge list does not end with a 0. value")

    def test_edges(self):
        values, at_last_card = self.read_edges()
        self.assertTrue(at_last_card, "numbers after the terminating 0.")
        self.assertGreaterEqual(len(values), 250)
        self.assertLessEqual(len(values), 377)
        self.assertEqual(values, sorted(values))
        self.assertTrue(all(50.0 <= v <= 20000.0 for v in values))
        # Hydrogen series limits n^2 / 109678.772 cm-1 (Lyman ... Humphreys), He I ground 1 / 198310.666 cm-1,
        # Mg I ground 1 / 61671.05 cm-1, Ca II 3d 2D from 95751.87 - (4 x 13650.19 + 6 x 13710.88) / 10 cm-1.
        for want in [91.17535, 364.7014, 820.5781, 1458.806, 2279.384, 3282.313,
                     50.42593, 162.1506, 121.8542]:
            with self.subTest(want=want):
                self.assertTrue(any(abs(v / want - 1) < 2e-6 for v in values), want)

    @unittest.skipUnless(os.path.isdir(os.path.join(RAW, "atomic")), "raw atomic data ../shared/data/atomic is absent")
    def test_regenerates(self):
        for name, extra in [("edges.txt", []), ("edges_hot.txt", ["--shortest", "20"])]:
            with self.subTest(name=name), tempfile.TemporaryDirectory() as tmp:
                out = os.path.join(tmp, name)
                res = subprocess.run([sys.executable, EDGES_TOOL, "--data", os.path.join(RAW, "atomic"),
                                      "--output", out] + extra, capture_output=True, text=True)
                self.assertEqual(res.returncode, 0, res.stderr)
                with open(out) as a, open(os.path.join(EXAMPLES, name)) as b:
                    self.assertEqual(a.read(), b.read())


if __name__ == "__main__":
    unittest.main()
