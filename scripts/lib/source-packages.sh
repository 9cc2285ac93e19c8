# Sourced by the scripts that fetch files from Debian's source packages into a build folder
# (fetch-cab-fixtures.sh, fetch-windows-sources.sh).

# fetch_lock DEST: returns 1 when DEST is already fetched (DEST/.done), else returns holding a lock
# on DEST (file descriptor 9, released when the script ends) and DEST still to fetch. Tests and
# build folders may start a fetch in parallel: one fetches, the others wait and find it done.
fetch_lock() {
    [ -f "$1/.done" ] && return 1
    mkdir -p "$(dirname "$1")"
    exec 9>"$1.lock"
    flock 9
    [ ! -f "$1/.done" ]
}

# source_entries COMPONENT...: makes sure apt knows the system's own archive's source packages in
# each component (main in zel-src.list, which earlier checkouts wrote as zel-src.sources; any
# other in zel-src-COMPONENT.list) and that apt-get source can unpack them (dpkg-dev).
source_entries() {
    local here component sudo=""
    here=$(dirname "${BASH_SOURCE[0]}")
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    . "$here/debian-archive.sh"
    for component in "$@"; do
        if [ "$component" = main ]; then
            [ -f /etc/apt/sources.list.d/zel-src.sources ] ||
                add_debian_entry /etc/apt/sources.list.d/zel-src.list deb-src main
        else
            add_debian_entry "/etc/apt/sources.list.d/zel-src-$component.list" deb-src "$component"
        fi
    done
    command -v dpkg-source >/dev/null || $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq dpkg-dev
}

# apt_source DIR PACKAGE...: downloads and unpacks the source packages into DIR (no build
# dependencies). Package lists that went stale since the entries were written get one refresh.
apt_source() {
    local dir=$1 sudo=""
    shift
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    (cd "$dir" && apt-get source -qq "$@" >"$dir/apt.log" 2>&1) && return 0
    $sudo apt-get update -qq
    (cd "$dir" && apt-get source -qq "$@" >"$dir/apt.log" 2>&1) || { cat "$dir/apt.log" >&2; return 1; }
}
