#!/usr/bin/env bash
# Configures and builds Varnock into a build folder (default: build/).
# Usage: scripts/build.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
# Two jobs by default: the machines this runs on have two cores.
cmake --build "$build_dir" --parallel "${VARNOCK_JOBS:-2}"
