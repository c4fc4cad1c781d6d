#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine, builds Varnock and runs
# every test: once in the normal build, then Varnock64.dll cross-built for
# Windows and run under Wine against the normal build's results, the release
# packages of those two builds unpacked and run, then once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, the MPI build's runs on several ranks, and a
# short run of each fuzz target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${VARNOCK_JOBS:-2}

"$root/scripts/install-deps.sh" --tests

echo "== build and test: release"
"$root/scripts/build.sh" "$root/build" -DVARNOCK_BUILD_TESTS=ON -DVARNOCK_BUILD_BENCHMARKS=ON
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

echo "== build and test: Varnock64.dll for Windows, run under Wine"
"$root/scripts/build-windows.sh" "$root/build-windows" -DVARNOCK_LINUX_BUILD_DIR="$root/build"
ctest --test-dir "$root/build-windows" --output-on-failure -j "$jobs"

echo "== packages: the .deb and the Windows zip of the two builds above, unpacked and run"
"$root/tests/package/check_packages.sh" "$root/build" "$root/build-windows"

echo "== build and test: address and undefined-behaviour sanitizers"
"$root/scripts/build.sh" "$root/build-sanitize" -DVARNOCK_SANITIZE=ON -DVARNOCK_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS=suppressions="$root/tests/lsan.supp":print_suppressions=0 \
  ctest --test-dir "$root/build-sanitize" --output-on-failure -j "$jobs"

echo "== build and test: thread sanitizer, threaded tests"
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVARNOCK_SANITIZE_THREADS=ON -DVARNOCK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-tsan" --parallel "$jobs" --target varnock_thread_tests
TSAN_OPTIONS=halt_on_error=1 "$root/build-tsan/tests/varnock_thread_tests"

echo "== build and test: the MPI build, runs and studies shared among ranks"
"$root/scripts/build.sh" "$root/build-mpi" -DVARNOCK_MPI=ON -DVARNOCK_BUILD_TESTS=OFF -DVARNOCK_PYTHON=OFF \
  -DVARNOCK_BUILD_BENCHMARKS=OFF
ctest --test-dir "$root/build-mpi" --output-on-failure

echo "== fuzz targets, briefly (libFuzzer with the address and undefined-behaviour sanitizers)"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVARNOCK_FUZZ=ON -DVARNOCK_BUILD_TESTS=OFF -DVARNOCK_BUILD_CLI=OFF -DVARNOCK_BUILD_FAST=OFF \
  -DVARNOCK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-fuzz" --parallel "$jobs"
"$root/scripts/fuzz.sh" "$root/build-fuzz" 20

echo "== all tests passed"
