"""Opens the study report pages in a headless Chromium and checks that they draw.

    python3 browser_check.py CHROMIUM RENDER_STUDY_PAGE OUTDIR

Writes the sample studies of study_samples.py into OUTDIR, renders each to a
page with RENDER_STUDY_PAGE (varnock_render_study_page) and, for each page:
  - reads the HTML: nothing refers outside the file, the data object comes
    back unchanged from the page, the colour table is the report's viridis;
  - dumps the DOM after the page's script has run: it says it rendered, no
    failure or error is shown, the charts, the strip (one canvas per map
    shown, at most 60) and the table of points are there, and what the page
    worked out (the histograms' counts, the correlations and their signs, the
    percentiles) agrees with the same sums done here, and the maps of the
    strip, read back from their canvases, share one colour scale;
  - takes a 1400 x 4000 screenshot (of the three samples with different
    charts): not blank, many colours, the maps' colours among them; no two
    pages' screenshots look alike.
Two more pages from damaged data: one the page can still draw (and says what
it left out), one it cannot (it must say so on the page, not fail silently).
Any "Uncaught" JavaScript error in Chromium's log fails the check. Exits 1
with a message on the first failure.
"""

import copy
import html
import json
import math
import os
import re
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from html.parser import HTMLParser

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
# The report page's check sits in ../report under the same file name as this
# one: its folder goes first on the path so that the import finds it.
sys.path.insert(0, os.path.join(HERE, "..", "report"))
import browser_check as report_check  # noqa: E402  (Chromium's flags, the PNG decoding)
sys.path.insert(0, HERE)
import study_samples  # noqa: E402

check, CheckFailed = report_check.check, report_check.CheckFailed
COLORMAP_H = os.path.join(HERE, "..", "..", "src", "report", "colormap.h")
THUMB_PIXELS = (3 * 41) ** 2
STRIP_MAX = 60
TRIAL_KEYS = ["ratio", "transmitted", "IXY_peak"]
# The pages photographed: one of each kind of chart (the fourth, a chart
# against the index like the damaged page's, is checked in its DOM alone, to
# keep the check short).
SCREENSHOTS = ("sweep_rsrc", "sweep_grid", "trials")


# The pages whose save buttons are pressed: the heat map of a grid sweep,
# and a trials page's histogram and scatter.
SAVED = ("sweep_grid", "trials")


# --- the DOM ------------------------------------------------------------------

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "source", "track", "wbr"}


class Dom(HTMLParser):
    """The elements of a dumped page, each with its attributes, the ids of the
    elements it lies in and its text (without that of scripts and styles)."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.stack, self.elements = [], []
        self.feed(text)
        self.close()

    def handle_starttag(self, tag, attrs):
        a = {k: (v if v is not None else "") for k, v in attrs}
        within = {e["attrs"]["id"] for e in self.stack if "id" in e["attrs"]}
        if "id" in a:
            within.add(a["id"])
        el = {"tag": tag, "attrs": a, "within": within, "classes": set(a.get("class", "").split()), "text": []}
        self.elements.append(el)
        if tag not in VOID:
            self.stack.append(el)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        for k in range(len(self.stack) - 1, -1, -1):
            if self.stack[k]["tag"] == tag:
                del self.stack[k:]
                return

    def handle_data(self, data):
        if any(e["tag"] in ("script", "style") for e in self.stack):
            return
        for e in self.stack:
            e["text"].append(data)

    def find(self, tag=None, cls=None, within=None, **attrs):
        return [e for e in self.elements
                if (tag is None or e["tag"] == tag) and (cls is None or cls in e["classes"])
                and (within is None or within in e["within"])
                and all(e["attrs"].get(k.replace("_", "-")) == v for k, v in attrs.items())]

    def text(self, el_id):
        found = self.find(id=el_id)
        return " ".join("".join(found[0]["text"]).split()) if found else ""


def dump(chromium, page, label):
    return report_check.run_chromium(chromium, report_check.file_url(page), ["--dump-dom"], label)


# --- the sums the page does, done here ------------------------------------------

def pearson(xs, ys):
    n = len(xs)
    mx, my = sum(xs) / n, sum(ys) / n
    sxy = sum((x - mx) * (y - my) for x, y in zip(xs, ys))
    sxx = sum((x - mx) ** 2 for x in xs)
    syy = sum((y - my) ** 2 for y in ys)
    return sxy / math.sqrt(sxx * syy)


def percentile(values, p):
    h = (len(values) - 1) * p
    lo = math.floor(h)
    return values[lo] + (h - lo) * (values[lo + 1] - values[lo]) if lo + 1 < len(values) else values[lo]


def close(a, b, rel=1e-9):
    return abs(a - b) <= rel * max(1.0, abs(a), abs(b))


def trial_values(data, key):
    return [p["q"][key] for p in data["points"] if p["index"] >= 1 and p["ok"] and p["q"].get(key) is not None]


# --- the checks -------------------------------------------------------------------

def viridis():
    with open(COLORMAP_H, encoding="utf-8") as f:
        table = re.search(r"VIRIDIS = \{\{(.*?)\}\};", f.read(), re.S).group(1)
    return [[int(c) for c in m] for m in re.findall(r"\{\s*(\d+),\s*(\d+),\s*(\d+)\}", table)]


def check_html(name, page_html, data, colours):
    for bad in ("http://", "https://"):
        check(bad not in page_html.lower(), f"{name}: the page contains {bad!r}")
    check(not re.search(r"<script[^>]*\bsrc\s*=", page_html, re.I), f"{name}: the page loads an external script")
    # (\burl: CSS's url(), not the script's URL.createObjectURL( for the save buttons.)
    check(not re.search(r"<link\b|<img\b|@import|\burl\(", page_html, re.I), f"{name}: the page refers to another file")
    check("@media print" in page_html, f"{name}: the page has no print styles")
    found = re.search(r'<script type="application/json" id="study-data">(.*?)</script>', page_html, re.S)
    check(found, f"{name}: the page carries no study data")
    carried = json.loads(found.group(1))
    # The trials' statistics are added to the data where the page is made
    # (check_trials compares them with the sums done here); the rest of the
    # data goes in as it was given.
    if data.get("kind") == "trials" and isinstance(data, dict):
        check(isinstance(carried.pop("statistics", None), dict), f"{name}: the trials page carries no statistics")
    check(carried == data, f"{name}: the data the page carries is not the data it was given")
    table = re.search(r'<script type="application/json" id="colormap">(.*?)</script>', page_html, re.S)
    check(table and json.loads(table.group(1)) == colours, f"{name}: the page's colour table is not viridis of colormap.h")


def check_common(name, dom, data):
    body = dom.find("body")
    check(body and body[0]["attrs"].get("data-rendered") == "true",
          f"{name}: the page did not finish rendering (body: {body[0]['attrs'] if body else None})")
    check(not dom.find(id="render-failed"), f"{name}: the page shows a failure: {dom.text('render-failed')[:800]}")
    shown = dom.text("report")
    check(not re.search(r"error", shown, re.I), f"{name}: the page shows an error: " +
          " / ".join(m.group(0) for m in re.finditer(r".{0,80}error.{0,80}", shown, re.I)))
    check(" ".join("".join(dom.find("h1")[0]["text"]).split()) == data["title"], f"{name}: the title is not shown")
    for note in data["notes"]:
        check(note in shown, f"{name}: the note {note!r} is not shown")
    check(dom.find(id="charts") and dom.find("svg", within="charts"), f"{name}: there are no charts")
    # The strip: one canvas per map, at most 60 of them, evenly spaced.
    with_map = [p["index"] for p in data["points"] if p["ixy"] is not None]
    if len(with_map) > STRIP_MAX:
        expected = [with_map[round(k * (len(with_map) - 1) / (STRIP_MAX - 1))] for k in range(STRIP_MAX)]
        check(f"{len(with_map)} points have a map: {STRIP_MAX} of them are shown" in dom.text("ixy-strip"),
              f"{name}: the strip does not say that it shows only {STRIP_MAX} of {len(with_map)} maps")
    else:
        expected = with_map
    canvases = dom.find("canvas", cls="ixy", within="ixy-strip")
    shown_points = [int(c["attrs"]["data-point"]) for c in canvases]
    check(shown_points == expected, f"{name}: the strip shows the maps of points {shown_points}, not {expected}")
    # The table of points: every point, a failed one with its message.
    rows = dom.find("tr", within="points")
    rows = [r for r in rows if "data-point" in r["attrs"]]
    check([int(r["attrs"]["data-point"]) for r in rows] == [p["index"] for p in data["points"]],
          f"{name}: the table of points does not list every point in order")
    for r, p in zip(rows, data["points"]):
        text = " ".join("".join(r["text"]).split())
        check(("failed" in r["classes"]) == (not p["ok"]), f"{name}: point {p['index']} is not marked as it ran")
        check(p["ok"] or p["message"] in text, f"{name}: the message of failed point {p['index']} is not in its row")


# Appended to a copy of each page: reads back every map of the strip as it
# was drawn, each pixel's entry in the colour table, and writes for each
# point the highest entry and where it first occurs (column, row).
PROBE = """<script>
(function () {
  const table = JSON.parse(document.getElementById("colormap").textContent);
  const entry = new Map(table.map((c, k) => [c.join(","), k]));
  const said = {};
  for (const c of document.querySelectorAll("#ixy-strip canvas.ixy")) {
    const px = c.getContext("2d").getImageData(0, 0, 41, 41).data;
    let top = -1, at = null;
    for (let o = 0; o < px.length; o += 4) {
      const k = entry.get(`${px[o]},${px[o + 1]},${px[o + 2]}`);
      if (k !== undefined && k > top) { top = k; at = [(o / 4) % 41, Math.floor(o / 4 / 41)]; }
    }
    said[c.dataset.point] = { top, at };
  }
  const out = document.createElement("pre");
  out.id = "probe";
  out.textContent = JSON.stringify(said);
  document.body.appendChild(out);
})();
</script>
"""


def check_strip_colours(name, dom, data):
    """The maps share one scale: the largest cell of all is the top of the
    table, every other map reaches only as far as its own largest cell, and
    a map is drawn looking along +z (cell [i][j] at column i, row 40 - j)."""
    found = dom.find("pre", id="probe")
    check(found, f"{name}: the probe did not run")
    said = json.loads("".join(found[0]["text"]))
    maps = {p["index"]: p["ixy"] for p in data["points"] if p["ixy"] is not None}
    hi = max(v for m in maps.values() for col in m for v in col)
    for point, got in said.items():
        m = maps[int(point)]
        entry = [[min(255, max(0, math.floor(v / hi * 256))) for v in col] for col in m]
        top = max(map(max, entry))
        check(abs(got["top"] - top) <= 1,
              f"{name}: the map of point {point} reaches colour {got['top']}, on the shared scale it reaches {top}")
        col, row = got["at"]
        check(entry[col][40 - row] >= top - 1,
              f"{name}: the brightest pixel of point {point}'s map is not where its largest cell is")
    check(any(v["top"] == 255 for v in said.values()), f"{name}: no map reaches the top of the scale")


def main_chart_marks(dom):
    return dom.find(cls="pt", within="main-chart")


def check_sweep_rsrc(name, dom, data):
    drawn = [p for p in data["points"] if p["ok"]]
    marks = main_chart_marks(dom)
    check(len(marks) == len(drawn), f"{name}: the chart of the ratio has {len(marks)} marks, not {len(drawn)}")
    failed = [p for p in data["points"] if not p["ok"]]
    for p in failed:
        check(p["message"] in dom.text("main-chart"), f"{name}: failed point {p['index']} is not listed by the chart")
    check(len(dom.find("figure", within="charts")) == 1 + 6, f"{name}: not one large chart and six small ones")


def check_sweep_grid(name, dom, data):
    n0, n1 = data["grid"]["shape"]
    cells = dom.find("rect", cls="cell", within="main-chart")
    check(len(cells) == n0 * n1, f"{name}: the heat map has {len(cells)} cells, not {n0 * n1}")
    tips = [c["attrs"].get("data-tip", "") for c in dom.find(cls="cell", within="charts")]
    empty = [p for p in data["points"] if p["ok"] and p["q"]["IXY_peak"] is None]
    check(empty and any(f"point {empty[0]['index']} " in t and "no value of IXY peak" in t for t in tips),
          f"{name}: the point without IXY statistics is not marked in the heat map of the IXY peak")
    # Each square in its place: the first cell's values along x, the second's
    # upwards, point i0 * n1 + i1 at column i0 and row i1 from the bottom;
    # and it says that point's ratio.
    xs = sorted({float(c["attrs"]["x"]) for c in cells})
    ys = sorted({float(c["attrs"]["y"]) for c in cells}, reverse=True)
    check(len(xs) == n0 and len(ys) == n1, f"{name}: the heat map is not {n0} squares by {n1}")
    for c in cells:
        index = xs.index(float(c["attrs"]["x"])) * n1 + ys.index(float(c["attrs"]["y"]))
        tip, ratio = c["attrs"]["data-tip"], data["points"][index]["q"]["ratio"]
        check(tip.startswith(f"point {index} ") and tip.endswith("= %g" % ratio),
              f"{name}: the square of point {index} says {tip!r}, not its ratio {ratio}")


def check_trials(name, dom, data):
    trials = [p for p in data["points"] if p["index"] >= 1]
    for key in TRIAL_KEYS:
        values = trial_values(data, key)
        figure = [f for f in dom.find("figure", within="histograms") if f["attrs"].get("data-key") == key]
        check(figure, f"{name}: no histogram of {key}")
        # Bars of this histogram only: those after its figure and before the next one.
        start = dom.elements.index(figure[0])
        end = min([dom.elements.index(f) for f in dom.find("figure", within="histograms")
                   if dom.elements.index(f) > start] + [len(dom.elements)])
        bars = [e for e in dom.elements[start:end] if e["tag"] == "rect" and "bar" in e["classes"]]
        bins = max(5, round(math.sqrt(len(values))))
        check(len(bars) == bins, f"{name}: the histogram of {key} has {len(bars)} bins, not {bins}")
        counted = sum(int(b["attrs"]["data-count"]) for b in bars)
        check(counted == len(values), f"{name}: the histogram of {key} counts {counted} trials, not {len(values)}")
        lines = [e for e in dom.elements[start:end] if e["tag"] == "line" and "nominal" in e["classes"]]
        check(len(lines) == 2, f"{name}: the nominal value of {key} is not marked on both charts")
        # The percentiles.
        ordered = sorted(values)
        wanted = {"min": ordered[0], "p5": percentile(ordered, 0.05), "p50": percentile(ordered, 0.5),
                  "p95": percentile(ordered, 0.95), "max": ordered[-1], "nominal": data["points"][0]["q"][key]}
        for stat, v in wanted.items():
            cell = dom.find("td", within="percentiles", data_quantity=key, data_stat=stat)
            check(cell and close(float(cell[0]["attrs"]["data-v"]), v),
                  f"{name}: the {stat} of {key} is {cell[0]['attrs'].get('data-v') if cell else None}, not {v}")
    # The correlations: the value, and the sign the sample was made with.
    for k, cell in enumerate(data["parameters"]):
        for key in TRIAL_KEYS:
            pairs = [(p["values"][k], p["q"][key]) for p in trials if p["ok"] and p["q"].get(key) is not None]
            r = pearson([x for x, _ in pairs], [y for _, y in pairs])
            found = dom.find("td", within="correlations", data_cell=cell["name"], data_quantity=key)
            check(found and found[0]["attrs"]["data-r"], f"{name}: no correlation of {cell['name']} with {key}")
            shown = float(found[0]["attrs"]["data-r"])
            check(abs(shown - r) < 1e-5, f"{name}: the correlation of {cell['name']} with {key} is {shown}, not {r:.6f}")
        sign = study_samples.TRIAL_SIGNS[cell["name"]]
        shown = float(dom.find("td", within="correlations", data_cell=cell["name"], data_quantity="ratio")[0]["attrs"]["data-r"])
        check(shown * sign > 0.5, f"{name}: {cell['name']} should correlate with the ratio with sign {sign:+d}, the page says {shown}")
    # One scatter per jittered cell: a mark per trial that ran and the nominal one.
    ran = sum(1 for p in trials if p["ok"])
    marks = main_chart_marks(dom)
    check(len(marks) == len(data["parameters"]) * (ran + 1), f"{name}: the scatters have {len(marks)} marks")


def check_sweep_zip(name, dom, data):
    marks = main_chart_marks(dom)
    check(len(marks) == len(data["points"]), f"{name}: the chart against the index has {len(marks)} marks")
    tip = marks[3]["attrs"]["data-tip"]
    p = data["points"][3]
    for c, t in zip(data["parameters"], p["texts"]):
        check(f"{c['name']} = {t}" in tip, f"{name}: the hover text {tip!r} lacks {c['name']} = {t}")


def check_saved(chromium, name, page, data, outdir):
    """Saves charts with their buttons: the files hold what the page drew."""
    svg = report_check.SVG_NS
    if data["kind"] == "trials":
        cell = data["parameters"][0]["name"]
        saved = report_check.save_figures(chromium, name, page, ["ratio-histogram", f"ratio-against-{cell}"], outdir)
        bars = [r for r in saved["ratio-histogram"][0].iter(svg + "rect") if "bar" in (r.get("class") or "")]
        values = trial_values(data, "ratio")
        check(sum(int(b.get("data-count")) for b in bars) == len(values),
              f"{name}: the saved histogram does not count the {len(values)} trials")
        marks = [m for m in saved[f"ratio-against-{cell}"][0].iter() if "pt" in (m.get("class") or "").split()]
        ran = sum(1 for p in data["points"] if p["index"] >= 1 and p["ok"])
        check(len(marks) == ran + 1, f"{name}: the saved scatter has {len(marks)} marks, not {ran + 1}")
    else:
        saved = report_check.save_figures(chromium, name, page, ["ratio"], outdir)
        cells = [r for r in saved["ratio"][0].iter(svg + "rect") if r.get("class") == "cell"]
        check(len(cells) == len(data["points"]), f"{name}: the saved heat map has {len(cells)} squares")
    print(f"ok {name}: {', '.join(saved)} saved as PNG and SVG from the page")


CHECKS = {"sweep_rsrc": check_sweep_rsrc, "sweep_grid": check_sweep_grid,
          "trials": check_trials, "sweep_zip": check_sweep_zip}


def damaged(grid_sample):
    """The grid sweep with a shape that does not fit its points, a map of the
    wrong size, no list of quantities and no usable pitch."""
    data = copy.deepcopy(grid_sample)
    data["grid"] = {"shape": [5, 3]}
    data["points"][4]["ixy"] = data["points"][4]["ixy"][:40]
    del data["quantities"]
    data["ixy_pitch"] = 0
    return data


def check_damaged(chromium, render, outdir, grid_sample):
    path = os.path.join(outdir, "damaged.json")
    data = damaged(grid_sample)
    page = render_page(render, data, path)
    dom = Dom(dump(chromium, page, "damaged (DOM)"))
    body = dom.find("body")[0]
    check(body["attrs"].get("data-rendered") == "true", "damaged: the page did not draw what it could")
    notes = " ".join("".join(e["text"]) for e in dom.find("aside", cls="notes"))
    for said in ("does not fit", "left out of the strip"):
        check(said in notes, f"damaged: the notes do not say what was wrong ({said!r}): {notes[:600]}")
    check(len(dom.find("canvas", cls="ixy", within="ixy-strip")) == len(data["points"]) - 1,
          "damaged: the strip should leave out the one bad map")
    check(len(main_chart_marks(dom)) == len(data["points"]), "damaged: the charts do not fall back to the point index")
    check("count cells from the centre" in dom.text("ixy-strip"),
          "damaged: the strip does not say its axes count cells")
    check(len(dom.find("option", within="charts")) == len(grid_sample["quantities"]),
          "damaged: the quantities were not found in the points")
    # Data the page cannot draw at all: it must say so where it is read.
    page = render_page(render, [1, 2, 3], os.path.join(outdir, "unusable.json"))
    dom = Dom(dump(chromium, page, "unusable (DOM)"))
    check(dom.find("body")[0]["attrs"].get("data-rendered") == "error", "unusable: the page does not say it failed")
    check("could not be drawn" in dom.text("render-failed"), "unusable: the failure is not shown on the page")
    print("ok damaged data: drawn with notes; unusable data: the failure is shown")


def render_page(render, data, path):
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f)
    page = os.path.splitext(path)[0] + ".html"
    done = subprocess.run([render, path, page], capture_output=True, timeout=report_check.TIMEOUT)
    check(done.returncode == 0, f"{render} failed on {path}: {done.stderr.decode(errors='replace')}")
    return page


def check_screenshot(name, png, colours):
    width, height, pixels = report_check.load_screenshot(png)
    check((width, height) == (1400, 4000), f"{name}: the screenshot is {width} x {height}, not 1400 x 4000")
    distinct = set(pixels)
    check(len(distinct) >= 200, f"{name}: the screenshot has only {len(distinct)} distinct colours")
    viridis_px = {r | g << 8 | b << 16 for r, g, b in colours}
    painted = sum(1 for p in pixels if p in viridis_px)
    check(painted >= 5 * THUMB_PIXELS, f"{name}: only {painted} pixels show colour-map colours: the maps were not drawn")
    return pixels, len(distinct)


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: browser_check.py CHROMIUM RENDER_STUDY_PAGE OUTDIR")
    chromium, render, outdir = sys.argv[1:4]
    os.makedirs(outdir, exist_ok=True)
    start = time.monotonic()
    colours = viridis()
    shots = {}
    try:
        check(len(colours) == 256, f"colormap.h holds {len(colours)} colours, not 256")
        samples = {}
        for name, data_path in study_samples.write_samples(outdir).items():
            with open(data_path, encoding="utf-8") as f:
                data = samples[name] = json.load(f)
            page = os.path.join(outdir, name + ".html")
            done = subprocess.run([render, data_path, page], capture_output=True, timeout=report_check.TIMEOUT)
            check(done.returncode == 0, f"{name}: {render} failed: {done.stderr.decode(errors='replace')}")
            with open(page, encoding="utf-8") as f:
                page_html = f.read()
            check_html(name, page_html, data, colours)
            probe_page = os.path.join(outdir, name + "-probe.html")
            with open(probe_page, "w", encoding="utf-8") as f:
                f.write(page_html.replace("</body>", PROBE + "</body>"))
            # The DOM and the screenshot come from two Chromiums side by side:
            # most of their time is spent starting up.
            png = os.path.join(outdir, name + ".png")
            with ThreadPoolExecutor(max_workers=2) as pool:
                dumped = pool.submit(dump, chromium, probe_page, name + " (DOM)")
                shot = pool.submit(report_check.run_chromium, chromium, report_check.file_url(page),
                                   ["--screenshot=" + png, "--window-size=1400,4000"], name + " (screenshot)") \
                    if name in SCREENSHOTS else None
                dom = Dom(dumped.result())
                if shot:
                    shot.result()
            check_common(name, dom, data)
            check_strip_colours(name, dom, data)
            if data["kind"] == "trials":
                check(dom.find(id="histograms") and dom.find(id="correlations"), f"{name}: the trials' sections are missing")
            CHECKS[name](name, dom, data)
            if name in SAVED:
                check_saved(chromium, name, page, data, outdir)
            if name not in SCREENSHOTS:
                print(f"ok {name}: rendered")
                continue
            check(os.path.isfile(png), f"{name}: chromium wrote no screenshot")
            shots[name], distinct = check_screenshot(name, png, colours)
            print(f"ok {name}: rendered, {distinct} colours, in {png}")
        names = list(shots)
        for k, a in enumerate(names):
            for b in names[k + 1:]:
                differing = sum(1 for x, y in zip(shots[a], shots[b]) if x != y)
                check(differing > len(shots[a]) // 100, f"the screenshots of {a} and {b} differ in only {differing} pixels")
        print(f"ok: the {len(names)} screenshots differ from each other")
        check_damaged(chromium, render, outdir, samples["sweep_grid"])
    except CheckFailed as failure:
        print(f"study browser check FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"study browser check passed in {time.monotonic() - start:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
