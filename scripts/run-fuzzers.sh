#!/usr/bin/env bash
# Runs every libFuzzer target of a ZEL_FUZZ build for a number of seconds each, starting from its
# corpus under fuzz/corpus/NAME. Usage: run-fuzzers.sh BUILD_DIR SECONDS
#
# Fuzz targets run as root in CI, so each run gets a temporary folder of its own as TMPDIR, where
# the target must keep everything it writes and which it must leave empty when it ends normally,
# and nothing may appear outside it. Either fault fails the run. Run as root (as in CI), each target
# sees an empty /tmp of its own (a mount namespace), so that whatever is left in it is the target's
# own doing; otherwise only the fuzz targets' own names (zel-fuzz-*) are looked for outside, since
# other programs on the machine may make files there meanwhile. What a crashing target leaves is
# removed with its folder; the input that made a target fail is kept in BUILD_DIR/fuzz-artifacts.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?build dir}" && pwd)  # absolute: a target may change its working folder
seconds=${2:-20}
# The corpus copies and logs stay out of the temporary folders that are watched, and so do the
# inputs that make a target fail, which are kept.
runs=$(mktemp -d "$build/fuzz-runs.XXXXXX")
trap 'rm -rf "$runs"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# Runs TARGET over CORPUS into LOG with TMPDIR=PRIVATE; prints "left PATH" for what remains in
# PRIVATE and "outside PATH" for each new entry named PATTERN in TEMP (the folder PRIVATE is in).
fuzz_one() {
    local target=$1 corpus=$2 log=$3 private=$4 temp=$5 pattern=$6 before
    before=$(find "$temp" -mindepth 1 -maxdepth 1 -name "$pattern" | sort)
    mkdir "$private"
    TMPDIR="$private" "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="$artifacts/$(basename "$target")-" "$corpus" >"$log" 2>&1 || return 1
    find "$private" -mindepth 1 | sed 's/^/left /'
    find "$temp" -mindepth 1 -maxdepth 1 -name "$pattern" ! -path "$private" | sort | comm -13 <(echo "$before") - |
        sed 's/^/outside /'
}
export -f fuzz_one
export seconds artifacts

# The namespace's /tmp hides the real one, so the build must lie elsewhere.
isolated=false
if [ "$(id -u)" -eq 0 ] && [[ "$build/" != /tmp/* ]] && unshare --mount --propagation private true 2>/dev/null; then
    isolated=true
fi
status=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$runs/$name"
    mkdir "$corpus"
    [ -d "$top/fuzz/corpus/$name" ] && cp -r "$top/fuzz/corpus/$name/." "$corpus/"
    echo "fuzzing $name for ${seconds}s"
    if $isolated; then
        found=$(unshare --mount --propagation private -- bash -c \
            'mount -t tmpfs zel-fuzz /tmp && fuzz_one "$1" "$2" "$3" /tmp/private /tmp "*"' \
            _ "$target" "$corpus" "$runs/$name.log") || found=failed
    else
        temp=${TMPDIR:-/tmp}
        private=$(mktemp -u "$temp/fuzz-run.XXXXXX")
        found=$(fuzz_one "$target" "$corpus" "$runs/$name.log" "$private" "$temp" 'zel-fuzz-*') || found=failed
        rm -rf "$private"
    fi
    if [ "$found" = failed ]; then
        tail -n 60 "$runs/$name.log"
        status=1
    elif [ -n "$found" ]; then
        echo "$name wrote where it must not (left: in its TMPDIR; outside: beside it):" >&2
        echo "$found" | head -n 10 >&2
        status=1
    fi
done
exit $status
