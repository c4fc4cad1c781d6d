#!/usr/bin/env python3
"""Wall times of whole runs of the benchmark sheets, for several builds or
options side by side. The runs alternate round by round, so that the load
of a shared machine falls on every variant alike; the table gives medians.

Each variant is NAME=COMMAND, the command being a varnock binary with any
options, e.g.

    bench/compare_runs.py --rounds 5 \\
        main=/tmp/main/varnock "1 thread=build/cli/varnock --threads 1" \\
        "2 threads=build/cli/varnock --threads 2"

A command that holds the word RUN has the run's arguments put there
instead of after its first word, for launchers:

    "2 ranks=mpirun -np 2 build-mpi/cli/varnock RUN --exact-sums -t 1"

Also checks that every variant writes the same OUT_M.txt and OUT_MI.txt.
"""

import argparse
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("variants", nargs="+", help="NAME=COMMAND")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--sheets", nargs="*",
                        default=[os.path.join(HERE, "sheets", n)
                                 for n in ("condenser.txt", "reflector.txt", "mixed.txt")])
    args = parser.parse_args()
    variants = []
    for v in args.variants:
        name, _, command = v.partition("=")
        variants.append((name, shlex.split(command)))

    times = {(s, n): [] for s in args.sheets for n, _ in variants}
    outputs = {}
    work = tempfile.mkdtemp(prefix="varnock-bench-")
    for r in range(args.rounds):
        for sheet in args.sheets:
            for name, command in variants:
                out = os.path.join(work, name.replace(" ", "_"))
                os.makedirs(out, exist_ok=True)
                run = ["run", "-q", "--no-progress"]
                if "RUN" in command:
                    at = command.index("RUN")
                    full = command[:at] + run + command[at + 1:] + [sheet, "-o", out]
                else:
                    full = command[:1] + run + command[1:] + [sheet, "-o", out]
                start = time.perf_counter()
                subprocess.run(full, check=True)
                times[(sheet, name)].append(time.perf_counter() - start)
                with open(os.path.join(out, "OUT_M.txt"), "rb") as f:
                    report = f.read()
                with open(os.path.join(out, "OUT_MI.txt"), "rb") as f:
                    listing = f.read()
                outputs.setdefault(sheet, set()).add((report, listing))
        print("round %d of %d done" % (r + 1, args.rounds), file=sys.stderr)

    names = [n for n, _ in variants]
    print("| sheet | " + " | ".join(names) + " |")
    print("|---|" + "---:|" * len(names))
    for sheet in args.sheets:
        cells = [("%.2f s" if statistics.median(times[(sheet, n)]) >= 1 else "%.3f s") %
                 statistics.median(times[(sheet, n)]) for n in names]
        print("| %s | %s |" % (os.path.basename(sheet)[:-4], " | ".join(cells)))
    different = [os.path.basename(s) for s, o in outputs.items() if len(o) != 1]
    if different:
        print("DIFFERENT FILES: %s" % ", ".join(different))
        return 1
    print("all variants wrote the same files")
    return 0


if __name__ == "__main__":
    sys.exit(main())
