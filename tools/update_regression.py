#!/usr/bin/env python3
"""Record the results of the regression cases (tests/regression/<case>/expected.txt) from a built
atmotab: the FNV-1a digests of the listing and of both table files, and every 250th listing line.

Run after an intended change of the results, and say in the commit what changed and why:
    tools/update_regression.py build/atmotab
"""
import os
import subprocess
import sys
import tempfile

CASES = {  # case: (deck, edge list), relative to the source root
    "solar": ("examples/sun.deck", "examples/edges.txt"),
    "cool": ("examples/cool4000.deck", "examples/edges.txt"),
    "hot": ("examples/warm7750.deck", "examples/edges.txt"),
}
SAMPLE_EVERY = 250


def fnv1a(data):
    h = 14695981039346656037
    for c in data:
        h = ((h ^ c) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return "%016x" % h


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    binary = os.path.abspath(argv[0])
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    for case, (deck, edges) in CASES.items():
        with tempfile.TemporaryDirectory() as tmp:
            t10, t11 = os.path.join(tmp, "t10"), os.path.join(tmp, "t11")
            with open(os.path.join(root, deck), "rb") as cards:
                run = subprocess.run([binary, "--edges", os.path.join(root, edges), "--table", t10,
                                      "--maxima", t11], stdin=cards, capture_output=True, check=False)
            if run.returncode != 0:
                print(f"{case}: atmotab exited {run.returncode}: {run.stderr.decode()}", file=sys.stderr)
                return 1
            with open(t10, "rb") as f:
                table = f.read()
            with open(t11, "rb") as f:
                maxima = f.read()
        listing = run.stdout
        out = [f"deck {deck}", f"edges {edges}", f"listing {fnv1a(listing)}", f"table {fnv1a(table)}",
               f"maxima {fnv1a(maxima)}"]
        for n, line in enumerate(listing.decode("latin-1").split("\n"), 1):
            if n % SAMPLE_EVERY == 1 and line:
                out.append(f"line {n} {line}")
        os.makedirs(os.path.join(root, "tests", "regression", case), exist_ok=True)
        with open(os.path.join(root, "tests", "regression", case, "expected.txt"), "w") as f:
            f.write("\n".join(out) + "\n")
        print(f"{case}: {len(listing)} listing bytes, {len(table)} + {len(maxima)} table bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
