#!/usr/bin/env python3
"""Effective bound-free cross-sections of metal atoms and ions from Opacity Project and Iron Project data.

For each species the raw per-term photoionization cross-sections sigma_i(nu) are put on the NIST energy
scale and summed with their Boltzmann weights,

    sigma_eff(nu, T) = sum_i g_i exp(-E_i / kT) <sigma_i>(nu)       [cm^2 per unit n/U],

so that the absorption coefficient is sigma_eff x (n/U) (stimulated emission not included).
<sigma_i> is the cross-section averaged over a box of +-BOX_HALF in ln nu, taken only above the term's own
threshold: resonances are averaged over a stated width while every threshold stays a sharp step.

Writes one self-describing table per species, data/photoionization_<Species>.txt.

    python3 tools/make_photoionization.py [RAW_DIR] [--out DIR]

RAW_DIR (default ../shared/data/photoionization) holds the raw files as described in its SOURCES.md.
Needs the standard library and numpy.
"""

import argparse
import math
import os
import re
import sys

import numpy as np

# Constants (CODATA 2018).
RYD_EV = 13.605693122994      # Rydberg energy [eV]
H_EV = 4.135667696e-15        # Planck constant [eV s]
K_EV = 8.617333262e-5         # Boltzmann constant [eV K^-1]
CM_EV = 1.0 / 8065.543937349  # 1 cm^-1 in eV
MB = 1e-18                    # megabarn [cm^2]

FORMAT = "format atmotab-photoionization 1"
# Temperature grid: uniform in 1/T from 2000 K to 30000 K (the interpolation is linear in 1/T, along which
# a Boltzmann factor is an exponential of constant scale).
NTEMP = 36
TEMPS = [round(1.0 / (1.0 / 2000.0 + k * (1.0 / 30000.0 - 1.0 / 2000.0) / (NTEMP - 1)), 2) for k in range(NTEMP)]
STEP = 0.02        # frequency grid step in ln nu between thresholds
BOX_HALF = 0.02    # resonance average: box of +-2 % in frequency (+-6000 km/s), twice as wide as the node step
NU_MAX = 2.5e16    # [Hz] (103 eV) the tables end here or at the last tabulated photon energy
LETTERS = "SPDFGHIKLMNOQRTU"

# Species: name, Z, stage (1 neutral), carrier format, files, source text.
SPECIES = [
    ("C_I", 6, 1, "cmfgen", ("phot_data_A", "osc_data"),
     "OP C I (Luo & Pradhan 1989, J. Phys. B 22, 3377) via TOPbase (Cunto et al. 1993, A&A 275, L5), CMFGEN "
     "carrier (Hillier & Miller 1998, ApJ 496, 407) with its 50 km/s smoothing; levels NIST-based (osc_data)"),
    ("C_II", 6, 2, "topbase", ("p06.05.dat",), "OP C II via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("N_I", 7, 1, "topbase", ("p07.07.dat",), "OP N I via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("O_I", 8, 1, "topbase", ("p08.08.dat",), "OP O I via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Na_I", 11, 1, "topbase", ("p11.11.dat",), "OP Na I via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Mg_I", 12, 1, "topbase", ("p12.12.dat",),
     "OP Mg I (Butler, Mendoza & Zeippen 1993, J. Phys. B 26, 4409) via TOPbase"),
    ("Mg_II", 12, 2, "topbase", ("p12.11.dat",), "OP Mg II via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Al_I", 13, 1, "topbase", ("p13.13.dat",), "OP Al I via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Si_I", 14, 1, "cmfgen", ("phot_data_A", "osc_data"),
     "OP Si I (Nahar & Pradhan 1993, J. Phys. B 26, 1109), CMFGEN carrier (Hillier & Miller 1998, ApJ 496, "
     "407), unsmoothed; levels NIST-based (osc_data)"),
    ("Si_II", 14, 2, "topbase", ("p14.13.dat",), "OP Si II via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Ca_I", 20, 1, "topbase", ("p20.20.dat",), "OP Ca I via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Ca_II", 20, 2, "topbase", ("p20.19.dat",), "OP Ca II via TOPbase (Cunto et al. 1993, A&A 275, L5)"),
    ("Fe_I", 26, 1, "astrea", ("photoionization_cross_sections.h", "energies.h", "statistical_weights.h"),
     "IRON Project Fe I (Bautista 1997, A&AS 122, 167) on the 118 terms of the Mashonkina et al. 2011 "
     "(A&A 528, A87) model atom, native R-matrix mesh (astrea carrier)"),
    ("Fe_II", 26, 2, "cmfgen", ("phot_data_A", "f_to_s_term"),
     "OP/IP Fe II (Nahar & Pradhan 1994, J. Phys. B 27, 429) via CMFGEN (Hillier & Miller 1998, ApJ 496, "
     "407); levels NIST-based (f_to_s_term)"),
]
ION_NAMES = {1: "I", 2: "II", 3: "III"}


class Term:
    """One LS term: weight, energy [eV], threshold [eV] and its cross-section (photon energy [eV], sigma [Mb])."""

    def __init__(self, label, g, energy, threshold, e, s, note=""):
        self.label, self.g, self.energy, self.threshold, self.note = label, g, energy, threshold, note
        self.e, self.s = e, s


# ---------------------------------------------------------------- NIST levels and ionization energies

def ionization_energy(raw, species):
    """The NIST ionization energy [eV]: the lowest series limit of the species' level list."""
    return min(float(c[3]) for c in nist_rows(raw, species) if c[1] == "Limit")


def parse_term(text):
    """(2S+1, L, odd, letter) of a NIST or model-atom LS term such as '3P*', 'a 5D', 'b 3F2', 'z7Do'; None otherwise."""
    m = re.fullmatch(r"([a-z]?)\s*(\d+)([SPDFGHIKLMNOQRTU])\d?(\*|o)?", text.strip())
    if not m:
        return None
    return int(m.group(2)), LETTERS.index(m.group(3)), m.group(4) is not None, m.group(1)


def nist_rows(raw, species):
    with open(os.path.join(raw, species, "nist_levels.csv"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    for line in lines[1:]:
        cells = [c.strip() for c in re.findall(r'"=""(.*?)"""', line)]
        if len(cells) >= 4:
            yield cells


def nist_terms(raw, species, ip):
    """NIST terms below the ionization energy: {(config, term): [g, E_mean (eV, g-weighted), (mult, L, odd, letter)]}."""
    terms = {}
    for cells in nist_rows(raw, species):
        config, term, j, level = cells[:4]
        key = parse_term(term)
        if key is None or "+" in level or not j or "," in j:
            continue
        level = level.strip("[]() ?a")
        try:
            e = float(level)
            jv = float(j.split("/")[0]) / 2.0 if "/" in j else float(j)
        except ValueError:
            continue
        if e >= ip:
            continue
        t = terms.setdefault((config, term), [0.0, 0.0, key])
        t[0] += 2 * jv + 1
        t[1] += (2 * jv + 1) * e
    for t in terms.values():
        t[1] /= t[0]
    return terms


def parents(raw, species, ip):
    """Parent terms of the ion from the NIST limits: [(mult, energy above the ground limit [eV])], lowest first."""
    best = {}
    for cells in nist_rows(raw, species):
        if cells[1] != "Limit":
            continue
        m = re.search(r"\(.*?(\d+)([SPDFGHIKLMNOQRTU])\*?<", cells[0])
        if not m:
            continue
        label = cells[0].split("<")[0]
        e = float(cells[3]) - ip
        best[label] = min(best.get(label, e), e, key=abs) if label in best else e
    out = []
    for label, e in best.items():
        mult = int(re.search(r"(\d+)[SPDFGHIKLMNOQRTU]\*?$", label).group(1))
        out.append((mult, max(e, 0.0)))
    return sorted(out, key=lambda p: p[1])


def parent_offset(mult, parent_list):
    """Energy of the lowest ion term an electron of a term of multiplicity MULT can leave behind (spin S +- 1/2)."""
    for pm, e in parent_list:
        if abs(pm - mult) == 1:
            return e
    return None


def fe2_parents(raw):
    """Fe II terms from its NIST list: [(mult, lowest level energy [eV])] lowest first."""
    lowest = {}
    for cells in nist_rows(raw, "Fe_II"):
        key = parse_term(cells[1])
        try:
            e = float(cells[3].strip("[]() ?a"))
        except ValueError:
            continue
        if key is None or "+" in cells[3]:
            continue
        name = (cells[0], cells[1])
        lowest[name] = (key[0], min(e, lowest.get(name, (0, e))[1]))
    return sorted(set(lowest.values()), key=lambda p: p[1])


# ---------------------------------------------------------------- raw cross-section readers

def read_topbase(path):
    """TOPbase photoionization file: [((mult, L, odd, ilv), E_thr [Ry], E [Ry] array, sigma [Mb] array)]."""
    with open(path, encoding="ascii") as f:
        lines = f.read().splitlines()
    states, i = [], 1
    while i < len(lines):
        head = [int(v) for v in lines[i].split()]
        if head == [0, 0, 0, 0]:
            break
        n = int(lines[i + 1].split()[1])
        ethr = float(lines[i + 2].split()[0])
        pts = np.array([[float(v) for v in l.split()[:2]] for l in lines[i + 3:i + 3 + n]])
        states.append(((head[0], head[1], head[2] == 1, head[3]), ethr, pts[:, 0], pts[:, 1]))
        i += 3 + n
    return states


def read_cmfgen_levels(path):
    """CMFGEN level list: ({term: [g, g E (cm-1)]}, ionization energy [cm-1])."""
    terms, ie = {}, None
    with open(path, encoding="ascii", errors="replace") as f:
        lines = f.read().splitlines()
    nlev = None
    for k, line in enumerate(lines):
        if "!Number of energy levels" in line:
            nlev = int(line.split()[0])
        if "!Ionization energy" in line:
            ie = float(line.split()[0])
        if nlev is not None and not line.strip() and k > 0 and "!" in lines[k - 1] and not terms:
            for l in lines[k + 1:k + 1 + nlev]:
                w = l.split()
                name = w[0].split("[")[0]
                t = terms.setdefault(name, [0.0, 0.0])
                t[0] += float(w[1])
                t[1] += float(w[1]) * float(w[2])
            break
    return terms, ie


def read_cmfgen_phot(path):
    """CMFGEN photoionization file: [(term, x array, sigma [Mb] array)] of its tabulated terms (types 20, 21)."""
    with open(path, encoding="ascii", errors="replace") as f:
        lines = f.read().replace("D+", "E+").replace("D-", "E-").splitlines()
    out, k = [], 0
    while k < len(lines):
        if "!Configuration name" in lines[k]:
            name = lines[k].split()[0]
            kind = int(lines[k + 1].split()[0])
            n = int(lines[k + 2].split()[0])
            if kind in (20, 21):
                pts = np.array([[float(v) for v in l.split()[:2]] for l in lines[k + 3:k + 3 + n]])
                out.append((name, pts[:, 0], pts[:, 1]))
            k += 3
        else:
            k += 1
    return out


def read_astrea(raw):
    """Fe I terms of the astrea carrier: [(name, g, E [eV], nu [Hz] array, sigma [cm^2] array)]."""
    d = os.path.join(raw, "Fe_I")

    def values(fname):
        with open(os.path.join(d, fname), encoding="ascii") as f:
            return {m.group(1): float(m.group(2)) for m in
                    re.finditer(r"STRUCTURE::(\w+)\)\) = ([-+0-9.eE]+);", f.read())}
    energy, weight = values("energies.h"), values("statistical_weights.h")
    with open(os.path.join(d, "photoionization_cross_sections.h"), encoding="ascii") as f:
        text = f.read()
    out = []
    for m in re.finditer(r"Matrix<double, 2, (\d+)> sigma_vs_nu__(\w+) \{\s*/\*[^*]*\*/\s*\{([^}]*)\},\s*/\*[^*]*\*/"
                         r"\s*\{([^}]*)\}", text):
        name = m.group(2)
        nu = np.array([float(v) for v in m.group(3).split(",")])
        s = np.array([float(v) for v in m.group(4).split(",")])
        assert len(nu) == int(m.group(1)) == len(s), name
        out.append((name, weight[name], energy[name], nu, s))
    return out


# ---------------------------------------------------------------- terms on the NIST scale

def cut_at_threshold(e, s, thr):
    """Points at and above THR, with the value at THR interpolated from the points around it."""
    order = np.argsort(e, kind="stable")
    e, s = e[order], s[order]
    above = e > thr
    if not above.any():
        return None
    k = int(np.argmax(above))
    s_thr = s[k] if k == 0 else s[k - 1] + (s[k] - s[k - 1]) * (thr - e[k - 1]) / (e[k] - e[k - 1])
    return np.concatenate(([thr], e[above])), np.concatenate(([max(s_thr, 0.0)], s[above]))


def topbase_terms(raw, name, fname, ip):
    nist = nist_terms(raw, name, ip)
    plist = parents(raw, name, ip)
    by_sym = {}
    for (config, term), (g, e, key) in nist.items():
        by_sym.setdefault(key[:3], []).append((e, g, f"{config} {term}"))
    for v in by_sym.values():
        v.sort()
    terms, skipped = [], []
    for (mult, L, odd, ilv), ethr_ry, e_ry, s in read_topbase(os.path.join(raw, name, fname)):
        label = f"{mult}{LETTERS[L]}{'*' if odd else ''} #{ilv}"
        cands = by_sym.get((mult, L, odd), [])
        if ilv > len(cands):
            skipped.append(label)
            continue
        e_nist, g, nist_label = cands[ilv - 1]
        raw_thr = (ethr_ry if ethr_ry > 0 else e_ry[0]) * RYD_EV
        # The term ionizes to the lowest parent its spin allows; a term whose parent is an excited ion
        # term keeps that parent's excitation in its threshold.
        offset = parent_offset(mult, plist)
        if offset is None:
            offset = raw_thr - (ip - e_nist)
        thr = ip - e_nist + offset
        if abs(raw_thr - thr) > max(0.5, 0.1 * thr):  # the OP state is not this NIST term
            skipped.append(label)
            continue
        cut = cut_at_threshold(e_ry * RYD_EV, s, raw_thr)
        if cut is None:
            skipped.append(label)
            continue
        e, s = cut
        terms.append(Term(nist_label, g, e_nist, thr, e + (thr - raw_thr), s * MB, f"OP {label}"))
    return terms, skipped


def cmfgen_terms(raw, name, files, ip):
    levels, _ = read_cmfgen_levels(os.path.join(raw, name, files[1]))
    terms, skipped = [], []
    for tname, x, s in read_cmfgen_phot(os.path.join(raw, name, files[0])):
        if tname not in levels:
            skipped.append(tname)
            continue
        g, ge = levels[tname]
        e = ge / g * CM_EV
        thr = ip - e
        # x = nu / nu_thr of the term: the threshold of the level list, on the measured scale.
        cut = cut_at_threshold(x, s, 1.0)
        if cut is None or thr <= 0:
            skipped.append(tname)
            continue
        xs, ss = cut
        terms.append(Term(tname, g, e, thr, xs * thr, ss * MB, "x nu_thr"))
    return terms, skipped


def astrea_terms(raw, ip):
    nist = nist_terms(raw, "Fe_I", ip)
    by_key = {}
    for (config, term), (g, e, key) in nist.items():
        by_key.setdefault(key, []).append((e, g, f"{config} {term}"))
    plist = fe2_parents(raw)
    terms, skipped = [], []
    for tname, g, e_model, nu, s in read_astrea(raw):
        key = parse_term(tname.split("_")[-1])
        cands = by_key.get(key, [])
        if len(cands) == 1:
            e, g, label = cands[0][0], cands[0][1], cands[0][2]
        else:  # no letter-designated NIST term: the model atom's own energy and weight
            e, label = e_model, tname
        offset = parent_offset(key[0], plist)
        thr = ip - e + offset
        raw_thr = nu[0] * H_EV
        cut = cut_at_threshold(nu * H_EV, s, raw_thr)
        ee, ss = cut
        terms.append(Term(label, g, e, thr, ee + (thr - raw_thr), ss, f"shift {thr - raw_thr:+.3f} eV"))
    return terms, skipped


def species_terms(raw, sp):
    name, z, stage, fmt, files, _ = sp
    ip = ionization_energy(raw, name)
    if fmt == "topbase":
        terms, skipped = topbase_terms(raw, name, files[0], ip)
    elif fmt == "cmfgen":
        terms, skipped = cmfgen_terms(raw, name, files, ip)
    else:
        terms, skipped = astrea_terms(raw, ip)
    terms.sort(key=lambda t: (t.threshold, t.label))
    return ip, terms, skipped


# ---------------------------------------------------------------- averaging and the table

def box_average(term, nu):
    """<sigma> [cm^2] of TERM at frequencies NU: the mean over ln nu +- BOX_HALF, within the tabulated range above
    the threshold (sigma linear in ln nu between the tabulated points); 0 where the box misses that range."""
    u = np.log(term.e / H_EV)
    s = term.s
    cum = np.concatenate(([0.0], np.cumsum(0.5 * (s[1:] + s[:-1]) * np.diff(u))))

    def integral(x):
        x = np.clip(x, u[0], u[-1])
        k = np.clip(np.searchsorted(u, x, side="right") - 1, 0, len(u) - 2)
        du = u[k + 1] - u[k]
        slope = np.where(du > 0, (s[k + 1] - s[k]) / np.where(du > 0, du, 1.0), 0.0)
        d = x - u[k]
        return cum[k] + s[k] * d + 0.5 * slope * d * d

    lo = np.maximum(np.log(nu) - BOX_HALF, u[0])
    hi = np.minimum(np.log(nu) + BOX_HALF, u[-1])
    width = hi - lo
    with np.errstate(invalid="ignore", divide="ignore"):
        avg = (integral(hi) - integral(lo)) / width
    return np.where(width > 0, avg, 0.0)


def threshold_nu(term):
    """The threshold frequency [Hz] of TERM as the table writes it (7 digits)."""
    return float(f"{term.threshold / H_EV:.6e}")


def frequency_grid(terms):
    """Rows (nu, side): side 0 below and 1 at or above a threshold nu (both listed), -1 a plain node."""
    thr = sorted({threshold_nu(t) for t in terms})
    top = min(NU_MAX, max(t.e[-1] for t in terms) / H_EV)
    thr = [v for v in thr if v < top]
    lo = thr[0]
    n = int(math.floor(math.log(top / lo) / STEP))
    plain = [float(f"{lo * math.exp(STEP * k):.6e}") for k in range(1, n + 1)] + [float(f"{top:.6e}")]
    keep = [v for v in plain if all(abs(math.log(v / t)) > 0.25 * STEP for t in thr)]
    rows = [(v, 0) for v in thr] + [(v, 1) for v in thr] + [(v, -1) for v in keep]
    rows.sort(key=lambda r: (r[0], r[1]))
    return rows


def table(terms):
    rows = frequency_grid(terms)
    nu = np.array([r[0] for r in rows])
    side = np.array([r[1] for r in rows])
    temps = np.array(TEMPS)
    sig = np.zeros((len(rows), len(temps)))
    for t in terms:
        nu_t = threshold_nu(t)
        avg = box_average(t, nu)
        avg = np.where((nu > nu_t) | ((nu == nu_t) & (side != 0)), avg, 0.0)
        sig += np.outer(avg, t.g * np.exp(-t.energy / (K_EV * temps)))
    return nu, sig


def fmt(v):
    return "0" if v == 0 else f"{v:.4e}"


def write_table(raw, sp, out_dir):
    name, z, stage, fmt_, files, source = sp
    ip, terms, skipped = species_terms(raw, sp)
    nu, sig = table(terms)
    lines = [
        f"# PHOTOIONIZATION {name.replace('_', ' ')}: effective bound-free cross-section per unit n/U",
        f"#   sigma_eff(nu, T) = sum_i g_i exp(-E_i / kT) <sigma_i>(nu)  [cm^2], stimulated emission not included.",
        f"# Source: {source}.",
        f"#   Raw files: ../shared/data/photoionization/{name}/{', '.join(files)} (origins, formats and checks in",
        f"#   its SOURCES.md). Term energies: NIST ASD (Kramida et al.), J levels g-weighted; ionization energy",
        f"#   {ip:.7g} eV (the NIST series limit of the same list).",
        "# Edits: thresholds moved to the NIST scale, the photon energies of a term shifted with its threshold:",
        "#   threshold = IP - E(term) + E(parent), the parent being the lowest ion term that the term's spin allows",
        "#   (its excitation from the NIST limits; 0 for the ground term of the ion). Points below the raw",
        "#   threshold dropped, the value at the threshold interpolated. Terms without a NIST match left out:",
        f"#   {len(skipped)} ({', '.join(skipped[:6])}{', ...' if len(skipped) > 6 else ''}).",
        f"#   Resonances averaged over a box of +-{BOX_HALF:g} in ln nu taken above each term's own threshold;",
        "#   sigma linear in ln nu between tabulated points; 0 above a term's last tabulated energy.",
        f"#   Frequency nodes every {STEP:g} in ln nu, every threshold listed twice (value below, value at and",
        f"#   above); the table ends at {NU_MAX:.3g} Hz or the last tabulated energy.",
        "# Columns of the term rows: threshold nu [Hz], g, E [eV], term. Columns of the data rows: nu [Hz], then",
        "#   sigma_eff [cm^2] at the temperatures of the temperature row [K] (uniform in 1/T).",
        "# Generator: python3 tools/make_photoionization.py ../shared/data/photoionization --out data",
        FORMAT,
        f"species {name} Z {z} stage {stage} terms {len(terms)} temperatures {len(TEMPS)} frequencies {len(nu)}",
        "T " + " ".join(f"{t:.2f}" for t in TEMPS),
    ]
    for t in terms:
        lines.append(f"term {threshold_nu(t):.6e} {t.g:g} {t.energy:.5f} {t.label.replace(' ', '_')}")
    for k in range(len(nu)):
        lines.append(f"{nu[k]:.6e} " + " ".join(fmt(v) for v in sig[k]))
    path = os.path.join(out_dir, f"photoionization_{name}.txt")
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    return path


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("raw", nargs="?", default=os.path.join(here, "..", "..", "shared", "data", "photoionization"))
    ap.add_argument("--out", default=os.path.join(here, "..", "data"))
    ap.add_argument("--species", nargs="*", help="only these species (e.g. Fe_I)")
    a = ap.parse_args(argv)
    for sp in SPECIES:
        if a.species and sp[0] not in a.species:
            continue
        print(write_table(a.raw, sp, a.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
