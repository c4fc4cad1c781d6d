#!/usr/bin/env python3
"""How close the fast mode comes to the exact one: runs every sheet exactly
and with --fast on each instruction-set path the processor can run, and
compares the result folders with `varnock compare`.

The sheets are the bundled examples, the shortened benchmark sheets and
generated systems of every surface type (the generators of the reference
comparison). With --check the bounds the fast mode promises are asserted:
at least 97 % of the sheets byte-identical to the exact run, and on every
sheet at most 0.2 % of TOTAL in a different cell of any grid and TOTAL the
same (the weights do not depend on the tracer).

Usage: fast_accuracy.py --cli PATH [--random N] [--models N] [--seed S]
                        [--threads N] [--sheets FILE...] [--check]
"""

import argparse
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from compare_with_reference import (ROOT, awkward_sheets, border_sheets, model_sheet,  # noqa: E402
                                    random_sheet, shortened_bench_sheets)

PATHS = ("avx512", "avx2", "sse2")
MOST_MOVED = 0.002         # share of TOTAL in a different cell, any grid
MOST_TOTAL_RELATIVE = 0.0  # TOTAL is the same: the weights do not depend on the tracer
LEAST_IDENTICAL = 0.97     # share of sheets byte-identical to exact


def run(cli, sheet, out, extra):
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    result = subprocess.run([cli, "run", "-q", "--no-progress", sheet, "-o", out] + extra,
                            capture_output=True, text=True)
    return result


def usable_paths(cli, work):
    sheet = os.path.join(ROOT, "examples", "condenser.txt")
    paths = []
    for path in PATHS:
        if run(cli, sheet, os.path.join(work, "probe"), ["--fast", "--simd", path]).returncode == 0:
            paths.append(path)
    return paths


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--random", type=int, default=150, help="generated lens systems")
    parser.add_argument("--models", type=int, default=150,
                        help="generated systems around the mirrors, arrays and the stop")
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("--threads", default="2")
    parser.add_argument("--sheets", nargs="*", default=[], help="further sheet files, run whole")
    parser.add_argument("--check", action="store_true", help="fail when a bound is broken")
    args = parser.parse_args()

    sheets = []
    for name in sorted(os.listdir(os.path.join(ROOT, "examples"))):
        if name.endswith(".txt"):
            with open(os.path.join(ROOT, "examples", name), "rb") as f:
                sheets.append(("examples/" + name, f.read().decode("latin-1")))
    sheets += shortened_bench_sheets()
    sheets += [("awkward-%02d" % i, t) for i, t in enumerate(awkward_sheets())]
    sheets += [("border-%02d" % i, t) for i, t in enumerate(border_sheets())]
    rng = random.Random(args.seed)
    sheets += [("random-%03d" % i, random_sheet(rng)) for i in range(args.random)]
    model_rng = random.Random(args.seed + 1)
    sheets += [("model-%03d" % i, model_sheet(model_rng)) for i in range(args.models)]
    for path in args.sheets:
        with open(path, "rb") as f:
            sheets.append((os.path.basename(path), f.read().decode("latin-1")))

    work = tempfile.mkdtemp(prefix="varnock-fast-")
    failures = []
    try:
        paths = usable_paths(args.cli, work)
        if not paths:
            print("no fast path runs here")
            return 1
        stats = {p: {"identical": 0, "moved": 0.0, "moved_sheet": "", "total": 0.0,
                     "different": []} for p in paths}
        sheet_path = os.path.join(work, "IN_FM.txt")
        exact_dir = os.path.join(work, "exact")
        for label, text in sheets:
            with open(sheet_path, "wb") as f:
                f.write(text.encode("latin-1"))
            r = run(args.cli, sheet_path, exact_dir, ["--threads", args.threads])
            if r.returncode != 0:
                failures.append("%s: the exact run failed: %s" % (label, r.stderr.strip()))
                continue
            for path in paths:
                fast_dir = os.path.join(work, "fast-" + path)
                r = run(args.cli, sheet_path, fast_dir,
                        ["--fast", "--simd", path, "--threads", args.threads])
                if r.returncode != 0:
                    failures.append("%s: the %s run failed: %s" % (label, path, r.stderr.strip()))
                    continue
                c = subprocess.run([args.cli, "compare", "--json", exact_dir, fast_dir],
                                   capture_output=True, text=True)
                if c.returncode == 2:
                    failures.append("%s: compare failed: %s" % (label, c.stderr.strip()))
                    continue
                result = json.loads(c.stdout)
                s = stats[path]
                if result["identical"]:
                    s["identical"] += 1
                else:
                    s["different"].append(label)
                moved = max((g["moved_share"] or 0) for g in result["grids"].values())
                total = result["total"]["relative"] or 0
                if moved > s["moved"]:
                    s["moved"], s["moved_sheet"] = moved, label
                s["total"] = max(s["total"], total)
                if moved > MOST_MOVED:
                    failures.append("%s (%s): %.4g %% of TOTAL in a different cell" %
                                    (label, path, 100 * moved))
                if total > MOST_TOTAL_RELATIVE:
                    failures.append("%s (%s): TOTAL %.3g apart" % (label, path, total))
        print("%d sheets, fast against exact:" % len(sheets))
        print("| path | byte-identical | most of TOTAL in a different cell | largest TOTAL difference |")
        print("|---|---:|---:|---:|")
        for path in paths:
            s = stats[path]
            share = s["identical"] / len(sheets)
            print("| %s | %d (%.1f %%) | %.3g %% (%s) | %.2g |" % (
                path, s["identical"], 100 * share, 100 * s["moved"], s["moved_sheet"] or "-",
                s["total"]))
            if share < LEAST_IDENTICAL:
                failures.append("%s: only %.1f %% of the sheets byte-identical" % (path, 100 * share))
            if s["different"]:
                print("  %s differs on: %s" % (path, ", ".join(s["different"][:20])))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL " + f)
    return 1 if (failures and args.check) else 0


if __name__ == "__main__":
    sys.exit(main())
