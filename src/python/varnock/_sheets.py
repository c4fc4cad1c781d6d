"""A sheet given as a varnock.Sheet or as the path of a sheet file."""

import os

from ._core import Sheet


def as_sheet(sheet):
    if isinstance(sheet, Sheet):
        return sheet
    if isinstance(sheet, (str, bytes, os.PathLike)):
        return Sheet(os.fsdecode(sheet))
    raise TypeError(f"a sheet is a varnock.Sheet or the path of a sheet file, not {type(sheet).__name__}")
