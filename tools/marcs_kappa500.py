#!/usr/bin/env python3
"""Compare atmotab's continuum opacity at 500 nm with a MARCS model's own, depth by depth.

MARCS models (Gustafsson et al. 2008, A&A 486, 951) list per depth the continuum optical depth at
500 nm (lgTau5) and the mass column RHOX, so their opacity per gram there (absorption plus
scattering) is kappa500 = d tau500 / d RHOX = (tau500 / RHOX) d ln tau500 / d ln RHOX, the logarithmic
derivative taken from the parabola through the depth and its two neighbours (second order also where
the MARCS depth steps change; the straight line through the two end points at the first and last
depth). Solar model, depth 41 (log tau_Ross = 0): 0.5646 cm2 g-1.

atmotab's value: the model is converted to a deck (tools/marcs2deck.py) and run with the edge list
499 nm, 501 nm, whose middle frequency is exactly c / 500 nm; the table file's CONTINALL entry of
that frequency (log10 of ACONT + SIGMAC, single precision) is read back (tools/readtables.py).

Output: one line per depth: k, lgTauR, T [K], MARCS kappa500, atmotab kappa500 [cm2 g-1], and
their ratio atmotab / MARCS.

Usage: marcs_kappa500.py MODEL.mod [--binary PATH]   (default binary: build/atmotab)
Exit status 0; 2 when the model cannot be read or the run fails.
"""

import argparse
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import marcs2deck  # noqa: E402
import readtables  # noqa: E402

EDGES = "499. 501. 0.\n"  # frequency set: three frequencies, the middle one at 500 nm


def marcs_kappa500(model):
    """d tau500 / d RHOX per depth [cm2 g-1]."""
    y = [x * math.log(10.0) for x in model.struct["lgTau5"]]  # ln tau500
    x = [math.log(r) for r in model.second["RHOX"]]  # ln RHOX
    n = len(y)
    out = []
    for k in range(n):
        if k == 0 or k == n - 1:
            a, b = (0, 1) if k == 0 else (n - 2, n - 1)
            slope = (y[b] - y[a]) / (x[b] - x[a])
        else:
            h1, h2 = x[k] - x[k - 1], x[k + 1] - x[k]
            slope = (-h2 / (h1 * (h1 + h2)) * y[k - 1] + (h2 - h1) / (h1 * h2) * y[k]
                     + h1 / (h2 * (h1 + h2)) * y[k + 1])
        out.append(math.exp(y[k] - x[k]) * slope)
    return out


def atmotab_kappa500(path, binary):
    """log10-table value of atmotab at 500 nm per depth [cm2 g-1]."""
    deck = marcs2deck.convert([path])
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "edges"), "w", encoding="ascii") as f:
            f.write(EDGES)
        run = subprocess.run([binary, "--edges", "edges", "--table", "t10", "--maxima", "t11"], cwd=d,
                             input=deck, capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError(f"atmotab failed with status {run.returncode}: {run.stderr.strip()}")
        with open(os.path.join(d, "t10"), "rb") as f:
            model = readtables.parse(f.read())[0]
    return [10.0 ** depth["CONTINALL"][1] for depth in model["DEPTHS"]]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("model", metavar="MODEL.mod")
    ap.add_argument("--binary", default=os.path.join(HERE, "..", "build", "atmotab"))
    args = ap.parse_args(argv)
    try:
        model = marcs2deck.read_marcs(args.model)
        ours = atmotab_kappa500(args.model, args.binary)
    except (marcs2deck.ModelError, RuntimeError, OSError) as e:
        print(f"marcs_kappa500: {e}", file=sys.stderr)
        return 2
    theirs = marcs_kappa500(model)
    print(f"# {model.name}: continuum opacity at 500 nm [cm2 g-1], MARCS (d tau500/d RHOX) and atmotab")
    print("#  k  lgTauR        T   kappa_MARCS  kappa_atmotab   ratio")
    for k, (m, a) in enumerate(zip(theirs, ours)):
        print(f"{k + 1:4d} {model.struct['lgTauR'][k]:7.2f} {model.struct['T'][k]:8.1f} {m:12.5e} {a:14.5e} {a / m:7.4f}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
