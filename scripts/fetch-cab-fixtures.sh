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
# The source entry lives in a file of its own. apt refuses two entries for the same archive with
# different keyrings, so follow the system's own entry: name its keyring when it names one.
list=/etc/apt/sources.list.d/zel-src.sources
if [ ! -f "$list" ]; then
    signed=""
    if grep -rqs '^Signed-By: */usr/share/keyrings/debian-archive-keyring.gpg' /etc/apt/sources.list.d/; then
        signed="Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    fi
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\n%s\n' \
        "$signed" | $sudo tee "$list" >/dev/null
    $sudo apt-get update -qq
fi
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
