"""Input sheets for the Windows runs: the bundled examples, one system with
every surface type, the cases where nothing is traced, and varied generated
systems, as (name, bytes) pairs in the layout the front end writes."""

import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "reference"))

from compare_with_reference import (awkward_sheets, base_cells, model_sheet,  # noqa: E402
                                    random_sheet, sheet_text)

DEFAULTS = {"THMIN": 0.0, "THMAX": 0.3, "NPHI": 48, "NTH": 6, "RSRC": 1.0, "WSCAN": 2.0,
            "NRING": 6, "NSCAN": 2, "DXY": 0.5, "DUV": 0.01, "SELI": 20, "SELJ": 20}


def encode(text):
    return text.encode("latin-1")


def example_sheets():
    folder = os.path.join(ROOT, "examples")
    sheets = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".txt"):
            with open(os.path.join(folder, name), "rb") as f:
                sheets.append(("example-" + name[:-4], f.read()))
    return sheets


def every_surface_type_sheet():
    """A lens, every mirror, the cylinder, both lens arrays and a stop: one
    surface of each type code 1 to 9, in that order, with two index sets."""
    # CV, TH, DX, DY, type, PA, PB, n (set 1), n (set 2)
    rows = [
        [0.0, 20.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0, 1.0],           # source plane
        [0.04, 4.0, 0.0, 0.0, 1, 0.0, 0.0, 1.5168, 1.522],      # 1 refracting sphere
        [-0.01, 6.0, 0.0, 0.0, 2, 0.0, 0.0, 1.5168, 1.522],     # 2 spherical mirror
        [-0.01, 5.0, 0.2, 0.0, 3, 0.0, 0.0, 1.0, 1.0],          # 3 paraboloidal mirror
        [0.05, 3.0, 0.0, 0.0, 4, 0.0, 0.0, 1.6, 1.61],          # 4 refracting cylinder
        [-0.4, 4.0, 0.0, 0.0, 5, 1.5, 0.0, 1.0, 1.0],           # 5 cylindrical lens array
        [0.0, 2.0, 0.0, 0.0, 6, 6.0, 0.0, 1.0, 1.0],            # 6 circular aperture
        [0.3, 3.0, 0.0, 0.0, 7, 1.2, 0.9, 1.5, 1.51],           # 7 two-dimensional lens array
        [-0.3, 6.0, 0.0, 0.0, 8, 12.0, 40.0, 1.0, 1.0],         # 8 ellipsoidal mirror
        [-0.02, 5.0, 0.0, 0.0, 9, 0.03, -0.02, 1.0, 1.0],       # 9 tilted spherical mirror
    ]
    p = dict(DEFAULTS, THMAX=0.25, NPHI=60, NRING=8, NSCAN=3, DXY=0.4, DUV=0.02)
    return ("every-surface-type", encode(sheet_text(base_cells(p, rows, 2))))


def lens_rows():
    return [[0.0, 15.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0],
            [0.04, 4.0, 0.0, 0.0, 1, 0.0, 0.0, 1.5168],
            [-0.04, 6.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0]]


def lens_sheet(**changes):
    return encode(sheet_text(base_cells(dict(DEFAULTS, **changes), lens_rows(), 1)))


def zero_sheets():
    """Runs in which nothing, or nothing sensible, is traced."""
    return [("nscan-zero", lens_sheet(NSCAN=0)), ("rsrc-zero", lens_sheet(RSRC=0.0))]


def varied_sheets(count, seed):
    """The awkward sheets of the reference comparison (conversions, caps,
    non-finite values) and count generated systems."""
    rng = random.Random(seed)
    sheets = [("awkward-%02d" % i, encode(text)) for i, text in enumerate(awkward_sheets())]
    # Half plain random systems over every type code, half systems built
    # around the mirrors, arrays and stop with parameters that let light through.
    for i in range(count):
        make = random_sheet if i % 2 == 0 else model_sheet
        sheets.append(("random-%03d" % i, encode(make(rng))))
    return sheets
