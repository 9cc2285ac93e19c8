#!/usr/bin/env bash
# Fetches the third-party sources that the Windows build compiles itself, because Debian ships no
# mingw build of them: minizip (zlib's contrib/minizip: ioapi, iowin32, unzip) and the UnRAR
# library, both from Debian's own source packages. Only the files the build needs are kept:
#   DEST/minizip/  ioapi, iowin32 (the wide-character Win32 file functions), unzip, crypt.h
#   DEST/unrar/    the library's C++ sources and headers, its Visual Studio project (the file list
#                  we build from), dll.def and its licence
# Nothing fetched belongs in the repository: DEST lies in a build folder.
# Usage: fetch-windows-sources.sh DEST_DIR   (idempotent: does nothing when DEST_DIR/.done exists)
set -euo pipefail
dest=${1:?destination dir}
. "$(dirname "$0")/lib/source-packages.sh"
fetch_lock "$dest" || exit 0
# zlib is in main, the UnRAR library in non-free.
source_entries main non-free

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
apt_source "$work" zlib unrar-nonfree

one_dir() { # one_dir PATTERN: the single unpacked folder whose name matches PATTERN
    local found
    found=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name "$1")
    [ -n "$found" ] && [ "$(wc -l <<<"$found")" -eq 1 ] || { echo "no single unpacked $1 source" >&2; exit 1; }
    echo "$found"
}
minizip=$(one_dir 'zlib-*')/contrib/minizip
unrar=$(one_dir 'unrar-nonfree-*')
[ -f "$minizip/iowin32.c" ] || { echo "zlib's source has no contrib/minizip/iowin32.c" >&2; exit 1; }
[ -f "$unrar/UnRARDll.vcxproj" ] && [ -f "$unrar/dll.def" ] ||
    { echo "the UnRAR source has no UnRARDll.vcxproj or dll.def" >&2; exit 1; }

rm -rf "$dest.partial"
mkdir -p "$dest.partial/minizip" "$dest.partial/unrar"
for f in ioapi.c ioapi.h iowin32.c iowin32.h unzip.c unzip.h crypt.h; do
    cp "$minizip/$f" "$dest.partial/minizip/"
done
# The UnRAR library keeps every source file flat in its top folder (Debian's packaging aside).
find "$unrar" -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.hpp' -o -name 'UnRARDll.vcxproj' \
    -o -name 'dll.def' -o -name 'license.txt' \) -exec cp {} "$dest.partial/unrar/" \;
touch "$dest.partial/.done"
# -T: never move into a folder that is already there; an empty one is replaced, anything else fails.
mv -T "$dest.partial" "$dest"
