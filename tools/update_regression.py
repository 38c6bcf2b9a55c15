#!/usr/bin/env python3
"""Record the regression cases of tests/regression/ anew from a built atmotab.

Each case is one model of examples/ on fewer depths, run with a shorter edge list, so that the full
dumps of its results stay small enough to read and to diff. This tool writes

  tests/regression/edges.txt       every EDGE_STRIDE-th edge of examples/edges.txt, and the last
  tests/regression/<case>/deck.txt the example deck with DEPTHS of its depth cards, the first and
                                   the last among them (a grey model: about DEPTHS depths)
  tests/regression/<case>/edges.txt for a case with an edge list of its own (OWN_EDGES), that list
                                   thinned in the same way
and then runs the regression test program of BUILD_DIR with ATMOTAB_UPDATE_REGRESSION=1, which
writes <case>/listing.txt (the listing) and <case>/table.txt, <case>/maxima.txt (every value of
every record of the two table files, see tests/regression/table_dump.h).

Run it after an intended change of the results (or of the inputs), and say in the commit what
changed and why:
    tools/update_regression.py build
"""
import os
import subprocess
import sys

CASES = {"solar": "examples/sun.deck", "cool": "examples/cool4000.deck",
         "hot": "examples/warm7750.deck", "cool_molecules": "examples/cool4000_molecules.deck",
         "hotstar": "examples/hot15000.deck"}
EDGES = "examples/edges.txt"
# Cases with an edge list of their own (<case>/edges.txt): that list thinned like the shared one,
# keeping the edges named (hotstar: the He II and He I ground-state edges).
OWN_EDGES = {"hotstar": ("examples/edges_hot.txt", ["22.7837724", "50.4259312"])}
DEPTHS = 15
EDGE_STRIDE = 6


def thin_deck(lines, depths):
    """The deck LINES with DEPTHS of the depth cards of its READ DECK card, evenly spread, or its
    GREY card on about DEPTHS depths of the same first depth and a multiple of its step."""
    out = []
    i = 0
    while i < len(lines):
        words = lines[i].split()
        if words[:2] == ["READ", "DECK"]:
            n = int(words[2])
            keep = sorted({round(k * (n - 1) / (depths - 1)) for k in range(depths)})
            out.append(" ".join(["READ", "DECK", str(len(keep))] + words[3:]))
            out.extend(lines[i + 1 + k] for k in keep)
            i += 1 + n
        elif words[:1] == ["GREY"]:
            n = int(words[1])
            step = max(1, (n - 1) // (depths - 1))
            out.append(" ".join(["GREY", str((n - 1) // step + 1), words[2], repr(float(words[3]) * step)]))
            i += 1
        else:
            out.append(lines[i])
            i += 1
    return out


def thin_edges(text, stride, also=()):
    """Every STRIDE-th value of the edge list TEXT, the values ALSO and its last one, seven to a
    card, then 0."""
    values = []
    for token in text.split():
        if float(token) == 0:
            break
        values.append(token)
    keep = [v for k, v in enumerate(values) if k % stride == 0 or v in also or k == len(values) - 1]
    cards = [" ".join(keep[k:k + 7]) for k in range(0, len(keep), 7)]
    return "\n".join(cards) + "\n0.\n"


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(argv[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    reg = os.path.join(root, "tests", "regression")
    with open(os.path.join(root, EDGES), encoding="ascii") as f:
        edges = thin_edges(f.read(), EDGE_STRIDE)
    with open(os.path.join(reg, "edges.txt"), "w", encoding="ascii") as f:
        f.write(edges)
    for case, deck in CASES.items():
        with open(os.path.join(root, deck), encoding="ascii") as f:
            lines = f.read().splitlines()
        os.makedirs(os.path.join(reg, case), exist_ok=True)
        with open(os.path.join(reg, case, "deck.txt"), "w", encoding="ascii") as f:
            f.write("\n".join(thin_deck(lines, DEPTHS)) + "\n")
        if case in OWN_EDGES:
            own, also = OWN_EDGES[case]
            with open(os.path.join(root, own), encoding="ascii") as f:
                text = thin_edges(f.read(), EDGE_STRIDE, also)
            with open(os.path.join(reg, case, "edges.txt"), "w", encoding="ascii") as f:
                f.write(text)
    program = os.path.join(build, "tests", "atmotab_regression")
    env = dict(os.environ, ATMOTAB_UPDATE_REGRESSION="1")
    run = subprocess.run([program, "--gtest_filter=cases/Regression.*"], env=env, check=False)
    if run.returncode != 0:
        print(f"update_regression: {program} exited {run.returncode}", file=sys.stderr)
        return 1
    for case in CASES:
        sizes = [os.path.getsize(os.path.join(reg, case, n))
                 for n in ("listing.txt", "table.txt", "maxima.txt")]
        print(f"{case}: listing {sizes[0]} bytes, table dump {sizes[1]}, maxima dump {sizes[2]}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
