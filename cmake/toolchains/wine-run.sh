#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix; the build's crosscompiling emulator.
# Usage: wine-run.sh PREFIX [PROGRAM ARGS...]   (without PROGRAM: only makes the prefix)
#
# The prefix is made on first use, once even when tests start in parallel. Wine's exit status
# alone proves nothing (it is 0 when a 32-bit program cannot start on a 64-bit-only Wine), so a
# GoogleTest run counts only when the program printed its own result: one test case must report
# that it passed or was skipped, and a listing must list something.
set -uo pipefail
prefix=$(realpath -m "${1:?wine prefix}")
shift
export WINEPREFIX=$prefix
# Only the loader's errors (a DLL not found) by default: the rest is noise in every test's output.
export WINEDEBUG=${WINEDEBUG:--all,err+module}

if [ ! -f "$prefix/.zel-ready" ]; then
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.zel-ready" ]; then
        # Without Mono and Gecko: no test needs them, and Wine would ask to download them.
        WINEDLLOVERRIDES='mscoree,mshtml=' wineboot -i >/dev/null 2>&1 || { echo "wineboot failed in $prefix" >&2; exit 1; }
        wineserver -w
        touch "$prefix/.zel-ready"
    fi
    exec 9>&-
fi
[ $# -eq 0 ] && exit 0

# A 32-bit program on a Wine without its 32-bit half would "succeed" without running: refuse it.
# (The PE header's offset is at 0x3c; its machine field, 0x14c for i386, follows the signature.)
pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
if [ -n "$pe" ] && [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$1" | tr -d ' ')" = 014c ] && [ ! -x /usr/lib/wine/wine ]; then
    echo "wine-run.sh: $1 is a 32-bit program and this Wine has no 32-bit support (wine32)" >&2
    exit 1
fi

expect=""
for arg in "$@"; do
    case $arg in
        --gtest_list_tests) expect='^[^ ].*\.$' ;;
        --gtest_filter=*) expect='^\[  (PASSED  \] [1-9]|SKIPPED \])' ;;
    esac
done
[ -z "$expect" ] && exec wine "$@"

out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" | tee "$out"
status=${PIPESTATUS[0]}
if [ "$status" -eq 0 ] && ! tr -d '\r' <"$out" | grep -Eq "$expect"; then
    echo "wine-run.sh: $1 exited 0 but printed no GoogleTest result: it did not run" >&2
    exit 1
fi
exit "$status"
