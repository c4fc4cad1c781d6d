#!/usr/bin/env python3
"""Runs the command-line tool and the Python reference on the same sheets and
compares the result files byte for byte.

The sheets are the bundled examples plus generated ones: random lens systems
(spheres, planes, cylinders, lens arrays and stops, decentred, with refractive
indices that bend, reflect totally or are zero or negative), hand-made awkward
sheets (text in number cells, huge and not-a-number values, capped counts) and
sheets whose rays fall exactly on a stop's rim or on lenslet borders. Any
difference fails.

With --models N it also compares N generated systems built around the
mirrors, lens arrays and the stop (type codes 2 to 9, or those named by
--model-types); they come from their own random stream, so the default
sheets stay exactly as they are.

The bundled benchmark sheets take part too, shortened to a few source
positions. With --threads the tool runs every sheet once per thread count
given, and every run must match the reference: the files may not depend on
the number of threads.

With --python DIR (the build's python folder) every sheet also runs in
memory through the Python package, and its totals and maps, printed as the
report prints them (%f, %10.6f), must make the reference's OUT_M.txt byte
for byte.

Usage: compare_with_reference.py --cli PATH [--count N] [--seed S] [--keep DIR]
                                 [--models N] [--model-types 2,3,...]
                                 [--threads 1,2,...] [--python DIR]
"""

import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)

import varnock_ref  # noqa: E402

RESULT_FILES = ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt")

# Type codes the generator draws from; every surface model the reference
# knows gets its codes added here.
SURFACE_TYPES = (1, 1, 1, 1, 0, -3, 10, 2, 3, 4, 5, 6, 7, 8, 9)


def sheet_text(cells):
    """Tab-separated CR LF text from a {(column, row): text} map."""
    rows = {}
    for (c, r), v in cells.items():
        rows.setdefault(r, {})[c] = v
    lines = []
    for r in range(max(rows) + 1):
        row = rows.get(r, {})
        width = max(row) + 1 if row else 0
        lines.append("\t".join(row.get(c, "") for c in range(width)))
    return "\r\n".join(lines) + "\r\n"


def base_cells(p, surfaces, nset):
    cells = {(0, 0): "Varnock input sheet", (0, 13): "Optical system", (0, 14): "NSURF",
             (0, 15): "NSET"}
    for i, key in enumerate(("THMIN", "THMAX", "NPHI", "NTH", "RSRC", "WSCAN", "NRING", "NSCAN",
                             "DXY", "DUV", "SELI")):
        cells[(1, 2 + i)] = key
        cells[(2, 2 + i)] = repr(p[key]) if isinstance(p[key], float) else str(p[key])
    cells[(3, 12)] = str(p["SELJ"])
    cells[(1, 14)] = str(len(surfaces) - 1)
    cells[(1, 15)] = str(nset)
    for s, row in enumerate(surfaces):
        cells[(0, 19 + s)] = "source" if s == 0 else str(s)
        for c, v in enumerate(row):
            cells[(1 + c, 19 + s)] = repr(v) if isinstance(v, float) else str(v)
    return cells


def random_sheet(rng):
    p = {
        "THMIN": rng.choice([0.0, rng.uniform(0, 0.3)]),
        "THMAX": rng.uniform(0.05, 0.6),
        "NPHI": rng.choice([rng.randint(4, 40), -rng.randint(4, 40)]),
        "NTH": rng.randint(1, 6),
        "RSRC": rng.choice([rng.uniform(0.2, 3.0), -rng.uniform(0.2, 3.0)]),
        "WSCAN": rng.uniform(0, 4),
        "NRING": rng.randint(1, 6),
        "NSCAN": rng.randint(1, 3),
        "DXY": rng.choice([0.5, 0.25, rng.uniform(0.05, 1.0)]),
        "DUV": rng.choice([0.01, 0.02, rng.uniform(0.002, 0.05)]),
        "SELI": rng.randint(15, 25),
        "SELJ": rng.randint(15, 25),
    }
    if rng.random() < 0.15:
        p["THMAX"] = rng.uniform(1.6, 3.0)  # backward cones
    nset = rng.randint(1, 3)
    nsurf = rng.randint(0, 6)
    surfaces = [[0.0, rng.uniform(5, 30), 0.0, 0.0, 1, 0.0, 0.0] + [1.0] * nset]
    for _ in range(nsurf):
        cv = rng.choice([0.0, rng.uniform(-0.1, 0.1), rng.uniform(-0.5, 0.5)])
        decentre = rng.random() < 0.3
        indices = []
        for _ in range(nset):
            indices.append(rng.choice([1.0, rng.uniform(1.4, 1.9), rng.uniform(1.4, 1.9),
                                       -rng.uniform(1.0, 1.7), 0.0 if rng.random() < 0.05 else 1.5]))
        surfaces.append([cv, rng.uniform(0.5, 12), rng.uniform(-2, 2) if decentre else 0.0,
                         rng.uniform(-2, 2) if decentre else 0.0, rng.choice(SURFACE_TYPES),
                         rng.uniform(-3, 3), rng.uniform(-3, 3)] + indices)
    return sheet_text(base_cells(p, surfaces, nset))


# Type codes of the generated mirror, array and stop systems (--models).
MODEL_TYPES = (2, 3, 4, 5, 6, 7, 8, 9)


def pitch(rng):
    """A lenslet pitch: mostly a few units of either sign, now and then exactly 0."""
    if rng.random() < 0.05:
        return 0.0
    return rng.choice([2.0, -2.0, rng.uniform(0.3, 4.0), -rng.uniform(0.3, 4.0)])


def model_surface(rng, stype, gap, nset):
    """A surface row of the given type whose parameters let most rays through, with a few that do not.

    gap is the distance from the previous surface (or the source) to this one,
    so that paraboloids and ellipsoids can put a focus where the light starts.
    """
    cv, pa, pb = 0.0, 0.0, 0.0
    if stype == 2:
        cv = rng.choice([0.0, rng.uniform(-0.1, 0.1), rng.uniform(-0.03, 0.03)])
    elif stype == 3:
        cv = rng.choice([0.5 / gap, -0.5 / gap, rng.uniform(-0.1, 0.1), 0.0 if rng.random() < 0.2 else 0.05])
    elif stype == 4:
        cv = rng.choice([0.0, rng.uniform(-0.2, 0.2), rng.uniform(-0.05, 0.05)])
    elif stype == 5:
        cv = rng.choice([0.0, rng.uniform(-0.5, 0.5)])
        pa = pitch(rng)
    elif stype == 6:
        cv = rng.choice([0.0, 0.0, rng.uniform(-0.1, 0.1)])
        pa = rng.choice([rng.uniform(0.5, 6.0), -rng.uniform(0.5, 6.0), 3.0,
                         0.0 if rng.random() < 0.1 else 5.0])
    elif stype == 7:
        cv = rng.choice([0.0, rng.uniform(-0.5, 0.5)])
        pa = pitch(rng)
        pb = pitch(rng)
    elif stype == 8:
        cv = rng.choice([gap, gap, rng.uniform(2.0, 30.0), 0.0 if rng.random() < 0.2 else gap,
                         -rng.uniform(2.0, 30.0) if rng.random() < 0.1 else gap])
        pa = rng.choice([rng.uniform(2.0, 60.0), rng.uniform(2.0, 60.0), cv,
                         0.0 if rng.random() < 0.1 else 40.0])
    elif stype == 9:
        cv = rng.choice([rng.uniform(0.005, 0.05), -rng.uniform(0.005, 0.05),
                         0.0 if rng.random() < 0.1 else 0.02])
        pa = rng.choice([0.0, rng.uniform(-0.3, 0.3)])
        pb = rng.choice([0.0, rng.uniform(-0.3, 0.3)])
    decentre = rng.random() < 0.3
    dx = rng.uniform(-2, 2) if decentre else 0.0
    dy = rng.uniform(-2, 2) if decentre else 0.0
    indices = []
    for _ in range(nset):
        indices.append(rng.choice([1.0, rng.uniform(1.4, 1.9), 1.5, -rng.uniform(1.0, 1.7)]))
    return [cv, 0.0, dx, dy, stype, pa, pb] + indices


def model_sheet(rng, types=MODEL_TYPES):
    """A random system around one or more of the given surface types, mixed with plain lenses."""
    p = {
        "THMIN": rng.choice([0.0, rng.uniform(0, 0.3)]),
        # backward cones (beyond 90 degrees) for the paraboloid and the ellipsoid now and then
        "THMAX": rng.uniform(1.6, 3.0) if rng.random() < 0.3 else rng.uniform(0.05, 0.8),
        "NPHI": rng.randint(4, 30),
        "NTH": rng.randint(1, 6),
        "RSRC": rng.choice([rng.uniform(0.01, 2.0), 1e-6]),
        "WSCAN": rng.choice([0.0, rng.uniform(0, 3)]),
        "NRING": rng.randint(1, 5),
        "NSCAN": rng.randint(1, 3),
        "DXY": rng.choice([0.5, 1.0, rng.uniform(0.2, 4.0)]),
        "DUV": rng.choice([0.01, 0.03, rng.uniform(0.005, 0.1)]),
        "SELI": rng.randint(15, 25),
        "SELJ": rng.randint(15, 25),
    }
    nset = rng.randint(1, 2)
    gap = rng.uniform(3, 30)
    surfaces = [[0.0, gap, 0.0, 0.0, 1, 0.0, 0.0] + [1.0] * nset]
    for _ in range(rng.randint(1, 4)):
        if rng.random() < 0.7:
            row = model_surface(rng, rng.choice(types), gap, nset)
        else:
            row = [rng.uniform(-0.1, 0.1), 0.0, 0.0, 0.0, 1, 0.0, 0.0] + \
                  [rng.choice([1.0, 1.5]) for _ in range(nset)]
        gap = rng.uniform(0.5, 15)
        row[1] = gap                      # distance on to the next surface
        surfaces.append(row)
    return sheet_text(base_cells(p, surfaces, nset))


def border_sheets():
    """Lens arrays and stops whose first surface lies in the source plane, so
    that every ray crosses its vertex plane exactly at its source point: rays
    exactly on a stop's rim and on lenslet borders, and zero pitches with a
    ray exactly on a lenslet centre (0/0)."""
    p = {"THMIN": 0.05, "THMAX": 0.4, "NPHI": 24, "NTH": 3, "RSRC": 1.0, "WSCAN": 0.0,
         "NRING": 1, "NSCAN": 1, "DXY": 0.5, "DUV": 0.01, "SELI": 22, "SELJ": 20}
    lens = [[0.1, 6.0, 0.0, 0.0, 1, 0.0, 0.0, 1.5], [-0.1, 10.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0]]
    first_rows = [
        [0.0, 2.0, 0.0, 0.0, 6, 1.0, 0.0, 1.0],          # source point (1, 0) on the rim
        [0.0, 2.0, 0.0, 0.0, 6, -1.0, 0.0, 1.0],         # the same, negative radius
        [0.0, 2.0, 0.0, 0.0, 6, 1.0000001, 0.0, 1.0],    # just inside
        [0.0, 2.0, 5.0, 0.0, 6, 1.5, 0.0, 1.0],          # decentred lens, stop on the axis
        [0.2, 2.0, 0.0, 1.0, 7, 2.0, 2.0, 1.5],          # x border at 1, y border at 0
        [0.2, 2.0, 0.0, 1.0, 7, -2.0, -2.0, 1.5],        # the same with negative pitches
        [0.2, 2.0, 1.0, 0.0, 7, 0.0, 0.0, 1.5],          # zero pitches, ray at dx: 0/0
        [0.0, 2.0, 1.0, 0.0, 7, 0.0, 3.0, 1.5],          # zero pitch on a flat array
        [0.3, 2.0, 0.0, 0.0, 5, 0.0, 0.0, 1.5],          # zero pitch, ray on y = 0: 0/0
    ]
    sheets = []
    for first in first_rows:
        surfaces = [[0.0, 0.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0], first] + lens
        sheets.append(sheet_text(base_cells(p, surfaces, 1)))
    # Four ring points: the second lies at y = sin(6.28/4), on a border of
    # cylindrical lenslets of twice that pitch.
    q = dict(p, NRING=4)
    border = 2 * (1.0 * math.sin((6.28 * 1) / 4))
    for cv in (0.3, -0.3, 0.0):
        surfaces = [[0.0, 0.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0],
                    [cv, 2.0, 0.0, 0.7, 5, border, 0.0, 1.5]] + lens
        sheets.append(sheet_text(base_cells(q, surfaces, 1)))
    return sheets


def awkward_sheets():
    """Sheets that probe conversions, caps and non-finite values."""
    p = {"THMIN": 0.0, "THMAX": 0.4, "NPHI": 16, "NTH": 3, "RSRC": 1.0, "WSCAN": 2.0,
         "NRING": 3, "NSCAN": 2, "DXY": 0.5, "DUV": 0.01, "SELI": 20, "SELJ": 20}
    lens = [[0.0, 10.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0],
            [0.05, 3.0, 0.0, 0.0, 1, 0.0, 0.0, 1.5],
            [-0.05, 8.0, 0.0, 0.0, 1, 0.0, 0.0, 1.0]]
    sheets = []

    def variant(**changes):
        cells = base_cells(p, lens, 1)
        for (c, r), v in changes.get("cells", {}).items():
            cells[(c, r)] = v
        sheets.append(sheet_text(cells))

    variant(cells={(2, 2): "  1.5e-3", (2, 3): "0x1.8p-1", (2, 5): "3.9", (2, 6): "1.2mm"})
    variant(cells={(2, 6): "abc", (2, 10): ""})                    # RSRC 0, DXY 0
    variant(cells={(2, 10): "1e300", (2, 11): "-1e250"})            # very long header numbers
    variant(cells={(2, 6): "1e200"})                                # sources far away
    variant(cells={(1, 21): "nan"})                                 # curvature not a number
    variant(cells={(2, 19): "inf"})                                 # source plane at infinity
    variant(cells={(1, 14): "150"})                                 # NSURF capped, empty rows
    variant(cells={(1, 15): "25", (8, 20): "1.6"})                  # NSET capped
    variant(cells={(1, 14): "-4"})                                  # no surface at all
    variant(cells={(2, 5): "0"})                                    # empty fan
    variant(cells={(2, 9): "-1"})                                   # no pass
    variant(cells={(2, 12): "999", (3, 12): "-5"})                  # selected cell off the grid
    variant(cells={(2, 2): "1.5707963267948966", (2, 3): "1.5707963267948966",
                   (2, 4): "-2147483648", (2, 5): "1"})              # 2^31 azimuths: none
    variant(cells={(8, 20): "1.0", (8, 19): "1.9"})                 # total internal reflection
    return sheets


def set_cell(text, column, row, value):
    """The sheet text with one cell replaced."""
    lines = text.split("\r\n")
    cells = lines[row].split("\t")
    cells += [""] * (column + 1 - len(cells))
    cells[column] = value
    lines[row] = "\t".join(cells)
    return "\r\n".join(lines)


def shortened_bench_sheets():
    """The benchmark sheets with 3 ring points and 2 scan steps: realistic
    systems and fans, few positions."""
    folder = os.path.join(ROOT, "bench", "sheets")
    sheets = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".txt"):
            with open(os.path.join(folder, name), "rb") as f:
                text = f.read().decode("latin-1")
            text = set_cell(set_cell(text, 2, 8, "3"), 2, 9, "2")  # NRING, NSCAN
            sheets.append(("bench/" + name, text))
    return sheets


def run_cli(cli, sheet, out_dir, threads=None):
    command = [cli, "run", "-q", "--no-progress", sheet, "-o", out_dir]
    if threads is not None:
        command += ["--threads", str(threads)]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("varnock failed on %s: %s" % (sheet, result.stderr.strip()))


def run_reference(sheet, out_dir):
    varnock_ref.main6(varnock_ref.Model(), sheet, out_dir)


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            line = a.count(b"\n", 0, i) + 1
            return "first difference at byte %d (line %d)" % (i, line)
    return "lengths differ: %d and %d bytes" % (len(a), len(b))


def compare(cli, sheet, work, thread_counts):
    ref = os.path.join(work, "reference")
    shutil.rmtree(ref, ignore_errors=True)
    os.makedirs(ref)
    run_reference(sheet, ref)
    problems = []
    for threads in thread_counts:
        ours = os.path.join(work, "cli-%s" % threads)
        shutil.rmtree(ours, ignore_errors=True)
        os.makedirs(ours)
        run_cli(cli, sheet, ours, threads)
        label = "" if threads is None else " (%s threads)" % threads
        for name in RESULT_FILES:
            a_path, b_path = os.path.join(ours, name), os.path.join(ref, name)
            if os.path.exists(a_path) != os.path.exists(b_path):
                problems.append("%s%s: written by only one side" % (name, label))
                continue
            if not os.path.exists(a_path):
                continue
            with open(a_path, "rb") as f:
                a = f.read()
            with open(b_path, "rb") as f:
                b = f.read()
            if a != b:
                problems.append("%s%s: %s" % (name, label, first_difference(a, b)))
    return problems


def report_from_python(result, expected):
    """OUT_M.txt as the report would print the Python result, the labels of
    the totals taken from the expected file (they are Shift-JIS bytes)."""
    labels = [line.split(b"\t", 1)[0] for line in expected.split(b"\r\n")[:3]]
    out = b""
    for label, value in zip(labels, (result.total, result.transmitted, result.ratio)):
        out += label + b"\t\t" + (b"%f" % value) + b"\r\n"
    seli, selj = result.selected_cell
    headers = (b"\r\nIXY[i][j](%fmm)\r\n" % result.DXY, b"\r\nIUV[i][j](%frad)\r\n" % result.DUV,
               b"\r\nIUV_P[i][j](%d-%d)\r\n" % (seli, selj))
    for header, grid in zip(headers, (result.IXY, result.IUV, result.IUV_P)):
        out += header
        for j in range(41):  # line j lists cells [0][j] .. [40][j]
            out += b"".join(b"%10.6f\t" % grid[i, j] for i in range(41)) + b"\r\n"
    return out


def compare_python(varnock, sheet, ref):
    with open(sheet, "rb") as f:
        data = f.read()
    report = os.path.join(ref, "OUT_M.txt")
    expected = b""
    if os.path.exists(report):
        with open(report, "rb") as f:
            expected = f.read()
    try:
        result = varnock.run(varnock.Sheet.from_bytes(data), threads=1)
    except varnock.SheetError as e:
        return [] if not expected else ["python: refused a sheet the reference ran: %s" % e]
    if not expected:
        return ["python: ran a sheet the reference refused"]
    ours = report_from_python(result, expected)
    return [] if ours == expected else ["python maps: " + first_difference(ours, expected)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True, help="path of the varnock tool")
    parser.add_argument("--count", type=int, default=200, help="random sheets to compare")
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("--keep", help="keep the sheets and results of differing runs here")
    parser.add_argument("--models", type=int, default=0,
                        help="also compare this many mirror, array and stop systems")
    parser.add_argument("--model-types", default=",".join(str(t) for t in MODEL_TYPES),
                        help="comma-separated type codes those systems draw from")
    parser.add_argument("--threads", help="comma-separated thread counts to run the tool with "
                        "(default: the tool's own default)")
    parser.add_argument("--python", help="also run every sheet through the Python package built "
                        "in this folder (the build's python folder)")
    args = parser.parse_args()
    varnock = None
    if args.python:
        sys.path.insert(0, args.python)
        import varnock
    thread_counts = [int(t) for t in args.threads.split(",")] if args.threads else [None]

    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="varnock-compare-")
    sheets = []
    examples = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(examples)):
        if name.endswith(".txt"):
            with open(os.path.join(examples, name), "rb") as f:
                sheets.append(("examples/" + name, f.read().decode("latin-1")))
    sheets += [("awkward-%02d" % i, text) for i, text in enumerate(awkward_sheets())]
    sheets += [("border-%02d" % i, text) for i, text in enumerate(border_sheets())]
    sheets += shortened_bench_sheets()
    sheets += [("random-%03d" % i, random_sheet(rng)) for i in range(args.count)]
    if args.models > 0:
        types = tuple(int(t) for t in args.model_types.split(","))
        model_rng = random.Random(args.seed + 1)
        sheets += [("model-%03d" % i, model_sheet(model_rng, types)) for i in range(args.models)]

    failures = 0
    try:
        for label, text in sheets:
            path = os.path.join(work, "IN_FM.txt")
            with open(path, "wb") as f:
                f.write(text.encode("latin-1"))
            problems = compare(args.cli, path, work, thread_counts)
            if varnock is not None:
                problems += compare_python(varnock, path, os.path.join(work, "reference"))
            if problems:
                failures += 1
                print("DIFFERENT %s: %s" % (label, "; ".join(problems)))
                if args.keep:
                    dest = os.path.join(args.keep, label.replace("/", "_"))
                    shutil.rmtree(dest, ignore_errors=True)
                    shutil.copytree(work, dest)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d of %d sheets gave identical files" % (len(sheets) - failures, len(sheets)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
