#!/usr/bin/env python3
"""Plots of atmotab's tables as PNG files: atmotab-plot of the package in python/."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "plot", needs=("numpy", "matplotlib"))
