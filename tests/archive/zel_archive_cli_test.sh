#!/usr/bin/env bash
# zel archive end to end. Usage: zel_archive_cli_test.sh ZEL FIXTURES
set -euo pipefail
zel=$1
fixtures=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Listing, plain and JSON.
"$zel" archive list "$fixtures/three.rar" >"$work/list"
printf 'rar\ntext.txt\nrandom.bin\nruns.bin\n' | cmp -s - "$work/list" || fail "list three.rar"
[ "$("$zel" archive list --json "$fixtures/dos_headers.arj")" = '{"type": "arj", "entries": ["sub/deeper/deep.txt"]}' ] ||
    fail "list --json"

# Not an archive, and a missing file: exit 2 with a message.
set +e
"$zel" archive list "$fixtures/src/text.txt" 2>"$work/err"; status=$?
set -e
[ $status -eq 2 ] && grep -q "not an archive" "$work/err" || fail "non-archive status $status"

# Names that would leave the folder are refused; the rest is extracted into a folder made for it.
mkdir "$work/inner"
"$zel" archive extract "$fixtures/traversal.zip" "$work/inner/new/out" 2>"$work/err" || fail "traversal extract"
[ "$(grep -c refused "$work/err")" -eq 4 ] || fail "four refusals expected: $(cat "$work/err")"
[ -f "$work/inner/new/out/ok/fine.txt" ] || fail "ok/fine.txt missing"
[ -z "$(find "$work" -name 'evil.txt' -o -name 'abs.txt' -o -name 'drive.txt' -o -name 'up.txt')" ] ||
    fail "a refused entry was written"

# Chosen names only; a name that the archive lacks is an error.
"$zel" archive extract "$fixtures/method1.arj" "$work/some" runs.bin sub/deeper/deep.txt
[ "$(cd "$work/some" && find . -type f | sort | tr '\n' ' ')" = "./runs.bin ./sub/deeper/deep.txt " ] ||
    fail "named extraction: $(cd "$work/some" && find . -type f)"
set +e
"$zel" archive extract "$fixtures/method1.arj" "$work/none" nothing.txt 2>"$work/err"; status=$?
set -e
[ $status -eq 2 ] || fail "missing name status $status"

# An entry is never written over what is not a regular file: a FIFO or a folder in its place stays,
# the entry fails, the others are written.
mkdir -p "$work/special/sub/deeper/deep.txt" && mkfifo "$work/special/runs.bin"
set +e
"$zel" archive extract "$fixtures/method1.arj" "$work/special" 2>"$work/err"; status=$?
set -e
[ $status -eq 2 ] && [ "$(grep -c 'is not a regular file' "$work/err")" -eq 2 ] || fail "special files: $status $(cat "$work/err")"
[ -p "$work/special/runs.bin" ] && [ -d "$work/special/sub/deeper/deep.txt" ] && [ -f "$work/special/text.txt" ] ||
    fail "special files replaced, or the other entries not written"
echo "zel archive: all checks passed"
