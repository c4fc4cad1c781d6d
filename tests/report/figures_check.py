#!/usr/bin/env python3
"""The figure files of `varnock run --figures`, decoded: a PNG of the size
the tool draws with the colour map's colours in it, an SVG that parses as
one, a PDF that opens (pdftoppm turns its page into a picture with colours).

    python3 figures_check.py VARNOCK SHEET OUTDIR
"""

import os
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from browser_check import CheckFailed, check, load_screenshot  # noqa: E402

FIGURES = ("IXY", "IUV", "IUV_P", "layout")
SIZES = {"IXY": (700, 620), "IUV": (700, 620), "IUV_P": (700, 620), "layout": (1100, 460)}


def run(varnock, sheet, folder, fmt):
    os.makedirs(folder, exist_ok=True)
    done = subprocess.run([varnock, "run", "-q", "--no-progress", "--no-report", "--figures", fmt,
                           sheet, "-o", folder], capture_output=True, text=True, timeout=120)
    check(done.returncode == 0, f"varnock run --figures {fmt} failed: {done.stderr}")
    for name in FIGURES:
        path = os.path.join(folder, f"{name}.{fmt}")
        check(os.path.getsize(path) > 1000, f"{path} is missing or nearly empty")


def colours_of(png):
    width, height, pixels = load_screenshot(png)
    return width, height, len(set(pixels))


def main():
    varnock, sheet, outdir = sys.argv[1:4]
    try:
        png_dir = os.path.join(outdir, "png")
        run(varnock, sheet, png_dir, "png")
        for name in FIGURES:
            width, height, colours = colours_of(os.path.join(png_dir, name + ".png"))
            check((width, height) == SIZES[name], f"{name}.png is {width} x {height}")
            check(colours >= 20, f"{name}.png has only {colours} colours")

        svg_dir = os.path.join(outdir, "svg")
        run(varnock, sheet, svg_dir, "svg")
        for name in FIGURES:
            root = ET.parse(os.path.join(svg_dir, name + ".svg")).getroot()
            check(root.tag.endswith("svg"), f"{name}.svg is not an SVG document")
            check(len(list(root.iter())) > 50, f"{name}.svg draws almost nothing")

        pdf_dir = os.path.join(outdir, "pdf")
        run(varnock, sheet, pdf_dir, "pdf")
        for name in FIGURES:
            base = os.path.join(pdf_dir, name)
            done = subprocess.run(["pdftoppm", "-png", "-r", "50", "-singlefile", base + ".pdf", base],
                                  capture_output=True, text=True, timeout=60)
            check(done.returncode == 0, f"{name}.pdf does not open: {done.stderr}")
            _, _, colours = colours_of(base + ".png")
            check(colours >= 20, f"{name}.pdf's page has only {colours} colours")
    except CheckFailed as failure:
        print(f"figures check FAILED: {failure}", file=sys.stderr)
        return 1
    print("figures check passed: PNG, SVG and PDF of " + ", ".join(FIGURES))
    return 0


if __name__ == "__main__":
    sys.exit(main())
