"""A private Wine prefix in the build folder, for running the cross-built
Windows programs as real Windows processes.

The prefix is created once per build folder (wineboot takes some seconds and
a few hundred megabytes) and reused after that. No display is needed: the
Mono and Gecko installers, which would open dialogs, are switched off, and so
is the desktop-menu builder, which would write outside the prefix.
"""

import os
import shutil
import subprocess

READY_MARK = ".varnock-prefix-ready"


class Wine:
    def __init__(self, wine64, prefix):
        self.wine64 = wine64
        self.prefix = os.path.abspath(prefix)
        self.wineserver = os.path.join(os.path.dirname(wine64), "wineserver")

    def env(self):
        env = dict(os.environ)
        env.update({
            "WINEPREFIX": self.prefix,
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
        })
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def drive_c(self, *parts):
        """A path on the prefix's drive C:, as seen from Linux."""
        return os.path.join(self.prefix, "drive_c", *parts)

    def is_ready(self):
        return os.path.exists(os.path.join(self.prefix, READY_MARK))

    def ensure_prefix(self):
        """Creates the prefix unless an earlier run has done so."""
        if self.is_ready():
            return
        shutil.rmtree(self.prefix, ignore_errors=True)
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        subprocess.run([self.wine64, "wineboot", "-i"], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        # Let the prefix settle: the registry is written when the server ends.
        subprocess.run([self.wineserver, "-w"], env=self.env(), check=True, timeout=120)
        with open(os.path.join(self.prefix, READY_MARK), "w") as f:
            f.write("created by wineboot -i\n")

    def start_server(self):
        """Keeps one Wine server up for a series of runs, so that each run
        starts in a fraction of a second instead of booting the prefix."""
        subprocess.run([self.wineserver, "-p"], env=self.env(), check=True, timeout=60,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop_server(self):
        """Ends this prefix's server and every Windows process in it."""
        subprocess.run([self.wineserver, "-k"], env=self.env(), timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([self.wineserver, "-w"], env=self.env(), timeout=60)

    def run(self, program, args, cwd, timeout=600, env_extra=None):
        """Runs a Windows program; returns the completed process, its output
        read back from files: Wine's background services inherit the output
        handles, so a pipe would not close while they live on."""
        out_path = os.path.join(cwd, ".wine-stdout")
        err_path = os.path.join(cwd, ".wine-stderr")
        env = self.env()
        env.update(env_extra or {})
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            result = subprocess.run([self.wine64, program] + list(args), cwd=cwd, env=env,
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                    timeout=timeout)
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            result.stdout, result.stderr = out.read(), err.read()
        return result
