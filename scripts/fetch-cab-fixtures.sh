#!/usr/bin/env bash
# Fetches the real cabinets (LZX, Quantum, MSZIP, multi-cabinet sets and damaged files) that the
# cabinet tests use as fixtures: the test data folder of Debian's libmspack source package.
# Only the data files (*.cab and the like) are kept; the package's code is deleted unread.
# Usage: fetch-cab-fixtures.sh DEST_DIR   (idempotent: does nothing when DEST_DIR/.done exists)
set -euo pipefail
dest=${1:?destination dir}
[ -f "$dest/.done" ] && exit 0
# Tests may start this in parallel: one fetch at a time, the others wait and find it done.
mkdir -p "$(dirname "$dest")"
exec 9>"$dest.lock"
flock 9
[ -f "$dest/.done" ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
# The source entry lives in a file of its own, for the system's own archive address.
. "$(dirname "$0")/lib/debian-archive.sh"
# (Earlier checkouts wrote the same entry as zel-src.sources.)
[ -f /etc/apt/sources.list.d/zel-src.sources ] || add_debian_entry /etc/apt/sources.list.d/zel-src.list deb-src main
command -v dpkg-source >/dev/null || $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dpkg-dev

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq libmspack >/dev/null 2>&1)
src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libmspack-*' | head -n 1)
[ -n "$src" ] || { echo "apt-get source libmspack failed" >&2; exit 1; }
data=$(find "$src" -type d -path '*/test/test_files/cabd' | head -n 1)
[ -n "$data" ] || { echo "no cabinet test data in the source package" >&2; exit 1; }

mkdir -p "$dest"
find "$data" -maxdepth 1 -type f -iname '*.cab' -exec cp {} "$dest/" \;
touch "$dest/.done"
