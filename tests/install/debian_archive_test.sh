#!/usr/bin/env bash
# scripts/lib/debian-archive.sh finds the system's own Debian archive entry, so that the entries we
# add (the non-free component, source packages) use the same mirror and keyring: a deb822 file
# behind a security entry, a one-line entry with options, our own zel-* files passed over, a
# disabled entry passed over, and no entry at all.
# Usage: debian_archive_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1 build=$2
. "$(dirname "$0")/install_common.sh"
. "$source_dir/scripts/lib/debian-archive.sh"
make_private_folder "$build"

found() { # found SETUP_FUNCTION: what debian_archive finds in a fresh /etc/apt made by the function
    local etc
    etc=$(mktemp -d "$work/etc.XXXXXX")
    mkdir "$etc/sources.list.d"
    "$1" "$etc"
    if APT_ETC=$etc debian_archive; then echo "$DEBIAN_URI $DEBIAN_SUITE ${DEBIAN_KEYRING:--}"; else echo none; fi
}
expect() { [[ $(found "$1") == "$2" ]] || fail "$1: found '$(found "$1")', not '$2'"; }

deb822_mirror() {
    cat >"$1/sources.list.d/debian.sources" <<'END'
Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main

Types: deb
Enabled: no
URIs: http://old.example/debian
Suites: bookworm
Components: main

# a local mirror
Types: deb deb-src
URIs: http://mirror.lan:3142/debian/
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
END
    echo 'deb http://elsewhere.example/debian bookworm non-free' >"$1/sources.list.d/zel-nonfree.list"
}
one_line() {
    printf '%s\n' '# deb http://commented.example/debian bookworm main' \
        'deb [arch=amd64 signed-by=/etc/apt/k.gpg] http://ftp.lan/pub/debian bookworm main contrib' >"$1/sources.list"
}
nothing() { echo 'deb http://packages.example/other bookworm main' >"$1/sources.list"; }

expect deb822_mirror "http://mirror.lan:3142/debian bookworm /usr/share/keyrings/debian-archive-keyring.gpg"
expect one_line "http://ftp.lan/pub/debian bookworm /etc/apt/k.gpg"
expect nothing none
echo "debian archive entry: ok"
