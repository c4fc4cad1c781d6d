#!/usr/bin/env python3
"""Wall time of a sweep against the same points run one after another.

    bench/study_bench.py VARNOCK [--rounds 7]

Small points: the condenser example over 8 source distances (TH0 16..30),
as `varnock sweep` on every core, against 8 runs of the hand-edited sheets
with --threads 1. Large points: the condenser benchmark sheet over 3 source
distances, against 3 runs with the default threads. The variants alternate
round by round, so that the load of a shared machine falls on both alike;
the table gives medians. Also checks that each point's files are the ones
its serial run wrote.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def edited(sheet_bytes, row, column, text):
    lines = sheet_bytes.split(b"\n")
    cr = lines[row].endswith(b"\r")
    fields = (lines[row][:-1] if cr else lines[row]).split(b"\t")
    fields[column] = text.encode()
    lines[row] = b"\t".join(fields) + (b"\r" if cr else b"")
    return b"\n".join(lines)


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def case(tool, name, sheet, values, serial_threads, rounds, work):
    base = open(sheet, "rb").read()
    folder = os.path.join(work, name)
    os.makedirs(folder)
    study_sheet = os.path.join(folder, "sheet.txt")
    shutil.copy(sheet, study_sheet)
    texts = [format(v, "g") for v in values]
    serial_dirs = []
    for k, t in enumerate(texts):
        d = os.path.join(folder, f"serial{k}")
        os.makedirs(d)
        with open(os.path.join(d, "IN_FM.txt"), "wb") as f:
            f.write(edited(base, 19, 2, t))  # TH0, the source's distance to surface 1
        serial_dirs.append(d)
    sweep = [tool, "sweep", study_sheet, "--set", "TH0=" + ",".join(texts), "-o", os.path.join(folder, "study"),
             "--keep-runs", "-q", "--no-progress"]
    serial = [[tool, "run", "-q", "--no-progress", "--no-report", "--threads", str(serial_threads),
               os.path.join(d, "IN_FM.txt")] for d in serial_dirs]
    sweep_times, serial_times = [], []
    for _ in range(rounds):
        shutil.rmtree(os.path.join(folder, "study"), ignore_errors=True)
        sweep_times.append(timed(sweep))
        serial_times.append(sum(timed(c) for c in serial))
    for k, d in enumerate(serial_dirs):
        for out in ("OUT_M.txt", "OUT_MI.txt", "OUT_MR.txt"):
            a = open(os.path.join(d, out), "rb").read()
            b = open(os.path.join(folder, "study", "runs", f"{k:06d}", out), "rb").read()
            if a != b:
                sys.exit(f"{name}: point {k}'s {out} differs from its serial run's")
    s, r = statistics.median(sweep_times), statistics.median(serial_times)
    print(f"{name:<34} {len(values):>6} {s:>9.3f} s {r:>9.3f} s {s / r:>7.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("varnock")
    parser.add_argument("--rounds", type=int, default=7)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="varnock-study-bench-")
    try:
        print(f"{'case':<34} {'points':>6} {'sweep':>11} {'serial':>11} {'ratio':>7}")
        case(args.varnock, "condenser example, serial 1 thread", os.path.join(ROOT, "examples", "condenser.txt"),
             [16 + 2 * k for k in range(8)], 1, args.rounds, work)
        case(args.varnock, "bench condenser, serial all threads", os.path.join(HERE, "sheets", "condenser.txt"),
             [18, 20, 22], 0, max(1, args.rounds // 2), work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
