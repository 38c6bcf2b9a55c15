#!/usr/bin/env python3
"""Print the records of an atmotab table file (unit 10, --table) or maxima file (unit 11, --maxima)
as text.

Both are Fortran unformatted sequential files: every record is framed by its byte count as a 4-byte
little-endian integer before and after the data; integers are 4 bytes, reals 8, singles 4. Per model:

  record 1  NRHOX (int), TEFF (real, = T(1)), GLOG (real, = 0), TITLE (74 x 8 bytes: character + 7 blanks)
  record 2  NEDGE (int), NEDGE triples FRQEDG [Hz], WLEDGE [nm], CMEDGE [cm-1] (reals);
            unit 10 only: IDMOL(60), MOMASS(60) (reals)
  record 3  NUMNU (int), FREQSET(1..NUMNU) [Hz] (reals)
  record 4  unit 10: 400 singles, 25 each of T, TKEV, TK, HKT, TLOG, HCKT, P, XNE, XNATOM, RHO, RHOX,
            VTURB, XNFH, then XNFHE (He I 25, He II 25), XNFH2 (depths 1..25)
            unit 11: XNFDOPMAX(377, 6, 99) singles, interval index fastest
  unit 10 only, records 4 + J for J = 1..NRHOX: XNFPEL(6,99), DOPPLE(6,99), CONTINALL(1131) singles

Usage: readtables.py FILE [--full]
"""
import argparse
import struct
import sys

BLOCK_NAMES = ["T", "TKEV", "TK", "HKT", "TLOG", "HCKT", "P", "XNE", "XNATOM", "RHO", "RHOX",
               "VTURB", "XNFH", "XNFHE1", "XNFHE2", "XNFH2"]
NFREQ = 1131
NEDGE_SLOTS = 377


class FormatError(Exception):
    pass


def records(data):
    """Yields the data of each framed record."""
    pos = 0
    while pos < len(data):
        if pos + 4 > len(data):
            raise FormatError(f"truncated length marker at byte {pos}")
        (n,) = struct.unpack_from("<i", data, pos)
        end = pos + 4 + n
        if n < 0 or end + 4 > len(data):
            raise FormatError(f"record at byte {pos} claims {n} bytes, past the end of the file")
        (n2,) = struct.unpack_from("<i", data, end)
        if n2 != n:
            raise FormatError(f"record at byte {pos}: leading length {n}, trailing length {n2}")
        yield data[pos + 4:end]
        pos = end + 4


def reals(rec, offset, count, single=False):
    fmt = "<%d%s" % (count, "f" if single else "d")
    return list(struct.unpack_from(fmt, rec, offset))


def parse(data):
    """Returns the models of a table or maxima file as dictionaries."""
    recs = list(records(data))
    models = []
    i = 0
    while i < len(recs):
        if i + 4 > len(recs):
            raise FormatError(f"model {len(models) + 1} has only {len(recs) - i} of its 4 header records")
        r1, r2, r3, r4 = recs[i:i + 4]
        if len(r1) != 4 + 8 + 8 + 74 * 8:
            raise FormatError(f"record {i + 1} is {len(r1)} bytes, not a model header")
        nrhox, teff, glog = struct.unpack_from("<idd", r1, 0)
        title = bytes(r1[20 + 8 * k] for k in range(74)).decode("latin-1").rstrip()
        (nedge,) = struct.unpack_from("<i", r2, 0)
        edges = reals(r2, 4, 3 * nedge)
        model = {"NRHOX": nrhox, "TEFF": teff, "GLOG": glog, "TITLE": title,
                 "EDGES": [tuple(edges[3 * k:3 * k + 3]) for k in range(nedge)]}
        extra = len(r2) - 4 - 24 * nedge
        if extra == 120 * 8:
            model["IDMOL"] = reals(r2, 4 + 24 * nedge, 60)
            model["MOMASS"] = reals(r2, 4 + 24 * nedge + 480, 60)
        elif extra != 0:
            raise FormatError(f"record {i + 2}: {extra} bytes after the edges")
        (numnu,) = struct.unpack_from("<i", r3, 0)
        model["FREQSET"] = reals(r3, 4, numnu)
        if len(r4) == 400 * 4:
            kind = 10
            block = reals(r4, 0, 400, single=True)
            names = BLOCK_NAMES
            model["BLOCK"] = {name: block[25 * k:25 * k + 25] for k, name in enumerate(names)}
            depth_recs = recs[i + 4:i + 4 + nrhox]
            if len(depth_recs) != nrhox:
                raise FormatError(f"model {len(models) + 1}: {len(depth_recs)} of {nrhox} depth records")
            model["DEPTHS"] = []
            for j, r in enumerate(depth_recs, 1):
                if len(r) != (594 + 594 + NFREQ) * 4:
                    raise FormatError(f"depth record {j} is {len(r)} bytes")
                v = reals(r, 0, 594 + 594 + NFREQ, single=True)
                model["DEPTHS"].append({"XNFPEL": v[:594], "DOPPLE": v[594:1188], "CONTINALL": v[1188:]})
            i += 4 + nrhox
        elif len(r4) == NEDGE_SLOTS * 6 * 99 * 4:
            kind = 11
            model["XNFDOPMAX"] = reals(r4, 0, NEDGE_SLOTS * 6 * 99, single=True)
            i += 4
        else:
            raise FormatError(f"record {i + 4} is {len(r4)} bytes: neither a depth block nor the maxima")
        model["UNIT"] = kind
        models.append(model)
    return models


def show(values, full, fmt="%.6e"):
    if full or len(values) <= 8:
        return " ".join(fmt % v for v in values)
    return " ".join(fmt % v for v in values[:4]) + " ... " + " ".join(fmt % v for v in values[-2:])


def print_model(k, m, full, out):
    n = m["NRHOX"]
    out.write(f"model {k}  unit {m['UNIT']}  NRHOX {n}  TEFF {m['TEFF']:.2f}  GLOG {m['GLOG']:.4f}\n")
    out.write(f"  TITLE '{m['TITLE']}'\n")
    out.write(f"  NEDGE {len(m['EDGES'])}\n")
    for e, (f, w, c) in enumerate(m["EDGES"], 1):
        if full or e <= 3 or e > len(m["EDGES"]) - 2:
            out.write(f"    {e:4d} {f:.9e} Hz {w:.6f} nm {c:.6f} cm-1\n")
    numnu = len(m["FREQSET"])
    out.write(f"  NUMNU {numnu}: {show(m['FREQSET'], full)}\n")
    if m["UNIT"] == 10:
        for name, values in m["BLOCK"].items():
            out.write(f"  {name:7s} {show(values[:min(n, 25)], full, '%.5e')}\n")
        for j, d in enumerate(m["DEPTHS"], 1):
            out.write(f"  depth {j}: XNFPEL(1,1) {d['XNFPEL'][0]:.5e} XNFPEL(1,26) {d['XNFPEL'][150]:.5e} "
                      f"DOPPLE(1,26) {d['DOPPLE'][150]:.5e}\n")
            out.write(f"    log10 opacity: {show(d['CONTINALL'][:numnu], full, '%.3f')}\n")
    else:
        mx = m["XNFDOPMAX"]
        nint = max(len(m["EDGES"]) - 1, 0)
        for z in range(1, 100):
            for s in range(1, 7):
                col = mx[NEDGE_SLOTS * ((s - 1) + 6 * (z - 1)):][:nint]
                if any(col) and (full or z in (1, 2, 26)):
                    out.write(f"  XNFDOPMAX stage slot {s} element {z}: {show(col, full, '%.4e')}\n")


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("file", help="a --table (unit 10) or --maxima (unit 11) file of atmotab")
    ap.add_argument("--full", action="store_true", help="print every value instead of a summary")
    args = ap.parse_args(argv)
    try:
        with open(args.file, "rb") as f:
            data = f.read()
        models = parse(data)
    except OSError as e:
        print(f"readtables: {e}", file=sys.stderr)
        return 2
    except FormatError as e:
        print(f"readtables: {args.file}: {e}", file=sys.stderr)
        return 2
    try:
        for k, m in enumerate(models, 1):
            print_model(k, m, args.full, sys.stdout)
        sys.stdout.flush()
    except BrokenPipeError:  # the reader of our output stopped early (e.g. head)
        sys.stderr.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
