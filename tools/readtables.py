#!/usr/bin/env python3
"""Prints atmotab's table and maxima files as text: atmotab-read of the package in python/."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "read", needs=("numpy",))
