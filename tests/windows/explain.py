"""Finds out why a sheet's Windows results differ from its Linux results.

The only difference allowed is one that comes from the C runtimes' maths
functions rounding the last bit of some result differently. That is shown,
not assumed:

1. the Linux run is repeated with the maths shim (math_shim.cpp) logging
   every function and argument the library calls;
2. the math probe evaluates those calls on both platforms, which gives the
   arguments where the two runtimes disagree;
3. the Linux run is repeated with the Windows results forced for exactly
   those calls. If its files then equal the Windows files byte for byte,
   those maths results, and nothing else, made the difference;
4. the forced results are narrowed down to the few that matter, to name
   the function and the arguments responsible.
"""

import os
import shutil
import struct
import subprocess


def ulps_apart(a_hex, b_hex):
    """Distance in units in the last place of two doubles given as bits."""
    def ordered(h):
        bits = int(h, 16)
        return bits if bits < 1 << 63 else (1 << 63) - bits
    return abs(ordered(a_hex) - ordered(b_hex))


def value_of(h):
    return struct.unpack("<d", struct.pack("<Q", int(h, 16)))[0]


class Mismatch:
    def __init__(self, function, arg, linux, windows):
        self.function, self.arg, self.linux, self.windows = function, arg, linux, windows

    def ulps(self):
        """How far apart the results are; two not-a-numbers that differ only
        in sign or payload count as 0."""
        def apart(a, b):
            both_nan = value_of(a) != value_of(a) and value_of(b) != value_of(b)
            return 0 if both_nan else ulps_apart(a, b)
        return max(apart(a, b) for a, b in zip(self.linux.split(","), self.windows.split(",")))

    def override_line(self):
        return "%s %s %s" % (self.function, self.arg, self.windows)

    def __str__(self):
        return "%s(%r) = %s on Linux, %s on Windows (%d ulp)" % (
            self.function, value_of(self.arg),
            ",".join(repr(value_of(h)) for h in self.linux.split(",")),
            ",".join(repr(value_of(h)) for h in self.windows.split(",")), self.ulps())


class Explanation:
    def __init__(self, mismatches, explained, responsible, calls):
        self.mismatches = mismatches      # every call where the runtimes disagree
        self.explained = explained        # forcing them reproduces Windows exactly
        self.responsible = responsible    # a small set that alone reproduces it
        self.calls = calls                # distinct calls the run made

    def functions(self):
        counts = {}
        for m in self.mismatches:
            counts[m.function] = counts.get(m.function, 0) + 1
        return counts

    def max_ulps(self):
        return max((m.ulps() for m in self.mismatches), default=0)


class Explainer:
    def __init__(self, linux, shim, linux_probe, wine, windows_probe, work):
        self.linux = linux                  # a LinuxRunner
        self.shim = os.path.abspath(shim)
        self.linux_probe = os.path.abspath(linux_probe)
        self.wine = wine
        self.windows_probe = windows_probe
        self.work = work

    def mismatches(self, calls_file):
        """The logged calls whose results differ between the platforms."""
        return [Mismatch(f, a, lin, win) for (f, a), (lin, win) in sorted(self.probe(calls_file).items())
                if lin != win]

    def linux_files(self, name, sheet, env):
        self.linux.reset()
        env = dict(env, LD_PRELOAD=self.shim)
        return self.linux.run_sheets([(name, sheet)], env)[name]

    def probe(self, calls_file):
        """{(function, arg): (linux, windows)} for every logged call."""
        linux_out = os.path.join(self.work, "probe-linux.txt")
        subprocess.run([self.linux_probe, calls_file, linux_out], check=True,
                       capture_output=True, timeout=600)
        folder = self.wine.drive_c("varnock-probe")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        shutil.copy(self.windows_probe, os.path.join(folder, "math_probe.exe"))
        shutil.copy(calls_file, os.path.join(folder, "calls.txt"))
        result = self.wine.run("math_probe.exe", ["calls.txt", "results.txt"], cwd=folder)
        if result.returncode != 0:
            raise RuntimeError("the Windows math probe failed: %r" % result.stderr[-2000:])
        results = {}
        for path, side in ((linux_out, 0), (os.path.join(folder, "results.txt"), 1)):
            with open(path) as f:
                for line in f:
                    function, arg, value = line.split()
                    results.setdefault((function, arg), [None, None])[side] = value
        return results

    def reproduces(self, name, sheet, mismatches, windows_files):
        overrides = os.path.join(self.work, "overrides.txt")
        with open(overrides, "w") as f:
            f.write("".join(m.override_line() + "\n" for m in mismatches))
        return self.linux_files(name, sheet, {"VARNOCK_MATH_OVERRIDE": overrides}) == windows_files

    def explain(self, name, sheet, windows_files, narrow=True):
        os.makedirs(self.work, exist_ok=True)
        calls_file = os.path.join(self.work, "calls.txt")
        self.linux_files(name, sheet, {"VARNOCK_MATH_LOG": calls_file})
        results = self.probe(calls_file)
        mismatches = [Mismatch(f, a, lin, win) for (f, a), (lin, win) in sorted(results.items())
                      if lin != win]
        if not self.reproduces(name, sheet, mismatches, windows_files):
            return Explanation(mismatches, False, [], len(results))
        responsible = self.narrow(name, sheet, mismatches, windows_files) if narrow else []
        return Explanation(mismatches, True, responsible, len(results))

    def narrow(self, name, sheet, mismatches, windows_files):
        """A small subset of the mismatches that alone reproduces the Windows
        files: one function's first, then halving while a half still does."""
        def reproduces(subset):
            return self.reproduces(name, sheet, subset, windows_files)

        items = mismatches
        for function in sorted({m.function for m in mismatches}):
            own = [m for m in mismatches if m.function == function]
            if len(own) < len(items) and reproduces(own):
                items = own
                break
        while len(items) > 1:
            half = len(items) // 2
            if reproduces(items[:half]):
                items = items[:half]
            elif reproduces(items[half:]):
                items = items[half:]
            else:
                break
        return items
