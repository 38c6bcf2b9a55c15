"""atmotab's HDF5 output (--hdf5 FILE, docs/hdf5.md) and grids in one file (GRID/grid.h5), as the
model objects of atmotab.tables, with every array at every depth and in full precision.

    from atmotab import hdf5
    run = hdf5.read("sun.h5")
    m = run.models[0]
    m.TEFF, m.GLOG                  # the deck's (the table headers carry T(1) and 0)
    m.T, m.P, m.XNE                 # (NRHOX,) every depth
    m.XNFPEL, m.XNF, m.DOPPLE       # (depth, element Z-1, stage-1): n/U, n, Doppler width
    m.population("Fe II"), m.number_density("Fe II")
    grid = hdf5.Grid("GRID/grid.h5")
    grid.select(teff=5777, logg=4.44)

Needs h5py (Debian: python3-h5py).
"""
import os

import numpy as np

from . import tables as at

try:
    import h5py
except ImportError:  # the table reader works without it; these functions say what is missing
    h5py = None

DEPTH_NAMES = at.BLOCK_NAMES  # T, TKEV, ..., every one at every depth here
FORMAT = "atmotab HDF5 tables 2"  # the layout of docs/hdf5.md
GRID_FORMAT = "atmotab HDF5 grid 2"


class Hdf5Error(Exception):
    """A file that is not atmotab's HDF5 output, or a grid selection that cannot be made."""


def _need_h5py():
    if h5py is None:
        raise ImportError("reading atmotab's HDF5 files needs h5py (pip install h5py, or Debian's "
                          "python3-h5py)")


def _text(v):
    return v.decode() if isinstance(v, bytes) else str(v)


def species_columns(codes):
    """(Z - 1, stage - 1) index arrays of the species codes Z + (stage - 1) / 100."""
    hundredths = np.rint(np.asarray(codes) * 100).astype(int)
    return hundredths // 100 - 1, hundredths % 100


def _stages(values, codes):
    """(..., species) -> (..., 99, 10), 0 where an element has no such stage."""
    z, s = species_columns(codes)
    out = np.zeros(values.shape[:-1] + (at.NELEM, at.NSTAGE), dtype=values.dtype)
    out[..., z, s] = values
    return out


def model_from_group(g, index=1):
    """An atmotab.tables.Model from one model group of an HDF5 file."""
    a = g.attrs
    m = at.Model(index)
    m.NRHOX = int(a["NRHOX"])
    m.TEFF, m.GRAV, m.GLOG = float(a["TEFF"]), float(a["GRAV"]), float(a["GLOG"])
    m.TITLE = _text(a["TITLE"])
    m.XSCALE = float(a["XSCALE"])
    m.attrs = {k: (_text(v) if isinstance(v, bytes) else v) for k, v in a.items()}
    m.FRQEDG, m.WLEDGE, m.CMEDGE = (g[k][()] for k in ("FRQEDG", "WLEDGE", "CMEDGE"))
    m.FREQSET, m.WAVELENGTH = g["FREQSET"][()], g["WAVELENGTH"][()]
    m.IDMOL, m.MOMASS = g["IDMOL"][()], g["MOMASS"][()]
    m.MOLECULES = [at.molecule_name(c) for c in m.IDMOL]
    if "DEPTH_QUANTITIES" not in g:
        raise Hdf5Error(f"{g.file.filename}: {g.name} is not in the layout of {FORMAT!r} (written "
                        "by an older atmotab: run the models again)")
    depth = g["DEPTH_QUANTITIES"]
    rows = dict(zip((_text(q) for q in depth.attrs["quantities"]), depth[()]))
    m.block = {name: rows[name] for name in DEPTH_NAMES}
    m.ABUND, m.XABUND = g["ABUND"][()], g["XABUND"][()]
    m.CONTINALL = g["CONTINALL"][()]
    # The file has one row per species (element stage or molecule); the model objects one column.
    codes = g["SPECIES"][()]
    m.XNFPEL = _stages(g["XNFPEL"][()].T, codes)
    m.XNF = _stages(g["XNF"][()].T, codes)
    mol = g["XNFPMOL"][()].T
    m.XNFPMOL = dict(zip(m.MOLECULES, mol.T))
    m.XNFPEL_SLOTS = at.pack_slots(m.XNFPEL, mol)
    m.XNFMOL = dict(zip(m.MOLECULES, g["XNFMOL"][()])) if "XNFMOL" in g else None
    # The Doppler widths per element, laid out as the table files have them.
    dopmol = g["DOPPLEMOL"][()].T
    per_element = np.repeat(g["DOPPLE"][()].T[..., None], at.NSTAGE, axis=-1)
    m.DOPPLE_SLOTS = at.pack_slots(per_element, dopmol)
    m.DOPPLE, _ = at.unpack_slots(m.DOPPLE_SLOTS)
    m.DOPPLEMOL = dict(zip(m.MOLECULES, dopmol.T))
    maxmol = g["XNFDOPMAXMOL"][()].T
    m.XNFDOPMAX = _stages(g["XNFDOPMAX"][()].T, codes)
    m.XNFDOPMAX_SLOTS = at.pack_slots(m.XNFDOPMAX, maxmol)
    m.XNFDOPMAXMOL = dict(zip(m.MOLECULES, maxmol.T))
    return m


def model_groups(f):
    """The model groups of an HDF5 output file, in order."""
    return [f[k] for k in sorted(f) if k.startswith("model_")]


def read(path):
    """The models of an HDF5 output file as an atmotab.tables.Run (truncated is empty: the file
    holds finished models only)."""
    _need_h5py()
    with h5py.File(path, "r") as f:
        form = _text(f.attrs.get("format", b""))
        if not form.startswith("atmotab HDF5"):
            raise Hdf5Error(f"{path} is not an HDF5 file of atmotab (no 'format' attribute)")
        if form != FORMAT:
            raise Hdf5Error(f"{path} has the layout {form!r}, this reader {FORMAT!r}")
        run = at.Run([model_from_group(g, k) for k, g in enumerate(model_groups(f), 1)], [])
        run.attrs = {k: _text(v) for k, v in f.attrs.items()}
    return run


INDEX_FIELDS = [("name", "S96"), ("model", "<i4"), ("group", "S120"), ("TEFF", "<f8"),
                ("GLOG", "<f8"), ("XSCALE", "<f8"), ("NRHOX", "<i4"), ("status", "S200")]


def write_grid(path, entries):
    """Writes the grid file PATH from ENTRIES, one (name, input, h5 file or None, status) per grid
    model in plan order: the model groups of each HDF5 file under /models/NAME/, and the
    dataset /index with one row per model (name, model number, group, TEFF, GLOG, XSCALE, NRHOX,
    status; a model without an HDF5 file has one row with its status). Returns the number of
    model groups written."""
    _need_h5py()
    part = path + ".part"
    try:
        written = _write_grid(part, entries)
    except BaseException:
        if os.path.lexists(part):
            os.remove(part)
        raise
    os.replace(part, path)
    return written


def _write_grid(part, entries):
    rows, written = [], 0
    with h5py.File(part, "w") as out:
        out.attrs["format"] = GRID_FORMAT
        models = out.create_group("models")
        for name, source, h5, status in entries:
            if h5 is None:
                rows.append((name, 0, "", np.nan, np.nan, np.nan, 0, status))
                continue
            with h5py.File(h5, "r") as f:
                dest = models.create_group(name)
                dest.attrs["input"] = source
                for k, g in enumerate(model_groups(f), 1):
                    f.copy(g, dest, name=g.name.lstrip("/"))
                    a = g.attrs
                    rows.append((name, k, f"/models/{name}{g.name}", a["TEFF"], a["GLOG"],
                                 a["XSCALE"], a["NRHOX"], status))
                    written += 1
        index = np.array([tuple(r) for r in rows], dtype=INDEX_FIELDS)
        d = out.create_dataset("index", data=index)
        d.attrs["units"] = "TEFF K, GLOG log10(cm s-2), XSCALE 1"
    return written


class Grid:
    """A grid file (GRID/grid.h5): `index` is its table (a numpy structured array), `select`
    picks models by TEFF, log g, abundance scale, name or status."""

    def __init__(self, path):
        _need_h5py()
        self.path = path
        self.file = h5py.File(path, "r")
        self.index = self.file["index"][()]

    def close(self):
        self.file.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def rows(self, teff=None, logg=None, xscale=None, name=None, status="done",
             teff_tol=0.5, logg_tol=0.005, xscale_rtol=1e-6):
        """The index rows that match: a number matches within the tolerance, a (low, high) pair
        is a range; name and status are exact (status None: any)."""
        ix = self.index
        keep = np.ones(len(ix), dtype=bool)
        if status is not None:
            keep &= np.char.startswith(ix["status"].astype(str), status)
        if name is not None:
            keep &= ix["name"].astype(str) == name
        for field, want, tol in (("TEFF", teff, teff_tol), ("GLOG", logg, logg_tol),
                                 ("XSCALE", xscale, None)):
            if want is None:
                continue
            v = ix[field]
            if isinstance(want, (tuple, list)):
                keep &= (v >= want[0]) & (v <= want[1])
            else:
                t = tol if tol is not None else xscale_rtol * abs(want)
                keep &= np.abs(v - want) <= t
        return ix[keep]

    def select(self, **criteria):
        """The models (atmotab.tables.Model) whose index rows match (see rows)."""
        return [model_from_group(self.file[r["group"].decode()], int(r["model"]))
                for r in self.rows(**criteria)]
