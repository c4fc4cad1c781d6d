"""Runs the drop-in library the way the front end does, through the loader
(main6_loader.cpp), on Windows under Wine and natively on Linux, and hands
back the result files.

Both runners take the same plans, so that the two platforms go through the
same calls in the same order. A sheet is run in a freshly loaded library
unless the plan says otherwise, as when the front end starts anew.
"""

import os
import shutil
import subprocess

RESULT_FILES = ("OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt")


def read_results(folder):
    """{file: bytes, or None when the file is not there}."""
    files = {}
    for name in RESULT_FILES:
        path = os.path.join(folder, name)
        if os.path.exists(path):
            with open(path, "rb") as f:
                files[name] = f.read()
        else:
            files[name] = None
    return files


class LoaderFailed(Exception):
    pass


class Runner:
    """What the two platforms share: a work folder holding the sheets, the
    plan and the collected results, and an exchange folder."""

    name = None

    def __init__(self, work, exchange, threads):
        self.work = work
        self.exchange = exchange
        # VARNOCK_THREADS for every call: the two platforms trace with
        # different numbers of threads, and must still agree byte for byte.
        self.threads = threads

    def reset(self):
        for folder in (self.work, self.exchange):
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)

    def library_name(self):
        raise NotImplementedError

    def exchange_argument(self):
        raise NotImplementedError

    def launch(self, args, env_extra):
        raise NotImplementedError

    def run_plan(self, steps, env_extra=None):
        """Carries out the plan's steps in one process; returns its output."""
        with open(os.path.join(self.work, "plan.txt"), "w", newline="\n") as f:
            f.write("\n".join(steps) + "\n")
        env = {"VARNOCK_THREADS": str(self.threads)}
        env.update(env_extra or {})
        result = self.launch([self.exchange_argument(), "plan.txt"], env)
        out = result.stdout.decode("utf-8", "replace")
        if result.returncode != 0 or not out.rstrip().endswith("plan complete"):
            raise LoaderFailed("%s loader failed (exit %d):\n%s\n%s" % (
                self.name, result.returncode, out[-2000:],
                result.stderr.decode("utf-8", "replace")[-2000:]))
        return out

    def put_sheet(self, name, data):
        os.makedirs(os.path.join(self.work, "sheets"), exist_ok=True)
        with open(os.path.join(self.work, "sheets", name + ".txt"), "wb") as f:
            f.write(data)
        return "sheets/%s.txt" % name

    def fresh_run_steps(self, sheet_path, results):
        return ["load " + self.library_name()] + ["remove " + n for n in RESULT_FILES] + [
            "sheet " + sheet_path, "call", "collect " + results, "unload"]

    def run_sheets(self, sheets, env_extra=None):
        """Runs each (name, bytes) sheet in a fresh library; returns
        {name: {file: bytes, or None when the file was not written}}."""
        steps = []
        for name, data in sheets:
            steps += self.fresh_run_steps(self.put_sheet(name, data), "results/" + name)
        self.run_plan(steps, env_extra)
        return {name: self.collected("results/" + name) for name, _ in sheets}

    def collected(self, results):
        """The result files a collect step copied into the folder results."""
        return read_results(os.path.join(self.work, results))

    def exchange_files(self):
        """The result files as the last call left them in the exchange folder."""
        return read_results(self.exchange)


class WindowsRunner(Runner):
    """Varnock64.dll in a Windows process under Wine. The DLL and the loader
    sit in C:\\varnock-test\\, the loader's working folder, where
    LoadLibrary("Varnock64.dll") finds the DLL; the DLL itself always uses
    C:\\VBA_C_APP64\\, which the test reads as drive_c/VBA_C_APP64."""

    name = "Windows"

    def __init__(self, wine, dll, loader, threads=3):
        super().__init__(wine.drive_c("varnock-test"), wine.drive_c("VBA_C_APP64"), threads)
        self.wine = wine
        self.dll = dll
        self.loader = loader

    def reset(self):
        super().reset()
        shutil.copy(self.dll, os.path.join(self.work, "Varnock64.dll"))
        shutil.copy(self.loader, os.path.join(self.work, "main6_loader.exe"))

    def library_name(self):
        return "Varnock64.dll"

    def exchange_argument(self):
        return "C:\\VBA_C_APP64\\"

    def launch(self, args, env_extra):
        # Wine hands the Unix environment on to the Windows process.
        return self.wine.run("main6_loader.exe", args, cwd=self.work, env_extra=env_extra)


class LinuxRunner(Runner):
    """libVarnock64.so in a native process, the exchange folder given to it
    in VARNOCK_DIR by the loader."""

    name = "Linux"

    def __init__(self, work, library, loader, threads=1):
        super().__init__(os.path.join(work, "run"), os.path.join(work, "exchange"), threads)
        self.library = os.path.abspath(library)
        self.loader = os.path.abspath(loader)

    def library_name(self):
        return self.library

    def exchange_argument(self):
        return self.exchange

    def launch(self, args, env_extra):
        env = dict(os.environ)
        env.update(env_extra)
        return subprocess.run([self.loader] + args, cwd=self.work, env=env, capture_output=True,
                              timeout=600)
