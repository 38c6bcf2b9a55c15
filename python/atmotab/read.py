"""Print atmotab's table file (unit 10, --table) or maxima file (unit 11, --maxima) as text.

The file layout and the arrays are described in tools/atmotab_tables.py, which does the reading.
Without options: a summary per model. --full: every value of every record (singles to 9
significant digits and reals to 17, so the text gives back the stored numbers exactly).
--quantity NAME: one quantity per depth, frequency or interval, e.g. T, P, XNE, FREQSET,
WAVELENGTH, CONTINALL, 'Fe II' (XNFPEL on unit 10, XNFDOPMAX on unit 11), 'DOPPLE:Fe II', 'CO'.

A file that ends inside a model (a run killed while writing) is printed up to its last complete
model, with a note on standard error and exit status 1. Exit status 2: unreadable or damaged file,
or an unknown quantity.
"""
import argparse
import os
import sys

import numpy as np

from . import tables as at


FormatError = at.TableError


def parse(data):
    """The models of a file's bytes as dictionaries, the form of this script's earlier versions,
    kept for scripts written against it (new code: atmotab_tables): NRHOX, TEFF, GLOG, TITLE, UNIT,
    EDGES (triples), FREQSET; unit 10 also IDMOL, MOMASS, BLOCK (name -> depths 1..min(NRHOX, 25)
    of record 4) and DEPTHS (per depth the lists XNFPEL and DOPPLE as stored, 6 x 99, and CONTINALL,
    NUMNU values); unit 11 XNFDOPMAX, the 377 x 6 x 99 list as stored. A file that ends inside a
    model raises FormatError."""
    f = at.parse(data)
    if f.truncated:
        raise FormatError(f.truncated)
    out = []
    for m in f.models:
        d = {"NRHOX": m.NRHOX, "TEFF": m.TEFF, "GLOG": m.GLOG, "TITLE": m.TITLE, "UNIT": f.unit,
             "EDGES": [tuple(e) for e in zip(m.FRQEDG, m.WLEDGE, m.CMEDGE)],
             "FREQSET": list(m.FREQSET)}
        if f.unit == 10:
            d.update(IDMOL=list(m.IDMOL), MOMASS=list(m.MOMASS),
                     BLOCK={k: list(v) for k, v in m.block.items()},
                     DEPTHS=[{"XNFPEL": list(m.XNFPEL_SLOTS[j].ravel()),
                              "DOPPLE": list(m.DOPPLE_SLOTS[j].ravel()),
                              "CONTINALL": list(m.CONTINALL[j])} for j in range(m.NRHOX)])
        else:
            full = np.zeros((at.NELEM, at.NSLOT, at.NINTERVAL), dtype=np.float32)
            full[:, :, :m.NEDGE - 1] = m.XNFDOPMAX_SLOTS.transpose(1, 2, 0)
            d["XNFDOPMAX"] = list(full.ravel())
        out.append(d)
    return out


def single(v):
    return "%.9g" % v


def real(v):
    return repr(float(v))


def rows(values, fmt, per_line=8, indent="  "):
    """Lines of `per_line` formatted values."""
    return [indent + " ".join(fmt(v) for v in values[k:k + per_line])
            for k in range(0, len(values), per_line)]


def span(values, fmt="%.4e"):
    if len(values) == 0:
        return "(none)"
    return f"{fmt % values[0]} .. {fmt % values[-1]}"


def element_stages(z):
    """Stages an element's row shows: ten for Ca..Ni, six for the others."""
    return at.NSTAGE if 20 <= z <= 28 else at.NSLOT


def summary(m, unit, out):
    w = out.write
    w(f"model {m.index} '{m.TITLE}': NRHOX {m.NRHOX}, TEFF {m.TEFF:.2f}, GLOG {m.GLOG:.4f}\n")
    w(f"  {m.NEDGE} edges {span(abs(m.WLEDGE), '%.6g')} nm; {m.NUMNU} frequencies "
      f"{span(m.FREQSET)} Hz ({span(m.WAVELENGTH, '%.6g')} nm)\n")
    if unit == 10:
        n = len(m.T)
        w(f"  depths 1..{n} (record 4 holds {n} of {m.NRHOX}):\n")
        for name in ("T", "P", "XNE", "RHOX"):
            w(f"    {name:5s} {span(m.block[name])} {at.BLOCK_UNITS[name]}\n")
        if m.NUMNU:
            inside = m.WAVELENGTH[0] <= 500.0 <= m.WAVELENGTH[-1]
            at500 = m.continuum_at(500.0) if inside else None
            for j in sorted({1, m.NRHOX}):
                c = m.CONTINALL[j - 1]
                w(f"  log10 continuum opacity [cm2 g-1] at depth {j}: {c.min():.3f} .. "
                  f"{c.max():.3f}" + (f" (at 500 nm: {at500[j - 1]:.3f})" if inside else "") + "\n")
        top = np.argsort(m.XNFPEL[0].ravel())[::-1][:4]
        w("  largest XNFPEL at depth 1: " + ", ".join(
            f"{at.species_label(k // at.NSTAGE + 1, k % at.NSTAGE + 1)} "
            f"{m.XNFPEL[0].ravel()[k]:.4e}" for k in top) + " cm-3\n")
    else:
        peak = m.XNFDOPMAX.max(axis=0) if len(m.XNFDOPMAX) else np.zeros((at.NELEM, at.NSTAGE))
        top = [k for k in np.argsort(peak.ravel())[::-1][:5] if peak.ravel()[k] > 0]
        w(f"  XNFDOPMAX over {m.NEDGE - 1} intervals, largest: " + ", ".join(
            f"{at.species_label(k // at.NSTAGE + 1, k % at.NSTAGE + 1)} {peak.ravel()[k]:.4e}"
            for k in top) + "\n")
        for z, stage in ((1, 1), (2, 1), (26, 1)):
            col = m.XNFDOPMAX[:, z - 1, stage - 1]
            w(f"    {at.species_label(z, stage):6s} {span(col)}\n")


def full(m, unit, out):
    w = out.write
    w(f"model {m.index} unit {unit}\nNRHOX {m.NRHOX}\nTEFF {real(m.TEFF)}\nGLOG {real(m.GLOG)}\n"
      f"TITLE '{m.TITLE}'\nNEDGE {m.NEDGE}\nedge FRQEDG[Hz] WLEDGE[nm] CMEDGE[cm-1]\n")
    for k in range(m.NEDGE):
        w(f"{k + 1} {real(m.FRQEDG[k])} {real(m.WLEDGE[k])} {real(m.CMEDGE[k])}\n")
    if unit == 10:
        w("molecule IDMOL MOMASS[amu] name\n")
        for k in range(at.NMOL):
            w(f"{k + 1} {real(m.IDMOL[k])} {real(m.MOMASS[k])} {m.MOLECULES[k]}\n")
    w(f"NUMNU {m.NUMNU}\nfrequency FREQSET[Hz] WAVELENGTH[nm]\n")
    for i in range(m.NUMNU):
        w(f"{i + 1} {real(m.FREQSET[i])} {real(m.WAVELENGTH[i])}\n")
    if unit == 10:
        w("depth " + " ".join(at.BLOCK_NAMES) + "\n")
        for j in range(len(m.T)):
            w(f"{j + 1} " + " ".join(single(m.block[name][j]) for name in at.BLOCK_NAMES) + "\n")
        for j in range(m.NRHOX):
            w(f"depth {j + 1}: element XNFPEL[cm-3] by stage, then DOPPLE by stage\n")
            for z in range(1, at.NELEM + 1):
                ns = element_stages(z)
                w(f"{at.SYMBOLS[z - 1]} " + " ".join(single(v) for v in m.XNFPEL[j, z - 1, :ns])
                  + " | " + " ".join(single(v) for v in m.DOPPLE[j, z - 1, :ns]) + "\n")
            for name in m.MOLECULES:
                w(f"{name} {single(m.XNFPMOL[name][j])} | {single(m.DOPPLEMOL[name][j])}\n")
            w(f"depth {j + 1}: CONTINALL, log10 continuum opacity [cm2 g-1] by frequency\n")
            out.write("\n".join(rows(m.CONTINALL[j], single, indent="")) + "\n")
    else:
        w("XNFDOPMAX by edge interval, per element and stage, then per molecule slot\n")
        for z in range(1, at.NELEM + 1):
            for s in range(1, element_stages(z) + 1):
                col = m.XNFDOPMAX[:, z - 1, s - 1]
                label = at.species_label(z, s)
                if not col.any():
                    w(f"{label}: all {len(col)} zero\n")
                else:
                    w(f"{label}:\n" + "\n".join(rows(col, single)) + "\n")
        for k, (name, col) in enumerate(m.XNFDOPMAXMOL.items(), 1):
            if not col.any():
                w(f"{name}: all {len(col)} zero\n")
            else:
                w(f"{name}:\n" + "\n".join(rows(col, single)) + "\n")


def quantity(m, unit, name, out):
    """One named quantity of one model as a table; raises KeyError for an unknown name."""
    w = out.write
    w(f"model {m.index} '{m.TITLE}' {name}\n")
    if name in ("FREQSET", "WAVELENGTH"):
        for i, v in enumerate(getattr(m, name), 1):
            w(f"{i} {real(v)}\n")
        return
    if name in ("FRQEDG", "WLEDGE", "CMEDGE") or (unit == 10 and name in ("IDMOL", "MOMASS")):
        for i, v in enumerate(getattr(m, name), 1):
            w(f"{i} {real(v)}\n")
        return
    if unit == 10 and name in at.BLOCK_NAMES:
        for j, v in enumerate(m.block[name], 1):
            w(f"{j} {single(v)}\n")
        return
    if unit == 10 and name == "CONTINALL":
        w("depth, then log10 opacity [cm2 g-1] at each frequency of FREQSET\n")
        for j in range(m.NRHOX):
            w(f"{j + 1} " + " ".join(single(v) for v in m.CONTINALL[j]) + "\n")
        return
    what, _, text = name.rpartition(":")
    what = what or ("XNFPEL" if unit == 10 else "XNFDOPMAX")
    getter = {"XNFPEL": m.population, "DOPPLE": m.doppler, "XNFDOPMAX": m.maximum}.get(what)
    if getter is None:
        raise KeyError(f"'{what}' is not XNFPEL, DOPPLE or XNFDOPMAX")
    values = getter(text)
    if what == "XNFDOPMAX":
        w("interval, its wavelengths [nm], value\n")
        for i, v in enumerate(values, 1):
            w(f"{i} {abs(m.WLEDGE[i - 1]):.6g} {abs(m.WLEDGE[i]):.6g} {single(v)}\n")
    else:
        for j, v in enumerate(values, 1):
            w(f"{j} {single(v)}\n")


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 epilog="Exit status 0, 1 after a truncated file, 2 on errors.")
    ap.add_argument("files", nargs="+", metavar="FILE",
                    help="a --table (unit 10) or --maxima (unit 11) file of atmotab")
    ap.add_argument("--full", action="store_true", help="print every value")
    ap.add_argument("--quantity", "-q", action="append", metavar="NAME", default=[],
                    help="print one quantity (T, P, XNE, CONTINALL, 'Fe II', 'DOPPLE:CO', ...); "
                    "may be repeated")
    ap.add_argument("--model", type=int, metavar="K", help="only model K (from 1)")
    args = ap.parse_args(argv)
    status = 0
    try:
        for path in args.files:
            if os.path.isfile(path) and os.path.getsize(path) == 0:
                # An empty file holds no model: a run that stopped before its first model, or
                # no table file of atmotab at all.
                print(f"readtables: {path} is empty: it holds no model (a run that ended before "
                      "its first model, or a file not written by atmotab)", file=sys.stderr)
                status = 1
                continue
            f = at.read_file(path)
            if len(args.files) > 1 or not (args.full or args.quantity):
                print(f"{path}: unit {f.unit}, {len(f.models)} model(s)")
            for m in f.models:
                if args.model is not None and m.index != args.model:
                    continue
                for name in args.quantity:
                    quantity(m, f.unit, name, sys.stdout)
                if args.full:
                    full(m, f.unit, sys.stdout)
                elif not args.quantity:
                    summary(m, f.unit, sys.stdout)
            if args.model is not None and not 1 <= args.model <= len(f.models):
                print(f"readtables: {path} has {len(f.models)} complete model(s), not model "
                      f"{args.model}", file=sys.stderr)
                return 2
            if f.truncated:
                print(f"readtables: {path}: {f.truncated}; the {len(f.models)} complete model(s) "
                      "before it are printed", file=sys.stderr)
                status = 1
        sys.stdout.flush()
    except BrokenPipeError:  # the reader of our output stopped early (e.g. head)
        sys.stderr.close()
    except OSError as e:
        print(f"readtables: {e}", file=sys.stderr)
        return 2
    except at.TableError as e:
        print(f"readtables: {e}", file=sys.stderr)
        return 2
    except KeyError as e:
        print(f"readtables: {e.args[0]}", file=sys.stderr)
        return 2
    return status


if __name__ == "__main__":
    sys.exit(main())
