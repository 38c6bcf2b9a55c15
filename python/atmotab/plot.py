"""Plots of atmotab's tables as PNG files (matplotlib, no display needed).

  plot_tables.py opacity   TABLE [--depths 1,28,56] -o out.png
      continuum opacity against wavelength at chosen depths, log-log, edges marked at the top
  plot_tables.py structure TABLE [--listing LISTING] [--species 'Fe I' 'Fe II' CO] -o out.png
      T, P, XNE and chosen populations (number density over partition function) against depth.
      Record 4 of the table file holds T, P and XNE for the first 25 depths only; with the
      listing of the run they come from there for every depth (five significant digits).
  plot_tables.py marcs     TABLE MODEL.mod -o out.png
      for a model converted from MARCS: atmotab's continuum opacity at 500 nm per depth against
      MARCS's kappa(500 nm) = d tau500 / d RHOX from the model's lgTau5 and RHOX columns
  plot_tables.py overview  TABLE [--listing LISTING] [--marcs MODEL.mod] -o out.png
      the opacity and structure panels (and the MARCS comparison) in one picture
  plot_tables.py compare   TABLE OTHER [--labels A B] [--depths 1,28,56] -o out.png
      the continuum opacity of the same model from two runs (e.g. without and with
      OPACITY ON XCONT) at chosen depths, and their ratio OTHER / TABLE

--model K picks model K of a multi-model file (default 1).
"""
import argparse
import os
import sys

import numpy as np

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.transforms import blended_transform_factory  # noqa: E402

from . import marcs as marcs2deck  # noqa: E402
from . import tables as at  # noqa: E402

DPI = 100
LAMBDA_500 = 500.0  # [nm] the reference wavelength of MARCS's tau5 scale
DEFAULT_SPECIES = ("H I", "Fe I", "Fe II", "Ca II", "Mg I")


def kappa500_from_marcs(lgtau5, rhox):
    """MARCS's continuum opacity at 500 nm per gram [cm2 g-1] from a model's lgTau5 and RHOX columns
    (marcs2deck.kappa500, as an array)."""
    return np.array(marcs2deck.kappa500([float(v) for v in lgtau5], [float(v) for v in rhox]))


def marcs_kappa500(path):
    """(lgTau5, RHOX, kappa500) of a MARCS .mod file."""
    m = marcs2deck.read_marcs(path)
    lgtau5, rhox = np.array(m.struct["lgTau5"]), np.array(m.second["RHOX"])
    return lgtau5, rhox, kappa500_from_marcs(lgtau5, rhox)


def default_depths(nrhox):
    """Four depths spread from the top to the bottom of the model."""
    return sorted({1, max(1, round(nrhox / 3)), max(1, round(2 * nrhox / 3)), nrhox})


def depth_scale(m, listing):
    """(x values per depth, axis label, depth quantities name -> per-depth values)."""
    names = ("T", "P", "XNE", "RHOX")
    quantities = {name: np.asarray(m.block[name], dtype=float) for name in names}
    if listing is not None and len(listing["T"]) == m.NRHOX:
        quantities = {name: listing[name] for name in names}
    if len(quantities["RHOX"]) == m.NRHOX and np.all(quantities["RHOX"] > 0):
        return np.log10(quantities["RHOX"]), "log10 RHOX [g cm-2]", quantities
    return np.arange(1, m.NRHOX + 1), "depth index J", quantities


def depth_label(j, rhox):
    """'depth J' with log10 RHOX of that depth where it is known (RHOX holds the known depths)."""
    if j <= len(rhox) and rhox[j - 1] > 0:
        return f"depth {j}: log RHOX {np.log10(rhox[j - 1]):.2f}"
    return f"depth {j}"


def draw_opacity(ax, m, depths, listing=None):
    kappa = m.kappa()
    _, _, q = depth_scale(m, listing)
    for j in depths:
        if not 1 <= j <= m.NRHOX:
            raise ValueError(f"depth {j} is outside 1..{m.NRHOX}")
        ax.plot(m.WAVELENGTH, kappa[j - 1], lw=1.0, label=depth_label(j, q["RHOX"]))
    ax.set_xscale("log")
    ax.set_yscale("log")
    edges = np.abs(m.WLEDGE)
    marks = blended_transform_factory(ax.transData, ax.transAxes)
    ax.vlines(edges, 0.96, 1.0, transform=marks, colors="0.35", lw=0.5,
              label=f"edges ({len(edges)})")
    ax.set_xlim(edges.min(), edges.max())
    ax.set_xlabel("wavelength [nm]")
    ax.set_ylabel("continuum opacity [cm2 g-1]")
    ax.set_title("continuum opacity")
    ax.legend(fontsize="small")
    ax.grid(True, which="major", alpha=0.3)


def draw_compare(axes, m, other, depths, labels, listing=None):
    """The opacity of model m (solid) and of the same model from another run (dashed), and the ratio."""
    if other.NRHOX != m.NRHOX or len(other.WAVELENGTH) != len(m.WAVELENGTH) or \
            not np.allclose(other.WAVELENGTH, m.WAVELENGTH):
        raise ValueError("the two tables are not of the same model and frequencies")
    op_ax, ratio_ax = axes
    k1, k2 = m.kappa(), other.kappa()
    _, _, q = depth_scale(m, listing)
    for j in depths:
        if not 1 <= j <= m.NRHOX:
            raise ValueError(f"depth {j} is outside 1..{m.NRHOX}")
        line, = op_ax.plot(m.WAVELENGTH, k1[j - 1], lw=1.0, label=f"{depth_label(j, q['RHOX'])}, {labels[0]}")
        op_ax.plot(m.WAVELENGTH, k2[j - 1], lw=1.0, ls="--", color=line.get_color(), label=labels[1])
        ratio_ax.plot(m.WAVELENGTH, k2[j - 1] / k1[j - 1], lw=1.0, color=line.get_color(),
                      label=depth_label(j, q["RHOX"]))
    for ax in axes:
        ax.set_xscale("log")
        ax.grid(True, which="major", alpha=0.3)
    op_ax.set_yscale("log")
    op_ax.set_ylabel("continuum opacity [cm2 g-1]")
    op_ax.set_title(f"continuum opacity: {labels[0]} (solid), {labels[1]} (dashed)")
    op_ax.legend(fontsize="x-small", ncol=2)
    ratio_ax.set_xlabel("wavelength [nm]")
    ratio_ax.set_ylabel(f"{labels[1]} / {labels[0]}")
    ratio_ax.axhline(1.0, color="0.4", lw=0.6)
    edges = np.abs(m.WLEDGE)
    ratio_ax.set_xlim(edges.min(), edges.max())


def draw_structure(axes, m, listing, species):
    x, xlabel, q = depth_scale(m, listing)
    t_ax, p_ax, pop_ax = axes
    n = len(q["T"])
    t_ax.plot(x[:n], q["T"], color="tab:red")
    t_ax.set_ylabel("T [K]", color="tab:red")
    ax2 = t_ax.twinx()
    ax2.semilogy(x[:n], q["XNE"], color="tab:blue")
    ax2.set_ylabel("XNE [cm-3]", color="tab:blue")
    # Without the listing the table file gives T, P and XNE of the first 25 depths only: said
    # on a line of its own under the title, so that it does not run into the next panel.
    part = "" if n == m.NRHOX else f"\n(depths 1..{n} of {m.NRHOX}; --listing gives all)"
    t_ax.set_title(f"T and XNE{part}")
    p_ax.semilogy(x[:n], q["P"], color="tab:green")
    p_ax.set_ylabel("P [dyn cm-2]")
    p_ax.set_title(f"gas pressure{part}")
    for name in species:
        values = np.asarray(m.population(name), dtype=float)
        shown = np.where(values > 0, values, np.nan)
        pop_ax.semilogy(x, shown, label=name)
    pop_ax.set_ylabel("N / U [cm-3]")
    pop_ax.set_title("populations")
    pop_ax.legend(fontsize="small", ncol=2)
    for ax in axes:
        ax.set_xlabel(xlabel)
        ax.grid(True, alpha=0.3)


def model_vs_marcs(m, mod_path):
    """(lgTau5, atmotab log10 kappa(500 nm), MARCS log10 kappa500) per depth."""
    lgtau5, rhox, kappa = marcs_kappa500(mod_path)
    if len(lgtau5) != m.NRHOX:
        raise ValueError(f"{mod_path} has {len(lgtau5)} depths, the table model {m.NRHOX}: "
                         "not the same model")
    # The depths the table file holds (record 4: the first 25) must be the MARCS model's RHOX, to
    # the digits the deck carries.
    ours = np.asarray(m.block["RHOX"], dtype=float)
    k = min(len(ours), len(rhox))
    off = np.abs(ours[:k] / rhox[:k] - 1.0)
    if k == 0 or not np.all(off < 1e-3):
        j = int(np.argmax(off)) + 1 if k else 1
        raise ValueError(f"{mod_path} is not the model of the table: RHOX at depth {j} is "
                         f"{rhox[j - 1]:.5g} there and {ours[j - 1]:.5g} in the table"
                         if k else f"{mod_path}: no depth to compare")
    return lgtau5, m.continuum_at(LAMBDA_500), np.log10(kappa)


def draw_marcs(axes, m, mod_path):
    lgtau5, ours, theirs = model_vs_marcs(m, mod_path)
    top, bottom = axes
    top.plot(lgtau5, theirs, "k-", label="MARCS: d tau500 / d RHOX")
    top.plot(lgtau5, ours, "o", ms=3, color="tab:orange", label="atmotab, 500 nm")
    top.set_ylabel("log10 kappa(500 nm) [cm2 g-1]")
    top.set_title("continuum opacity at 500 nm")
    top.legend(fontsize="small")
    bottom.plot(lgtau5, ours - theirs, "o-", ms=3, color="tab:orange")
    bottom.axhline(0.0, color="k", lw=0.5)
    bottom.set_ylabel("log10 (atmotab / MARCS)")
    for ax in axes:
        ax.set_xlabel("log10 tau500 (MARCS)")
        ax.grid(True, alpha=0.3)


def title_lines(title, width=90):
    """A model title broken into lines of at most WIDTH characters (MARCS names run to 70 and
    more), for the figure's own title."""
    import textwrap
    return "\n".join(textwrap.wrap(title.strip(), width, break_on_hyphens=False)) or "(no title)"


def save(fig, path):
    fig.tight_layout()
    fig.savefig(path, dpi=DPI)
    plt.close(fig)


def plot(kind, m, out, depths=None, listing=None, species=DEFAULT_SPECIES, marcs=None, other=None,
         labels=("first run", "second run")):
    """Draws one kind of plot of model m into the PNG file `out` (kind compare: against model `other`)."""
    depths = depths or default_depths(m.NRHOX)
    if kind == "compare":
        fig, axes = plt.subplots(2, 1, figsize=(9, 7), sharex=True, gridspec_kw={"height_ratios": [2, 1]})
        draw_compare(axes, m, other, depths, labels, listing)
    elif kind == "opacity":
        fig, ax = plt.subplots(figsize=(8, 5))
        draw_opacity(ax, m, depths, listing)
    elif kind == "structure":
        fig, axes = plt.subplots(1, 3, figsize=(14, 4.5))
        draw_structure(axes, m, listing, species)
    elif kind == "marcs":
        fig, axes = plt.subplots(2, 1, figsize=(7, 7), sharex=True)
        draw_marcs(axes, m, marcs)
    elif kind == "overview":
        rows = 3 if marcs else 2
        fig = plt.figure(figsize=(12, 4.2 * rows))
        grid = fig.add_gridspec(rows, 3)
        draw_opacity(fig.add_subplot(grid[0, :]), m, depths, listing)
        draw_structure([fig.add_subplot(grid[1, k]) for k in range(3)], m, listing, species)
        if marcs:
            draw_marcs([fig.add_subplot(grid[2, :2]), fig.add_subplot(grid[2, 2])], m, marcs)
    else:
        raise ValueError(f"unknown plot kind '{kind}'")
    fig.suptitle(title_lines(m.TITLE), fontsize="medium")
    save(fig, out)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog=__doc__.split("\n\n", 1)[1])
    ap.add_argument("kind", choices=["opacity", "structure", "marcs", "overview", "compare"])
    ap.add_argument("table", help="the --table file (unit 10) of a run")
    ap.add_argument("mod", nargs="?", help="the MARCS .mod file of the model (kind marcs), or the other "
                    "run's --table file (kind compare)")
    ap.add_argument("-o", "--output", required=True, help="PNG file to write")
    ap.add_argument("--model", type=int, default=1, help="model K of the file (default 1)")
    ap.add_argument("--depths", help="depth indices for the opacity curves, e.g. 1,28,56")
    ap.add_argument("--listing", help="the run's listing: T, P, XNE and RHOX of every depth")
    ap.add_argument("--species", nargs="+", default=list(DEFAULT_SPECIES),
                    help="populations to plot, e.g. 'Fe I' 'Fe II' CO")
    ap.add_argument("--marcs", help="MARCS .mod file of the model (kind overview)")
    ap.add_argument("--labels", nargs=2, default=["without XCONT", "with XCONT"], metavar=("A", "B"),
                    help="names of the two runs (kind compare; default: without XCONT, with XCONT)")
    args = ap.parse_args(argv)
    # matplotlib writes a name without an extension as NAME.png: the message names that file.
    if not os.path.splitext(args.output)[1]:
        args.output += ".png"
    if args.kind == "marcs" and not args.mod:
        ap.error("kind marcs needs the MARCS .mod file after the table")
    if args.kind == "compare" and not args.mod:
        ap.error("kind compare needs the other run's table file after the table")
    try:
        f = at.read_file(args.table)
        if f.unit != 10:
            raise at.TableError(f"{args.table} is not a --table (unit 10) file")
        if f.truncated:
            print(f"plot_tables: {args.table}: {f.truncated}", file=sys.stderr)
        if not 1 <= args.model <= len(f.models):
            raise at.TableError(f"{args.table} has {len(f.models)} complete model(s), "
                                f"not model {args.model}")
        m = f.models[args.model - 1]
        listing = None
        if args.listing:
            listings = at.read_listing_depths(args.listing)
            if len(listings) < args.model:
                raise at.TableError(f"{args.listing} has {len(listings)} model(s)")
            listing = listings[args.model - 1]
        depths = [int(d) for d in args.depths.split(",")] if args.depths else None
        if args.kind == "compare":
            g = at.read_file(args.mod)
            if g.unit != 10 or not 1 <= args.model <= len(g.models):
                raise at.TableError(f"{args.mod} is not a --table file with model {args.model}")
            plot("compare", m, args.output, depths=depths, listing=listing, other=g.models[args.model - 1],
                 labels=args.labels)
        else:
            plot(args.kind, m, args.output, depths=depths, listing=listing, species=args.species,
                 marcs=args.mod or args.marcs)
    except (OSError, at.TableError, ValueError, KeyError, marcs2deck.ModelError) as e:
        print(f"plot_tables: {e.args[0] if isinstance(e, KeyError) else e}", file=sys.stderr)
        return 2
    print(f"plot_tables: wrote {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
