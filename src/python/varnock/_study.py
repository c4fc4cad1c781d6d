"""Sweeps and trials from Python: the study room of varnock sweep and varnock trials."""

import csv
import math
import os
import tempfile

from . import _core
from ._progress import adapt
from ._sheets import as_sheet

# Columns of the table that are not numbers.
_TEXT_COLUMNS = ("status", "message")


class Records(list):
    """The rows of a study's table (sweep.csv, trials.csv) as dicts, one a point.

    Each dict holds the point's number, the values written into the cells
    (by the cells' value names, such as 'TH2'), its status ('ok' or
    'failed') and message, and the quantities of its run: totals and the
    statistics of its maps (IXY_centroid_x, ...), as floats.
    """

    def __init__(self, rows, folder=None, page=None, warnings=(), notes=()):
        super().__init__(rows)
        self.folder = folder
        self.page = page
        self.warnings = list(warnings)
        self.notes = list(notes)

    def to_pandas(self):
        """The records as a pandas DataFrame indexed by point."""
        try:
            import pandas
        except ImportError as e:
            raise ImportError("to_pandas needs pandas (Debian: apt install python3-pandas)") from e
        return pandas.DataFrame(list(self)).set_index("point")


def _value(column, text):
    if column == "point":
        return int(text)
    if column in _TEXT_COLUMNS:
        return text
    if text == "":
        return math.nan
    try:
        return float(text)
    except ValueError:
        return text


def read_table(path):
    """The records of a study table written by varnock sweep or varnock trials."""
    with open(path, newline="", encoding="utf-8") as f:
        return [{k: _value(k, v) for k, v in row.items()} for row in csv.DictReader(f)]


def _number_text(value):
    if isinstance(value, bool):
        raise TypeError("a study's values are numbers, not True or False")
    return repr(float(value))


def _sweep_spec(values):
    # A text is taken as varnock sweep takes it: FROM:TO:COUNT or a comma list.
    if isinstance(values, str):
        return values
    if hasattr(values, "tolist"):
        values = values.tolist()
    values = list(values)
    if not values:
        raise ValueError("a swept cell needs at least one value")
    return ",".join(_number_text(v) for v in values)


def _jitter_spec(jitter):
    if isinstance(jitter, str):
        return jitter
    kind, width = jitter
    if kind not in ("normal", "uniform"):
        raise ValueError(f"a jitter is ('normal', SIGMA) or ('uniform', HALFWIDTH), not {kind!r}")
    return f"{kind}:{_number_text(width)}"


def run_study(kind, sheet, specs, *, zip=False, trials=0, seed=1, folder=None, resume=False,
              fast=False, threads=0, exact_sums=False, progress=None):
    sheet = as_sheet(sheet)
    specs = list(specs)

    def study_in(where):
        out = _core.study(kind, sheet, specs, zip, trials, seed, where, resume, fast, threads,
                          exact_sums, adapt(progress))
        rows = read_table(out["csv"]) if out["complete"] else []
        return out, rows

    if folder is not None:
        out, rows = study_in(os.fspath(folder))
        return Records(rows, folder=os.fspath(folder), page=str(out["page"]),
                       warnings=out["warnings"], notes=out["notes"])
    with tempfile.TemporaryDirectory(prefix="varnock-") as where:
        out, rows = study_in(where)
    return Records(rows, warnings=out["warnings"], notes=out["notes"])


def sweep_specs(cells):
    return [(name, _sweep_spec(values)) for name, values in cells.items()]


def jitter_specs(cells):
    return [(name, _jitter_spec(jitter)) for name, jitter in cells.items()]
