#!/usr/bin/env python3
"""Wall time of varnock.run against `varnock run` with the same options, on
the benchmark sheets. Rounds alternate the two, so that the load of a shared
machine falls on both alike; the table gives medians.

The CLI is timed as a whole process (start, run, files written); the Python
run from the call to its return, once in memory and once into a folder (the
same files the CLI writes). Both must give the same IXY.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_vs_cli.py \\
        --cli build/cli/varnock --rounds 5 --options "--fast --threads 2"
"""

import argparse
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

import varnock

HERE = os.path.dirname(os.path.abspath(__file__))


def python_options(cli_options):
    """The keyword arguments of varnock.run that the CLI options stand for."""
    kw, words = {}, list(cli_options)
    while words:
        word = words.pop(0)
        if word == "--fast":
            kw["fast"] = True
        elif word == "--exact-sums":
            kw["exact_sums"] = True
        elif word in ("-t", "--threads"):
            kw["threads"] = int(words.pop(0))
        else:
            raise SystemExit(f"python_vs_cli: no Python form for {word}")
    return kw


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--options", default="", help="options of varnock run, e.g. \"--fast -t 2\"")
    parser.add_argument("--sheets", nargs="*",
                        default=[os.path.join(HERE, "sheets", n)
                                 for n in ("condenser.txt", "reflector.txt", "mixed.txt")])
    args = parser.parse_args()
    cli_options = shlex.split(args.options)
    kw = python_options(cli_options)
    print(f"options: {args.options or '(none)'}; {args.rounds} rounds; medians in seconds")
    print(f"{'sheet':<16}{'varnock run':>12}{'in memory':>12}{'into folder':>13}{'memory/cli':>12}{'folder/cli':>12}")
    worst = 0.0
    with tempfile.TemporaryDirectory() as work:
        for path in args.sheets:
            sheet = varnock.Sheet(path)
            times = {"cli": [], "memory": [], "folder": []}
            for _ in range(args.rounds):
                start = time.perf_counter()
                subprocess.run([args.cli, "run", "-q", "--no-progress", path, "-o", work, *cli_options],
                               check=True)
                times["cli"].append(time.perf_counter() - start)
                start = time.perf_counter()
                in_memory = varnock.run(sheet, **kw)
                times["memory"].append(time.perf_counter() - start)
                start = time.perf_counter()
                varnock.run(sheet, output_dir=work, **kw)
                times["folder"].append(time.perf_counter() - start)
            with open(os.path.join(work, "OUT_M.txt"), "rb") as f:
                assert f.read().count(b"\r\n") == 132
            m = {k: statistics.median(v) for k, v in times.items()}
            worst = max(worst, m["memory"] / m["cli"], m["folder"] / m["cli"])
            print(f"{os.path.basename(path):<16}{m['cli']:>12.3f}{m['memory']:>12.3f}{m['folder']:>13.3f}"
                  f"{m['memory'] / m['cli']:>12.3f}{m['folder'] / m['cli']:>12.3f}")
            del in_memory
    print(f"slowest Python run against the CLI: {worst:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
