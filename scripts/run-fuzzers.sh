#!/usr/bin/env bash
# Runs every fuzzer of a VTHUD_FUZZ build for a bounded time each, starting
# from its checked-in seed corpus (never written to: new inputs go to a
# scratch copy). Any crash, leak, UB report, hang or failed check fails.
#   scripts/run-fuzzers.sh [BUILD_DIR] [SECONDS_EACH]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-asan}
SECONDS_EACH=${2:-60}
source scripts/sanitizer-env.sh
# libFuzzer links the C++ library ahead of the shared ASan runtime, which must come first.
ASAN_RUNTIME=$(clang++ -print-file-name=libclang_rt.asan-x86_64.so)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  fuzzer="$BUILD/fuzz/${name}_fuzzer"
  [ -x "$fuzzer" ] || { echo "missing fuzzer $fuzzer" >&2; exit 1; }
  mkdir -p "$WORK/$name"
  # -timeout: one input running longer counts as a hang; -rss_limit_mb bounds memory.
  if ! LD_PRELOAD="$ASAN_RUNTIME" "$fuzzer" "$WORK/$name" "$seeds" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$WORK/$name-" >"$WORK/$name.log" 2>&1; then
    tail -n 60 "$WORK/$name.log" >&2
    for artifact in "$WORK/$name"-*; do
      [ -e "$artifact" ] && cp "$artifact" . && echo "reproducer saved: ./$(basename "$artifact")" >&2
    done
    echo "fuzzer $name FAILED" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$name.log")
  echo "fuzzer $name: ${runs:-?} executions in ${SECONDS_EACH} s, 0 crashes"
done
