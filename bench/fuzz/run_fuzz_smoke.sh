#!/usr/bin/env bash
# Runs a libFuzzer target for a short while on its seed corpus, as a test of the suite.
# Usage: run_fuzz_smoke.sh <fuzz binary> <seed folder> [seconds]
# Fails when the target was never built (scripts/fuzz-build), when it did not run, and when it
# finds a crash, a leak, a time-out or a broken promise; the input that did it is shown.
set -uo pipefail
binary="$1"
seeds="$2"
seconds="${3:-20}"
if [ ! -x "$binary" ]; then
  echo "The fuzz target $binary is missing: run scripts/fuzz-build (scripts/test does)."
  exit 1
fi
if [ ! -d "$seeds" ]; then
  echo "The seed corpus $seeds is missing."
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
# New inputs go to the scratch corpus (the first folder); the committed seeds stay as they are.
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds" >"$work/log" 2>&1
rc=$?
findings=$(find "$work" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \))
if [ $rc -ne 0 ] || [ -n "$findings" ]; then
  tail -n 80 "$work/log"
  for f in $findings; do
    echo "== $(basename "$f") (keep it as a seed once fixed):"
    od -c "$f" | head -n 40
  done
  exit 1
fi
runs=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$work/log")
if [ -z "$runs" ] || [ "$runs" -eq 0 ]; then
  tail -n 40 "$work/log"
  echo "The fuzz target did not run."
  exit 1
fi
echo "$(basename "$binary"): $runs runs in ${seconds} s, no finding"
