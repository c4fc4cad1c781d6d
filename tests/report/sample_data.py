"""Two report data objects, as varnock hands them to the report page, for
the browser check: one from a run of a condenser (run, system and ray counts
present, a spot on IXY, a ring on IUV, a selected cell), one read back from a
report file alone (no run, no system, no ray counts, a flat square on IXY, two
lobes on IUV and an empty IUV_P). Their statistics are worked out from their
grids, so the numbers on the page belong together.

    python3 sample_data.py OUTDIR   writes OUTDIR/condenser.json, OUTDIR/homogeniser.json
"""

import json
import math
import os
import sys

N, MID = 41, 20


def grid(f):
    """values[i][j] = f(i - 20, j - 20), rounded as the report file rounds."""
    return [[round(f(i - MID, j - MID), 6) for j in range(N)] for i in range(N)]


def spot(ci, cj, width, peak):
    return lambda a, b: peak * math.exp(-((a - ci) ** 2 + (b - cj) ** 2) / (2 * width**2))


def ring(radius, width, peak):
    return lambda a, b: peak * math.exp(-((math.hypot(a, b) - radius) ** 2) / (2 * width**2))


def square(half, peak, ripple):
    def f(a, b):
        if abs(a) > half or abs(b) > half:
            return 0.0
        return peak * (1 + ripple * math.cos(1.3 * a) * math.cos(0.9 * b))
    return f


def fwhm(profile, pitch):
    """Width at half the peak of a profile, between the linearly interpolated
    crossings on either side of the peak."""
    top = max(profile)
    k = profile.index(top)
    half = top / 2
    lo = k
    while lo > 0 and profile[lo - 1] >= half:
        lo -= 1
    hi = k
    while hi < N - 1 and profile[hi + 1] >= half:
        hi += 1
    left = lo - (profile[lo] - half) / (profile[lo] - profile[lo - 1]) if lo > 0 else lo
    right = hi + (profile[hi] - half) / (profile[hi] - profile[hi + 1]) if hi < N - 1 else hi
    return (right - left) * pitch


def stats(values, pitch, rays):
    total = sum(map(sum, values))
    if total <= 0:
        return None
    cells = [(values[i][j], i, j) for i in range(N) for j in range(N)]
    peak, pi, pj = max(cells)
    cx = sum(v * (i - MID) for v, i, _ in cells) / total
    cy = sum(v * (j - MID) for v, _, j in cells) / total
    rx = math.sqrt(sum(v * (i - MID - cx) ** 2 for v, i, _ in cells) / total)
    ry = math.sqrt(sum(v * (j - MID - cy) ** 2 for v, _, j in cells) / total)
    lit = [v for v, _, _ in cells if v > 0]
    mean = sum(lit) / len(lit)
    std = math.sqrt(sum((v - mean) ** 2 for v in lit) / len(lit))
    lit_rays = [rays[i][j] for v, i, j in cells if v > 0] if rays else None
    f = "%.6f"
    return {
        "sum": f % total, "peak": f % peak,
        "peak_at": [f % ((pi - MID) * pitch), f % ((pj - MID) * pitch)], "peak_cell": [pi, pj],
        "centroid": [f % (cx * pitch), f % (cy * pitch)],
        "rms_width": [f % (rx * pitch), f % (ry * pitch)],
        "fwhm": [f % fwhm([values[i][pj] for i in range(N)], pitch), f % fwhm(values[pi], pitch)],
        "uniformity_min_mean": f % (min(lit) / mean), "uniformity_std_mean": f % (std / mean),
        "lit_cells": len(lit),
        "mean_rays_per_lit_cell": sum(lit_rays) / len(lit_rays) if rays else None,
    }


def ray_counts(values, rays_per_weight):
    return [[round(v * rays_per_weight) for v in column] for column in values]


def map_object(name, title, axes, unit, pitch, values, rays, selected, caption):
    return {
        "name": name, "title": title, "axes": axes, "unit": unit, "pitch": pitch,
        "values": values, "rays": rays, "selected": selected, "caption": caption,
        "stats": stats(values, pitch, rays),
    }


def totals(ixy, ratio):
    """The report's three totals: what IXY holds is the transmitted share."""
    transmitted = sum(map(sum, ixy))
    total = transmitted / ratio
    return {"total": "%.6f" % total, "transmitted": "%.6f" % transmitted, "ratio": "%.6f" % (transmitted / total)}


LEGEND = [
    ["sum", "the weight summed over the 41 x 41 cells"],
    ["peak", "the largest weight of one cell"],
    ["peak_at", "the centre of that cell, in the map's unit"],
    ["peak_cell", "the indices [i][j] of that cell"],
    ["centroid", "the weighted mean position of the cell centres"],
    ["rms_width", "the weighted standard deviation of the cell centres about the centroid"],
    ["fwhm", "the full width at half the peak, along the row and column through the peak"],
    ["uniformity_min_mean", "the smallest weight of a lit cell divided by the mean of the lit cells"],
    ["uniformity_std_mean", "the standard deviation of the lit cells divided by their mean"],
    ["lit_cells", "cells with a weight above zero"],
    ["mean_rays_per_lit_cell", "rays that landed in the lit cells, divided by their number"],
]

# A hand-made layout of two lenses, a stop and two index sets, drawn by the
# page: rays from two source points, one of them lost on the stop.
def lens(z, h, bulge):
    return [[round(z + bulge * (1 - (y / h) ** 2), 4), y] for y in (-h, -h / 2, 0, h / 2, h)]


SYSTEM_LAYOUT = {
    "zmin": 0.0, "zmax": 123.0, "ymin": -12.0, "ymax": 12.0, "sets": 2,
    "surfaces": [
        {"number": 1, "type": 1, "mirror": False, "stop": False, "lines": [lens(20, 11, -1.5)]},
        {"number": 2, "type": 1, "mirror": False, "stop": False, "lines": [lens(28, 11, 1.5)]},
        {"number": 3, "type": 6, "mirror": False, "stop": True, "lines": [[[58, 12], [58, 6]], [[58, -6], [58, -12]]]},
        {"number": 4, "type": 1, "mirror": False, "stop": False, "lines": [lens(68, 10, -1.2)]},
        {"number": 5, "type": 1, "mirror": False, "stop": False, "lines": [[[123, -12], [123, 12]]]},
    ],
    "sources": [[0, 1.0], [0, -1.0]],
    "rays": [
        {"set": s, "lost": abs(y0 + 58 * t) > 6,
         "pieces": [[[z, round(y0 + z * t, 4)] for z in
                     ((0, 20, 28, 58) if abs(y0 + 58 * t) > 6 else (0, 20, 28, 58, 68, 123))]]}
        for s in (1, 2) for y0 in (1.0, -1.0) for t in (-0.15, -0.08, 0.0, 0.08, 0.15)
    ],
}


def condenser():
    ixy = grid(lambda a, b: spot(3, -2, 4.5, 5200.0)(a, b) + 0.02 * max(0.0, 60 - a * a - b * b))
    iuv = grid(ring(11, 2.2, 2400.0))
    iuv_p = grid(spot(-1, 2, 2.5, 310.0))
    return {
        "title": "condenser.txt",
        "generated_by": "varnock 0.2.0",
        "run": {
            "sheet": "examples/condenser.txt", "fan_rays": 4927, "source_positions": 600,
            "index_sets": 3, "surfaces": 7, "rays_traced": 4434150, "steps": 31039050,
            "elapsed_seconds": 2.01, "threads": 2, "mode": "fast", "simd": "avx512",
        },
        "totals": totals(ixy, 0.416476),
        "warnings": ['cell C7: "1.5mm</script>" reads as 1.500000',
                     'cell B2: "see C:\\sheets/old.txt" is not a number'],
        "notes": ["The sheet has changed since this run: the page shows the run's results."],
        "maps": [
            map_object("IXY", "IXY: where the rays land", ["x", "y"], "mm", 0.5, ixy,
                       ray_counts(ixy, 3.1), [24, 18], "A spot on the screen, a little off the axis."),
            map_object("IUV", "IUV: which way the rays leave", ["U", "V"], "mrad", 10.0, iuv,
                       ray_counts(iuv, 2.2), None, "A ring of directions."),
            map_object("IUV_P", "IUV_P: directions of the rays through IXY cell (24, 18)", ["U", "V"],
                       "mrad", 10.0, iuv_p, ray_counts(iuv_p, 2.2), None, "The rays of the selected cell."),
        ],
        "stats_legend": LEGEND,
        "system": {
            "layout": SYSTEM_LAYOUT,
            "caption": "Two lenses between the source ring and the screen </script> (drawn by hand).",
            "columns": ["#", "type", "CV", "TH", "RN 1"],
            "rows": [
                ["0", "source plane", "0.000000", "20.000000", "1.000000"],
                ["1", "refracting sphere", "0.020000", "8.000000", "1.516800"],
                ["2", "refracting sphere", "-0.020000", "30.000000", "1.000000"],
                ["3", "refracting sphere", "0.025000", "10.000000", "1.516800"],
                ["4", "refracting sphere", "-0.025000", "60.000000", "1.000000"],
                ["5", "refracting sphere (plane)", "0.000000", "0.000000", "1.000000"],
            ],
        },
    }


def homogeniser():
    ixy = grid(square(6, 88.0, 0.08))
    iuv = grid(lambda a, b: spot(-8, 0, 2.0, 150.0)(a, b) + spot(8, 0, 2.0, 95.0)(a, b))
    iuv_p = [[0.0] * N for _ in range(N)]
    return {
        "title": "OUT_M.txt",
        "generated_by": "varnock 0.2.0",
        "run": None,
        "totals": totals(ixy, 0.973060),
        "warnings": [],
        "notes": [],
        "maps": [
            map_object("IXY", "IXY: where the rays land", ["x", "y"], "mm", 1.0, ixy, None, None,
                       "An evenly lit square."),
            map_object("IUV", "IUV: which way the rays leave", ["U", "V"], "mrad", 10.0, iuv, None, None,
                       "Two bundles of directions."),
            map_object("IUV_P", "IUV_P: directions of the rays through IXY cell (45, 20)", ["U", "V"],
                       "mrad", 10.0, iuv_p, None, None, "The selected cell lies outside the grid."),
        ],
        "stats_legend": LEGEND,
        "system": None,
    }


SAMPLES = {"condenser": condenser, "homogeniser": homogeniser}


def write_samples(folder):
    """Writes every sample as folder/NAME.json; returns {name: path}."""
    paths = {}
    for name, make in SAMPLES.items():
        paths[name] = os.path.join(folder, name + ".json")
        with open(paths[name], "w", encoding="utf-8") as out:
            json.dump(make(), out)
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: sample_data.py OUTDIR")
    os.makedirs(sys.argv[1], exist_ok=True)
    for path in write_samples(sys.argv[1]).values():
        print(path)
