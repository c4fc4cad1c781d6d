"""Varnock64.dll in a real Windows process: Wine runs the cross-built loader,
which loads the DLL by name, looks main6 up by name and calls it with the
sheet in C:\\VBA_C_APP64\\, as the spreadsheet front end does. Every result
file must equal the Linux build's for the same calls, byte for byte.

A difference is accepted only where it has been shown to come from the two C
runtimes rounding the last bit of a maths result differently (explain.py):
forcing those Windows results into the Linux run must give the Windows files
exactly, and every forced result must be one unit in the last place away.

Run by CTest from the Windows build folder, with VARNOCK_WINDOWS_TEST_CONFIG
naming its windows_test_config.json:
    python3 test_windows_dll.py ExampleSheets
"""

import math
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sheets  # noqa: E402
from build_setup import Setup  # noqa: E402
from explain import Mismatch  # noqa: E402
from result_files import LABEL_RATIO, crlf_lines, differences, shape_problems  # noqa: E402

SETUP = Setup(os.environ.get("VARNOCK_WINDOWS_TEST_CONFIG", "windows_test_config.json"))
SYSTEM_DLLS = re.compile(r"(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+|ntdll|advapi32|"
                         r"user32|bcrypt|shell32|ws2_32|mswsock)\.dll", re.IGNORECASE)


class WindowsAgainstLinux(unittest.TestCase):
    """Runs sheets on both platforms and holds the Windows files to the
    Linux ones."""

    @classmethod
    def setUpClass(cls):
        missing = SETUP.missing_linux_programs()
        if missing:
            raise AssertionError("build the Linux side first (scripts/build.sh): missing %s" % missing)
        cls.windows = SETUP.windows()
        cls.linux = SETUP.linux(cls.__name__)

    def setUp(self):
        self.windows.reset()
        self.linux.reset()

    def assertSameAsLinux(self, name, sheet, windows_files, linux_files):
        problems = shape_problems(windows_files)
        self.assertEqual(problems, [], "%s: the Windows files are malformed" % name)
        if windows_files == linux_files:
            return
        found = differences(linux_files, windows_files)
        explanation = SETUP.explainer().explain(name, sheet, windows_files)
        account = "%s differs between Linux and Windows:\n  %s\n" % (name, "\n  ".join(found[:20]))
        self.assertTrue(explanation.explained, account + "and forcing the Windows maths results "
                        "into the Linux run does not reproduce it: not a rounding difference")
        last_bit = all(m.ulps() <= 1 for m in explanation.responsible)
        account += "caused by:\n  " + "\n  ".join(str(m) for m in explanation.responsible)
        self.assertTrue(last_bit, account + "\nmore than a last-bit difference")
        print("accepted, a last-bit maths difference: " + account)

    def compare_fresh_runs(self, batch):
        windows = self.windows.run_sheets(batch)
        linux = self.linux.run_sheets(batch)
        for name, sheet in batch:
            with self.subTest(sheet=name):
                self.assertSameAsLinux(name, sheet, windows[name], linux[name])
        return windows

    def run_plan_on_both(self, steps_for):
        """Runs the same plan on both platforms; steps_for(runner) gives it."""
        for runner in (self.windows, self.linux):
            runner.run_plan(steps_for(runner))


def total_weight(report):
    return float(crlf_lines(report)[0].split(b"\t")[-1])


class ExampleSheets(WindowsAgainstLinux):
    def test_every_bundled_example_matches_linux(self):
        batch = sheets.example_sheets()
        self.assertGreater(len(batch), 0)
        windows = self.compare_fresh_runs(batch)
        for name, _ in batch:
            self.assertGreater(total_weight(windows[name]["OUT_M.txt"]), 0, name)


class EverySurfaceType(WindowsAgainstLinux):
    def test_a_system_with_every_type_code_matches_linux(self):
        name, sheet = sheets.every_surface_type_sheet()
        types = [line.split(b"\t")[5] for line in crlf_lines(sheet)[20:]]
        self.assertEqual(types, [b"%d" % t for t in range(1, 10)])
        windows = self.compare_fresh_runs([(name, sheet)])
        self.assertGreater(total_weight(windows[name]["OUT_M.txt"]), 0)


class ZeroCases(WindowsAgainstLinux):
    def test_no_scan_step_and_a_ring_of_radius_zero_match_linux(self):
        windows = self.compare_fresh_runs(sheets.zero_sheets())
        no_scan = windows["nscan-zero"]
        self.assertIsNone(no_scan["OUT_MR.txt"], "no pass ran, so no pass marker")
        self.assertEqual(crlf_lines(no_scan["OUT_M.txt"])[2], LABEL_RATIO + b"\t\tnan")
        self.assertEqual(total_weight(no_scan["OUT_M.txt"]), 0)
        self.assertEqual(windows["rsrc-zero"]["OUT_MR.txt"], b"")


class TwoCallsInOneProcess(WindowsAgainstLinux):
    def test_the_second_fan_listing_shows_the_first_calls_last_source_point(self):
        sheet = sheets.lens_sheet(NRING=6, RSRC=1.0, NSCAN=2)

        def steps(runner):
            path = runner.put_sheet("lens", sheet)
            return ["load " + runner.library_name(), "sheet " + path, "call", "collect first", "call"]

        self.run_plan_on_both(steps)
        for runner in (self.windows, self.linux):
            first, second = runner.collected("first"), runner.exchange_files()
            # A fresh library starts from a zeroed model ...
            self.assertTrue(crlf_lines(first["OUT_MI.txt"])[1].startswith(b"0.000000\t0.000000\t"))
            # ... and the second call starts where the first left off: ring
            # point 5 of 6 at radius 1, 6.28 * 5 / 6 rad round.
            expected = ("%f\t%f\t" % (math.cos(6.28 * 5 / 6), math.sin(6.28 * 5 / 6))).encode()
            self.assertTrue(crlf_lines(second["OUT_MI.txt"])[1].startswith(expected), runner.name)
            self.assertEqual(first["OUT_M.txt"], second["OUT_M.txt"], "the grids do not persist")
        self.assertSameAsLinux("first call", sheet, self.windows.collected("first"),
                               self.linux.collected("first"))
        self.assertSameAsLinux("second call", sheet, self.windows.exchange_files(),
                               self.linux.exchange_files())


class MissingSheet(WindowsAgainstLinux):
    def test_no_sheet_leaves_an_empty_report_and_the_process_alive(self):
        def steps(runner):
            return ["load " + runner.library_name(), "write OUT_M.txt a report from an earlier call",
                    "remove IN_FM.txt", "call", "collect stale",
                    "remove OUT_M.txt", "call", "collect absent", "unload"]

        self.run_plan_on_both(steps)  # each loader checks that it got to the end
        for runner in (self.windows, self.linux):
            self.assertEqual(runner.collected("stale")["OUT_M.txt"], b"", runner.name)
            self.assertEqual(runner.collected("absent")["OUT_M.txt"], b"", runner.name)
            self.assertIsNone(runner.collected("absent")["OUT_MI.txt"], runner.name)


class VariedSheets(WindowsAgainstLinux):
    COUNT = 300

    def test_generated_systems_and_awkward_sheets_match_linux(self):
        self.compare_fresh_runs(sheets.varied_sheets(self.COUNT, seed=20261208))


class FastMode(WindowsAgainstLinux):
    """VARNOCK_MODE=fast: the DLL traces with the fast tracer on the widest
    instruction set the processor has. Plain IEEE arithmetic gives the same
    bits on both platforms and on every instruction set (the two sides may
    take different ones), so the files are the Linux fast run's exactly."""

    FAST = {"VARNOCK_MODE": "fast"}

    def test_fast_runs_match_linux_fast_runs(self):
        name, sheet = sheets.every_surface_type_sheet()
        batch = sheets.example_sheets() + [(name, sheet)] + sheets.varied_sheets(40, seed=20261209)
        windows = self.windows.run_sheets(batch, self.FAST)
        linux = self.linux.run_sheets(batch, self.FAST)
        for name, _ in batch:
            with self.subTest(sheet=name):
                self.assertEqual(shape_problems(windows[name]), [])
                self.assertEqual(differences(linux[name], windows[name]), [])
        for name, _ in sheets.example_sheets():
            self.assertGreater(total_weight(windows[name]["OUT_M.txt"]), 0, name)


class DllTables(unittest.TestCase):
    def tables(self):
        out = subprocess.run([SETUP.path("objdump"), "-p", SETUP.path("dll")], check=True,
                             capture_output=True, text=True).stdout
        names = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\s+\[\s*\d+\] \S+\n)*)", out)
        exports = re.findall(r"\] (\S+)", names.group(1)) if names else []
        return exports, re.findall(r"DLL Name: (\S+)", out)

    def test_exports_main6_alone_undecorated(self):
        exports, _ = self.tables()
        self.assertEqual(exports, ["main6"])

    def test_imports_system_dlls_only(self):
        _, imports = self.tables()
        self.assertIn("KERNEL32.dll", imports)
        self.assertEqual([d for d in imports if not SYSTEM_DLLS.fullmatch(d)], [],
                         "the DLL needs a library that a clean Windows does not have")


class ExplainerOnLinux(unittest.TestCase):
    """The check behind an accepted difference, tried where the answer is
    known: a Linux run with one maths result forced stands in for Windows."""

    def test_a_forced_result_is_found_among_others_and_reproduces_the_files(self):
        if SETUP.missing_linux_programs():
            self.fail("build the Linux side first (scripts/build.sh)")
        explainer = SETUP.explainer()
        os.makedirs(explainer.work, exist_ok=True)
        sheet = sheets.lens_sheet(NRING=1, RSRC=1.0, NSCAN=1)
        log = os.path.join(explainer.work, "self-check-calls.txt")
        plain = explainer.linux_files("lens", sheet, {"VARNOCK_MATH_LOG": log})
        with open(log) as f:
            calls = {tuple(line.split()) for line in f}
        # The single ring point lies at angle 0, where its cosine places it;
        # the cosine taken as 0.5 instead moves the whole ring's light.
        self.assertIn(("sincos", "0000000000000000"), calls)
        moved = Mismatch("sincos", "0000000000000000", "0000000000000000,3ff0000000000000",
                         "0000000000000000,3fe0000000000000")
        # Arguments the run never passes: forcing them changes nothing.
        unused = ["%016x" % (0x3ff0000000000000 + k) for k in range(1, 400)]
        decoys = [Mismatch("tan", a, "0000000000000000", "3ff0000000000000")
                  for a in unused if ("tan", a) not in calls][:6]
        self.assertEqual(len(decoys), 6)

        overrides = os.path.join(explainer.work, "self-check-overrides.txt")
        with open(overrides, "w") as f:
            f.write(moved.override_line() + "\n")
        shifted = explainer.linux_files("lens", sheet, {"VARNOCK_MATH_OVERRIDE": overrides})
        self.assertNotEqual(shifted["OUT_M.txt"], plain["OUT_M.txt"])
        self.assertTrue(explainer.reproduces("lens", sheet, decoys + [moved], shifted))
        self.assertFalse(explainer.reproduces("lens", sheet, decoys, shifted))
        self.assertEqual(explainer.narrow("lens", sheet, decoys[:3] + [moved] + decoys[3:], shifted),
                         [moved])


if __name__ == "__main__":
    unittest.main(verbosity=2)
