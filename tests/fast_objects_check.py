#!/usr/bin/env python3
"""The fast tracers are built once per instruction set, each with that set's
compiler flags. None of their objects may define an out-of-line function or
object that code for another set could also define: the linker would keep
one copy, and a processor without, say, AVX-512 could be handed AVX-512
code. So every symbol they define for the linker must be one of the three
entry points; everything else must be local.

Usage: fast_objects_check.py NM OBJECT...
"""

import subprocess
import sys

ALLOWED = ("trace_block_avx512", "trace_block_avx2", "trace_block_sse2")


def main():
    nm, objects = sys.argv[1], sys.argv[2:]
    problems = []
    for obj in objects:
        out = subprocess.run([nm, "--defined-only", "-C", obj], capture_output=True, text=True,
                             check=True).stdout
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) < 3:
                continue
            kind, name = parts[1], parts[2]
            if kind.islower():
                continue  # local to the object
            if name.startswith("DW.ref."):
                continue  # a pointer to the exception personality routine: data, the same everywhere
            if not any(("varnock::fast::" + a + "(") in name for a in ALLOWED):
                problems.append("%s: %s %s" % (obj, kind, name))
    for p in problems:
        print("shared symbol: " + p)
    print("%d objects checked, %d shared symbols" % (len(objects), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
