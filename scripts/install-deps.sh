#!/usr/bin/env bash
# Installs every Debian package the build and the tests need: the union of scripts/deps/*.txt.
# Idempotent; does nothing when all packages are present. Needs root (or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=$(cat "$here"/deps/*.txt | sed -e 's/#.*//' | tr -s ' \t' '\n' | grep -v '^$' | sort -u)
missing=()
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
# Some packages (the RAR library and its archiver) live in Debian's non-free component. Add it in a
# file of our own, for the system's own archive address, rather than editing the system's sources.
if grep -qx 'nonfree' <(cat "$here"/deps/*.txt | sed -n 's/^# *component: *//p'); then
    . "$here/lib/debian-archive.sh"
    add_debian_entry /etc/apt/sources.list.d/zel-nonfree.list deb non-free
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
