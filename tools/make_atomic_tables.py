#!/usr/bin/env python3
"""Build atmotab's atomic data tables from the NIST compilations.

Writes, into data/ of the repository:
  potion.txt    ionization potentials (cm-1) in the 840-slot layout of POTION
  ipftab.txt    packed partition-function table IPFTAB(6,365)
  fegrpf.txt    iron-group partition functions FEGRPF(7,56,10,9), Ca..Ni stages I..X
  pfground.txt  low-level lists of the ground-configuration sums, NELION = 1..336

Usage: make_atomic_tables.py [RAW_DIR] [--out DATA_DIR]
RAW_DIR defaults to ../shared/data/atomic relative to the repository root.

Sources (see data/PROVENANCE.md): NIST Atomic Spectra Database levels (Kramida, Ralchenko, Reader &
NIST ASD Team), normalized to nist_levels.tsv, and NIST ionization energies (ionization_energies.tsv).
Standard library only; deterministic output (fixed formats, fixed iteration order).
"""

import argparse
import collections
import math
import os
import sys

GENERATOR = "tools/make_atomic_tables.py"
ASD_CITATION = ("Kramida, A., Ralchenko, Yu., Reader, J. & NIST ASD Team, NIST Atomic Spectra "
                "Database, https://physics.nist.gov/asd (dump github.com/afloers/NIST_ASD_Data @77e730ac)")

C2 = 1.4387769          # second radiation constant hc/k [cm K] (CODATA 2018)
RYD = 109737.31568      # Rydberg constant [cm-1] (infinite nuclear mass, CODATA 2018)
EV_CM = 8065.479        # cm-1 per eV, as the program converts POTION to eV
TAIL_Q = 13.595         # eV; the high-level tail starts at binding energy 0.1 eV, n = sqrt(13.595/0.1) z
TAIL_D = 0.1            # eV
N0_IPFTAB = 5           # first principal quantum number of the hydrogenic completion (packed table)
N_COMPLETE_FEGRPF = 10  # an iron-group list reaching the hydrogenic level n = 10 z counts as complete
PFGROUND_CUT = 10500.0  # cm-1; pfground keeps the lowest term and every level below this energy

# Reference values the tables must hold verbatim, in place of the compilation's values: the fixed
# values the program's results rest on (see data/PROVENANCE.md).
POTION_REFERENCE = {
    1: "109678.766", 2: "0",
    3: "198310.766", 4: "438908.844", 5: "0",
    6: "43487.148", 7: "610079", 8: "987660.125", 9: "0",
    496: "48387.629", 497: "165458", 498: "247700", 499: "517600", 500: "726000",
    634: "0",  # Ce IV: an empty slot (the stage lookup then takes Ce III's value)
    836: "51800", 837: "95000", 838: "161000", 839: "0", 840: "0",
}
IPFTAB_REFERENCE = {
    1: (200020001, 200020011, 201620881, 231228281, 378953411, 1359502),
    27: (874789691, 924795711, 99410492, 115213492, 169022242, 1361307),
}
# NELION -> (constant weight) or list of (g, E cm-1)
PFGROUND_REFERENCE = {
    1: 2.0,
    31: [(1, "0"), (3, "16.4"), (5, "43.4"), (5, "10192.63")],
    32: [(2, "0"), (4, "63.42")],
    37: 4.0,
    43: [(5, "0"), (3, "158.265"), (1, "226.977")],
    85: 4.0,
    327: [(4, "0"), (2, "13884")],
    332: [(2, "0"), (4, "4873.852"), (6, "5674.807")],
}

LOCZ = [1, 3, 6, 10, 14, 18, 22, 27, 33, 39, 45, 51, 57, 63, 69, 75, 81, 86, 91, 96, 101, 106, 111,
        116, 121, 126, 131, 136, 141]
FEGRPF_LOWERING = [500.0, 1000.0, 2000.0, 4000.0, 8000.0, 16000.0, 32000.0]  # cm-1
ROMAN = ["I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X"]


def ipftab_rows():
    """(row N, Z, stage) for N = 1..365, as the partition-function routine indexes IPFTAB."""
    rows = {}
    for z in range(1, 29):
        for ion in range(1, LOCZ[z] - LOCZ[z - 1] + 1):
            rows[LOCZ[z - 1] + ion - 1] = (z, ion)
    for z in range(29, 100):
        for ion in range(1, 4):
            rows[3 * z + 53 + ion] = (z, ion)
    for ion in range(1, 7):
        rows[353 + ion] = (6, ion)
        rows[359 + ion] = (7, ion)
    assert sorted(rows) == list(range(1, 366))
    return [(n,) + rows[n] for n in range(1, 366)]


def fegrpf_logt(r):
    """log10 T of FEGRPF row r = 1..56."""
    if r <= 20:
        return 3.30 + 0.02 * r
    if r <= 30:
        return 3.70 + 0.03 * (r - 20)
    return 4.00 + 0.05 * (r - 30)


class Atomic:
    """The raw compilations, indexed by (Z, stage)."""

    def __init__(self, raw):
        self.levels = collections.defaultdict(list)  # (Z, stage) -> [(E, g, config, term)]
        self.symbol = {}
        with open(os.path.join(raw, "nist_levels.tsv"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("#") or not line.strip():
                    continue
                c = line.rstrip("\n").split("\t")
                z, st = int(c[0]), int(c[2])
                self.symbol[z] = c[1]
                self.levels[(z, st)].append((float(c[3]), float(c[4]), c[6], c[7]))
        for key in self.levels:
            self.levels[key].sort(key=lambda v: v[0])
        self.ie_text = {}  # (Z, stage) -> ionization energy as written [cm-1]
        self.ground_level = {}
        with open(os.path.join(raw, "ionization_energies.tsv"), encoding="utf-8") as f:
            for line in f:
                if line.startswith("#") or not line.strip():
                    continue
                c = line.rstrip("\n").split("\t")
                z, st = int(c[0]), int(c[2])
                self.symbol.setdefault(z, c[1])
                self.ie_text[(z, st)] = c[4]
                self.ground_level[(z, st)] = c[9]

    def name(self, z, st):
        return "%s %s" % (self.symbol.get(z, str(z)), ROMAN[st - 1] if st <= 10 else str(st))

    def ground_term_weight(self, z, st):
        """Statistical weight (2S+1)(2L+1) of the ground term of stage st (bare nucleus: 1)."""
        if st > z:
            return 1.0
        lv = self.levels.get((z, st))
        if lv:
            _, _, conf, term = lv[0]
            return sum(g for e, g, c, t in lv if c == conf and t == term)
        # No level list: the weight of the ground term from its LS label, e.g. "4S*<3/2>".
        label = self.ground_level.get((z, st), "")
        letters = "SPDFGHIKLMNOQRTU"
        digits = "".join(ch for ch in label.split("<")[0] if ch.isdigit())
        for ch in label.split("<")[0]:
            if ch in letters and digits:
                return float(int(digits) * (2 * letters.index(ch) + 1))
        raise ValueError("no ground term for %s" % self.name(z, st))


# ----------------------------------------------------------------------------------------------
# POTION

def potion_slot(z, st):
    return z * (z + 1) // 2 - 1 + st if z <= 30 else 5 * z + 340 + st


def build_potion(at):
    slots = ["0"] * 840
    for z in range(1, 100):
        for st in range(1, (z if z <= 30 else 5) + 1):
            slots[potion_slot(z, st) - 1] = at.ie_text.get((z, st), "0")
    for s, v in POTION_REFERENCE.items():
        slots[s - 1] = v
    return slots


def potion_ev(slots, z, st):
    """Ionization potential in eV as the program forms it: slot value (preceding slot when 0)."""
    s = potion_slot(z, st)
    while float(slots[s - 1]) == 0.0:
        s -= 1
    return float(slots[s - 1]) / EV_CM


# ----------------------------------------------------------------------------------------------
# Level sums

def hydrogenic_levels(ip, z, gpar, n_first, n_last):
    """Complete hydrogenic Rydberg set: weight 2 n^2 gpar at E = IP - R z^2 / n^2 [cm-1]."""
    return [(ip - RYD * z * z / (n * n), 2.0 * n * n * gpar) for n in range(n_first, n_last + 1)]


def ipftab_levels(at, z, st):
    """Levels (E cm-1, g) of the packed-table sum.

    NIST levels below E(n0) = IP - R z^2/n0^2, and from n0 = 5 on the complete hydrogenic set up to
    the level before the tail's starting point n = sqrt(13.595/0.1) z.  One-electron ions (whose
    levels are hydrogenic through and through) take the set up to the nearest integer instead.
    """
    ip = float(at.ie_text[(z, st)])
    gpar = at.ground_term_weight(z, st + 1)
    a2 = math.sqrt(TAIL_Q / TAIL_D) * st
    n_last = int(a2 + 0.5) if st == z else int(a2)
    e_cut = ip - RYD * st * st / (N0_IPFTAB * N0_IPFTAB)
    lv = [(e, g) for e, g, _, _ in at.levels.get((z, st), []) if e < e_cut]
    if not lv:  # no NIST level list: the ground term alone
        lv = [(0.0, at.ground_term_weight(z, st))]
    return lv + hydrogenic_levels(ip, st, gpar, N0_IPFTAB, n_last), gpar


def level_sum(levels, t):
    x = C2 / t
    return math.fsum(g * math.exp(-e * x) for e, g in levels)


def pack_word(v1, v2):
    """Encode two values with the finest scale 0.001, 0.01, 0.1, 1 (KS = 1..4) that holds both."""
    for ks, scale in enumerate((0.001, 0.01, 0.1, 1.0), start=1):
        k1, k2 = int(round(v1 / scale)), int(round(v2 / scale))
        if k1 <= 21474 and k2 <= 9999:
            return k1 * 100000 + k2 * 10 + ks
    raise ValueError("values %g, %g do not fit a packed word" % (v1, v2))


def unpack_word(w):
    scale = (0.001, 0.01, 0.1, 1.0)[w % 10 - 1]
    return (w // 100000) * scale, ((w % 100000) // 10) * scale


def build_ipftab(at, slots):
    rows = []
    for n, z, st in ipftab_rows():
        if n in IPFTAB_REFERENCE:
            rows.append((n, z, st, IPFTAB_REFERENCE[n], "reference"))
            continue
        if st > z:  # bare nucleus: partition function 1, no tail
            rows.append((n, z, st, (pack_word(1.0, 1.0),) * 5 + (0,), "bare nucleus"))
            continue
        levels, gpar = ipftab_levels(at, z, st)
        ts = potion_ev(slots, z, st) * 2000.0 / 11.0
        vals = [level_sum(levels, (p + 0.5) * ts) for p in range(1, 11)]
        words = tuple(pack_word(vals[2 * i], vals[2 * i + 1]) for i in range(5))
        ip_mev = int(round(float(at.ie_text[(z, st)]) / 8065.543937349212 * 1000.0))
        # G has two decimal digits: the rare-earth parents with ground terms heavier than 49
        # (4f^n 6H, 4I, ...) are held at 99.
        g = min(99, int(round(2 * gpar)))
        rows.append((n, z, st, words + (ip_mev * 100 + g,), "computed"))
    return rows


# ----------------------------------------------------------------------------------------------
# FEGRPF

def fegrpf_ion(at, z, st):
    """7 x 56 partition functions (column L fastest) of one iron-group ion.

    Every NIST level below the lowered limit IP - lowering. A list that stops below the hydrogenic
    level n = 10 z is incomplete: it gets hydrogenic levels (2 n^2 gpar) above its highest level,
    up to the lowered limit. A list that reaches beyond n = 10 z is taken as it is.
    """
    ip = float(at.ie_text[(z, st)])
    gpar = at.ground_term_weight(z, st + 1)
    nist = [(e, g) for e, g, _, _ in at.levels.get((z, st), []) if e < ip]
    e_top = max(e for e, _ in nist)
    hyd = []
    if e_top < ip - RYD * st * st / (N_COMPLETE_FEGRPF * N_COMPLETE_FEGRPF):
        n_first = int(math.sqrt(RYD * st * st / (ip - e_top))) + 1
        n_last = int(math.sqrt(RYD * st * st / min(FEGRPF_LOWERING))) + 1
        hyd = [lv for lv in hydrogenic_levels(ip, st, gpar, n_first, n_last) if lv[0] > e_top]
    levels = sorted(nist + hyd)
    out = []
    for r in range(1, 57):
        t = 10.0 ** fegrpf_logt(r)
        x = C2 / t
        terms = [(e, g * math.exp(-e * x)) for e, g in levels]
        for low in FEGRPF_LOWERING:
            out.append(math.fsum(w for e, w in terms if e < ip - low))
    return out, len(hyd) > 0


# ----------------------------------------------------------------------------------------------
# pfground

def fmt_energy(e):
    s = "%.4f" % e
    return s.rstrip("0").rstrip(".") if "." in s else s


def pfground_entry(at, nelion):
    z, st = (nelion - 1) // 6 + 1, (nelion - 1) % 6 + 1
    if nelion in PFGROUND_REFERENCE:
        return z, st, PFGROUND_REFERENCE[nelion], "reference"
    if 114 <= nelion <= 168 or st > z:
        return z, st, 1.0, "none" if st <= z else "bare nucleus"
    lv = at.levels.get((z, st), [])
    if not lv:
        raise ValueError("no levels for %s" % at.name(z, st))
    _, _, conf0, term0 = lv[0]
    keep = [(g, e) for e, g, c, t in lv if (c == conf0 and t == term0) or e < PFGROUND_CUT]
    if len(keep) == 1:
        return z, st, keep[0][0], "ground level only"
    return z, st, [(int(g) if g == int(g) else g, fmt_energy(e)) for g, e in keep], "NIST"


# ----------------------------------------------------------------------------------------------
# Output

def header(title, lines):
    return ["# " + title] + ["# " + l if l else "#" for l in lines]


def write(path, lines):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def fmt_g(g):
    return ("%d" % g) if float(g) == int(g) else ("%.1f" % g)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("raw", nargs="?", default=os.path.join(root, "..", "shared", "data", "atomic"))
    ap.add_argument("--out", default=os.path.join(root, "data"))
    args = ap.parse_args(argv)
    at = Atomic(args.raw)
    os.makedirs(args.out, exist_ok=True)

    # POTION
    slots = build_potion(at)
    lines = header("POTION: ionization potentials of the neutral atom and ions [cm-1]", [
        "Source: NIST ionization energies (ionization_energies.tsv, from NIST ASD via mendeleev",
        "  elements.db; eV converted with 1 eV = 8065.543937349212 cm-1, CODATA 2018).",
        "Citation: " + ASD_CITATION,
        "Columns: slot (1..840), ionization potential [cm-1] (0 = no value; the user takes the",
        "  preceding slot). Z = 1..30: slot Z(Z+1)/2 - 1 + stage, stages I..Z, then 0 for the bare",
        "  nucleus. Z = 31..99: slot 5 Z + 340 + stage, stages I..V.",
        "Values are single-precision decimal constants: the loader rounds them to float.",
        "Edits: slots 1-9 (H, He, Li), 496-500 (Ga) and 836-840 (Es) hold the program's reference",
        "  values instead of NIST's (e.g. slot 1 109678.766 against NIST 109678.772).",
        "Generator: " + GENERATOR,
    ])
    lines += ["format atmotab-potion 1", "slots 840"]
    lines += ["%d %s" % (i + 1, v) for i, v in enumerate(slots)]
    write(os.path.join(args.out, "potion.txt"), lines)

    # IPFTAB
    rows = build_ipftab(at, slots)
    lines = header("IPFTAB: packed partition functions at ten temperatures", [
        "Source: NIST ASD energy levels (nist_levels.tsv) and ionization energies.",
        "Citation: " + ASD_CITATION,
        "Method: U(T) = sum g exp(-E hc/kT) over NIST levels below E(n0) = IP - R z^2/n0^2 (n0 = 5,",
        "  z = stage charge) plus the complete hydrogenic set 2 n^2 g(parent ground term) at",
        "  E = IP - R z^2/n^2 for n = 5 .. int(sqrt(13.595/0.1) z) (one-electron ions: nearest",
        "  integer), at T = (p + 0.5) Ts, Ts = IP[eV] 2000/11 K, p = 1..10.",
        "Columns: row N, Z, stage, then six 32-bit words. Words 1..5: K1 = w/100000,",
        "  K2 = (w mod 100000)/10, KS = w mod 10; values K1 and K2 times 0.001, 0.01, 0.1, 1",
        "  (KS = 1..4) at points 2i-1, 2i. Word 6 = 100 x IP[0.001 eV] + G, G = 2 g(parent ground",
        "  term), the weight factor of the high-level tail. Bare-nucleus rows: U = 1, word 6 = 0.",
        "Edits: rows 1 (H I) and 27 (O I) are the program's reference words verbatim.",
        "Generator: " + GENERATOR,
    ])
    lines += ["format atmotab-ipftab 1", "rows 365 words 6"]
    lines += ["%d %d %d %s" % (n, z, st, " ".join(str(w) for w in words))
              for n, z, st, words, _ in rows]
    write(os.path.join(args.out, "ipftab.txt"), lines)

    # FEGRPF
    fe_lines = []
    filled = []
    for z in range(20, 29):
        for st in range(1, 11):
            vals, gap = fegrpf_ion(at, z, st)
            if gap:
                filled.append(at.name(z, st))
            for r in range(1, 57):
                fe_lines.append("%d %d %d %s" % (z, st, r, " ".join(
                    "%.7g" % v for v in vals[7 * (r - 1):7 * r])))
    lines = header("FEGRPF: partition functions of Ca..Ni stages I..X by temperature and lowering", [
        "Source: NIST ASD energy levels (nist_levels.tsv) and ionization energies.",
        "Citation: " + ASD_CITATION,
        "Method: U = sum g exp(-E hc/kT) over NIST levels below IP - lowering. Lists that stop below",
        "  the hydrogenic level n = 10 z (E < IP - R z^2/100) get hydrogenic levels 2 n^2 g(parent",
        "  ground term) at IP - R z^2/n^2 above their highest level, up to IP - lowering.",
        "Columns: Z, stage, row r (log10 T = 3.30 + 0.02 r for r <= 20, 3.70 + 0.03 (r - 20) for",
        "  r <= 30, 4.00 + 0.05 (r - 30) above), then U for the lowerings 500, 1000, 2000, 4000,",
        "  8000, 16000, 32000 cm-1 (single precision). Order: Z, stage, row, column fastest last.",
        "Edits: none.",
        "Generator: " + GENERATOR,
    ])
    lines += ["format atmotab-fegrpf 1", "elements 9 stages 10 rows 56 columns 7"] + fe_lines
    write(os.path.join(args.out, "fegrpf.txt"), lines)

    # pfground
    pg_lines = []
    for nelion in range(1, 337):
        z, st, entry, why = pfground_entry(at, nelion)
        if isinstance(entry, list):
            pg_lines.append("%d %d %d %d %s" % (nelion, z, st, len(entry), " ".join(
                "%s %s" % (fmt_g(g), e) for g, e in entry)))
        else:
            pg_lines.append("%d %d %d 0 %s" % (nelion, z, st, fmt_g(entry)))
    nlev = sum(int(l.split()[3]) for l in pg_lines)
    lines = header("pfground: low levels of the ground-configuration sums, NELION = 6 (Z - 1) + stage", [
        "Source: NIST ASD energy levels (nist_levels.tsv).",
        "Citation: " + ASD_CITATION,
        "Method: every level of the lowest term plus every other level below %.0f cm-1;" %
        PFGROUND_CUT,
        "  a constant weight where only the ground level remains; 1 for NELION 114..168 (Ca..Ni)",
        "  and for stages beyond the bare nucleus.",
        "Columns: NELION, Z, stage, number of levels n (0 = constant), then n pairs g E[cm-1]",
        "  or, for n = 0, the constant weight. U(T) = sum g exp(-1.4387884 E / T).",
        "Edits: NELION 1, 31, 32, 37, 43, 85, 327, 332 are the program's reference lists",
        "  (e.g. C I 16.4 / 43.4 cm-1 against NIST 16.4167 / 43.4135).",
        "Generator: " + GENERATOR,
    ])
    lines += ["format atmotab-pfground 1", "nelion 336 levels %d" % nlev] + pg_lines
    write(os.path.join(args.out, "pfground.txt"), lines)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
