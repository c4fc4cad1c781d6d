"""varnock.exe in a real Windows process under Wine, held to the Linux
build's varnock on the same sheets and commands: the result files byte for
byte (or apart only by a last-bit difference of the two C runtimes' maths,
shown as test_windows_dll.py shows it), the commands' own outputs, Unicode
folders, Ctrl-C, and the tables of the program.

Run by CTest from the Windows build folder, with VARNOCK_WINDOWS_TEST_CONFIG
naming its windows_test_config.json:
    python3 test_windows_cli.py CliRuns
"""

import csv
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
import urllib.error
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import sheets  # noqa: E402
from runners import read_results  # noqa: E402
from test_windows_dll import SETUP, SYSTEM_DLLS, WindowsAgainstLinux, total_weight  # noqa: E402

BENCH = os.path.join(sheets.ROOT, "..", "shared", "bench")


class Cli:
    """One platform's varnock in a work folder of its own: the sheets are
    written there and every path handed to the program is relative to it,
    so that both platforms see the same arguments."""

    def __init__(self, name, work, launch):
        self.name = name
        self.work = work
        self.launch = launch

    def reset(self):
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)

    def put(self, relative, data):
        path = os.path.join(self.work, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def run(self, *args, env_extra=None):
        return self.launch(list(args), self.work, env_extra or {})

    def path(self, *parts):
        return os.path.join(self.work, *parts)


def windows_cli():
    exe = SETUP.path("exe")
    wine = SETUP.wine

    def launch(args, cwd, env_extra):
        shutil.copy(exe, os.path.join(cwd, "varnock.exe"))
        return wine.run("varnock.exe", args, cwd=cwd, env_extra=env_extra)

    return Cli("Windows", wine.drive_c("varnock-cli"), launch)


def linux_cli():
    program = os.path.abspath(SETUP.path("linux_cli"))

    def launch(args, cwd, env_extra):
        env = dict(os.environ)
        env.update(env_extra)
        return subprocess.run([program] + args, cwd=cwd, env=env, capture_output=True, timeout=600)

    return Cli("Linux", os.path.join(SETUP.work, "cli-linux"), launch)


def text_of(output):
    """A program's output as text, the same on both platforms (the Windows
    console's line ends are CR LF)."""
    return output.decode("utf-8").replace("\r\n", "\n")


class CliAgainstLinux(WindowsAgainstLinux):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if not os.path.exists(SETUP.path("linux_cli")):
            raise AssertionError("build the Linux side first: missing " + SETUP.path("linux_cli"))
        cls.exe = windows_cli()
        cls.native = linux_cli()

    def setUp(self):
        self.exe.reset()
        self.native.reset()

    def on_both(self, *args, expect=0, env_extra=None):
        """Runs the command on both platforms; both must exit with expect."""
        done = {}
        for cli in (self.exe, self.native):
            result = cli.run(*args, env_extra=env_extra)
            self.assertEqual(result.returncode, expect, "%s: varnock %s: %s" % (
                cli.name, " ".join(args), text_of(result.stderr)))
            done[cli.name] = result
        return done

    def put_on_both(self, relative, data):
        for cli in (self.exe, self.native):
            cli.put(relative, data)


class CliRuns(CliAgainstLinux):
    """varnock run on 3 threads under Wine against 1 thread on Linux."""

    COUNT = 16  # beside the 14 awkward sheets

    def test_examples_and_generated_sheets_match_linux(self):
        name, sheet = sheets.every_surface_type_sheet()
        batch = (sheets.example_sheets() + [(name, sheet)]
                 + sheets.varied_sheets(self.COUNT, seed=20261210))
        for name, sheet in batch:
            with self.subTest(sheet=name):
                self.put_on_both(os.path.join(name, "IN_FM.txt"), sheet)
                self.exe.run("run", name + "/IN_FM.txt", "-o", name, "-t", "3", "-q", "--no-report")
                self.native.run("run", name + "/IN_FM.txt", "-o", name, "-t", "1", "-q", "--no-report")
                windows = read_results(self.exe.path(name))
                linux = read_results(self.native.path(name))
                self.assertIsNotNone(windows["OUT_M.txt"], name)
                self.assertSameAsLinux(name, sheet, windows, linux)
        for name, _ in sheets.example_sheets():
            self.assertGreater(total_weight(read_results(self.exe.path(name))["OUT_M.txt"]), 0)

    def test_fast_mode_matches_linux_fast_mode(self):
        # The fast tracer uses no C runtime maths: the files agree exactly.
        for name, sheet in sheets.example_sheets():
            self.put_on_both(name + ".txt", sheet)
            os.makedirs(self.exe.path(name)), os.makedirs(self.native.path(name))
            self.on_both("run", name + ".txt", "-o", name, "--fast", "-q")
            self.assertEqual(read_results(self.exe.path(name)), read_results(self.native.path(name)), name)

    def test_report_page_and_run_record_are_written(self):
        name, sheet = sheets.example_sheets()[0]
        self.put_on_both("sheet.txt", sheet)
        os.makedirs(self.exe.path("out"))
        self.exe.run("run", "sheet.txt", "-o", "out", "--csv", "--json", "-q")
        with open(self.exe.path("out", "report.html"), "rb") as f:
            self.assertIn(b"<html", f.read(200).lower())
        # run.json's digests come from the system's cryptography on Windows.
        with open(self.exe.path("out", "run.json")) as f:
            record = json.load(f)
        with open(self.exe.path("out", "OUT_M.txt"), "rb") as f:
            self.assertEqual(record["files"]["OUT_M.txt"]["sha256"], hashlib.sha256(f.read()).hexdigest())
        self.assertTrue(os.path.exists(self.exe.path("out", "IXY.csv")))


class CliCommands(CliAgainstLinux):
    def test_check_prints_what_linux_prints(self):
        name, sheet = sheets.every_surface_type_sheet()
        self.put_on_both("sheet.txt", sheet)
        done = self.on_both("check", "sheet.txt")
        self.assertEqual(text_of(done["Windows"].stdout), text_of(done["Linux"].stdout))
        self.assertIn("tilted spherical mirror", text_of(done["Windows"].stdout))

    def test_sweep_table_matches_linux(self):
        _, sheet = sheets.example_sheets()[0]
        self.put_on_both("sheet.txt", sheet)
        self.on_both("sweep", "sheet.txt", "--set", "TH0=18,22", "-o", "study", "-q", "--no-progress")
        with open(self.exe.path("study", "sweep.csv")) as w, open(self.native.path("study", "sweep.csv")) as n:
            windows, linux = list(csv.reader(w)), list(csv.reader(n))
        self.assertEqual([row[:4] for row in windows], [row[:4] for row in linux])
        self.assertEqual([row[2] for row in windows[1:]], ["ok", "ok"])
        # The table keeps every digit of the statistics, which are taken from
        # the maps' doubles: the fan's directions come from the C runtime's
        # trigonometry, whose last bits may differ, and so may the last of
        # the 17 digits; OUT_M.txt's six decimals do not show it.
        for w_row, l_row in zip(windows[1:], linux[1:]):
            for name, a, b in zip(windows[0][4:], w_row[4:], l_row[4:]):
                if a != b:
                    self.assertAlmostEqual(float(a), float(b), delta=1e-9 * max(1.0, abs(float(b))),
                                           msg="%s of point %s" % (name, w_row[0]))

    def test_figures_are_refused_and_the_page_buttons_named(self):
        _, sheet = sheets.example_sheets()[0]
        self.exe.put("sheet.txt", sheet)
        os.makedirs(self.exe.path("out"))
        result = self.exe.run("run", "sheet.txt", "-o", "out", "--figures", "png")
        self.assertEqual(result.returncode, 2)
        self.assertIn("PNG or SVG button", text_of(result.stderr))
        self.assertEqual(os.listdir(self.exe.path("out")), [])

    def test_optimize_says_it_is_a_linux_command(self):
        _, sheet = sheets.example_sheets()[0]
        self.exe.put("sheet.txt", sheet)
        result = self.exe.run("optimize", "sheet.txt", "--vary", "TH0=10:30", "--minimize", "ratio", "-o", "opt")
        self.assertEqual(result.returncode, 2)
        self.assertIn("optimize is a Linux command", text_of(result.stderr))
        self.assertFalse(os.path.exists(self.exe.path("opt")))

    def test_unicode_folders(self):
        _, sheet = sheets.example_sheets()[0]
        self.put_on_both(os.path.join("résultats", "IN_FM.txt"), sheet)
        for folder in ("結果", "résultats"):
            os.makedirs(self.exe.path(folder), exist_ok=True)
            os.makedirs(self.native.path(folder), exist_ok=True)
            done = self.on_both("run", os.path.join("résultats", "IN_FM.txt"), "-o", folder)
            self.assertIn("results in        " + folder, text_of(done["Windows"].stdout))
            self.assertEqual(read_results(self.exe.path(folder)), read_results(self.native.path(folder)))
            self.assertTrue(os.path.exists(self.exe.path(folder, "report.html")))
        done = self.on_both("plot", "結果", "-q")
        self.assertTrue(os.path.exists(self.exe.path("結果", "report.html")))


class CliCtrlC(CliAgainstLinux):
    def test_ctrl_c_keeps_the_previous_set(self):
        """Wine turns SIGINT into the console's CTRL_C_EVENT, which the
        program's console handler receives as on Windows."""
        _, small = sheets.example_sheets()[0]
        with open(os.path.join(BENCH, "mixed.txt"), "rb") as f:
            long_sheet = f.read()
        self.exe.put("small.txt", small)
        self.exe.put("long.txt", long_sheet)
        os.makedirs(self.exe.path("out"))
        self.assertEqual(self.exe.run("run", "small.txt", "-o", "out", "-q").returncode, 0)
        before = {n: open(self.exe.path("out", n), "rb").read() for n in os.listdir(self.exe.path("out"))}

        shutil.copy(SETUP.path("exe"), self.exe.path("varnock.exe"))
        with open(self.exe.path("stderr.txt"), "wb") as err:
            process = subprocess.Popen([SETUP.wine.wine64, "varnock.exe", "run", "long.txt", "-o", "out", "-t", "1"],
                                       cwd=self.exe.work, env=SETUP.wine.env(), stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=err)
            # Stopped once it traces: its temporary files stand in the folder.
            deadline = time.time() + 60
            while time.time() < deadline and len(os.listdir(self.exe.path("out"))) <= len(before):
                time.sleep(0.05)
            time.sleep(0.3)
            process.send_signal(signal.SIGINT)
            self.assertEqual(process.wait(timeout=60), 130)
        with open(self.exe.path("stderr.txt"), "rb") as f:
            self.assertIn("stopped by Ctrl-C", text_of(f.read()))
        after = {n: open(self.exe.path("out", n), "rb").read() for n in os.listdir(self.exe.path("out"))}
        self.assertEqual(after, before)


class CliWatch(CliAgainstLinux):
    def test_watch_answers_on_loopback_and_ends_on_ctrl_c(self):
        _, sheet = sheets.example_sheets()[0]
        self.exe.put(os.path.join("live", "IN_FM.txt"), sheet)
        self.assertEqual(self.exe.run("run", "live/IN_FM.txt", "-o", "live", "-q").returncode, 0)
        shutil.copy(SETUP.path("exe"), self.exe.path("varnock.exe"))
        out_path = self.exe.path("watch-stdout.txt")
        with open(out_path, "wb") as out:
            process = subprocess.Popen([SETUP.wine.wine64, "varnock.exe", "watch", "live", "--no-browser"],
                                       cwd=self.exe.work, env=SETUP.wine.env(), stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=subprocess.STDOUT)
            try:
                url = None
                deadline = time.time() + 60
                while url is None and time.time() < deadline and process.poll() is None:
                    time.sleep(0.1)
                    with open(out_path, "rb") as f:
                        for line in text_of(f.read()).splitlines():
                            if line.startswith("http://127.0.0.1:"):
                                url = line.strip()
                self.assertIsNotNone(url, "no address printed")
                with urllib.request.urlopen(url, timeout=10) as page:
                    self.assertEqual(page.status, 200)
                    self.assertIn(b"<html", page.read(300).lower())
                # The results just written are shown once they have been quiet
                # for 300 ms.
                state = {}
                deadline = time.time() + 10
                while not state.get("version") and time.time() < deadline:
                    time.sleep(0.2)
                    with urllib.request.urlopen(url + "state", timeout=10) as answer:
                        state = json.load(answer)
                self.assertEqual(state.get("waiting"), None)
                with urllib.request.urlopen(url + "data", timeout=10) as answer:
                    data = json.load(answer)
                self.assertIn("totals", json.dumps(data))
                base, token = url.rstrip("/").rsplit("/", 1)
                for target, status in (("/" + "0" * 32 + "/", 403), ("/%s/../live/OUT_M.txt" % token, None),
                                       ("/%s/%%2e%%2e%%2fOUT_M.txt" % token, None)):
                    with self.assertRaises(urllib.error.HTTPError) as refused:
                        urllib.request.urlopen(base + target, timeout=10)
                    self.assertIn(refused.exception.code, (403, 404) if status is None else (status,), target)
                process.send_signal(signal.SIGINT)
                self.assertEqual(process.wait(timeout=30), 0)
            finally:
                if process.poll() is None:
                    process.kill()


class CliTables(unittest.TestCase):
    def test_imports_system_dlls_only(self):
        out = subprocess.run([SETUP.path("objdump"), "-p", SETUP.path("exe")], check=True,
                             capture_output=True, text=True).stdout
        imports = [line.split(":")[1].strip() for line in out.splitlines() if "DLL Name:" in line]
        self.assertIn("KERNEL32.dll", imports)
        self.assertEqual([d for d in imports if not SYSTEM_DLLS.fullmatch(d)], [],
                         "varnock.exe needs a library that a clean Windows does not have")


if __name__ == "__main__":
    unittest.main(verbosity=2)
