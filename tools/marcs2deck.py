#!/usr/bin/env python3
"""Converts MARCS models into atmotab card decks: atmotab-marcs of the package in python/."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import _front  # noqa: E402

_front.front(__name__, "marcs", needs=())
