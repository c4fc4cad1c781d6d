"""Opens the optimisation's report page in a headless Chromium and checks that it draws.

    python3 browser_check.py CHROMIUM RENDER_OPTIMIZE_PAGE OUTDIR

Makes a sample optimisation of two variables and two goals over 60
evaluations (a global phase, then a local one; one evaluation without a merit,
two from the cache), renders it to a page with RENDER_OPTIMIZE_PAGE
(varnock_render_optimize_page), and in one driven Chromium checks:
  - the HTML: nothing refers outside the file, the data comes back unchanged;
  - the page draws without script errors; the merit chart is logarithmic (each
    mark's height goes with the logarithm of its merit), leaves out the
    evaluation without a merit and says so, tells the phases and the cached
    evaluations apart, and its best-so-far line steps down to the least merit;
  - one path chart per variable, a mark per evaluation, the bounds, the start
    and the best marked;
  - both maps drawn on one colour scale (every cell's colour is that of its
    value over the larger peak) seen looking along +z, with one colour bar,
    and the readout names the cell under the pointer;
  - the goals' and variables' tables hold the values;
  - the save buttons of the merit chart and the maps give an SVG of their own
    and a PNG at three times its size (the maps after switching them to the
    log scale, as drawn then).
A variant stopped by Ctrl-C with one negative merit and a broken best map:
the page says it was stopped, its merit chart is linear, the map it cannot
use is left out and said so. Data the page cannot draw at all: it says so on
the page. Exits 1 with a message on the first failure.
"""

import copy
import json
import math
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
# The report page's check sits in ../report under the same file name as this
# one: its folder goes first on the path so that the import finds it.
sys.path.insert(0, os.path.join(HERE, "..", "report"))
import browser_check as report_check  # noqa: E402  (the saved figures' checks)
from driven_chromium import Browser, BrowserFailed  # noqa: E402  (put on the path by report_check)

check, CheckFailed = report_check.check, report_check.CheckFailed
SVG_NS = report_check.SVG_NS
N = 41
# The maps figure's geometry (optimize_maps.js, map_plot.js): the room for
# the titles above the maps, each map's width, the grid's corner in a map and
# the cell size.
TITLE_H, MAP_W, MAP_LEFT, MAP_TOP, CELL = 28, 526, 74, 40, 10


# --- the sample -----------------------------------------------------------------

def uniformity(c, z):
    return 0.008 + 8 * (c - 0.34) ** 2 + 0.002 * (z - 22) ** 2


def fwhm(c, z):
    return 6 + 10 * (c - 0.26) + 0.15 * (z - 18)


GOALS = [  # kind, expression, target, weight, scale, unit, the goal's model
    ("minimize", "uniformity(IXY, 10)", None, 1.0, uniformity(0.26, 18), "", uniformity),
    ("target", "fwhm_x(IXY)", 8.0, 0.5, 2.0, "mm", fwhm),
]


def term(kind, value, target, scale):
    return {"minimize": value / scale, "maximize": -value / scale}.get(kind, ((value - (target or 0)) / scale) ** 2)


def merit_at(c, z):
    return sum(w * term(kind, f(c, z), t, s) for kind, _, t, w, s, _, f in GOALS)


def spot(ci, cj, width, height, flat):
    """A 41 x 41 IXY grid indexed [ix][iy]: a spot centred on cell (ci, cj),
    flat-topped when flat; nothing below a thousandth of the peak."""
    grid = []
    for i in range(N):
        col = []
        for j in range(N):
            r2 = ((i - ci) ** 2 + (j - cj) ** 2) / width ** 2
            v = height * math.exp(-(r2 ** (2 if flat else 1)))
            col.append(round(v, 4) if v > height * 1e-3 else 0.0)
        grid.append(col)
    return grid


def sample():
    """A global search over the box (a Halton design, the start first), then a
    local search from its best point closing in on the optimum."""
    lo, hi = (0.1, 10.0), (0.5, 30.0)

    def halton(k, base):
        f, r = 1.0, 0.0
        while k:
            f /= base
            r += f * (k % base)
            k //= base
        return r

    points = [(0.26, 18.0, "global")]
    points += [(lo[0] + (hi[0] - lo[0]) * halton(k, 2), lo[1] + (hi[1] - lo[1]) * halton(k, 3), "global") for k in range(1, 40)]
    c0, z0 = min(points, key=lambda p: merit_at(p[0], p[1]))[:2]
    c1, z1 = min(((lo[0] + 0.002 * a, lo[1] + 0.1 * b) for a in range(201) for b in range(201)), key=lambda p: merit_at(*p))
    for k in range(1, 21):
        closing = 1 - 0.7 ** k
        wobble = 0.6 * 0.75 ** k * math.sin(2.3 * k)
        points.append((c0 + (c1 - c0) * closing + 0.01 * wobble, z0 + (z1 - z0) * closing + wobble, "local"))
    history, best = [], None
    for k, (c, z, phase) in enumerate(points):
        cached = k in (47, 55)
        if cached:  # the search asked for a point it had evaluated: the cache answers
            c, z = history[k - 1]["values"]
        m = None if k == 22 else merit_at(c, z)  # a run whose goal was not a number
        if m is not None and (best is None or m < best):
            best = m
        history.append({"evaluation": k + 1, "merit": m, "best_merit": best, "values": [c, z],
                        "phase": phase, "cached": cached})
    at = min((k for k, h in enumerate(history) if h["merit"] is not None), key=lambda k: history[k]["merit"])
    cb, zb = history[at]["values"]
    weighted = [w * term(kind, f(cb, zb), t, s) for kind, _, t, w, s, _, f in GOALS]
    goals = []
    for (kind, expression, target, weight, scale, unit, f), wt in zip(GOALS, weighted):
        goals.append({
            "kind": kind, "expression": expression, "target": target, "weight": weight, "scale": scale,
            "start": f(0.26, 18), "best": f(cb, zb), "start_term": term(kind, f(0.26, 18), target, scale),
            "best_term": term(kind, f(cb, zb), target, scale), "contribution": wt / sum(weighted),
            "exact_start": f(0.26, 18) * 1.04, "exact_best": f(cb, zb) * 1.07, "unit": unit})
    return {
        "title": "optimize of homogeniser.txt", "generated_by": "varnock 0.2.0", "sheet": "homogeniser.txt",
        "method": "global", "algorithm": "DIRECT-L, then Sbplx from its best point",
        "smoothing": True, "mode": "fast", "seed": 1, "evaluations": 80, "evaluations_run": len(history),
        "elapsed_seconds": 41.2, "stopped": False,
        "notes": ["The goals were computed from smoothed maps; the exact runs check them."],
        "variables": [
            {"name": "CV3", "cell": "B23", "lo": 0.1, "hi": 0.5, "start": 0.26, "best": cb, "step": 0.04},
            {"name": "DZ4", "cell": "C24", "lo": 10, "hi": 30, "start": 18, "best": zb, "step": 2}],
        "goals": goals,
        "merit": {"start": history[0]["merit"], "best": history[at]["merit"],
                  "exact_start": history[0]["merit"] * 1.05, "exact_best": history[at]["merit"] * 1.1},
        "history": history,
        # The start's spot is small, bright and off the axis; the best's wide and flat.
        "maps": {"pitch": 0.5, "unit": "mm", "start": spot(24, 18, 4, 120, False), "best": spot(20, 21, 9, 47.5, True)},
    }


def stopped_variant(data):
    """Stopped by Ctrl-C, one merit negative (a goal to maximise outweighed the
    rest), the best run's map cut short."""
    d = copy.deepcopy(data)
    d["stopped"] = True
    d["history"][30]["merit"] = -0.25
    d["maps"]["best"] = d["maps"]["best"][:40]
    return d


# --- what the page says: the numbers formatted as format.js does ----------------

def fmt(v):
    if v is None:
        return "\u2013"
    check(v == 0 or 1e-4 <= abs(v) < 1e6, f"the sample's value {v} lies outside what fmt() here formats")
    return "%.6g" % v


def with_unit(v, unit):
    return f"{fmt(v)} {unit}" if v is not None and unit else fmt(v)


def contribution_text(c):
    if c is None:
        return "\u2013"
    p = float("%.3g" % (c * 100))
    return ("\u2212" if p < 0 else "") + "%g %%" % abs(p)


# --- reading the page -----------------------------------------------------------

# Run in the page once it has drawn: everything the checks look at.
READ = r"""(() => {
  const q = (s, r) => [...(r || document).querySelectorAll(s)];
  const centreY = (e) => { const b = e.getBBox(); return b.y + b.height / 2; };
  const chart = document.querySelector("#merit g.merit-chart");
  const cellsOf = (g) => q("g[shape-rendering] rect", g).map((r) =>
    [+r.getAttribute("x"), +r.getAttribute("y"), +r.getAttribute("width"), r.getAttribute("fill")]);
  const rowOf = (tr) => Object.fromEntries(q("td[data-col]", tr).map((td) => [td.dataset.col, td.textContent]));
  return {
    title: document.querySelector("h1") ? document.querySelector("h1").textContent : "",
    notes: q("aside.notes li").map((e) => e.textContent),
    shown: document.getElementById("report").textContent,
    scale: chart && chart.dataset.scale,
    marks: q("#merit .pt.merit").map((e) => ({ evaluation: +e.dataset.evaluation, merit: +e.dataset.merit,
      phase: e.dataset.phase, y: centreY(e), shape: e.tagName, hollow: e.getAttribute("fill") === "#fff" })),
    bestLine: (document.querySelector("#merit path.best-line") || { getAttribute: () => "" }).getAttribute("d"),
    missing: (document.getElementById("merit-missing") || {}).textContent || "",
    paths: q("#paths figure.path").map((f) => ({ name: f.dataset.figure, marks: q(".pt.value", f).map((e) => +e.dataset.v),
      bounds: q("line.bound", f).map((e) => +e.dataset.v), start: q(".pt.start", f).map((e) => +e.dataset.v),
      best: q(".pt.best", f).map((e) => +e.dataset.v) })),
    maps: q("#maps-figure g.ixy").map((g) => ({ run: g.dataset.map, cells: cellsOf(g) })),
    bars: q("#maps-figure g.colour-bar").map((g) => q("rect", g).length),
    figureWidth: +document.querySelector("#maps-figure svg").getAttribute("width"),
    goals: q("#goals tr[data-goal]").map((tr) => ({ expression: tr.querySelector("code").textContent, ...rowOf(tr) })),
    meritRow: rowOf(document.querySelector("#goals tr.merit-row")),
    variables: q("#variables tr[data-variable]").map((tr) => ({ name: tr.querySelector("th").textContent,
      cell: tr.querySelectorAll("td")[0].textContent, ...rowOf(tr) })),
    colormap: JSON.parse(document.getElementById("colormap").textContent),
  };
})()"""


def point_at_cell(browser, run, i, j):
    """Moves the pointer over cell [i][j] of a map; returns the readout."""
    x = (0 if run == "start" else MAP_W) + MAP_LEFT + (i + 0.5) * CELL
    y = TITLE_H + MAP_TOP + (N - 1 - j + 0.5) * CELL
    return browser.evaluate(f"""(() => {{
      const holder = document.getElementById("maps-figure"), svg = holder.querySelector("svg");
      const b = svg.getBoundingClientRect(), w = +svg.getAttribute("width"), h = +svg.getAttribute("height");
      holder.dispatchEvent(new MouseEvent("mousemove", {{ bubbles: true,
        clientX: b.left + {x} * b.width / w, clientY: b.top + {y} * b.height / h }}));
      return document.getElementById("maps-readout").textContent;
    }})()""")


# --- the checks -----------------------------------------------------------------

def check_html(name, page_html, data):
    for bad in ("http://", "https://"):
        check(bad not in page_html.lower(), f"{name}: the page contains {bad!r}")
    check(not re.search(r"<script[^>]*\bsrc\s*=|<link\b|<img\b|@import|\burl\(", page_html, re.I),
          f"{name}: the page refers to another file")
    check("@media print" in page_html, f"{name}: the page has no print styles")
    found = re.search(r'<script type="application/json" id="optimize-data">(.*?)</script>', page_html, re.S)
    check(found and json.loads(found.group(1)) == data, f"{name}: the page does not carry the data it was given")


def fits_line(xs, ys, tolerance):
    """Whether the points (x, y) lie on one straight line within tolerance in y."""
    k0, k1 = xs.index(min(xs)), xs.index(max(xs))
    slope = (ys[k1] - ys[k0]) / (xs[k1] - xs[k0])
    return max(abs(ys[k0] + slope * (x - xs[k0]) - y) for x, y in zip(xs, ys)) <= tolerance


def check_merit(name, page, data):
    history = data["history"]
    drawn = [h for h in history if h["merit"] is not None]
    marks = page["marks"]
    check([m["evaluation"] for m in marks] == [h["evaluation"] for h in drawn],
          f"{name}: the merit chart marks evaluations {[m['evaluation'] for m in marks]}, not those with a merit")
    missing = len(history) - len(drawn)
    check(not missing or f"{missing} evaluation" in page["missing"] and "left out" in page["missing"],
          f"{name}: the chart does not say that {missing} evaluation(s) without a merit are left out: {page['missing']!r}")
    positive = all(h["merit"] > 0 for h in drawn)
    wanted = "log" if positive else "linear"
    check(page["scale"] == wanted, f"{name}: the merit chart's scale is {page['scale']}, not {wanted}")
    # Each mark's height: a straight line in the logarithm of the merit on a
    # log scale, in the merit itself on a linear one (half a pixel of
    # rounding in the marks' coordinates).
    ys = [m["y"] for m in marks]
    values = [math.log10(h["merit"]) if positive else h["merit"] for h in drawn]
    check(fits_line(values, ys, 1.0), f"{name}: the marks' heights do not follow a {wanted} scale of the merit")
    other = [h["merit"] for h in drawn] if positive else None
    check(other is None or not fits_line(other, ys, 5.0), f"{name}: the log chart's marks follow a linear scale")
    # Phases by shape, cached evaluations hollow.
    shapes = {}
    for m, h in zip(marks, drawn):
        check(m["phase"] == h["phase"] and m["hollow"] == h["cached"], f"{name}: the mark of evaluation {h['evaluation']} does not show its phase and whether it was cached")
        shapes.setdefault(h["phase"], set()).add(m["shape"])
    check(all(len(s) == 1 for s in shapes.values()) and len(set.union(*shapes.values())) == len(shapes),
          f"{name}: the phases' marks are not told apart by their shapes: {shapes}")
    # The best-so-far line ends at the height of the least merit and never rises.
    steps = [float(v) for v in re.findall(r"[ML][-\d.]+,([-\d.]+)", page["bestLine"])]
    least = min(range(len(drawn)), key=lambda k: drawn[k]["merit"])
    check(steps and abs(steps[-1] - ys[least]) < 1.5, f"{name}: the best-so-far line does not end at the least merit")
    check(all(b >= a - 0.01 for a, b in zip(steps, steps[1:])), f"{name}: the best-so-far line rises")


def check_paths(name, page, data):
    check(len(page["paths"]) == len(data["variables"]), f"{name}: {len(page['paths'])} path charts, not one per variable")
    for k, (v, p) in enumerate(zip(data["variables"], page["paths"])):
        check(p["name"] == f"path-{v['name']}", f"{name}: the path chart {p['name']} is not that of {v['name']}")
        check(p["marks"] == [h["values"][k] for h in data["history"]], f"{name}: the path of {v['name']} is not its values")
        check(sorted(p["bounds"]) == [v["lo"], v["hi"]] and p["start"] == [v["start"]] and p["best"] == [v["best"]],
              f"{name}: the path of {v['name']} does not mark its bounds, start and best: {p['bounds']} {p['start']} {p['best']}")


def cell_entries(name, cells, table):
    """The colour-table entry of every cell of a map, [i][j], from its rectangles
    (runs of equal colour along a row) as seen looking along +z."""
    entry = {f"rgb({r},{g},{b})": k for k, (r, g, b) in enumerate(table)}
    grid = [[None] * N for _ in range(N)]
    for x, y, w, fill in cells:
        check(fill in entry, f"{name}: a cell has the colour {fill}, which is not in the colour table")
        row = round((y - MAP_TOP) / CELL)
        for col in range(round((x - MAP_LEFT) / CELL), round((x - MAP_LEFT + w) / CELL)):
            check(grid[col][N - 1 - row] is None, f"{name}: cell column {col}, row {row} is drawn twice")
            grid[col][N - 1 - row] = entry[fill]
    check(all(e is not None for col in grid for e in col), f"{name}: not every cell of the map is drawn")
    return grid


def check_maps(name, page, data):
    runs = [run for run in ("start", "best") if len(data["maps"][run] or []) == N]
    drawn = {m["run"]: m["cells"] for m in page["maps"]}
    check(sorted(drawn) == ["best", "start"], f"{name}: the maps figure holds {sorted(drawn)}, not the start and the best")
    check(page["bars"] == [257], f"{name}: the maps have colour bars of {page['bars']} rectangles, not one of 256 colours and a frame")
    check(page["figureWidth"] == 2 * MAP_W + 14 + 18 + 84 + 26, f"{name}: the maps figure is {page['figureWidth']} wide")
    # One scale: every cell is coloured by its value over the larger peak.
    hi = max(v for run in runs for col in data["maps"][run] for v in col)
    for run in runs:
        got = cell_entries(f"{name} {run}", drawn[run], page["colormap"])
        for i, col in enumerate(data["maps"][run]):
            for j, v in enumerate(col):
                want = 0 if v <= 0 else 255 if v >= hi else min(255, math.floor(v / hi * 256))
                check(got[i][j] == want, f"{name}: cell [{i}][{j}] of the {run} map has colour {got[i][j]}, on the shared scale {want}")
    for run in set(drawn) - set(runs):
        check(not drawn[run] and f"no map of the {run} run" in page["shown"], f"{name}: the missing {run} map is not said to be missing")


def check_tables(name, page, data):
    check(len(page["goals"]) == len(data["goals"]), f"{name}: the goals table has {len(page['goals'])} rows")
    for g, row in zip(data["goals"], page["goals"]):
        u = g["unit"]
        wanted = {"expression": g["expression"], "aim": g["kind"] if g["kind"] != "target" else f"target {with_unit(g['target'], u)}",
                  "weight": fmt(g["weight"]), "scale": with_unit(g["scale"], u), "start": with_unit(g["start"], u),
                  "best": with_unit(g["best"], u), "exact_start": with_unit(g["exact_start"], u),
                  "exact_best": with_unit(g["exact_best"], u), "contribution": contribution_text(g["contribution"])}
        check(row == wanted, f"{name}: the goal {g['expression']} reads {row}, not {wanted}")
    m = data["merit"]
    wanted = {k: fmt(m[k]) for k in ("start", "best", "exact_start", "exact_best")}
    check(page["meritRow"] == wanted, f"{name}: the merit row reads {page['meritRow']}, not {wanted}")
    for v, row in zip(data["variables"], page["variables"]):
        wanted = {"name": v["name"], "cell": v["cell"], **{k: fmt(v[k]) for k in ("lo", "hi", "start", "best", "step")}}
        check(row == wanted, f"{name}: the variable {v['name']} reads {row}, not {wanted}")
    check(len(page["variables"]) == len(data["variables"]), f"{name}: the variables table has {len(page['variables'])} rows")


def check_saved(name, browser, data):
    """The merit chart and, switched to the log scale, the maps, saved with
    their buttons."""
    saved = {}
    browser.click('input[name="maps-scale"][value="log"]')
    for figure in ("merit", "IXY"):
        files = {}
        for fmt_ in ("svg", "png"):
            browser.click(f'.save[data-figure="{figure}"] button[data-format="{fmt_}"]')
            files[fmt_] = browser.wait_for_download(timeout=30)
            check(files[fmt_].endswith(f"-{figure}.{fmt_}"), f"{name}: {figure} was saved as {files[fmt_]}")
        root = report_check.saved_svg(f"{name} {figure}", files["svg"])
        report_check.check_saved_png(f"{name} {figure}", files["png"], root)
        saved[figure] = root
    marks = [e for e in saved["merit"].iter() if "merit" in (e.get("class") or "").split()]
    drawn = sum(1 for h in data["history"] if h["merit"] is not None)
    check(len(marks) == drawn, f"{name}: the saved merit chart has {len(marks)} marks, not {drawn}")
    maps = [g for g in saved["IXY"].iter(SVG_NS + "g") if g.get("class") == "ixy"]
    cells = [sum(round(float(r.get("width")) / CELL) for g2 in g.iter(SVG_NS + "g") if g2.get("shape-rendering")
                 for r in g2.iter(SVG_NS + "rect")) for g in maps]
    check(cells == [N * N, N * N], f"{name}: the saved maps have {cells} cells, not {N * N} each")
    texts = " ".join(t.text or "" for t in saved["IXY"].iter(SVG_NS + "text"))
    check("logarithmic scale, both maps" in texts, f"{name}: the saved maps are not on the log scale they were switched to")
    print(f"ok {name}: the merit chart and the maps saved as PNG and SVG from the page")


def render_page(render, data, path):
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f)
    page = os.path.splitext(path)[0] + ".html"
    done = subprocess.run([render, path, page], capture_output=True, timeout=report_check.TIMEOUT)
    check(done.returncode == 0, f"{render} failed on {path}: {done.stderr.decode(errors='replace')}")
    with open(page, encoding="utf-8") as f:
        return page, f.read()


def open_page(browser, name, page):
    rendered = browser.open(report_check.file_url(page))
    check(rendered == "true", f"{name}: the page did not render: " +
          (browser.evaluate("(document.getElementById('render-failed') || {}).textContent || ''") or "")[:800])
    return browser.evaluate(READ)


def check_drawn(name, page, data):
    check(page["title"] == data["title"], f"{name}: the title is not shown")
    for note in data["notes"]:
        check(note in page["notes"], f"{name}: the note {note!r} is not shown")
    check(not re.search(r"error|undefined|NaN", page["shown"]), f"{name}: the page shows " +
          " / ".join(m.group(0) for m in re.finditer(r".{0,60}(error|undefined|NaN).{0,60}", page["shown"])))


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: browser_check.py CHROMIUM RENDER_OPTIMIZE_PAGE OUTDIR")
    chromium, render, outdir = sys.argv[1:4]
    os.makedirs(outdir, exist_ok=True)
    start = time.monotonic()
    try:
        data = sample()
        stopped = stopped_variant(data)
        pages = {name: render_page(render, d, os.path.join(outdir, name + ".json"))
                 for name, d in (("optimize", data), ("stopped", stopped), ("unusable", [1, 2, 3]))}
        check_html("optimize", pages["optimize"][1], data)
        with Browser(chromium, download_dir=os.path.join(outdir, "saved"), timeout=report_check.TIMEOUT) as browser:
            page = open_page(browser, "optimize", pages["optimize"][0])
            check_drawn("optimize", page, data)
            check(not any("stopped" in n for n in page["notes"]), "optimize: the page says it was stopped")
            check_merit("optimize", page, data)
            check_paths("optimize", page, data)
            check_maps("optimize", page, data)
            check_tables("optimize", page, data)
            readout = point_at_cell(browser, "start", 24, 18)
            check(readout.startswith("start run, cell [24][18]: x = 2 mm, y = -1 mm; value 120"),
                  f"optimize: pointing at the start map's peak reads {readout!r}")
            browser.check_no_errors("optimize")
            print("ok optimize: merit on a log scale, paths, maps on one scale, tables")
            check_saved("optimize", browser, data)
            browser.check_no_errors("optimize (saving)")

            page = open_page(browser, "stopped", pages["stopped"][0])
            check_drawn("stopped", page, stopped)
            check(page["notes"] and "stopped (Ctrl-C) after 60 of at most 80 evaluations" in page["notes"][0]
                  and "best point found so far" in page["notes"][0], f"stopped: the first note does not say so: {page['notes']}")
            check(any("map of the best run is not a 41" in n for n in page["notes"]), "stopped: the broken map is not noted")
            check_merit("stopped", page, stopped)
            check_maps("stopped", page, stopped)
            browser.check_no_errors("stopped")
            print("ok stopped: said first, merit on a linear scale, the broken map left out")

            rendered = browser.open(report_check.file_url(pages["unusable"][0]))
            failure = browser.evaluate("(document.getElementById('render-failed') || {}).textContent || ''")
            check(rendered == "error" and "could not be drawn" in failure,
                  "unusable: the page does not say that it could not be drawn")
            print("ok unusable data: the failure is shown on the page")
    except BrowserFailed as failure:
        print(f"optimize browser check FAILED: {failure}", file=sys.stderr)
        return 1
    except CheckFailed as failure:
        print(f"optimize browser check FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"optimize browser check passed in {time.monotonic() - start:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
