"""atmotab's tables in Python.

Submodules:
  atmotab.tables    the table (--table, unit 10) and maxima (--maxima, unit 11) files as numpy
                    arrays, one object per model
  atmotab.read      the atmotab-read command: the files as text
  atmotab.plot      the atmotab-plot command: PNG plots of the tables (matplotlib)
  atmotab.grid      the atmotab-grid command: grids of models under GNU parallel
  atmotab.marcs     the atmotab-marcs command: MARCS models into card decks
  atmotab.kappa500  the opacity at 500 nm against a MARCS model's own

`python -m atmotab COMMAND ...` runs the same commands (read, plot, grid, marcs, kappa500).
"""

__version__ = "0.1.0"
