#!/usr/bin/env python3
"""Runs and studies shared among MPI ranks, through the MPI build's tool.

  - with --exact-sums the files are byte-identical for 1 to 4 ranks and 1 to
    3 threads a rank, and identical to --exact-sums in one process without
    mpirun (the examples, the shortened benchmark sheets, generated systems,
    and the fast mode), and run.json lists every rank;
  - without --exact-sums a shared run is refused; a rank that cannot start
    (a missing sheet, another sheet, no output folder) fails the job with a
    message, and the previous results stay as they were; ranks on different
    maths code are named in run.json and warned about;
  - a sweep and a trials study split over ranks write the CSV of the study
    run in one process, and --task is refused under mpirun.

    python3 mpi_check.py VARNOCK MPIEXEC WORK_DIR
"""

import filecmp
import json
import os
import random
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "reference"))

from compare_with_reference import ROOT, model_sheet, shortened_bench_sheets  # noqa: E402

FILES = ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt")
# mpirun refuses root unless told; the test machines run as root.
ENV = dict(os.environ, OMPI_ALLOW_RUN_AS_ROOT="1", OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1",
           OMPI_MCA_rmaps_base_oversubscribe="1")


class CheckFailed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def tool(varnock, args, mpiexec=None, ranks=1, timeout=300):
    command = [varnock] + args
    if mpiexec:
        command = [mpiexec, "--oversubscribe", "-np", str(ranks)] + command
    return subprocess.run(command, capture_output=True, text=True, env=ENV, timeout=timeout)


def run_sheet(varnock, sheet, out, extra=(), mpiexec=None, ranks=1, threads=1):
    result = tool(varnock, ["run", "-q", "--no-progress", "--no-report", sheet, "-o", fresh(out),
                            "-t", str(threads), "--exact-sums"] + list(extra), mpiexec, ranks)
    check(result.returncode == 0, f"{sheet} on {ranks} ranks x {threads} threads: exit "
          f"{result.returncode}\n{result.stderr}")
    return out


def same_files(a, b, what):
    for name in FILES:
        check(filecmp.cmp(os.path.join(a, name), os.path.join(b, name), shallow=False),
              f"{what}: {name} differs from the run in one process")


def sheets(work):
    """(name, path): the examples, the shortened benchmark sheets and generated systems."""
    found = []
    for name in ("condenser.txt", "reflector.txt", "homogeniser.txt"):
        found.append((name, os.path.join(ROOT, "examples", name)))
    generated = [(n, t) for n, t in shortened_bench_sheets()]
    rng = random.Random(1213)
    generated += [(f"generated-{k}", model_sheet(rng)) for k in range(3)]
    folder = fresh(os.path.join(work, "sheets"))
    for name, text in generated:
        path = os.path.join(folder, name.replace("/", "-") + (".txt" if not name.endswith(".txt") else ""))
        with open(path, "wb") as f:
            f.write(text.encode("latin-1"))
        found.append((name, path))
    return found


def check_invariance(varnock, mpiexec, work):
    all_sheets = sheets(work)
    for index, (name, sheet) in enumerate(all_sheets):
        alone = run_sheet(varnock, sheet, os.path.join(work, "alone"))
        # Every rank and thread count on two sheets, a diagonal on the rest.
        full = index in (0, 3)
        combos = ([(r, t) for r in (1, 2, 3, 4) for t in (1, 2, 3)] if full
                  else [(2, 1), (3, 2), (4, 3)])
        for ranks, threads in combos:
            out = run_sheet(varnock, sheet, os.path.join(work, "shared"), mpiexec=mpiexec,
                            ranks=ranks, threads=threads)
            same_files(alone, out, f"{name} on {ranks} ranks x {threads} threads")
            with open(os.path.join(out, "run.json")) as f:
                record = json.load(f)
            check(record["sums"] == "exact", f"{name}: run.json says sums {record['sums']}")
            processes = record.get("processes", [])
            check(len(processes) == (ranks if ranks > 1 else 0),
                  f"{name} on {ranks} ranks: run.json lists {len(processes)} processes")
            check(all(p["threads"] == threads and p["maths"] for p in processes),
                  f"{name}: run.json's processes {processes}")
    # The fast mode shares its runs alike.
    sheet = all_sheets[3][1]
    alone = run_sheet(varnock, sheet, os.path.join(work, "alone"), ["--fast", "--simd", "sse2"])
    out = run_sheet(varnock, sheet, os.path.join(work, "shared"), ["--fast", "--simd", "sse2"],
                    mpiexec, 3, 2)
    same_files(alone, out, "the fast mode on 3 ranks")
    return len(all_sheets)


def check_failures(varnock, mpiexec, work):
    sheet = os.path.join(ROOT, "examples", "condenser.txt")
    out = run_sheet(varnock, sheet, os.path.join(work, "kept"))
    before = {n: open(os.path.join(out, n), "rb").read() for n in FILES + ("run.json",)}

    def untouched(what):
        for n, data in before.items():
            check(open(os.path.join(out, n), "rb").read() == data, f"{what}: {n} was changed")
        check(sorted(os.listdir(out)) == sorted(before), f"{what}: left {sorted(os.listdir(out))}")

    # A command that does not share its work is done once, by rank 0.
    result = tool(varnock, ["compare", out, out], mpiexec, 3)
    check(result.returncode == 0 and result.stdout.count("identical") == len(FILES),
          f"compare under mpirun: exit {result.returncode}\n{result.stdout}{result.stderr}")

    result = tool(varnock, ["run", "-q", sheet, "-o", out], mpiexec, 2)
    check(result.returncode == 2 and "--exact-sums" in result.stderr,
          f"without exact sums: exit {result.returncode}\n{result.stderr}")
    untouched("a refused run")

    missing = os.path.join(work, "no-such-sheet.txt")
    other = os.path.join(ROOT, "examples", "reflector.txt")
    # The same fan and positions as the sheet, another curvature: only the
    # sheet's bytes tell them apart.
    with open(sheet, "rb") as f:
        lines = f.read().split(b"\r\n")
    check(lines[21].startswith(b"2\t-0.0333333\t"), "the condenser's surface 2 has moved")
    lines[21] = lines[21].replace(b"-0.0333333", b"-0.0343333", 1)
    edited = os.path.join(work, "edited.txt")
    with open(edited, "wb") as f:
        f.write(b"\r\n".join(lines))
    for rank1_sheet, says in ((missing, ("rank 1: ", "could not start")), (other, ("rank 1", "same sheet")),
                              (edited, ("rank 1", "same sheet"))):
        command = [mpiexec, "--oversubscribe", "-np", "1", varnock, "run", "-q", sheet, "-o", out,
                   "--exact-sums", ":", "-np", "1", varnock, "run", "-q", rank1_sheet, "-o", out,
                   "--exact-sums"]
        result = subprocess.run(command, capture_output=True, text=True, env=ENV, timeout=120)
        check(result.returncode != 0 and all(s in result.stderr for s in says),
              f"rank 1 reading {rank1_sheet}: exit {result.returncode}\n{result.stderr}")
        untouched(f"rank 1 reading {os.path.basename(rank1_sheet)}")

    # Ranks on different maths code: the run says so and run.json shows it.
    mixed = fresh(os.path.join(work, "mixed-maths"))
    command = [mpiexec, "--oversubscribe", "-np", "1", varnock, "run", "-q", sheet, "-o", mixed,
               "--exact-sums", "--fast", "--simd", "sse2", ":", "-np", "1", varnock, "run", "-q",
               sheet, "-o", mixed, "--exact-sums", "--fast"]
    result = subprocess.run(command, capture_output=True, text=True, env=ENV, timeout=120)
    check(result.returncode == 0, f"ranks on two paths: exit {result.returncode}\n{result.stderr}")
    with open(os.path.join(mixed, "run.json")) as f:
        maths = [p["maths"] for p in json.load(f)["processes"]]
    differ = maths[0] != maths[1]
    check(("different maths code" in result.stderr) == differ,
          f"ranks on {maths}: the warning is {'missing' if differ else 'wrong'}\n{result.stderr}")

    result = tool(varnock, ["run", "-q", sheet, "-o", os.path.join(work, "no-such-folder"),
                            "--exact-sums"], mpiexec, 3)
    check(result.returncode == 1 and "output folder" in result.stderr,
          f"no output folder: exit {result.returncode}\n{result.stderr}")


def check_studies(varnock, mpiexec, work):
    sheet = os.path.join(ROOT, "examples", "condenser.txt")
    studies = (["sweep", sheet, "--set", "TH0=12:30:7", "--set", "CV1=0.02,0.03"],
               ["trials", sheet, "--jitter", "TH0=normal:0.5", "--jitter", "CV1=uniform:0.002",
                "-n", "9", "--seed", "5"])
    for args, ranks in zip(studies, (3, 2)):
        kind = args[0]
        alone = os.path.join(work, kind + "-alone")
        shared = os.path.join(work, kind + "-shared")
        for folder, r in ((alone, 1), (shared, ranks)):
            shutil.rmtree(folder, ignore_errors=True)
            result = tool(varnock, args + ["-q", "--no-progress", "--exact-sums", "-t", "1",
                                           "-o", folder], mpiexec if r > 1 else None, r)
            check(result.returncode == 0, f"{kind} on {r} ranks: exit {result.returncode}\n{result.stderr}")
        check(filecmp.cmp(os.path.join(alone, kind + ".csv"), os.path.join(shared, kind + ".csv"),
                          shallow=False), f"{kind} on {ranks} ranks: the CSV differs from one process's")
        check(os.path.exists(os.path.join(shared, kind + ".html")), f"{kind}: no report on {ranks} ranks")
    result = tool(varnock, studies[0] + ["-q", "--task", "0", "--tasks", "2", "-o",
                                         os.path.join(work, "tasked")], mpiexec, 2)
    check(result.returncode == 2 and "--task" in result.stderr,
          f"--task under mpirun: exit {result.returncode}\n{result.stderr}")


def main():
    varnock, mpiexec, work = sys.argv[1], sys.argv[2], sys.argv[3]
    fresh(work)
    try:
        count = check_invariance(varnock, mpiexec, work)
        check_failures(varnock, mpiexec, work)
        check_studies(varnock, mpiexec, work)
    except (CheckFailed, subprocess.TimeoutExpired) as e:
        print(f"FAILED: {e}")
        return 1
    print(f"mpi check: {count} sheets identical on 1-4 ranks x 1-3 threads; failures and studies as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
