"""python -m atmotab COMMAND [ARGS...]: the package's commands by name."""
import importlib
import sys

COMMANDS = {
    "read": ("read", "print table and maxima files as text (atmotab-read)"),
    "plot": ("plot", "plots of a table file as PNG (atmotab-plot)"),
    "grid": ("grid", "grids of models under GNU parallel (atmotab-grid)"),
    "marcs": ("marcs", "MARCS models into card decks (atmotab-marcs)"),
    "kappa500": ("kappa500", "opacity at 500 nm against a MARCS model's own"),
}


def usage(out):
    print("usage: python -m atmotab COMMAND [ARGS...]\n\ncommands:", file=out)
    for name, (_, what) in COMMANDS.items():
        print(f"  {name:9s} {what}", file=out)
    print("\n`python -m atmotab COMMAND --help` describes one.", file=out)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else list(argv)
    if not argv or argv[0] in ("-h", "--help"):
        usage(sys.stdout if argv else sys.stderr)
        return 0 if argv else 2
    if argv[0] not in COMMANDS:
        print(f"atmotab: unknown command '{argv[0]}'", file=sys.stderr)
        usage(sys.stderr)
        return 2
    module = importlib.import_module("atmotab." + COMMANDS[argv[0]][0])
    sys.argv[0] = f"atmotab {argv[0]}"
    return module.main(argv[1:])


if __name__ == "__main__":
    sys.exit(main())
