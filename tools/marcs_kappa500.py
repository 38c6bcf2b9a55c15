#!/usr/bin/env python3
"""atmotab's continuum opacity at 500 nm against a MARCS model's own: atmotab.kappa500 of the package in python/."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "kappa500", needs=("numpy",))
