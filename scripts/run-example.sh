#!/usr/bin/env bash
# Sets up what building and running Varnock needs on a fresh Debian 12
# machine, builds the tool (without the tests) and runs the bundled two-lens
# condenser example, printing its summary. The result files and the report
# page go to build/example/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DVARNOCK_BUILD_TESTS=OFF -DVARNOCK_BUILD_BENCHMARKS=OFF
mkdir -p "$root/build/example"
"$root/build/cli/varnock" run "$root/examples/condenser.txt" -o "$root/build/example"
echo "Open $root/build/example/report.html in a browser to see the run."
