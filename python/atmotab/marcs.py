"""Convert MARCS model atmospheres (.mod text layout) into atmotab card decks.

MARCS models (Gustafsson et al. 2008, A&A 486, 951) come as text files with a
header (Teff, surface gravity, microturbulence, X/Y/Z, the log abundances with
H = 12), a structure table per depth (k, lgTauR, lgTau5, Depth, T, Pe, Pg,
Prad, Pturb) and a second table per depth (k, lgTauR, KappaRoss, Density, Mu,
Vconv, Fconv/F, RHOX).  Neighbouring fields can run together
(`-1.140E+05-0.56233`), so every line is split with a number pattern, never on
blanks.

The deck written for each model:

    TITLE <model name>
    TEFF <t>  GRAVITY <log g>
    ITERATIONS 1
    ABUNDANCE SCALE 1.0
    ABUNDANCE CHANGE 1 <n_H> 2 <n_He> 3 <log n_Li> ...    (several cards)
    READ DECK <n> RHOX,T,P,XNE,ABROSS,PRAD,VTURB
    <n cards: RHOX T P XNE ABROSS PRAD VTURB>
    MOLECULES ON                                           (--molecules only)
    READ MOLECULES                                         (--molecules only)
    BEGIN
and, after the last model, END. With --molecules the populations come from the molecular
equilibrium, with the molecule list that atmotab reads from unit 2 (--molecules FILE; the
shipped list is data/molecules.dat).

Abundances: the card expects, relative to all atoms, the number fractions of H
and He and the log10 number fractions of Z >= 3.  MARCS gives
A(Z) = log10(N_Z/N_H) + 12; an element given as -99 (absent), and every element
the file does not list up to Z = 99, becomes -20.

Per depth: RHOX is MARCS's RHOX column (g cm-2), T in K, P the gas pressure Pg,
XNE = Pe / (k T) with k = 1.38054e-16 erg/K (the Boltzmann constant atmotab uses
for kT, so that XNE kT gives back Pe), ABROSS = KappaRoss (cm2 g-1), PRAD the
radiation pressure column Prad (0 when the table has none) and VTURB the
model's microturbulence in cm s-1.

Numbers are written for atmotab's free-format card reader: every real has a
decimal point, exponents follow it (1.2345678E+05), exponents stay below 38 and
every card fits in 80 columns.
"""

import argparse
import math
import re
import sys

# Boltzmann constant as atmotab uses it for kT (erg/K).
BOLTZ = 1.38054e-16
# Largest number of elements the abundance table holds.
NELEM = 99
# log10 number fraction that marks an absent element.
ABSENT = -20.0
# Card width.
CARD = 80
# Title text stands in columns 7..80 of the title card.
TITLE_LEN = 74
# Numbers on cards must have a decimal exponent below this.
MAXPOW = 38

# A number as MARCS writes it; fields may touch each other.
NUMBER = re.compile(r"[+-]?(?:\d+\.\d*|\.\d+|\d+)(?:[EeDd][+-]?\d+)?")


class ModelError(Exception):
    """A MARCS file that does not have the expected layout."""

    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: {message}" if line else f"{path}: {message}")


def numbers(text):
    """All numbers in a text, in order, also when they run together."""
    return [float(m.group(0).replace("D", "E").replace("d", "e")) for m in NUMBER.finditer(text)]


class Model:
    """The quantities of one MARCS model that a deck needs."""

    def __init__(self):
        self.name = ""
        self.teff = 0.0
        self.grav = 0.0
        self.vturb_kms = 0.0
        self.xyz = (0.0, 0.0, 0.0)
        self.log_eps = []  # A(Z) = log10(N/N_H) + 12 for Z = 1..len
        self.struct = {}  # column name -> list per depth (structure table)
        self.second = {}  # column name -> list per depth (second table)
        self.ndepth = 0


def _table(lines, start, ndepth, path, title_words, required):
    """Read a column header at `start` and `ndepth` rows below it."""
    if start >= len(lines):
        raise ModelError(path, start + 1, f"expected the column header ({' '.join(title_words)}), found end of file")
    header = lines[start].split()
    for word in required:
        if word not in header:
            raise ModelError(
                path, start + 1, f"expected a column header naming {', '.join(required)}, found {lines[start].strip()!r}"
            )
    cols = {name: [] for name in header}
    for j in range(1, ndepth + 1):
        ln = start + j
        if ln >= len(lines):
            raise ModelError(path, ln + 1, f"expected depth {j} of {ndepth} ({len(header)} numbers), found end of file")
        vals = numbers(lines[ln])
        if len(vals) != len(header):
            raise ModelError(
                path, ln + 1, f"expected depth {j} with {len(header)} numbers ({' '.join(header)}), found {len(vals)}"
            )
        _finite(vals, path, ln + 1)
        if int(vals[0]) != j or vals[0] != j:
            raise ModelError(path, ln + 1, f"expected depth index {j}, found {vals[0]:g}")
        for name, v in zip(header, vals):
            cols[name].append(v)
    return cols, start + ndepth + 1


def _finite(vals, path, line):
    """Refuses a number beyond the range of a double (1.0E+999 reads as inf)."""
    for v in vals:
        if not math.isfinite(v):
            raise ModelError(path, line, f"expected finite numbers, found {v!r} (beyond the range of a double)")


def _labelled(lines, upto, label, path, count):
    """Leading numbers of the first header line (before line `upto`) that contains `label`."""
    for i in range(min(upto, len(lines))):
        if label.lower() in lines[i].lower():
            vals = numbers(lines[i].lower().split(label.lower())[0])
            if len(vals) < count:
                raise ModelError(path, i + 1, f"expected {count} number(s) before {label!r}, found {len(vals)}")
            _finite(vals[:count], path, i + 1)
            return vals[:count], i
    raise ModelError(path, upto + 1, f"expected a header line with {label!r} above this line; none found")


def read_marcs(path):
    """Parse a MARCS .mod file; raise ModelError naming the line on a layout problem."""
    try:
        with open(path, encoding="ascii", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise ModelError(path, 0, f"cannot read: {e.strerror}") from None
    if not lines or not lines[0].strip():
        raise ModelError(path, 1, "expected the model name on the first line of a MARCS model, found an empty line")

    m = Model()
    m.name = lines[0].strip()

    abund_at = None
    for i, text in enumerate(lines):
        if "logarithmic chemical number abundances" in text.lower():
            abund_at = i
            break
    if abund_at is None:
        raise ModelError(
            path, len(lines), "expected a line 'Logarithmic chemical number abundances' (not a MARCS model?); none found"
        )

    (m.teff,), _ = _labelled(lines, abund_at, "Teff", path, 1)
    (m.grav,), _ = _labelled(lines, abund_at, "Surface gravity", path, 1)
    (m.vturb_kms,), _ = _labelled(lines, abund_at, "Microturbulence", path, 1)
    xyz, _ = _labelled(lines, abund_at, "are X, Y and Z", path, 3)
    m.xyz = tuple(xyz)
    if m.teff <= 0 or m.grav <= 0 or m.vturb_kms < 0:
        raise ModelError(path, abund_at, f"expected positive Teff and gravity, found {m.teff:g} and {m.grav:g}")

    # Abundances: numbers on the lines up to the depth-count line.
    i = abund_at + 1
    while i < len(lines) and "number of depth points" not in lines[i].lower():
        text = lines[i]
        vals = numbers(text)
        if not vals or re.search(r"[A-Za-z]", text):
            raise ModelError(path, i + 1, f"expected log abundances (numbers only), found {text.strip()!r}")
        m.log_eps.extend(vals)
        i += 1
    if i >= len(lines):
        raise ModelError(path, i, "expected a line 'Number of depth points' after the abundances, found end of file")
    if not m.log_eps or m.log_eps[0] != 12.0:
        raise ModelError(path, abund_at + 2, "expected the abundance list to start with H = 12.00")
    if len(m.log_eps) > NELEM:
        raise ModelError(path, i, f"expected at most {NELEM} abundances, found {len(m.log_eps)}")
    vals = numbers(lines[i])
    if len(vals) != 1 or vals[0] != int(vals[0]) or not 1 <= vals[0] <= 99:
        raise ModelError(path, i + 1, f"expected one depth count between 1 and 99, found {lines[i].strip()!r}")
    m.ndepth = int(vals[0])
    i += 1
    if i >= len(lines) or "model structure" not in lines[i].lower():
        raise ModelError(path, i + 1, "expected the line 'Model structure'")
    s_head = i + 1  # 0-based index of the structure-table header
    m.struct, i = _table(lines, s_head, m.ndepth, path, ["k", "T", "Pe", "Pg"], ["k", "lgTauR", "T", "Pe", "Pg"])
    t_head = i  # 0-based index of the second table's header
    m.second, i = _table(
        lines, t_head, m.ndepth, path, ["k", "KappaRoss", "Mu", "RHOX"], ["k", "lgTauR", "KappaRoss", "Density", "Mu", "RHOX"]
    )

    for j in range(m.ndepth):
        ln1 = s_head + 2 + j  # 1-based line of depth j+1 in the structure table
        ln2 = t_head + 2 + j  # 1-based line of depth j+1 in the second table
        if m.second["lgTauR"][j] != m.struct["lgTauR"][j]:
            raise ModelError(path, ln2, f"expected lgTauR {m.struct['lgTauR'][j]:g} as in the structure table")
        for name in ("T", "Pg", "Pe"):
            if not m.struct[name][j] > 0:
                raise ModelError(path, ln1, f"expected a positive {name}, found {m.struct[name][j]:g}")
        for name in ("KappaRoss", "Density", "Mu", "RHOX"):
            if not m.second[name][j] > 0:
                raise ModelError(path, ln2, f"expected a positive {name}, found {m.second[name][j]:g}")
        if j and not m.second["RHOX"][j] > m.second["RHOX"][j - 1]:
            raise ModelError(path, ln2, "expected RHOX to increase with depth")
    return m


def kappa500(lgtau5, rhox):
    """MARCS's continuum opacity at 500 nm per gram, kappa = d tau500 / d RHOX [cm2 g-1], per depth,
    from a model's lgTau5 (log10 tau at 500 nm) and RHOX [g cm-2] columns. The derivative is taken
    of ln tau against ln RHOX, where both vary smoothly: kappa = (tau / RHOX) d ln tau / d ln RHOX,
    with the slope of the parabola through each depth and its neighbours (second order on the
    uneven grid) and the straight line through the two end points at the first and last depth; a
    power law tau = a RHOX^b comes out exact."""
    n = len(rhox)
    if len(lgtau5) != n or n < 3:
        raise ValueError("lgTau5 and RHOX need the same length, at least 3 depths")
    if any(b <= a for a, b in zip(rhox, rhox[1:])) or any(b <= a for a, b in zip(lgtau5, lgtau5[1:])):
        raise ValueError("lgTau5 and RHOX must increase with depth")
    y = [v * math.log(10.0) for v in lgtau5]
    x = [math.log(v) for v in rhox]
    out = []
    for k in range(n):
        if k in (0, n - 1):
            a, b = (0, 1) if k == 0 else (n - 2, n - 1)
            slope = (y[b] - y[a]) / (x[b] - x[a])
        else:
            h1, h2 = x[k] - x[k - 1], x[k + 1] - x[k]
            slope = (-h2 / (h1 * (h1 + h2)) * y[k - 1] + (h2 - h1) / (h1 * h2) * y[k]
                     + h1 / (h2 * (h1 + h2)) * y[k + 1])
        out.append(math.exp(y[k] - x[k]) * slope)
    return out


def number_fractions(log_eps):
    """Number fractions relative to all atoms, Z = 1..99; absent elements 0."""
    eps = [0.0] * NELEM
    for z, a in enumerate(log_eps, start=1):
        if a > -90.0:  # MARCS writes -99.00 for an element that is absent
            eps[z - 1] = 10.0 ** (a - 12.0)
    total = sum(eps)
    return [e / total for e in eps]


def card_e(v, sig):
    """v in exponent form with `sig` significant digits: 1.2345678E+05."""
    if not math.isfinite(v):
        _fail_range(v)
    if v == 0.0 or abs(v) < 10.0 ** (1 - MAXPOW):
        return "0." if v == 0.0 else _fail_range(v)
    text = f"{v:.{sig - 1}E}"
    if abs(int(text.split("E")[1])) >= MAXPOW:
        _fail_range(v)
    return text


def _fail_range(v):
    raise ValueError(f"{v!r} cannot be written on a card (decimal exponent must stay below {MAXPOW})")


def card_f(v, decimals):
    """v in fixed form with a decimal point: the fewest decimals (at least one, at most
    `decimals`) that give v back exactly, as in 4066.8 or 5777.0."""
    if not math.isfinite(v):
        _fail_range(v)
    for d in range(1, decimals):
        text = f"{v:.{d}f}"
        if float(text) == v:
            return text
    return f"{v:.{decimals}f}"


def depth_card(rhox, t, p, xne, abross, prad, vturb):
    """One model-table card; the precision drops one digit only if 80 columns would not suffice."""
    for sig in (6, 5):
        fields = [card_e(rhox, 7), card_f(t, 3), card_e(p, sig), card_e(xne, sig)]
        fields += [card_e(abross, sig), card_e(prad, sig), card_e(vturb, 5)]
        text = " ".join(fields)
        if len(text) <= CARD:
            return text
    raise ValueError(f"depth card longer than {CARD} columns: {text}")


def abundance_cards(fractions):
    """ABUNDANCE CHANGE cards for Z = 1..99, as many pairs per card as fit."""
    pairs = [f"1 {fractions[0]:.7f}", f"2 {fractions[1]:.7f}"]
    for z in range(3, NELEM + 1):
        x = fractions[z - 1]
        pairs.append(f"{z} {math.log10(x):.5f}" if x > 0 else f"{z} {ABSENT:.1f}")
    cards, card = [], "ABUNDANCE CHANGE"
    for pair in pairs:
        if len(card) + 2 + len(pair) > CARD:
            cards.append(card)
            card = "ABUNDANCE CHANGE"
        card += "  " + pair
    cards.append(card)
    return cards


def model_deck(m, molecules=False):
    """The cards of one model, through BEGIN; with MOLECULES, the molecular equilibrium on."""
    frac = number_fractions(m.log_eps)
    teff = f"{m.teff:.0f}." if m.teff == int(m.teff) else card_f(m.teff, 3)
    out = [
        ("TITLE " + m.name)[: 6 + TITLE_LEN],
        f"TEFF {teff:>8}  GRAVITY {math.log10(m.grav):.5f}",
        "ITERATIONS 1",
        "ABUNDANCE SCALE 1.0",
    ]
    out += abundance_cards(frac)
    out.append(f"READ DECK {m.ndepth} RHOX,T,P,XNE,ABROSS,PRAD,VTURB")
    vturb = m.vturb_kms * 1.0e5
    prad = m.struct.get("Prad", [0.0] * m.ndepth)
    for j in range(m.ndepth):
        t = m.struct["T"][j]
        out.append(
            depth_card(
                m.second["RHOX"][j],
                t,
                m.struct["Pg"][j],
                m.struct["Pe"][j] / (BOLTZ * t),
                m.second["KappaRoss"][j],
                prad[j],
                vturb,
            )
        )
    if molecules:
        out += ["MOLECULES ON", "READ MOLECULES"]
    out.append("BEGIN")
    return out


def convert(paths, end=True, molecules=False):
    """Deck text for the models in `paths`, one after another, with END after the last."""
    cards = []
    for path in paths:
        cards += model_deck(read_marcs(path), molecules)
    if end:
        cards.append("END")
    for c in cards:
        assert len(c) <= CARD, c
    return "\n".join(cards) + "\n"


def main(argv=None):
    ap = argparse.ArgumentParser(
        prog="marcs2deck.py",
        description="Convert MARCS model atmospheres (.mod text files, Gustafsson et al. 2008) into an atmotab "
        "card deck: TITLE, TEFF/GRAVITY, ITERATIONS 1, ABUNDANCE SCALE/CHANGE, READ DECK with "
        "RHOX,T,P,XNE,ABROSS,PRAD,VTURB per depth, BEGIN; END after the last model.",
        epilog="Example: marcs2deck.py sun.mod -o sun.deck; then atmotab --edges edges.txt < sun.deck. "
        "Exit status 0 on success, 2 when a file cannot be read or is not a MARCS model "
        "(the message names the file, the line and what was expected).",
    )
    ap.add_argument("models", nargs="+", metavar="MODEL.mod", help="MARCS model file(s); several make a multi-model run")
    ap.add_argument("-o", "--output", metavar="DECK", help="write the deck here (default: standard output)")
    ap.add_argument("--no-end", action="store_true", help="leave out the final END card (to append more models)")
    ap.add_argument("--molecules", action="store_true",
                    help="switch the molecular equilibrium on (MOLECULES ON, READ MOLECULES before each BEGIN); "
                    "run atmotab with --molecules data/molecules.dat")
    args = ap.parse_args(argv)
    try:
        text = convert(args.models, end=not args.no_end, molecules=args.molecules)
    except (ModelError, ValueError) as e:
        print(f"marcs2deck: {e}", file=sys.stderr)
        return 2
    if args.output:
        try:
            with open(args.output, "w", encoding="ascii") as f:
                f.write(text)
        except OSError as e:
            print(f"marcs2deck: {args.output}: cannot write: {e.strerror}", file=sys.stderr)
            return 2
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
