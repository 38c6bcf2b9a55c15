"""Compare atmotab's continuum opacity at 500 nm with a MARCS model's own, depth by depth.

MARCS models (Gustafsson et al. 2008, A&A 486, 951) list per depth the continuum optical depth at
500 nm (lgTau5) and the mass column RHOX, so their opacity per gram there (absorption plus
scattering) is kappa500 = d tau500 / d RHOX, computed by marcs2deck.kappa500 (the logarithmic
derivative, second order on the uneven depth grid). Solar model, depth 41 (log tau_Ross = 0):
0.5646 cm2 g-1.

atmotab's value: the model is converted to a deck (tools/marcs2deck.py) and run with the edge list
499 nm, 501 nm, whose middle frequency is exactly c / 500 nm; the table file's entry of that
frequency (log10 of ACONT + SIGMAC, single precision) is read back (tools/atmotab_tables.py).

The integral check: atmotab's kappa500 integrated over RHOX gives its own optical depth at 500 nm,
tau(k) = tau(1) + integral from RHOX(1) to RHOX(k) of kappa dRHOX, to compare with the model's
lgTau5 column itself (no derivative of it taken). In each depth interval kappa RHOX is taken as a
power law of RHOX through its two end values (the integral is then their logarithmic mean times
the step in ln RHOX, exact where tau is a power law of RHOX). Above the first depth the model has
no layers: tau(1) is MARCS's own tau500 there times the ratio of the two opacities at that depth
(the layers above taken to differ in opacity as the top layer does). The same integral of MARCS's
kappa500 (the derivative above) returns its lgTau5 within 0.008 dex (solar), 0.013 dex (warm
7750 K) and 0.003 dex (cool 4000 K) between log tau_Ross -4 and 1: what the derivative and the
integral lose together on MARCS's grid.

Output: one line per depth: k, lgTauR, T [K], MARCS kappa500, atmotab kappa500 [cm2 g-1], their
ratio atmotab / MARCS, MARCS's lgTau5, atmotab's log10 tau500 (the integral) and the difference
atmotab - MARCS [dex].

Usage: marcs_kappa500.py MODEL.mod [--binary PATH] [--molecules]   (default binary: build/atmotab)
Exit status 0; 2 when the model cannot be read or the run fails.
"""

import argparse
import math
import os
import subprocess
import sys
import tempfile

from . import marcs as marcs2deck
from . import tables as at
from ._paths import CHECKOUT

EDGES = "499. 501. 0.\n"  # frequency set: three frequencies, the middle one at 500 nm


MOLECULES = os.path.join(CHECKOUT, "data", "molecules.dat")


def atmotab_kappa500(path, binary, molecules=False):
    """atmotab's continuum opacity at 500 nm per depth [cm2 g-1] for the MARCS model at PATH; with
    MOLECULES, with the molecular equilibrium on (data/molecules.dat)."""
    deck = marcs2deck.convert([path], molecules=molecules)
    args = [binary, "--edges", "edges", "--table", "t10", "--maxima", "t11"]
    if molecules:
        args += ["--molecules", os.path.abspath(MOLECULES)]
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "edges"), "w", encoding="ascii") as f:
            f.write(EDGES)
        run = subprocess.run(args, cwd=d, input=deck, capture_output=True, text=True)
        if run.returncode != 0:
            raise RuntimeError(f"atmotab failed with status {run.returncode}: {run.stderr.strip()}")
        model = at.read_file(os.path.join(d, "t10")).models[0]
    return [10.0 ** float(v) for v in model.continuum_at(500.0)]


def log_tau500(kappa, rhox, tau_top):
    """log10 of tau(k) = TAU_TOP + integral of KAPPA [cm2 g-1] over RHOX [g cm-2] from the first
    depth to depth k, kappa RHOX a power law of RHOX in each interval."""
    tau, out = tau_top, [math.log10(tau_top)]
    for k in range(1, len(rhox)):
        f1, f2 = kappa[k - 1] * rhox[k - 1], kappa[k] * rhox[k]
        mean = f1 if f1 == f2 else (f2 - f1) / math.log(f2 / f1)  # logarithmic mean
        tau += mean * math.log(rhox[k] / rhox[k - 1])
        out.append(math.log10(tau))
    return out


def compare(path, binary, molecules=False):
    """Per depth (k, lgTauR, T, kappa500 of MARCS, kappa500 of atmotab, lgTau5 of MARCS, log10 of
    atmotab's tau500 integrated over RHOX) of the MARCS model at PATH (atmotab run with the
    molecular equilibrium on when MOLECULES)."""
    model = marcs2deck.read_marcs(path)
    lgtau5, rhox = model.struct["lgTau5"], model.second["RHOX"]
    theirs = marcs2deck.kappa500(lgtau5, rhox)
    ours = atmotab_kappa500(path, os.path.abspath(binary), molecules)
    integral = log_tau500(ours, rhox, 10.0 ** lgtau5[0] * ours[0] / theirs[0])
    return [(k + 1, model.struct["lgTauR"][k], model.struct["T"][k], m, a, lgtau5[k], i)
            for k, (m, a, i) in enumerate(zip(theirs, ours, integral))]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("model", metavar="MODEL.mod")
    ap.add_argument("--binary", default=os.path.join(CHECKOUT, "build", "atmotab"))
    ap.add_argument("--molecules", action="store_true",
                    help="run atmotab with the molecular equilibrium on (data/molecules.dat)")
    args = ap.parse_args(argv)
    try:
        rows = compare(args.model, args.binary, args.molecules)
    except (marcs2deck.ModelError, at.TableError, RuntimeError, OSError, ValueError) as e:
        print(f"marcs_kappa500: {e}", file=sys.stderr)
        return 2
    print(f"# {marcs2deck.read_marcs(args.model).name}: continuum opacity at 500 nm [cm2 g-1], "
          "MARCS (d tau500/d RHOX) and atmotab; log10 tau500, MARCS's and atmotab's integral")
    print("#  k  lgTauR        T   kappa_MARCS  kappa_atmotab   ratio  lgTau5  lgTau5_atmotab"
          "   diff")
    for k, lgtaur, t, m, a, lt, li in rows:
        print(f"{k:4d} {lgtaur:7.2f} {t:8.1f} {m:12.5e} {a:14.5e} {a / m:7.4f} {lt:7.3f} "
              f"{li:15.4f} {li - lt:6.4f}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
