"""The paths of one Windows build folder and of the Linux build it is
compared with, as CMake wrote them into windows_test_config.json, and the
runners built from them."""

import json
import os

from explain import Explainer
from runners import LinuxRunner, WindowsRunner
from wine import Wine


class Setup:
    def __init__(self, config_path):
        with open(config_path) as f:
            self.paths = json.load(f)
        self.work = self.paths["work"]
        self.wine = Wine(self.paths["wine64"], self.paths["prefix"])

    def path(self, key):
        return self.paths[key]

    def missing_linux_programs(self):
        return [self.paths[k] for k in ("linux_library", "linux_loader", "linux_probe", "math_shim")
                if not os.path.exists(self.paths[k])]

    def windows(self):
        return WindowsRunner(self.wine, self.paths["dll"], self.paths["windows_loader"])

    def linux(self, name="linux"):
        return LinuxRunner(os.path.join(self.work, name), self.paths["linux_library"],
                           self.paths["linux_loader"])

    def explainer(self):
        return Explainer(self.linux("explain"), self.paths["math_shim"], self.paths["linux_probe"],
                         self.wine, self.paths["windows_probe"], os.path.join(self.work, "explain"))
