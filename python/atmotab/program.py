"""Where the atmotab program is: one rule for every command of the package.

In this order: the path given (an option such as --program or --binary), the environment variable
ATMOTAB, the command `atmotab` on PATH, then build/atmotab of the checkout this package sits in
(when it is used from a checkout). The error names every place it looked.
"""
import os
import shutil

from ._paths import CHECKOUT

ENVIRONMENT = "ATMOTAB"


class ProgramNotFound(Exception):
    """No atmotab program at any of the places looked at."""


def candidates(given=None, environ=None):
    """(what, path) of every place looked at, in order; path None where the place gives none."""
    environ = os.environ if environ is None else environ
    return [
        ("the option", given),
        (f"${ENVIRONMENT}", environ.get(ENVIRONMENT) or None),
        ("PATH", shutil.which("atmotab", path=environ.get("PATH", os.defpath))),
        ("the checkout's build folder", os.path.join(CHECKOUT, "build", "atmotab")),
    ]


def find_program(given=None, environ=None):
    """The absolute path of the atmotab program; raises ProgramNotFound. A path given (option or
    environment variable) that is not an executable file is an error, not passed over."""
    tried = []
    for what, path in candidates(given, environ):
        if path is None:
            tried.append(f"{what}: not set" if what != "PATH" else "PATH: no atmotab")
            continue
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return os.path.abspath(path)
        tried.append(f"{what}: {path} is not an executable file")
        if what in ("the option", f"${ENVIRONMENT}"):
            break
    raise ProgramNotFound("no atmotab program found (" + "; ".join(tried) + "); give its path "
                          f"with the option, set {ENVIRONMENT}, put it on PATH (cmake --install "
                          "build) or build it in the checkout (cmake --build build)")
