#!/usr/bin/env python3
"""Runs many sheets through Varnock64.dll under Wine and libVarnock64.so on
Linux, counts the sheets whose result files are byte-identical, and explains
every difference: which maths results the two C runtimes round differently,
whether forcing them into the Linux run reproduces the Windows files exactly,
and which function and arguments were responsible. With --calls it also
evaluates every maths call of every sheet on both platforms and counts the
calls whose results differ, by function and by distance in the last place.

With --exe the Windows side is varnock.exe run (on 3 threads) and the Linux
side the Linux build's varnock run (on 1), one process a sheet.

Usage: measure.py --config build-windows/tests/windows/windows_test_config.json
                  [--count N] [--seed S] [--narrow] [--calls] [--exe]
"""

import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sheets  # noqa: E402
from build_setup import Setup  # noqa: E402
from result_files import differences, shape_problems  # noqa: E402
from runners import read_results  # noqa: E402


def tool_results(config, batch):
    """The batch run with varnock.exe under Wine and with the Linux varnock."""
    os.environ["VARNOCK_WINDOWS_TEST_CONFIG"] = config
    from test_windows_cli import linux_cli, windows_cli
    results = {}
    for cli, threads in ((windows_cli(), "3"), (linux_cli(), "1")):
        cli.reset()
        results[cli.name] = {}
        for name, data in batch:
            cli.put(os.path.join(name, "IN_FM.txt"), data)
            cli.run("run", name + "/IN_FM.txt", "-o", name, "-t", threads, "-q", "--no-report")
            results[cli.name][name] = read_results(cli.path(name))
    return results["Windows"], results["Linux"]


def count_calls(setup, explainer, batch):
    """Logs every maths call of the whole batch on Linux and evaluates them
    on both platforms: how often the runtimes disagree, and by how much."""
    log = os.path.join(setup.work, "all-calls.txt")
    linux = setup.linux("calls")
    linux.reset()
    linux.run_sheets(batch, {"LD_PRELOAD": os.path.abspath(setup.path("math_shim")),
                             "VARNOCK_MATH_LOG": log})
    with open(log) as f:
        calls = {}
        for line in f:
            calls[line.split()[0]] = calls.get(line.split()[0], 0) + 1
    by_function, wide = {}, []
    for m in explainer.mismatches(log):
        if m.ulps() > 1:
            wide.append(m)
        entry = by_function.setdefault(m.function, {"differ": 0, "ulps": {}})
        entry["differ"] += 1
        entry["ulps"][m.ulps()] = entry["ulps"].get(m.ulps(), 0) + 1
    print("distinct maths calls of all sheets (function: calls, rounded differently, by ulps apart;"
          " 0 = not-a-numbers of another sign or payload):")
    for function in sorted(calls):
        entry = by_function.get(function, {"differ": 0, "ulps": {}})
        print("  %-6s %9d %8d  %s" % (function, calls[function], entry["differ"],
                                      dict(sorted(entry["ulps"].items()))))
    for m in wide[:20]:
        print("  more than one unit in the last place: " + str(m))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--config", required=True)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=5)
    parser.add_argument("--narrow", action="store_true",
                        help="name the responsible calls (slower)")
    parser.add_argument("--calls", action="store_true",
                        help="also count the maths calls of all sheets that the runtimes round differently")
    parser.add_argument("--exe", action="store_true",
                        help="compare varnock.exe run with the Linux varnock run instead of the libraries")
    args = parser.parse_args()

    setup = Setup(args.config)
    setup.wine.ensure_prefix()
    setup.wine.start_server()
    try:
        batch = (sheets.example_sheets() + [sheets.every_surface_type_sheet()] +
                 sheets.zero_sheets() + sheets.varied_sheets(args.count, args.seed))
        start = time.time()
        if args.exe:
            win, lin = tool_results(args.config, batch)
        else:
            windows, linux = setup.windows(), setup.linux()
            windows.reset()
            linux.reset()
            win = windows.run_sheets(batch)
            lin = linux.run_sheets(batch)
        print("ran %d sheets on both platforms in %.1f s" % (len(batch), time.time() - start))

        explainer = setup.explainer()
        identical, by_cause, unexplained, malformed = 0, {}, 0, 0
        for name, data in batch:
            problems = shape_problems(win[name])
            if problems:
                malformed += 1
                print("MALFORMED %s: %s" % (name, "; ".join(problems)))
            if win[name] == lin[name]:
                identical += 1
                continue
            diff = differences(lin[name], win[name])
            e = explainer.explain(name, data, win[name], narrow=args.narrow)
            print("DIFFERENT %s: %d cells/lines, e.g. %s" % (name, len(diff), "; ".join(diff[:3])))
            print("  %d distinct maths calls, %d rounded differently %s, at most %d ulp apart" % (
                e.calls, len(e.mismatches), e.functions(), e.max_ulps()))
            if not e.explained:
                unexplained += 1
                print("  NOT EXPLAINED by the maths results")
                continue
            print("  explained: forcing the Windows maths results reproduces the Windows files")
            for m in e.responsible[:4]:
                print("    responsible: " + str(m))
            key = ",".join(sorted({m.function for m in e.responsible})) or "?"
            by_cause[key] = by_cause.get(key, 0) + 1
        print("%d of %d sheets gave byte-identical files on Linux and Windows" % (identical, len(batch)))
        if args.calls:
            count_calls(setup, explainer, batch)
        print("differences explained by maths rounding: %s; not explained: %d; malformed Windows"
              " files: %d" % (by_cause, unexplained, malformed))
    finally:
        setup.wine.stop_server()
    return 1 if unexplained or malformed else 0


if __name__ == "__main__":
    sys.exit(main())
