#!/usr/bin/env bash
# Runs each fuzz target for a while on its seeds and regression inputs, into
# a scratch corpus. Any crash, hang or sanitizer finding fails, and the
# input is kept in the build folder (crash-*, timeout-*) to be added to
# fuzz/regressions/ once fixed.
# Usage: scripts/fuzz.sh BUILD_DIR [SECONDS_PER_TARGET] [extra libFuzzer options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=${2:-20}
shift 2 || shift $#
mkdir -p "$build/fuzz-findings"
for target in sheet run report; do
  seeds=$target
  dict=sheet.dict
  [[ $target == run ]] && seeds=sheet
  [[ $target == report ]] && dict=report.dict
  scratch=$(mktemp -d)
  regressions=()
  [[ -d $root/fuzz/regressions/$seeds ]] && regressions=("$root/fuzz/regressions/$seeds")
  echo "fuzz: $target for $seconds s"
  (cd "$build/fuzz-findings" &&
    "$build/fuzz/${target}_fuzzer" -dict="$root/fuzz/$dict" -max_total_time="$seconds" \
      -max_len=200000 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$@" \
      "$scratch" "$root/fuzz/corpus/$seeds" "${regressions[@]}" 2>&1 |
      grep -E "stat::number_of_executed_units|ERROR|SUMMARY|Test unit written")
  rm -rf "$scratch"
done
