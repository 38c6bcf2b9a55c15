"""The console commands: each imports its module only when run, so that a Python without numpy,
matplotlib or h5py gets one line saying what to install rather than a traceback."""
import importlib
import os
import sys

INSTALL = {"numpy": "numpy", "matplotlib": "matplotlib", "h5py": "h5py", "scipy": "scipy"}


def run(module, argv=None, prog=None):
    """Runs atmotab.MODULE's main(ARGV); returns its exit status (2 when a module it needs is
    missing)."""
    try:
        mod = importlib.import_module("atmotab." + module)
    except ImportError as e:
        if e.name not in INSTALL:
            raise
        name = prog or os.path.basename(sys.argv[0])
        print(f"{name}: needs {e.name}, which {sys.executable} does not have: pip install "
              f"{INSTALL[e.name]} (or, with Debian's python3, apt-get install python3-{e.name})",
              file=sys.stderr)
        return 2
    return mod.main(argv)


def read():
    sys.exit(run("read"))


def plot():
    sys.exit(run("plot"))


def grid():
    sys.exit(run("grid"))


def marcs():
    sys.exit(run("marcs"))
