#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds Varnock and runs
# the bundled two-lens condenser example, printing its summary. The result
# files go to build/example/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
mkdir -p "$root/build/example"
"$root/build/cli/varnock" run "$root/examples/condenser.txt" -o "$root/build/example"
