"""The start of the scripts in tools/ that are fronts of the atmotab Python package: they run its
commands from python/atmotab of this checkout, without installing it.

Run as a script, a front calls the command's main(). Imported (a script that did
`sys.path.insert(0, "tools"); import atmotab_tables`), it stands for the package module itself.
When the interpreter that runs the script lacks a module the command needs (numpy, say, in a
virtual environment made without the system packages), Debian's /usr/bin/python3 runs it instead
if it has them, as the scripts did before they became fronts.
"""
import importlib
import importlib.util
import os
import sys

PACKAGE_ROOT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "python")
SYSTEM_PYTHON = "/usr/bin/python3"
RETRIED = "ATMOTAB_FRONT_SYSTEM_PYTHON"


def package_module(name):
    if PACKAGE_ROOT not in sys.path:
        sys.path.insert(0, PACKAGE_ROOT)
    return importlib.import_module("atmotab." + name)


def front(script_name, module, needs=("numpy",)):
    """The body of a front: SCRIPT_NAME is the front's __name__, MODULE the package module."""
    if script_name != "__main__":
        sys.modules[script_name] = package_module(module)
        return
    missing = [m for m in needs if importlib.util.find_spec(m) is None]
    if missing:
        if os.environ.pop(RETRIED, None) is None and os.access(SYSTEM_PYTHON, os.X_OK) and \
                os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
            os.environ[RETRIED] = "1"
            os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, sys.argv[0], *sys.argv[1:]])
        sys.exit(f"{os.path.basename(sys.argv[0])}: {sys.executable} has no "
                 f"{', '.join(missing)} (pip install {' '.join(missing)}, or Debian's "
                 f"python3-{' python3-'.join(missing)})")
    os.environ.pop(RETRIED, None)
    sys.exit(package_module(module).main())
