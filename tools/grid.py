#!/usr/bin/env python3
"""Runs a grid of models with GNU parallel: atmotab-grid of the package in python/."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "grid", needs=("numpy",))
