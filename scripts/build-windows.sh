#!/usr/bin/env bash
# Cross-builds Varnock64.dll for 64-bit Windows with the mingw-w64 toolchain,
# together with the loader and the maths probe that test it under Wine.
# The DLL lands in BUILD_DIR/src/Varnock64.dll.
# Usage: scripts/build-windows.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/build-windows}
shift || true
"$root/scripts/install-deps.sh" --tests
# A build folder configured with the win32-threads compiler (before the DLL
# traced on threads) is configured afresh; its Wine prefix is kept.
if [[ -f "$build_dir/CMakeCache.txt" ]] && ! grep -q 'CMAKE_CXX_COMPILER:.*-posix' "$build_dir/CMakeCache.txt"; then
  rm -rf "$build_dir/CMakeCache.txt" "$build_dir/CMakeFiles"
fi
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  --toolchain "$root/cmake/mingw-w64-x86_64.cmake" "$@" >/dev/null
# Two jobs by default: the machines this runs on have two cores.
cmake --build "$build_dir" --parallel "${VARNOCK_JOBS:-2}"
