#!/usr/bin/python3
"""Compare atmotab's continuum opacity at 500 nm with a MARCS model's own, depth by depth.

MARCS models (Gustafsson et al. 2008, A&A 486, 951) list per depth the continuum optical depth at
500 nm (lgTau5) and the mass column RHOX, so their opacity per gram there (absorption plus
scattering) is kappa500 = d tau500 / d RHOX, computed by marcs2deck.kappa500 (the logarithmic
derivative, second order on the uneven depth grid). Solar model, depth 41 (log tau_Ross = 0):
0.5646 cm2 g-1.

atmotab's value: the model is converted to a deck (tools/marcs2deck.py) and run with the edge list
499 nm, 501 nm, whose middle frequency is exactly c / 500 nm; the table file's entry of that
frequency (log10 of ACONT + SIGMAC, single precision) is read back (tools/atmotab_tables.py).

Output: one line per depth: k, lgTauR, T [K], MARCS kappa500, atmotab kappa500 [cm2 g-1], and
their ratio atmotab / MARCS.

Usage: marcs_kappa500.py MODEL.mod [--binary PATH]   (default binary: build/atmotab)
Exit status 0; 2 when the model cannot be read or the run fails.
"""

import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import atmotab_tables as at  # noqa: E402
import marcs2deck  # noqa: E402

EDGES = "499. 501. 0.\n"  # frequency set: three frequencies, the middle one at 500 nm


def atmotab_kappa500(path, binary):
    """atmotab's continuum opacity at 500 nm per depth [cm2 g-1] for the MARCS model at PATH."""
    deck = marcs2deck.convert([path])
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "edges"), "w", encoding="ascii") as f:
            f.write(EDGES)
        run = subprocess.run([binary, "--edges", "edges", "--table", "t10", "--maxima", "t11"], cwd=d,
                             input=deck, capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError(f"atmotab failed with status {run.returncode}: {run.stderr.strip()}")
        model = at.read_file(os.path.join(d, "t10")).models[0]
    return [10.0 ** float(v) for v in model.continuum_at(500.0)]


def compare(path, binary):
    """Per depth (k, lgTauR, T, kappa500 of MARCS, kappa500 of atmotab) of the MARCS model at PATH."""
    model = marcs2deck.read_marcs(path)
    theirs = marcs2deck.kappa500(model.struct["lgTau5"], model.second["RHOX"])
    ours = atmotab_kappa500(path, os.path.abspath(binary))
    return [(k + 1, model.struct["lgTauR"][k], model.struct["T"][k], m, a)
            for k, (m, a) in enumerate(zip(theirs, ours))]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("model", metavar="MODEL.mod")
    ap.add_argument("--binary", default=os.path.join(HERE, "..", "build", "atmotab"))
    args = ap.parse_args(argv)
    try:
        rows = compare(args.model, args.binary)
    except (marcs2deck.ModelError, at.TableError, RuntimeError, OSError, ValueError) as e:
        print(f"marcs_kappa500: {e}", file=sys.stderr)
        return 2
    print(f"# {marcs2deck.read_marcs(args.model).name}: continuum opacity at 500 nm [cm2 g-1], "
          "MARCS (d tau500/d RHOX) and atmotab")
    print("#  k  lgTauR        T   kappa_MARCS  kappa_atmotab   ratio")
    for k, lgtaur, t, m, a in rows:
        print(f"{k:4d} {lgtaur:7.2f} {t:8.1f} {m:12.5e} {a:14.5e} {a / m:7.4f}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
