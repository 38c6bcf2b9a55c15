"""atmotab's table files as numpy arrays, one object per model.

Both files are Fortran unformatted sequential files (README, "The table files"): every record is
framed by its byte count as a 4-byte little-endian integer before and after the data; integers are
4 bytes, reals 8, singles 4, all little-endian; arrays first index fastest. Per model:

  unit 10 (--table):  record 1  NRHOX, TEFF, GLOG, TITLE (74 characters as 8-byte words)
                      record 2  NEDGE, (FRQEDG, WLEDGE, CMEDGE) per edge, IDMOL(60), MOMASS(60)
                      record 3  NUMNU, FREQSET(NUMNU)
                      record 4  400 singles: 16 quantities at depths 1..25
                      record 4+J, J = 1..NRHOX: XNFPEL(6,99), DOPPLE(6,99), CONTINALL(1131)
  unit 11 (--maxima): records 1..3 as on unit 10 (record 2 without IDMOL and MOMASS),
                      record 4  XNFDOPMAX(377,6,99)

Use:

    from atmotab import tables as at
    run = at.read("sun.fort.10", "sun.fort.11")
    m = run.models[0]
    m.T, m.RHOX                 # depths 1..min(NRHOX, 25): the only depths record 4 has room for
    m.FREQSET, m.WAVELENGTH     # [Hz], [nm]; decreasing frequency
    m.CONTINALL                 # (depth, frequency) log10 continuum opacity [cm2 g-1]
    m.XNFPEL, m.DOPPLE          # (depth, element Z-1, stage-1), stages I..X
    m.XNFPMOL["CO"]             # molecules by name, per depth
    m.XNFDOPMAX                 # (interval, element Z-1, stage-1)
    m.population("Fe II")       # per depth; also "CO", "Ca VIII"

A file that ends inside a model (a run killed while writing) gives every complete model and says
in `truncated` what was left over; a file that is damaged elsewhere raises TableError.
"""

import struct

import numpy as np

CLIGHT_NM = 2.99792458e17  # speed of light [nm s-1], for the wavelengths of the frequency set
NELEM = 99  # elements Z = 1..99
NSLOT = 6  # stage slots per element in the file
NSTAGE = 10  # stages I..X once the packed stages are unpacked
NMOL = 60  # molecule slots
NFREQ = 1131  # CONTINALL entries per depth record
NINTERVAL = 377  # interval slots of XNFDOPMAX
NBLOCK = 25  # depths in record 4 of unit 10

BLOCK_NAMES = ("T", "TKEV", "TK", "HKT", "TLOG", "HCKT", "P", "XNE", "XNATOM", "RHO", "RHOX",
               "VTURB", "XNFH", "XNFHE1", "XNFHE2", "XNFH2")
BLOCK_UNITS = {"T": "K", "TKEV": "eV", "TK": "erg", "HKT": "s", "TLOG": "ln K", "HCKT": "cm",
               "P": "dyn cm-2", "XNE": "cm-3", "XNATOM": "cm-3", "RHO": "g cm-3",
               "RHOX": "g cm-2", "VTURB": "cm s-1", "XNFH": "cm-3", "XNFHE1": "cm-3",
               "XNFHE2": "cm-3", "XNFH2": "cm-3"}

HEADER_BYTES = 4 + 8 + 8 + 74 * 8
BLOCK_BYTES = len(BLOCK_NAMES) * NBLOCK * 4
DEPTH_BYTES = (2 * NSLOT * NELEM + NFREQ) * 4
MAXIMA_BYTES = NINTERVAL * NSLOT * NELEM * 4

SYMBOLS = (
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se "
    "Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce Pr Nd Pm Sm Eu Gd Tb Dy "
    "Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn Fr Ra Ac Th Pa U Np Pu Am Cm Bk Cf "
    "Es").split()
ROMAN = ("I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X")

# Stages VII..X of Ca..Ni (Z = 20+k, k = 0..8) travel in stage slot 5 of elements 50+k, 60+k,
# 70+k and 80+k, whose own stages fill only slots 1..3.
PACKED = tuple((20 + k, 7 + n, 50 + 10 * n + k) for k in range(9) for n in range(4))
# Slot 6 of element 39+k holds molecule k (k = 1..60).
FIRST_MOLECULE_ELEMENT = 40

# The usual formulae of the molecule codes (atomic numbers side by side, two digits each after the
# first; .01 for a singly ionised molecule). A code not listed gets its atoms in code order.
MOLECULE_NAMES = {
    101: "H2", 106: "CH", 107: "NH", 108: "OH", 606: "C2", 607: "CN", 608: "CO", 707: "N2",
    708: "NO", 808: "O2", 112: "MgH", 113: "AlH", 114: "SiH", 812: "MgO", 813: "AlO", 814: "SiO",
    116: "SH", 120: "CaH", 816: "SO", 820: "CaO", 821: "ScO", 822: "TiO", 823: "VO", 103: "LiH",
    104: "BeH", 105: "BH", 109: "HF", 115: "PH", 117: "HCl", 121: "ScH", 122: "TiH", 123: "VH",
    124: "CrH", 125: "MnH", 126: "FeH", 408: "BeO", 508: "BO", 815: "PO", 817: "ClO", 824: "CrO",
    825: "MnO", 826: "FeO", 10108: "H2O", 60808: "CO2", 10106: "CH2", 60606: "C3", 127: "CoH",
    128: "NiH", 129: "CuH", 827: "CoO", 828: "NiO", 829: "CuO",
}


class TableError(Exception):
    """A file that is not an atmotab table file, or is damaged before its end."""


def molecule_name(code):
    """Name of a molecule code: 608 -> 'CO', 106.01 -> 'CH+'."""
    hundredths = int(round(code * 100))
    atoms, charge = divmod(hundredths, 100)
    if atoms in MOLECULE_NAMES:
        name = MOLECULE_NAMES[atoms]
    else:
        digits = str(atoms)
        digits = digits if len(digits) % 2 == 0 else "0" + digits
        zs = [int(digits[i:i + 2]) for i in range(0, len(digits), 2)]
        if not zs or not all(1 <= z <= NELEM for z in zs):
            return f"molecule {code:g}"
        name = ""
        for z in dict.fromkeys(zs):
            n = zs.count(z)
            name += SYMBOLS[z - 1] + (str(n) if n > 1 else "")
    return name + "+" * charge


def species(text):
    """('atom', Z, stage) for 'Fe II', 'Fe 2' or '26.01'; ('molecule', name) for anything else
    that is not an element symbol."""
    words = text.replace("_", " ").split()
    if words[:1] == ["molecule"]:  # the slots of a maxima file read without its table file
        return "molecule", " ".join(words)
    if len(words) == 1 and words[0][0].isdigit():
        try:
            code = float(words[0])
        except ValueError:
            raise KeyError(f"'{text}' is not a species code such as 26.01") from None
        z = int(code)
        stage = int(round((code - z) * 100)) + 1
        if 1 <= z <= NELEM and 1 <= stage <= NSTAGE:
            return "atom", z, stage
    if len(words) == 2 and words[0] not in SYMBOLS and (words[1] in ROMAN or words[1].isdigit()):
        raise KeyError(f"'{text}': {words[0]} is not an element symbol")
    if len(words) == 2 and words[0] in SYMBOLS:
        z = SYMBOLS.index(words[0]) + 1
        stage = ROMAN.index(words[1]) + 1 if words[1] in ROMAN else None
        if stage is None and words[1].isdigit():
            stage = int(words[1])
        if stage is not None and 1 <= stage <= NSTAGE:
            return "atom", z, stage
        raise KeyError(f"'{text}': stage must be I..X or 1..10")
    if len(words) == 1 and words[0] in SYMBOLS and words[0] not in MOLECULE_NAMES.values():
        raise KeyError(f"'{text}': give a stage, as in '{words[0]} I'")
    return "molecule", text.strip()


def species_label(z, stage):
    return f"{SYMBOLS[z - 1]} {ROMAN[stage - 1]}"


def unpack_slots(slots):
    """Stage slots (..., 99, 6) as the file holds them -> (stages (..., 99, 10), molecules
    (..., 60)). Stages VII..X of Ca..Ni come out of their packed slots and molecules out of slot 6
    of elements 40..99; those slots read 0 afterwards, so every stored value appears once."""
    stages = np.zeros(slots.shape[:-1] + (NSTAGE,), dtype=slots.dtype)
    stages[..., :NSLOT] = slots
    for z, stage, host in PACKED:
        stages[..., z - 1, stage - 1] = slots[..., host - 1, 4]
        stages[..., host - 1, 4] = 0
    first = FIRST_MOLECULE_ELEMENT - 1
    molecules = slots[..., first:first + NMOL, 5].copy()
    stages[..., first:first + NMOL, 5] = 0
    return stages, molecules


class Model:
    """One model of a table file, or of a pair of them (`read`). Arrays are numpy arrays; single
    values are Python numbers. Attributes of the other unit are None."""

    def __init__(self, index):
        self.index = index  # position in the file, from 1
        self.NRHOX = self.TEFF = self.GLOG = self.TITLE = None
        self.FRQEDG = self.WLEDGE = self.CMEDGE = None  # (NEDGE,) [Hz], [nm], [cm-1]
        self.FREQSET = self.WAVELENGTH = None  # (NUMNU,) [Hz], [nm]
        self.IDMOL = self.MOMASS = None  # (60,) unit 10
        self.MOLECULES = None  # the 60 names of IDMOL
        self.block = None  # name -> (min(NRHOX, 25),) single, unit 10
        self.XNFPEL_SLOTS = self.DOPPLE_SLOTS = None  # (NRHOX, 99, 6) single, as stored
        self.XNFPEL = self.DOPPLE = None  # (NRHOX, 99, 10) stages I..X
        self.XNFPMOL = self.DOPPLEMOL = None  # name -> (NRHOX,)
        self.CONTINALL = None  # (NRHOX, NUMNU) log10 opacity [cm2 g-1]
        self.XNFDOPMAX_SLOTS = None  # (NEDGE-1, 99, 6) single, as stored, unit 11
        self.XNFDOPMAX = None  # (NEDGE-1, 99, 10)
        self.XNFDOPMAXMOL = None  # name -> (NEDGE-1,)

    @property
    def NEDGE(self):
        return len(self.FRQEDG)

    @property
    def NUMNU(self):
        return len(self.FREQSET)

    def __getattr__(self, name):
        block = self.__dict__.get("block")
        if block is not None and name in block:
            return block[name]
        raise AttributeError(name)

    def _species(self, text, atoms, molecules, what):
        if atoms is None:
            unit = 11 if what == "XNFDOPMAX" else 10
            raise KeyError(f"{what} is not in this file (it is on unit {unit})")
        kind = species(text)
        if kind[0] == "atom":
            return atoms[..., kind[1] - 1, kind[2] - 1]
        if kind[1] in molecules:
            return molecules[kind[1]]
        raise KeyError(f"'{text}' is neither a species 'Fe II' nor one of the molecules "
                       f"{', '.join(molecules)}")

    def population(self, text):
        """Number density over partition function [cm-3] per depth of 'Fe II', 'CO', ..."""
        return self._species(text, self.XNFPEL, self.XNFPMOL, "XNFPEL")

    def doppler(self, text):
        """Doppler width over frequency per depth of 'Fe II', 'CO', ..."""
        return self._species(text, self.DOPPLE, self.DOPPLEMOL, "DOPPLE")

    def maximum(self, text):
        """Line-strength maximum per edge interval of 'Fe II', 'CO', ..."""
        return self._species(text, self.XNFDOPMAX, self.XNFDOPMAXMOL, "XNFDOPMAX")

    def continuum_at(self, wavelength_nm):
        """log10 continuum opacity [cm2 g-1] per depth at a wavelength [nm] inside the frequency
        set, interpolated linearly in log10 wavelength between the neighbouring frequencies."""
        lam = np.log10(self.WAVELENGTH)  # increasing, as FREQSET decreases
        x = np.log10(wavelength_nm)
        if not lam[0] <= x <= lam[-1]:
            raise ValueError(f"{wavelength_nm} nm is outside the frequency set "
                             f"({self.WAVELENGTH[0]:.6g} .. {self.WAVELENGTH[-1]:.6g} nm)")
        return np.array([np.interp(x, lam, row.astype(np.float64)) for row in self.CONTINALL])

    def kappa(self):
        """Continuum opacity [cm2 g-1], (depth, frequency)."""
        return 10.0 ** self.CONTINALL.astype(np.float64)

    def header(self):
        """The header records' values, for comparing the two files of a run."""
        return (self.NRHOX, self.TEFF, self.GLOG, self.TITLE, self.FRQEDG.tobytes(),
                self.WLEDGE.tobytes(), self.CMEDGE.tobytes(), self.FREQSET.tobytes())


class TableFile:
    """The complete models of one file. `unit` is 10 or 11 (None for an empty file); `truncated`
    is None or what was found after the last complete model; `complete_bytes` is where it starts."""

    def __init__(self, path, unit, models, truncated, complete_bytes):
        self.path, self.unit, self.models = path, unit, models
        self.truncated, self.complete_bytes = truncated, complete_bytes


class Run:
    """The models of a unit-10/unit-11 pair, each Model carrying both units' arrays."""

    def __init__(self, models, truncated):
        self.models = models
        self.truncated = truncated  # list of messages, empty when both files are complete


def _scan(buf):
    """(offset, length) of every complete record, and a message for an unfinished last one."""
    out = []
    pos, size = 0, len(buf)
    while pos < size:
        if pos + 4 > size:
            return out, f"{size - pos} bytes of a length marker at byte {pos}"
        (n,) = struct.unpack_from("<i", buf, pos)
        if n < 0:
            raise TableError(f"record at byte {pos} has a negative length {n}")
        end = pos + 4 + n
        if end + 4 > size:
            return out, f"record at byte {pos} of {n} bytes cut off at {size - pos - 4} bytes"
        (n2,) = struct.unpack_from("<i", buf, end)
        if n2 != n:
            raise TableError(f"record at byte {pos}: leading length {n}, trailing length {n2}")
        out.append((pos + 4, n))
        pos = end + 4
    return out, None


def _singles(buf, rec, count, offset=0):
    return np.frombuffer(buf, dtype="<f4", count=count, offset=rec[0] + offset)


def _header(m, buf, recs, unit):
    (o1, n1), (o2, n2), (o3, n3) = recs
    if n1 != HEADER_BYTES:
        raise TableError(f"record of {n1} bytes where a model header ({HEADER_BYTES}) belongs")
    m.NRHOX, m.TEFF, m.GLOG = struct.unpack_from("<idd", buf, o1)
    if not 1 <= m.NRHOX <= 99:
        raise TableError(f"model {m.index}: NRHOX = {m.NRHOX}, not 1..99")
    title = np.frombuffer(buf, dtype=np.uint8, count=74 * 8, offset=o1 + 20)[::8]
    m.TITLE = title.tobytes().decode("latin-1").rstrip()
    (nedge,) = struct.unpack_from("<i", buf, o2)
    extra = n2 - 4 - 24 * nedge
    if nedge < 0 or extra not in ((0, 960) if unit is None else (960 if unit == 10 else 0,)):
        raise TableError(f"model {m.index}: edge record of {n2} bytes for NEDGE = {nedge}")
    unit = 10 if extra else 11
    edges = np.frombuffer(buf, dtype="<f8", count=3 * nedge, offset=o2 + 4).reshape(nedge, 3)
    m.FRQEDG, m.WLEDGE, m.CMEDGE = edges[:, 0], edges[:, 1], edges[:, 2]
    if unit == 10:
        mol = np.frombuffer(buf, dtype="<f8", count=2 * NMOL, offset=o2 + 4 + 24 * nedge)
        m.IDMOL, m.MOMASS = mol[:NMOL], mol[NMOL:]
        m.MOLECULES = [molecule_name(c) for c in m.IDMOL]
    (numnu,) = struct.unpack_from("<i", buf, o3)
    if numnu < 0 or n3 != 4 + 8 * numnu or numnu > NFREQ:
        raise TableError(f"model {m.index}: frequency record of {n3} bytes for NUMNU = {numnu}")
    m.FREQSET = np.frombuffer(buf, dtype="<f8", count=numnu, offset=o3 + 4)
    m.WAVELENGTH = CLIGHT_NM / m.FREQSET
    return unit


def _unit10_body(m, buf, block_rec, depth_recs):
    v = _singles(buf, block_rec, len(BLOCK_NAMES) * NBLOCK).reshape(len(BLOCK_NAMES), NBLOCK)
    n = min(m.NRHOX, NBLOCK)
    m.block = {name: v[k, :n] for k, name in enumerate(BLOCK_NAMES)}
    rows = np.stack([_singles(buf, r, DEPTH_BYTES // 4) for r in depth_recs])
    per = NSLOT * NELEM
    m.XNFPEL_SLOTS = rows[:, :per].reshape(m.NRHOX, NELEM, NSLOT)
    m.DOPPLE_SLOTS = rows[:, per:2 * per].reshape(m.NRHOX, NELEM, NSLOT)
    m.CONTINALL = rows[:, 2 * per:2 * per + m.NUMNU]
    m.XNFPEL, mol = unpack_slots(m.XNFPEL_SLOTS)
    m.XNFPMOL = dict(zip(m.MOLECULES, mol.T))
    m.DOPPLE, mol = unpack_slots(m.DOPPLE_SLOTS)
    m.DOPPLEMOL = dict(zip(m.MOLECULES, mol.T))


def _unit11_body(m, buf, rec, names):
    nint = max(m.NEDGE - 1, 0)
    v = _singles(buf, rec, NINTERVAL * NSLOT * NELEM).reshape(NELEM, NSLOT, NINTERVAL)
    m.XNFDOPMAX_SLOTS = v[:, :, :nint].transpose(2, 0, 1)
    m.XNFDOPMAX, mol = unpack_slots(m.XNFDOPMAX_SLOTS)
    names = names or [f"molecule {k}" for k in range(1, NMOL + 1)]
    m.XNFDOPMAXMOL = dict(zip(names, mol.T))


def parse(buf, path="<bytes>"):
    """A TableFile from the bytes of one file."""
    recs, tail = _scan(buf)
    models, unit, i, done_bytes = [], None, 0, 0
    while i < len(recs):
        m = Model(len(models) + 1)
        if len(recs) - i < 4:
            tail = tail or "end of file"
            tail = f"model {m.index} has {len(recs) - i} of its header records, then {tail}"
            break
        unit = _header(m, buf, recs[i:i + 3], unit)
        o4, n4 = recs[i + 3]
        if unit == 10:
            if n4 != BLOCK_BYTES:
                raise TableError(f"model {m.index}: record 4 is {n4} bytes, not the depth block")
            depth_recs = recs[i + 4:i + 4 + m.NRHOX]
            for j, (_, nj) in enumerate(depth_recs, 1):
                if nj != DEPTH_BYTES:
                    raise TableError(f"model {m.index}: depth record {j} is {nj} bytes")
            if len(depth_recs) < m.NRHOX:
                tail = f"model {m.index} has {len(depth_recs)} of its {m.NRHOX} depth records, " \
                       f"then {tail or 'end of file'}"
                break
            _unit10_body(m, buf, recs[i + 3], depth_recs)
            i += 4 + m.NRHOX
        else:
            if n4 != MAXIMA_BYTES:
                raise TableError(f"model {m.index}: record 4 is {n4} bytes, not the maxima")
            _unit11_body(m, buf, recs[i + 3], None)
            i += 4
        models.append(m)
        last = recs[i - 1]
        done_bytes = last[0] + last[1] + 4
    if tail and not tail.startswith("model"):
        tail = f"after model {len(models)}: {tail}"
    return TableFile(path, unit, models, tail, done_bytes)


def read_file(path):
    """A TableFile with the complete models of one table (unit 10) or maxima (unit 11) file."""
    with open(path, "rb") as f:
        buf = f.read()
    try:
        return parse(buf, path)
    except TableError as e:
        raise TableError(f"{path}: {e}") from None


def read(table=None, maxima=None):
    """The models of a unit-10 file, a unit-11 file or a pair of them. With both, each model
    carries the arrays of both units; the headers must agree, and the run has as many models as
    the shorter file (the other's extra models are reported in `truncated`)."""
    if table is None and maxima is None:
        raise ValueError("read() needs a table file, a maxima file or both")
    files = [read_file(p) for p in (table, maxima) if p is not None]
    for f, want in zip(files, [10, 11] if table is not None else [11]):
        if f.unit not in (None, want):
            raise TableError(f"{f.path}: a unit {f.unit} file where unit {want} was expected")
    truncated = [f"{f.path}: {f.truncated}" for f in files if f.truncated]
    if len(files) == 1:
        return Run(files[0].models, truncated)
    t10, t11 = files
    n = min(len(t10.models), len(t11.models))
    for f in (t10, t11):
        if len(f.models) > n:
            truncated.append(f"{f.path}: models {n + 1}..{len(f.models)} have no partner in the "
                             "other file")
    models = []
    for a, b in zip(t10.models[:n], t11.models[:n]):
        if a.header() != b.header():
            raise TableError(f"model {a.index}: the headers of {t10.path} and {t11.path} differ "
                             "(not the two files of one run?)")
        a.XNFDOPMAX_SLOTS, a.XNFDOPMAX = b.XNFDOPMAX_SLOTS, b.XNFDOPMAX
        a.XNFDOPMAXMOL = dict(zip(a.MOLECULES, b.XNFDOPMAXMOL.values()))
        models.append(a)
    return Run(models, truncated)


def _listing_number(text):
    """A number of an E edit descriptor; a three-digit exponent loses its E (1.3337-162)."""
    text = text.strip()
    k = max(text.rfind("+"), text.rfind("-"))
    if k > 0 and text[k - 1] not in "Ee":
        return float(text[:k] + "e" + text[k:])
    return float(text)


LISTING_DEPTH_NAMES = ("T", "TK", "HKT", "TKEV", "TLOG", "RHOX", "P", "XNE", "RHO", "XNFH", "XNFHE",
                       "XNFH2")


def read_listing_depths(path):
    """The depth quantities the listing prints after each depth's element table (T, TK, HKT, TKEV,
    TLOG, RHOX, P, XNE, RHO, XNFH, XNFHE, XNFH2, five significant digits), for every depth of
    every model: a list per model of name -> array. The table file holds them for 25 depths only."""
    models, current = [], None
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    for line in lines:
        if line.startswith("0XNFPEL.....DOPPLE"):
            if int(line[18:]) == 1:
                current = {name: [] for name in LISTING_DEPTH_NAMES}
                models.append(current)
            continue
        if current is None or not line.startswith("0   ") or len(line) < 26:
            continue
        # Fields of 22 columns: a 10-column label ('0   NAME  ', then '    NAME  ') and E12.4.
        for start in range(0, len(line) - 21, 22):
            name = line[start + 4:start + 10].strip()
            if name in current:
                current[name].append(_listing_number(line[start + 10:start + 22]))
    return [{k: np.array(v) for k, v in m.items()} for m in models]
