"""Simulate Tarvo_Unit.fmu under FMPy: single runs and studies of many cases
on a Dask cluster (python -m simulate, or ./simulate at the top of the
repository, which builds the archive first)."""

import sys as _sys

# A study ships this package to the workers of a cluster of its own, and Dask
# reloads the package there. A worker that ran an earlier study keeps that
# study's submodules: forget them, so that this code is the one that runs.
for _name in [name for name in _sys.modules if name.startswith(__name__ + ".")]:
    del _sys.modules[_name]
