#!/usr/bin/env bash
# Runs every libFuzzer target of a ZEL_FUZZ build for a number of seconds each, starting from its
# corpus under fuzz/corpus/NAME. Usage: run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:?build dir}
seconds=${2:-20}
status=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    work=$(mktemp -d)
    [ -d "$top/fuzz/corpus/$name" ] && cp -r "$top/fuzz/corpus/$name/." "$work/"
    echo "fuzzing $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        "$work" >"$work.log" 2>&1; then
        tail -n 60 "$work.log"
        status=1
    fi
    rm -rf "$work" "$work.log"
done
exit $status
