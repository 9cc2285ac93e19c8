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
# file of our own rather than editing the system's sources.
if grep -qx 'nonfree' <(cat "$here"/deps/*.txt | sed -n 's/^# *component: *//p'); then
    # apt refuses two entries for the same archive with different keyrings, so take the keyring
    # that the system's own Debian entry names (Debian 12 images name one in debian.sources).
    list=/etc/apt/sources.list.d/zel-nonfree.list
    keyring=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2>/dev/null |
        grep -v '^#' | grep -oiE 'signed-by[:=] *[^] ]+' | head -n 1 | sed -E 's/^[^:=]*[:=] *//') || true
    options=""
    [ -n "$keyring" ] && options="[signed-by=$keyring] "
    [ -f "$list" ] || echo "deb ${options}http://deb.debian.org/debian bookworm non-free" | $sudo tee "$list" >/dev/null
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
