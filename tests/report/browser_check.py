"""Opens the report page in a headless Chromium and checks that it draws.

    python3 browser_check.py CHROMIUM RENDER_PAGE OUTDIR [VARNOCK SHEET SHEET...]

Writes the two sample data objects of sample_data.py into OUTDIR, renders
each to a page with RENDER_PAGE (varnock_render_page) and, for each page:
  - reads the HTML: nothing refers outside the file;
  - dumps the DOM after the page's script has run: it says it rendered, the
    three map canvases are there (and the system drawing when the sample has a
    system), its numbers came through, no failure is shown;
  - takes a 1400 x 4000 screenshot: a PNG that decodes, not blank, with many
    colours, the maps' viridis colours among them;
  - opens a copy of the page with a probe script that points at a cell in both
    orientations and on the log scale, and reads what the page says about it;
  - drives the page in a browser and presses the "PNG" and "SVG" buttons of
    the IXY map (after switching it to the file's layout), of a profile and
    of the system drawing: the files it saves decode, the PNG at three times
    the figure's size, the SVG a document of its own with every cell once
    and the selected cell where the chosen layout puts it.
The two pages' screenshots must differ. With VARNOCK and sheets, each sheet
is also run with `varnock run` and its own report.html goes through the same
checks (its data read back from the page); their screenshots must differ
too. Any "Uncaught" JavaScript error in Chromium's log fails the check.
Exits 1 with a message on the first failure.
"""

import html
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib
from array import array

import xml.etree.ElementTree as ElementTree

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "browser"))
import sample_data  # noqa: E402
from driven_chromium import Browser, BrowserFailed  # noqa: E402

N = 41
TIMEOUT = 60
# Pixels of one map on the screen: 41 cells of 10 pixels a side.
MAP_PIXELS = (N * 10) ** 2
# What the probe points at: the selected cell of the first sample.
PROBE_CELL = (24, 18)


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


# --- Chromium ---------------------------------------------------------------

def run_chromium(chromium, page, mode_args, label):
    """Runs headless Chromium on page with mode_args; returns its stdout.
    Fails on a JavaScript error in its log or an exit status other than 0."""
    profile = tempfile.mkdtemp(prefix="varnock-chromium-")
    try:
        args = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
                *mode_args, page]
        try:
            done = subprocess.run(args, capture_output=True, timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            raise CheckFailed(f"{label}: chromium did not finish within {TIMEOUT} s")
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    log = done.stderr.decode("utf-8", "replace")
    errors = [line for line in log.splitlines() if "Uncaught" in line]
    check(not errors, f"{label}: JavaScript error in the page:\n  " + "\n  ".join(errors))
    check(done.returncode == 0, f"{label}: chromium exited with {done.returncode}:\n{log[-2000:]}")
    return done.stdout.decode("utf-8", "replace")


def file_url(path):
    return "file://" + os.path.abspath(path)


# --- PNG --------------------------------------------------------------------

def decode_png(data):
    """A minimal PNG decoder for 8-bit RGB or RGBA images without interlace,
    enough for Chromium's screenshots: returns (width, height, rgb bytes)."""
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "the screenshot is not a PNG")
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        check(zlib.crc32(kind + body) == struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])[0],
              f"the screenshot's {kind!r} chunk is corrupt")
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    check(header is not None, "the screenshot has no IHDR chunk")
    width, height, depth, colour, _, _, interlace = header
    check(depth == 8 and colour in (2, 6) and interlace == 0,
          f"the screenshot is a PNG this decoder does not read (depth {depth}, colour type {colour})")
    bpp = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * bpp
    check(len(raw) == height * (stride + 1), "the screenshot's image data has the wrong size")
    rows, prev = [], bytes(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)]
        prev = unfilter(kind, line, prev, bpp)
        rows.append(prev)
    pixels = b"".join(rows)
    if bpp == 4:
        rgb = bytearray(width * height * 3)
        for c in range(3):
            rgb[c::3] = pixels[c::4]
        pixels = bytes(rgb)
    return width, height, pixels


def unfilter(kind, line, prev, bpp):
    if kind == 0:
        return line
    if kind == 2:  # Up: bytewise sums without carries between bytes, on whole rows at once
        a, b = int.from_bytes(line, "big"), int.from_bytes(prev, "big")
        low = int.from_bytes(b"\x7f" * len(line), "big")
        s = ((a & low) + (b & low)) ^ ((a ^ b) & ~low)
        return s.to_bytes(len(line), "big")
    out = bytearray(line)
    if kind == 1:
        for x in range(bpp, len(out)):
            out[x] = (out[x] + out[x - bpp]) & 255
    elif kind == 3:
        for x in range(len(out)):
            left = out[x - bpp] if x >= bpp else 0
            out[x] = (out[x] + ((left + prev[x]) >> 1)) & 255
    elif kind == 4:
        for x in range(len(out)):
            a = out[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            out[x] = (out[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    else:
        raise CheckFailed(f"the screenshot uses an unknown PNG filter {kind}")
    return bytes(out)


def load_screenshot(path):
    """(width, height, pixels): pixels one 32-bit integer r | g << 8 | b << 16
    each. Python's PIL (Debian's python3-pil) when it is there, else the
    decoder above."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        from PIL import Image
        import io
        image = Image.open(io.BytesIO(data)).convert("RGB")
        width, height, rgb = image.width, image.height, image.tobytes()
    except ImportError:
        width, height, rgb = decode_png(data)
    packed = bytearray(width * height * 4)
    for c in range(3):
        packed[c::4] = rgb[c::3]
    pixels = array("I")
    pixels.frombytes(bytes(packed))
    if sys.byteorder == "big":
        pixels.byteswap()
    return width, height, pixels


# --- the checks -------------------------------------------------------------

def check_html(name, page_html):
    for bad in ("http://", "https://"):
        check(bad not in page_html.lower(), f"{name}: the page contains {bad!r}")
    check(not re.search(r"<script[^>]*\bsrc\s*=", page_html, re.I), f"{name}: the page loads an external script")
    check(not re.search(r"<link\b", page_html, re.I), f"{name}: the page has a <link> element")
    check('id="report-data"' in page_html and 'id="colormap"' in page_html,
          f"{name}: the page lacks its embedded data or colour map")


def colormap_of(page_html):
    """The colour table the page carries, as packed pixels."""
    found = re.search(r'<script type="application/json" id="colormap">(.*?)</script>', page_html, re.S)
    check(found, "the page carries no colour map")
    table = json.loads(found.group(1))
    check(len(table) == 256, f"the page's colour map has {len(table)} entries, not 256")
    return {r | g << 8 | b << 16 for r, g, b in table}


def visible_part(dom):
    """The DOM without the contents of script and style elements: what the
    page shows, not its code."""
    return re.sub(r"(<(script|style)\b[^>]*>).*?(</\2>)", r"\1\3", dom, flags=re.S | re.I)


def check_dom(name, dom, data):
    body = re.search(r"<body\b[^>]*>", dom)
    check(body, f"{name}: the dumped DOM has no body")
    check('data-rendered="true"' in body.group(0),
          f"{name}: the page did not finish rendering (body: {body.group(0)})")
    shown = visible_part(dom)
    check(not re.search(r"error", shown, re.I), f"{name}: the page shows an error:\n"
          + "\n".join(line for line in shown.splitlines() if re.search("error", line, re.I))[:2000])
    for m in ("IXY", "IUV", "IUV_P"):
        check(re.search(rf'<canvas[^>]*\bid="map-{m}"', shown), f"{name}: the canvas map-{m} is missing")
    drawing = re.search(r'id="system-drawing"[^>]*>\s*<svg', shown)
    if data["system"]:
        check(drawing, f"{name}: the system drawing is missing")
    else:
        check('id="system-drawing"' not in shown, f"{name}: a system drawing is shown without a system")
    text = html.unescape(re.sub(r"<[^>]+>", " ", shown))
    for key in ("total", "transmitted", "ratio"):
        check(data["totals"][key] in text, f"{name}: the {key} {data['totals'][key]} is not shown")
    for m in data["maps"]:
        if m["stats"]:
            check(m["stats"]["sum"] in text, f"{name}: the sum of {m['name']} is not shown")
        else:
            check("No weight in this map" in text, f"{name}: the empty map {m['name']} is not said to be empty")
    for w in data["warnings"]:
        check(w in text, f"{name}: the warning {w!r} is not shown as text")
    for n in data["notes"]:
        check(n in text, f"{name}: the note {n!r} is not shown")


# Appended to a copy of the page: points at PROBE_CELL of IXY as the page
# first draws it (looking along +z: row 40 - j from the top), then in the
# layout of the text file (row j) and on the log scale, and writes what the
# page reported into the DOM.
PROBE = """<script>
(function () {
  const [i, j] = %s, said = {};
  function pointAt(col, row) {
    const c = document.getElementById("map-IXY"), r = c.getBoundingClientRect();
    c.dispatchEvent(new MouseEvent("mousemove", {
      clientX: r.left + (col + 0.5) * r.width / 41, clientY: r.top + (row + 0.5) * r.height / 41 }));
    return document.getElementById("readout-IXY").textContent;
  }
  said.screen = pointAt(i, 40 - j);
  document.querySelector('input[name="layout"][value="file"]').click();
  said.file = pointAt(i, j);
  said.orientation = document.querySelector("#section-IXY .orientation").textContent;
  document.querySelector('input[name="scale-IXY"][value="log"]').click();
  said.log = pointAt(i, j);
  const out = document.createElement("pre");
  out.id = "probe";
  out.textContent = JSON.stringify(said);
  document.body.appendChild(out);
})();
</script>
""" % json.dumps(list(PROBE_CELL))


def check_probe(name, dom, data):
    found = re.search(r'<pre id="probe">(.*?)</pre>', dom, re.S)
    check(found, f"{name}: the probe did not run")
    said = json.loads(html.unescape(found.group(1)))
    i, j = PROBE_CELL
    ixy = data["maps"][0]
    value = "%.6f" % ixy["values"][i][j]
    for view in ("screen", "file", "log"):
        line = said[view]
        check(line.startswith(f"cell [{i}][{j}]:") and f"value {value}" in line,
              f"{name}: pointing at cell [{i}][{j}] ({view}) the page says {line!r}, expected its value {value}")
        if ixy["rays"]:
            rays = format(ixy["rays"][i][j], ",")
            check(f"{rays} rays" in line, f"{name}: the hover line {line!r} lacks the {rays} rays")
        else:
            check("rays" not in line, f"{name}: the hover line {line!r} shows rays the data lacks")
    check("layout of the text file" in said["orientation"],
          f"{name}: after the switch the map still says {said['orientation']!r}")


def check_screenshot(name, path, viridis):
    width, height, pixels = load_screenshot(path)
    check((width, height) == (1400, 4000), f"{name}: the screenshot is {width} x {height}, not 1400 x 4000")
    colours = set(pixels)
    check(len(colours) >= 300, f"{name}: the screenshot has only {len(colours)} distinct colours")
    map_colours = len(colours & viridis)
    check(map_colours >= 60, f"{name}: only {map_colours} of the colour map's colours are on the screenshot")
    # The colour bars alone hold every entry, so count pixels too: the first
    # 4000 pixels of each page show two maps with weight, drawn cell by cell
    # in exact entries of the map (410 x 410 pixels each); the bars are small.
    painted = sum(1 for p in pixels if p in viridis)
    check(painted >= 1.5 * MAP_PIXELS,
          f"{name}: only {painted} pixels show colour-map colours: the maps were not drawn")
    return pixels, len(colours), map_colours


# --- the save buttons -------------------------------------------------------

SVG_NS = "{http://www.w3.org/2000/svg}"
# The map figure's geometry: the grid's top left corner and the cell size.
MAP_LEFT, MAP_TOP, MAP_CELL = 74, 40, 10


def saved_svg(name, path):
    """The root of a saved SVG file, checked to be a document of its own."""
    try:
        root = ElementTree.parse(path).getroot()
    except ElementTree.ParseError as e:
        raise CheckFailed(f"{name}: the saved SVG {path} does not parse: {e}")
    check(root.tag == SVG_NS + "svg", f"{name}: the saved SVG's root is {root.tag}")
    return root


def check_saved_png(name, path, svg_root):
    with open(path, "rb") as f:
        width, height = decode_png_size(f.read())
    w, h = float(svg_root.get("width")), float(svg_root.get("height"))
    scale = max(3, 1200 / max(w, h))
    check((width, height) == (round(w * scale), round(h * scale)),
          f"{name}: the PNG is {width} x {height}, not three times the figure's {w:g} x {h:g}")


def decode_png_size(data):
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "the saved file is not a PNG")
    return struct.unpack(">II", data[16:24])


def check_saved_map(name, root, data):
    cells = 0
    for group in root.iter(SVG_NS + "g"):
        if group.get("shape-rendering") == "crispEdges":
            cells += sum(round(float(r.get("width")) / MAP_CELL) for r in group.iter(SVG_NS + "rect"))
    check(cells == N * N, f"{name}: the saved map has {cells} cells, not {N * N}")
    selected = data["maps"][0]["selected"]
    outline = [r for r in root.iter(SVG_NS + "rect") if r.get("class") == "selected"]
    if selected:
        i, j = selected
        check(outline and (float(outline[0].get("x")), float(outline[0].get("y")))
              == (MAP_LEFT + i * MAP_CELL, MAP_TOP + j * MAP_CELL),
              f"{name}: the saved map does not outline cell [{i}][{j}] where the file's layout puts it")
    else:
        check(not outline, f"{name}: the saved map outlines a cell the data does not select")


def save_figures(chromium, name, page, figures, folder, clicks=()):
    """Opens page in a driven browser, clicks the selectors in clicks, then
    presses the "SVG" and "PNG" buttons of each named figure. Checks that
    each saves under the figure's name, the SVG a document of its own and
    the PNG three times its size (at least 1,200 pixels on the long side);
    returns {figure: (SVG root, PNG path)}."""
    downloads = os.path.join(folder, name + "-saved")
    shutil.rmtree(downloads, ignore_errors=True)
    os.makedirs(downloads)
    saved = {}
    try:
        with Browser(chromium, download_dir=downloads, timeout=TIMEOUT) as browser:
            check(browser.open(file_url(page)) == "true", f"{name}: the driven page did not render")
            for selector in clicks:
                browser.click(selector)
            for figure in figures:
                files = {}
                for fmt in ("svg", "png"):
                    browser.click(f'.save[data-figure="{figure}"] button[data-format="{fmt}"]')
                    files[fmt] = browser.wait_for_download(timeout=30)
                    check(files[fmt].endswith(f"-{figure}.{fmt}"), f"{name}: {figure} was saved as {files[fmt]}")
                root = saved_svg(f"{name} {figure}", files["svg"])
                check_saved_png(f"{name} {figure}", files["png"], root)
                saved[figure] = (root, files["png"])
            browser.check_no_errors(name)
    except BrowserFailed as e:
        raise CheckFailed(f"{name}: {e}")
    return saved


def check_save_buttons(chromium, name, page, data, folder, viridis):
    """The map (in the file's layout), a profile and the drawing, saved."""
    figures = ["IXY", "IXY-row-20"] + (["system"] if data["system"] else [])
    saved = save_figures(chromium, name, page, figures, folder, ['input[name="layout"][value="file"]'])
    root, png = saved["IXY"]
    check_saved_map(f"{name} IXY", root, data)
    _, _, pixels = load_screenshot(png)
    painted = sum(1 for p in pixels if p in viridis)
    check(painted >= 9 * MAP_PIXELS // 2, f"{name}: only {painted} pixels of the saved IXY PNG show the map's colours")
    if data["system"]:
        rays = [e for e in saved["system"][0].iter(SVG_NS + "path") if e.get("class") == "ray"]
        check(rays, f"{name}: the saved drawing has no rays")
    print(f"ok {name}: {len(figures)} figures saved as PNG and SVG from the page")

def data_of(page_html):
    """The data object a report page carries."""
    found = re.search(r'<script type="application/json" id="report-data">(.*?)</script>', page_html, re.S)
    check(found, "the page carries no report data")
    return json.loads(found.group(1))


def check_run_reports(chromium, varnock, sheets, outdir):
    """Runs each sheet and checks the report.html the run wrote."""
    shots = {}
    for sheet in sheets:
        name = os.path.splitext(os.path.basename(sheet))[0]
        folder = os.path.join(outdir, "run-" + name)
        os.makedirs(folder, exist_ok=True)
        done = subprocess.run([varnock, "run", "-q", "--no-progress", sheet, "-o", folder],
                              capture_output=True, timeout=TIMEOUT)
        check(done.returncode == 0, f"{name}: varnock run failed: {done.stderr.decode(errors='replace')}")
        page = os.path.join(folder, "report.html")
        with open(page, encoding="utf-8") as f:
            page_html = f.read()
        check_html(name, page_html)
        data = data_of(page_html)
        check(data["system"] and data["run"], f"{name}: a run's report lacks the system or the run")
        check_dom(name, run_chromium(chromium, file_url(page), ["--dump-dom"], name + " (DOM)"), data)
        png = os.path.join(outdir, "run-" + name + ".png")
        run_chromium(chromium, file_url(page), ["--screenshot=" + png, "--window-size=1400,4000"],
                     name + " (screenshot)")
        check(os.path.isfile(png), f"{name}: chromium wrote no screenshot")
        pixels, colours, _ = check_screenshot(name, png, colormap_of(page_html))
        shots[name] = pixels
        print(f"ok {name}: the run's report rendered, {colours} colours, in {png}")
        check_save_buttons(chromium, name, page, data, outdir, colormap_of(page_html))
    names = list(shots)
    for a, b in zip(names, names[1:]):
        differing = sum(1 for x, y in zip(shots[a], shots[b]) if x != y)
        check(differing > len(shots[a]) // 100, f"the reports of {a} and {b} look the same")


def main():
    if len(sys.argv) < 4 or len(sys.argv) == 5:
        sys.exit("usage: browser_check.py CHROMIUM RENDER_PAGE OUTDIR [VARNOCK SHEET SHEET...]")
    chromium, render_page, outdir = sys.argv[1:4]
    varnock, sheets = (sys.argv[4], sys.argv[5:]) if len(sys.argv) > 5 else (None, [])
    os.makedirs(outdir, exist_ok=True)
    start = time.monotonic()
    shots = {}
    try:
        for name, data_path in sample_data.write_samples(outdir).items():
            with open(data_path, encoding="utf-8") as f:
                data = json.load(f)
            page = os.path.join(outdir, name + ".html")
            done = subprocess.run([render_page, data_path, page], capture_output=True, timeout=TIMEOUT)
            check(done.returncode == 0, f"{name}: {render_page} failed: {done.stderr.decode(errors='replace')}")
            with open(page, encoding="utf-8") as f:
                page_html = f.read()
            check_html(name, page_html)

            dom = run_chromium(chromium, file_url(page), ["--dump-dom"], name + " (DOM)")
            check_dom(name, dom, data)

            png = os.path.join(outdir, name + ".png")
            run_chromium(chromium, file_url(page), ["--screenshot=" + png, "--window-size=1400,4000"],
                         name + " (screenshot)")
            check(os.path.isfile(png), f"{name}: chromium wrote no screenshot")
            pixels, colours, map_colours = check_screenshot(name, png, colormap_of(page_html))
            shots[name] = pixels

            probe_page = os.path.join(outdir, name + "-probe.html")
            with open(probe_page, "w", encoding="utf-8") as f:
                f.write(page_html.replace("</body>", PROBE + "</body>"))
            check_probe(name, run_chromium(chromium, file_url(probe_page), ["--dump-dom"], name + " (probe)"), data)
            check_save_buttons(chromium, name, page, data, outdir, colormap_of(page_html))
            print(f"ok {name}: rendered, {colours} colours ({map_colours} of the colour map) in {png}")

        (a, pa), (b, pb) = shots.items()
        differing = sum(1 for x, y in zip(pa, pb) if x != y)
        check(differing > len(pa) // 100,
              f"the screenshots of {a} and {b} differ in only {differing} pixels")
        print(f"ok: the screenshots of {a} and {b} differ in {differing} pixels")
        if varnock:
            check_run_reports(chromium, varnock, sheets, outdir)
    except CheckFailed as failure:
        print(f"browser check FAILED: {failure}", file=sys.stderr)
        return 1
    print(f"browser check passed in {time.monotonic() - start:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
