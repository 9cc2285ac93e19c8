#!/usr/bin/env bash
# Fetches the real cabinets (LZX, Quantum, MSZIP, multi-cabinet sets and damaged files) that the
# cabinet tests use as fixtures: the test data folder of Debian's libmspack source package.
# Only the data files (*.cab and the like) are kept; the package's code is deleted unread.
# Usage: fetch-cab-fixtures.sh DEST_DIR   (idempotent: does nothing when DEST_DIR/.done exists)
set -euo pipefail
dest=${1:?destination dir}
. "$(dirname "$0")/lib/source-packages.sh"
fetch_lock "$dest" || exit 0
source_entries main

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
apt_source "$work" libmspack
src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libmspack-*' | head -n 1)
[ -n "$src" ] || { echo "apt-get source libmspack failed" >&2; exit 1; }
data=$(find "$src" -type d -path '*/test/test_files/cabd' | head -n 1)
[ -n "$data" ] || { echo "no cabinet test data in the source package" >&2; exit 1; }

mkdir -p "$dest"
find "$data" -maxdepth 1 -type f -iname '*.cab' -exec cp {} "$dest/" \;
touch "$dest/.done"
