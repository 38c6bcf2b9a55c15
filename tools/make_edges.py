#!/usr/bin/env python3
"""Write the bundled edge list examples/edges.txt from NIST atomic data.

The edge list holds the wavelengths (nm, vacuum) at which the continuous
opacity of a stellar photosphere jumps, plus plain interval boundaries that keep
the frequency grid dense enough between them, all between 50 nm (or the
shortest wavelength asked for) and 20 um:

* hydrogen series limits (Lyman, Balmer, Paschen, Brackett, Pfund, Humphreys,
  ...): lambda_n = n^2 / IP(H I), IP from the NIST ionization energies;
* He II series limits, lambda_n = n^2 / IP(He II), n <= 9;
* He I and the main metal bound-free edges: for the lowest terms of each
  species, lambda = 1 / (IP - E_term), with E_term the g-weighted mean energy of
  the term's NIST levels (fine structure is below the resolution that matters
  here) and IP the NIST ionization energy of the stage;
* interval boundaries in a geometric progression (2.2 per cent apart), left
  out within a short distance of a physical edge.

Input: ../shared/data/atomic/ionization_energies.tsv and nist_levels.tsv (NIST
ASD, Kramida, Ralchenko, Reader & NIST ASD Team).  Output: free-format numbers,
several per 80-column card, ended by a 0. value; nothing else (the file is read
as numbers only).

Usage: make_edges.py [--data DIR] [--output FILE] [--shortest NM]

examples/edges.txt is made with the default shortest wavelength, 50 nm;
examples/edges_hot.txt, for hot stars, with --shortest 20 (it then also holds
the He II ground-state edge, 22.8 nm).
"""

import argparse
import math
import os
import sys

LAMBDA_MIN = 50.0  # nm, the default shortest wavelength
LAMBDA_MAX = 20000.0  # nm
MAX_EDGES = 377  # size of the edge table of atmotab
GRID_RATIO = 1.022  # interval boundaries 2.2 per cent apart ...
GRID_CLEARANCE = 0.012  # ... except within 1.2 per cent of a physical edge
MERGE = 2.0e-4  # physical edges closer than this (relative) are one edge
PER_CARD = 7

# Species (Z, stage with 1 = neutral) and how many of their lowest terms give edges.
SPECIES = [
    ((2, 1), 10),  # He I
    ((6, 1), 8),  # C I
    ((6, 2), 2),  # C II
    ((7, 1), 5),  # N I
    ((8, 1), 5),  # O I
    ((11, 1), 6),  # Na I
    ((12, 1), 8),  # Mg I
    ((12, 2), 3),  # Mg II
    ((13, 1), 6),  # Al I
    ((13, 2), 2),  # Al II
    ((14, 1), 8),  # Si I
    ((14, 2), 3),  # Si II
    ((16, 1), 4),  # S I
    ((19, 1), 4),  # K I
    ((20, 1), 6),  # Ca I
    ((20, 2), 4),  # Ca II
    ((26, 1), 10),  # Fe I
    ((26, 2), 4),  # Fe II
]
# H I and He II series limits n = 1, 2, ... up to this n (He II beyond n = 9 only
# repeats the hydrogen limits of n/2 within 0.05 per cent, or adds edges of no weight).
HYDROGENIC = [((1, 1), 99), ((2, 2), 9)]


def read_ip(path):
    """Ionization energy (cm-1) per (Z, stage)."""
    ip = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            c = line.rstrip("\n").split("\t")
            ip[(int(c[0]), int(c[2]))] = float(c[4])
    return ip


def read_terms(path, wanted):
    """For each wanted (Z, stage): list of (mean energy cm-1, label) of its terms, lowest first."""
    levels = {k: {} for k in wanted}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            c = line.rstrip("\n").split("\t")
            key = (int(c[0]), int(c[2]))
            if key not in levels:
                continue
            e, g = float(c[3]), float(c[4])
            term = (c[6], c[7])
            sums = levels[key].setdefault(term, [0.0, 0.0])
            sums[0] += g * e
            sums[1] += g
    out = {}
    for key, terms in levels.items():
        means = sorted((s[0] / s[1], f"{cfg} {t}") for (cfg, t), s in terms.items() if s[1] > 0)
        out[key] = means
    return out


def physical_edges(data, lambda_min=LAMBDA_MIN):
    ip = read_ip(os.path.join(data, "ionization_energies.tsv"))
    terms = read_terms(os.path.join(data, "nist_levels.tsv"), [k for k, _ in SPECIES])
    edges = []
    for key, nmax in HYDROGENIC:
        n = 1
        while n <= nmax and n * n * 1e7 / ip[key] <= LAMBDA_MAX:
            edges.append(n * n * 1e7 / ip[key])
            n += 1
    for key, count in SPECIES:
        if len(terms[key]) < count:
            sys.exit(f"make_edges: only {len(terms[key])} terms of {key} in the level list, {count} wanted")
        for e, _ in terms[key][:count]:
            edges.append(1e7 / (ip[key] - e))
    edges = sorted(w for w in edges if lambda_min <= w <= LAMBDA_MAX)
    merged = []
    for w in edges:
        if merged and w / merged[-1] - 1.0 < MERGE:
            continue
        merged.append(w)
    return merged


def grid_edges(physical, lambda_min=LAMBDA_MIN):
    """Geometric interval boundaries, four significant digits, clear of the physical edges."""
    out = []
    k = 0
    while True:
        w = lambda_min * GRID_RATIO**k
        if w > LAMBDA_MAX * (1 + 1e-9):
            break
        w = float(f"{w:.4g}")
        if all(abs(w / p - 1.0) > GRID_CLEARANCE for p in physical):
            out.append(w)
        k += 1
    return out


def card_number(w):
    """A wavelength with nine significant digits and a decimal point, no exponent."""
    decimals = max(1, 8 - int(math.floor(math.log10(w))))
    text = f"{w:.{decimals}f}".rstrip("0")
    return text + "0" if text.endswith(".") else text


def main(argv=None):
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description="Write the bundled edge list (wavelengths in nm) from NIST data.")
    ap.add_argument("--data", default=os.path.join(here, "..", "..", "shared", "data", "atomic"),
                    help="directory with ionization_energies.tsv and nist_levels.tsv")
    ap.add_argument("--output", default=os.path.join(here, "..", "examples", "edges.txt"))
    ap.add_argument("--shortest", type=float, default=LAMBDA_MIN,
                    help="shortest wavelength of the list [nm] (default 50)")
    args = ap.parse_args(argv)

    physical = physical_edges(args.data, args.shortest)
    edges = sorted(set(physical + grid_edges(physical, args.shortest)))
    if len(edges) > MAX_EDGES:
        sys.exit(f"make_edges: {len(edges)} edges, more than the {MAX_EDGES} the program holds")
    values = [card_number(w) for w in edges] + ["0."]
    cards = [" ".join(values[i:i + PER_CARD]) for i in range(0, len(values), PER_CARD)]
    with open(args.output, "w", encoding="ascii") as f:
        f.write("\n".join(cards) + "\n")
    print(f"make_edges: {len(physical)} physical edges, {len(edges)} in all -> {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
