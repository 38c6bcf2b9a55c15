"""atmotab's table files as numpy arrays: kept for scripts that do
`sys.path.insert(0, "tools"); import atmotab_tables`; the reader is atmotab.tables of the package
in python/ (`import atmotab.tables`)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "tables")
