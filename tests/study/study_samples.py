"""Study data objects, as varnock hands them to the study page, for the
browser check:

  sweep_rsrc   a sweep of the source ring radius RSRC over 8 values, one point
               failed (no quantities, no map);
  sweep_grid   a grid sweep of RSRC (4 values) by the source distance TH0
               (3 values), one point whose beam misses the IXY window (ratio 0,
               an empty map, no map statistics), and a sheet warning holding a
               web address and a closing script tag;
  trials       40 trials and the nominal system, TH0 jittered normal:0.2 and
               RSRC uniform:0.3, one trial failed: the ratio rises with TH0
               and falls with RSRC, by clearly more than the noise;
  sweep_zip    70 points of three cells paired one by one, each with its map:
               more than the strip shows.

The quantities and IXY statistics of each point are worked out from its own
map, so the numbers on a page belong together.

    python3 study_samples.py OUTDIR   writes OUTDIR/NAME.json for each
"""

import json
import math
import os
import random
import sys

N, MID = 41, 20
PITCH = 0.5           # mm per IXY cell
FAN_WEIGHT = 1523.4   # the total weight of every point: the fan does not change

QUANTITIES = [
    ("ratio", "ratio transmitted / total"), ("total", "total weight"), ("transmitted", "transmitted weight"),
    ("IXY_peak", "IXY peak"), ("IXY_fwhm_x", "IXY FWHM x (mm)"), ("IXY_fwhm_y", "IXY FWHM y (mm)"),
    ("IXY_centroid_x", "IXY centroid x (mm)"), ("IXY_centroid_y", "IXY centroid y (mm)"),
    ("IXY_rms_x", "IXY RMS width x (mm)"), ("IXY_rms_y", "IXY RMS width y (mm)"),
    ("IXY_uniformity_std_mean", "IXY std / mean"), ("IUV_peak", "IUV peak"),
]
# What the browser check expects of the trials: the sign of each jittered
# cell's correlation with the ratio.
TRIAL_SIGNS = {"TH0": +1, "RSRC": -1}


def spot_map(weight, cx, cy, width):
    """A Gaussian spot of the given weight centred at (cx, cy) mm, width in
    mm; what falls outside the window is lost. Rounded as the report file
    rounds."""
    raw = [[math.exp(-(((i - MID) * PITCH - cx) ** 2 + ((j - MID) * PITCH - cy) ** 2) / (2 * width**2))
            for j in range(N)] for i in range(N)]
    # The spot's whole weight over the plane, cell by cell: the window keeps
    # only part of it when the spot is wide or off centre.
    plane = 2 * math.pi * (width / PITCH) ** 2
    return [[round(weight * v / plane, 6) for v in col] for col in raw]


def fwhm(profile):
    top = max(profile)
    if top <= 0:
        return 0.0
    k = profile.index(top)
    lo = hi = k
    while lo > 0 and profile[lo - 1] >= top / 2:
        lo -= 1
    while hi < N - 1 and profile[hi + 1] >= top / 2:
        hi += 1
    left = lo - (profile[lo] - top / 2) / (profile[lo] - profile[lo - 1]) if lo > 0 else lo
    right = hi + (profile[hi] - top / 2) / (profile[hi] - profile[hi + 1]) if hi < N - 1 else hi
    return (right - left) * PITCH


def quantities(ixy, iuv_peak):
    transmitted = sum(map(sum, ixy))
    q = {"total": FAN_WEIGHT, "transmitted": round(transmitted, 6), "ratio": round(transmitted / FAN_WEIGHT, 6)}
    keys = [k for k, _ in QUANTITIES if k.startswith("IXY_")]
    if transmitted <= 0:
        q.update({k: None for k in keys})  # an empty map has no statistics
    else:
        cells = [(ixy[i][j], i, j) for i in range(N) for j in range(N)]
        peak, pi, pj = max(cells)
        cx = sum(v * (i - MID) for v, i, _ in cells) / transmitted
        cy = sum(v * (j - MID) for v, _, j in cells) / transmitted
        lit = [v for v, _, _ in cells if v > 0]
        mean = sum(lit) / len(lit)
        q.update({
            "IXY_peak": peak,
            "IXY_fwhm_x": fwhm([ixy[i][pj] for i in range(N)]), "IXY_fwhm_y": fwhm(ixy[pi]),
            "IXY_centroid_x": cx * PITCH, "IXY_centroid_y": cy * PITCH,
            "IXY_rms_x": math.sqrt(sum(v * (i - MID - cx) ** 2 for v, i, _ in cells) / transmitted) * PITCH,
            "IXY_rms_y": math.sqrt(sum(v * (j - MID - cy) ** 2 for v, _, j in cells) / transmitted) * PITCH,
            "IXY_uniformity_std_mean": math.sqrt(sum((v - mean) ** 2 for v in lit) / len(lit)) / mean,
        })
    q["IUV_peak"] = iuv_peak
    return {k: (round(v, 6) if isinstance(v, float) else v) for k, v in q.items()}


def point(index, values, texts, ixy, iuv_peak):
    return {"index": index, "values": values, "texts": texts, "ok": True, "message": "",
            "q": quantities(ixy, iuv_peak), "ixy": ixy}


def failed_point(index, values, texts, message):
    return {"index": index, "values": values, "texts": texts, "ok": False, "message": message,
            "q": {k: None for k, _ in QUANTITIES}, "ixy": None}


def study(kind, title, parameters, points, notes, grid=None, jitter=None, elapsed=3.7):
    return {
        "kind": kind, "title": title, "generated_by": "varnock 0.2.0",
        "summary": {"points": len(points), "failed": sum(not p["ok"] for p in points),
                    "elapsed_seconds": elapsed, "threads": 2},
        "notes": notes,
        "parameters": [{"name": n, "cell": c, "unit_hint": u} for n, c, u in parameters],
        "grid": grid, "jitter": jitter,
        "quantities": [{"key": k, "label": label} for k, label in QUANTITIES],
        "points": points, "ixy_pitch": PITCH,
    }


def text(v):
    return repr(float(v)) if v != int(v) else str(int(v))


def sweep_rsrc():
    """A wider source ring makes a wider spot that the window clips."""
    values = [0.5 * (k + 1) for k in range(8)]
    points = []
    for k, r in enumerate(values):
        if k == 5:
            points.append(failed_point(k, [r], [text(r)],
                                       "point 5 (RSRC = 3): OUT_M.txt could not be written: no space left on the device"))
            continue
        width = 0.9 + 0.75 * r
        weight = FAN_WEIGHT * 0.71 * math.exp(-0.05 * r * r)
        points.append(point(k, [r], [text(r)], spot_map(weight, 0.0, 0.0, width), round(40.0 / (1 + r), 6)))
    return study("sweep", "condenser.txt", [("RSRC", "C7", "mm")], points,
                 ["1 of 8 points failed: it is listed with its message in the table of points."], elapsed=4.1)


def sweep_grid():
    """RSRC widens the spot, the source distance TH0 moves it off centre; at
    the largest of both the beam misses the window altogether."""
    rs, ths = [0.5, 1.0, 1.5, 2.0], [8.0, 10.0, 12.0]
    points = []
    for i0, r in enumerate(rs):
        for i1, th in enumerate(ths):
            k = i0 * len(ths) + i1
            width = 0.8 + 0.7 * r + 0.25 * abs(th - 10)
            shift = 1.6 * (th - 10) * r
            weight = FAN_WEIGHT * (0.78 - 0.06 * r - 0.015 * (th - 10) ** 2)
            if (r, th) == (2.0, 12.0):
                ixy = [[0.0] * N for _ in range(N)]  # the beam passes beside the window
            else:
                ixy = spot_map(weight, shift, 0.3 * shift, width)
            points.append(point(k, [r, th], [text(r), text(th)], ixy, round(30.0 / (1 + r) + th, 6)))
    notes = ['Sheet warning: cell H21 holds "see https://varnock.invalid/notes </script>", which reads as 0.']
    return study("sweep", "condenser.txt", [("RSRC", "C7", "mm"), ("TH0", "C20", "mm")], points, notes,
                 grid={"shape": [len(rs), len(ths)]}, elapsed=6.25)


def trials():
    rng = random.Random(20240611)
    nominal_th, nominal_r = 10.0, 1.5

    def system(th, r, noise):
        width = 0.9 + 0.75 * r
        weight = FAN_WEIGHT * (0.62 + 0.25 * (th - nominal_th) - 0.3 * (r - nominal_r) + noise)
        return spot_map(weight, 0.0, 0.0, width), round(30.0 / (1 + r), 6)

    ixy, iuv = system(nominal_th, nominal_r, 0.0)
    points = [point(0, [nominal_th, nominal_r], ["", ""], ixy, iuv)]
    for k in range(1, 41):
        th = round(nominal_th + rng.gauss(0, 0.2), 6)
        r = round(nominal_r + rng.uniform(-0.3, 0.3), 6)
        if k == 13:
            points.append(failed_point(k, [th, r], [text(th), text(r)],
                                       "trial 13 (TH0 = %s, RSRC = %s): the run was stopped before it finished" % (text(th), text(r))))
            continue
        ixy, iuv = system(th, r, rng.gauss(0, 0.01))
        points.append(point(k, [th, r], [text(th), text(r)], ixy, iuv))
    # How each cell is drawn goes in as "kind:width" text.
    jitter = [{"name": "TH0", "draw": "normal:0.2", "nominal": nominal_th},
              {"name": "RSRC", "draw": "uniform:0.3", "nominal": nominal_r}]
    return study("trials", "condenser.txt", [("TH0", "C20", "mm"), ("RSRC", "C7", "mm")], points,
                 ["1 of 41 points failed: it is left out of the distributions and correlations."],
                 jitter=jitter, elapsed=9.8)


def sweep_zip():
    points = []
    for k in range(70):
        r, th, scan = round(0.5 + 0.05 * k, 6), round(9.0 + 0.04 * k, 6), round(0.02 * (k % 7), 6)
        width = 0.9 + 0.6 * r
        weight = FAN_WEIGHT * (0.7 - 0.004 * k)
        ixy = spot_map(weight, 3.0 * math.sin(k / 9), 3.0 * math.cos(k / 9), width)
        points.append(point(k, [r, th, scan], [text(r), text(th), text(scan)], ixy, round(20 + k / 10, 6)))
    return study("sweep", "homogeniser.txt", [("RSRC", "C7", "mm"), ("TH0", "C20", "mm"), ("WSCAN", "C8", "mm")],
                 points, [], elapsed=21.0)


SAMPLES = {"sweep_rsrc": sweep_rsrc, "sweep_grid": sweep_grid, "trials": trials, "sweep_zip": sweep_zip}


def write_samples(outdir):
    """Writes every sample; returns {name: path}."""
    os.makedirs(outdir, exist_ok=True)
    paths = {}
    for name, make in SAMPLES.items():
        paths[name] = os.path.join(outdir, name + ".json")
        with open(paths[name], "w", encoding="utf-8") as f:
            json.dump(make(), f, separators=(",", ":"))
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: study_samples.py OUTDIR")
    for name, path in write_samples(sys.argv[1]).items():
        print(name, path)
