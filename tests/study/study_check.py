#!/usr/bin/env python3
"""Studies end to end, through the command-line tool.

  - every point of a sweep and of a trials study gives the very files a run
    of the sheet edited by hand gives (the editing done here, cell by cell);
  - the draws of the trials are those of the documented generator, worked
    out here independently, and trial k's draw does not depend on how many
    trials there are;
  - a study split into 3 tasks and merged, a study killed and resumed, and
    a study on one thread all write the CSV of the whole study byte for byte;
  - a refused point is recorded as failed (exit 1), a bad cell name and a
    large study without --yes are refused (exit 2);
  - a folder an earlier version of varnock made, whose statistics columns
    differ, is neither resumed, run afresh nor merged (exit 2).

    python3 study_check.py VARNOCK EXAMPLES_DIR WORK_DIR
"""

import csv
import math
import os
import shutil
import signal
import subprocess
import sys
import time

MASK = (1 << 64) - 1


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def varnock(tool, *args, expect=0, timeout=300):
    done = subprocess.run([tool, *args], capture_output=True, text=True, timeout=timeout)
    check(done.returncode == expect,
          f"varnock {' '.join(args)} exited {done.returncode}, not {expect}: {done.stderr}")
    return done


def read(path):
    with open(path, "rb") as f:
        return f.read()


def rows(folder, kind):
    with open(os.path.join(folder, kind + ".csv"), newline="") as f:
        return list(csv.DictReader(f))


def edit_sheet(text, edits):
    """The sheet with the cells at (column, row) from 0 replaced, the rest of
    its bytes (line ends included) untouched."""
    lines = text.split(b"\n")
    for (column, row), value in edits.items():
        line = lines[row]
        cr = line.endswith(b"\r")
        fields = (line[:-1] if cr else line).split(b"\t")
        while len(fields) <= column:
            fields.append(b"")
        fields[column] = value.encode()
        lines[row] = b"\t".join(fields) + (b"\r" if cr else b"")
    return b"\n".join(lines)


def cell_position(name):
    letters = "".join(c for c in name if c.isalpha())
    column = 0
    for c in letters:
        column = column * 26 + ord(c) - ord("A") + 1
    return column - 1, int(name[len(letters):]) - 1


def check_points_against_hand_edits(tool, sheet, folder, kind, cells, points, work):
    """Runs the hand-edited sheet of each point and compares its three files
    with the point's in runs/."""
    base = read(sheet)
    table = {int(r["point"]): r for r in rows(folder, kind)}
    for point in points:
        row = table[point]
        edits = {cell_position(c): row[name] for name, c in cells}
        if kind == "trials" and point == 0:
            edits = {}  # the nominal trial is the sheet as it is
        hand = os.path.join(work, f"hand-{kind}-{point}")
        os.makedirs(hand, exist_ok=True)
        with open(os.path.join(hand, "IN_FM.txt"), "wb") as f:
            f.write(edit_sheet(base, edits))
        varnock(tool, "run", "-q", "--no-report", os.path.join(hand, "IN_FM.txt"))
        run_dir = os.path.join(folder, "runs", f"{point:06d}")
        check(read(os.path.join(run_dir, "IN_FM.txt")) == read(os.path.join(hand, "IN_FM.txt")),
              f"{kind} point {point}: the study wrote another sheet than the hand-edited one")
        for name in ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"):
            check(read(os.path.join(run_dir, name)) == read(os.path.join(hand, name)),
                  f"{kind} point {point}: {name} differs from the hand-edited sheet's")
        check(os.path.exists(os.path.join(run_dir, "report.html")), f"{kind} point {point} kept no report")


# The generator the trials document, written again from its description.
def splitmix64(x):
    x = (x + 0x9E3779B97F4A7C15) & MASK
    x = ((x ^ (x >> 30)) * 0xBF58476D1CE4E5B9) & MASK
    x = ((x ^ (x >> 27)) * 0x94D049BB133111EB) & MASK
    return x ^ (x >> 31)


def fnv1a(text):
    h = 0xCBF29CE484222325
    for b in text.encode():
        h = ((h ^ b) * 0x100000001B3) & MASK
    return h


def unit(seed, trial, cell, i):
    key = splitmix64(splitmix64(seed) ^ splitmix64((trial + 0x5851F42D4C957F2D) & MASK) ^ fnv1a(cell))
    return (splitmix64((key + i) & MASK) >> 11) * 2.0 ** -53


def draw(kind, width, seed, trial, cell):
    if kind == "uniform":
        return width * (2 * unit(seed, trial, cell, 0) - 1)
    m = 0
    while True:
        a = 2 * unit(seed, trial, cell, 2 * m) - 1
        b = 2 * unit(seed, trial, cell, 2 * m + 1) - 1
        s = a * a + b * b
        if 0 < s < 1:
            return width * (a * math.sqrt(-2 * math.log(s) / s))
        m += 1


def sweep_checks(tool, examples, work):
    sheet = os.path.join(work, "condenser.txt")
    shutil.copy(os.path.join(examples, "condenser.txt"), sheet)
    folder = os.path.join(work, "condenser.sweep")  # the default folder
    varnock(tool, "sweep", sheet, "--set", "TH0=18:24:3", "--set", "C7=0.5,1.5", "--keep-runs", "--no-progress")
    table = rows(folder, "sweep")
    check([(r["TH0"], r["RSRC"]) for r in table] ==
          [("18", "0.5"), ("18", "1.5"), ("21", "0.5"), ("21", "1.5"), ("24", "0.5"), ("24", "1.5")],
          f"the sweep's grid is not every combination, the last cell fastest: {table}")
    check(all(r["status"] == "ok" for r in table), "a sweep point failed")
    check(len({r["ratio"] for r in table}) > 1, "every sweep point has the same ratio")
    check_points_against_hand_edits(tool, sheet, folder, "sweep", [("TH0", "C20"), ("RSRC", "C7")],
                                    range(6), work)
    page = read(os.path.join(folder, "sweep.html"))
    check(b'"kind":"sweep"' in page and b'"shape":[3,2]' in page, "sweep.html lacks the grid's data")

    # --zip pairs the values; a refused point is recorded and the rest run.
    zipped = os.path.join(work, "zipped")
    done = varnock(tool, "sweep", sheet, "--set", "NTH=15,100000000,4", "--set", "TH0=20,21,22", "--zip",
                   "-o", zipped, "--no-progress", expect=1)
    table = rows(zipped, "sweep")
    check([r["status"] for r in table] == ["ok", "failed", "ok"], f"statuses {[r['status'] for r in table]}")
    check(table[1]["message"].startswith("point 1: cell C6: ") and work not in table[1]["message"],
          f"the failed point's message: {table[1]['message']!r}")
    check("1 of 3 points failed" in done.stderr, done.stderr)

    # Bad usage: exit 2, nothing run.
    varnock(tool, "sweep", sheet, "--set", "TH9=1", "-o", os.path.join(work, "bad"), expect=2)
    varnock(tool, "sweep", sheet, "--set", "A1=1", "-o", os.path.join(work, "bad"), expect=2)
    big = varnock(tool, "sweep", sheet, "--set", "TH0=1:2:1000", "--set", "CV1=0:0.1:101",
                  "-o", os.path.join(work, "big"), expect=2)
    check("--yes" in big.stderr, big.stderr)
    check(not os.path.exists(os.path.join(work, "big")), "a refused study left a folder")


def trials_checks(tool, examples, work):
    # A slower base sheet (more source points), so that a study can be
    # stopped part way.
    sheet = os.path.join(work, "homogeniser.txt")
    base = read(os.path.join(examples, "homogeniser.txt"))
    with open(sheet, "wb") as f:
        f.write(edit_sheet(base, {cell_position("C9"): "48"}))
    jitters = ["--jitter", "TH0=normal:0.4", "--jitter", "CV5=uniform:0.002", "--seed", "7"]
    cells = [("TH0", "C20", "normal", 0.4, 18.0), ("CV5", "B25", "uniform", 0.002, 0.05)]
    whole = os.path.join(work, "whole")
    varnock(tool, "trials", sheet, *jitters, "-n", "8", "-o", whole, "--keep-runs", "--no-progress")
    table = rows(whole, "trials")
    check(len(table) == 9, "trials 0..8 expected")
    for r in table:
        k = int(r["point"])
        for name, cell, kind, width, nominal in cells:
            expected = nominal if k == 0 else nominal + draw(kind, width, 7, k, cell)
            check(float(r[name]) == expected,
                  f"trial {k} drew {r[name]} for {name}, the generator gives {expected!r}")
    check_points_against_hand_edits(tool, sheet, whole, "trials", [(n, c) for n, c, *_ in cells],
                                    [0, 1, 5], work)
    whole_csv = read(os.path.join(whole, "trials.csv"))
    check(b"/" not in whole_csv.split(b"\n", 1)[1], "the CSV holds a path")

    # Fewer trials: the same draws for the same k.
    fewer = os.path.join(work, "fewer")
    varnock(tool, "trials", sheet, *jitters, "-n", "3", "-o", fewer, "--threads", "1", "--no-progress")
    check(read(os.path.join(fewer, "trials.csv")) == b"".join(whole_csv.splitlines(True)[:5]),
          "trials 0..3 of a 3-trial study differ from those of the 8-trial study")

    # Three tasks, each in a folder of its own on one thread, then merged.
    parts = []
    for k in range(3):
        part = os.path.join(work, f"part{k}")
        done = varnock(tool, "trials", sheet, *jitters, "-n", "8", "-o", part, "--task", str(k), "--tasks", "3",
                       "--threads", "1", "--no-progress")
        check(not os.path.exists(os.path.join(part, "trials.csv")), f"task {k} wrote the CSV of the whole")
        check("varnock merge" in done.stdout, done.stdout)
        parts.append(part)
    merged = os.path.join(work, "merged")
    varnock(tool, "merge", parts[0], parts[1], "-o", merged, expect=2)  # a share is missing
    varnock(tool, "merge", *parts, "-o", merged)
    check(read(os.path.join(merged, "trials.csv")) == whole_csv, "the merged CSV differs from the whole study's")
    check(read(os.path.join(merged, "study.json")) == read(os.path.join(whole, "study.json")), "study.json differs")
    varnock(tool, "merge", parts[0], os.path.join(work, "zipped"), "-o", os.path.join(work, "mixed"), expect=2)

    # Killed part way, then resumed: the finished points are kept as they are.
    stopped = os.path.join(work, "stopped")
    process = subprocess.Popen([tool, "trials", sheet, *jitters, "-n", "8", "-o", stopped, "--threads", "1",
                                "--no-progress"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    points = os.path.join(stopped, "points")
    deadline = time.time() + 60
    while time.time() < deadline and process.poll() is None:
        if os.path.isdir(points) and len([n for n in os.listdir(points) if n.endswith(".json")]) >= 2:
            process.send_signal(signal.SIGKILL)
            break
        time.sleep(0.002)
    process.wait()
    kept = {n: os.stat(os.path.join(points, n)).st_mtime_ns for n in os.listdir(points) if n.endswith(".json")}
    check(0 < len(kept) < 9, f"the study was not stopped part way ({len(kept)} points done)")
    check(not os.path.exists(os.path.join(stopped, "trials.csv")), "a stopped study wrote its CSV")
    varnock(tool, "trials", sheet, *jitters, "-n", "8", "-o", stopped, "--resume", "--no-progress")
    for n, mtime in kept.items():
        check(os.stat(os.path.join(points, n)).st_mtime_ns == mtime, f"--resume ran {n} again")
    check(read(os.path.join(stopped, "trials.csv")) == whole_csv, "the resumed study's CSV differs")
    check(not [n for n in os.listdir(stopped) if n.startswith(".work")], "a scratch folder was left behind")
    # Another study into the same folder is refused.
    varnock(tool, "trials", sheet, *jitters, "-n", "9", "-o", stopped, expect=2)


def older_statistics_checks(tool, examples, work):
    sheet = os.path.join(work, "older.txt")
    shutil.copy(os.path.join(examples, "condenser.txt"), sheet)
    study = ["--set", "TH0=18,24"]
    current = os.path.join(work, "older-current")
    varnock(tool, "sweep", sheet, *study, "-o", current, "-q", "--no-progress")
    # The folder as an earlier version left it: its study.json the same but
    # for the statistics' version, which it did not write.
    older = os.path.join(work, "older")
    shutil.copytree(current, older)
    definition = read(os.path.join(older, "study.json"))
    check(definition.count(b'\n  "statistics": 2,\n') == 1, f"study.json holds no statistics version: {definition}")
    with open(os.path.join(older, "study.json"), "wb") as f:
        f.write(definition.replace(b'\n  "statistics": 2,\n', b"\n"))
    older_json = read(os.path.join(older, "study.json"))
    message = older + " was made by an earlier version of varnock whose statistics columns (FWHM) differ"
    for again in (["--resume"], []):
        done = varnock(tool, "sweep", sheet, *study, "-o", older, *again, "--no-progress", expect=2)
        check(message in done.stderr, f"sweep {' '.join(again)} into the older folder: {done.stderr}")
    for folders in ([older], [current, older]):
        done = varnock(tool, "merge", *folders, "-o", os.path.join(work, "older-merged"), expect=2)
        check(message in done.stderr, f"merge {folders}: {done.stderr}")
    check(read(os.path.join(older, "study.json")) == older_json, "a refused study rewrote study.json")
    check(not os.path.exists(os.path.join(work, "older-merged")), "a refused merge left a folder")
    # Another study in that folder is another study, whatever the version.
    done = varnock(tool, "sweep", sheet, "--set", "TH0=18,25", "-o", older, "--resume", expect=2)
    check("holds another study" in done.stderr, done.stderr)


def main():
    tool, examples, work = sys.argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        sweep_checks(tool, examples, work)
        trials_checks(tool, examples, work)
        older_statistics_checks(tool, examples, work)
    except CheckFailed as e:
        print(f"FAILED: {e}")
        return 1
    print("studies: all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
