#!/usr/bin/env python3
"""Brings the private Wine prefix of a Windows build folder up before the
Windows tests and down after them (CTest fixtures):

    prefix_control.py start    create the prefix once, start its server
    prefix_control.py stop     end the server and every process in the prefix

The build folder is the one whose windows_test_config.json
VARNOCK_WINDOWS_TEST_CONFIG names.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from build_setup import Setup  # noqa: E402


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in ("start", "stop"):
        print(__doc__, file=sys.stderr)
        return 2
    wine = Setup(os.environ["VARNOCK_WINDOWS_TEST_CONFIG"]).wine
    if sys.argv[1] == "stop":
        wine.stop_server()
        return 0
    start = time.time()
    created = not wine.is_ready()
    wine.ensure_prefix()
    wine.start_server()
    print("Wine prefix %s %s in %.1f s" % (wine.prefix, "created" if created else "reused",
                                           time.time() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main())
