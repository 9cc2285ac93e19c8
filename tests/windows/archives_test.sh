#!/usr/bin/env bash
# zel.exe under Wine reads every archive of the Linux tests' fixtures as the Linux zel does: the
# same listing, the same exit status, and the same files extracted, byte for byte and name for name
# (ZIP, RAR, ARJ and CAB through arcopen.dll, ACE through zelace.dll).
# Usage: archives_test.sh LINUX_ZEL FOLDER... -- WINDOWS_COMMAND...
#        (FOLDERs hold the archives; WINDOWS_COMMAND: the build's Wine runner, its prefix and zel.exe)
set -uo pipefail
linux_zel=${1:?Linux zel}
shift
folders=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    folders+=("$1")
    shift
done
shift
[ $# -gt 0 ] || { echo "no Windows command after --" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0 compared=0
for folder in "${folders[@]}"; do
    [ -d "$folder" ] || { echo "missing $folder: build the Linux tree and fetch its fixtures first" >&2; exit 1; }
    for archive in "$folder"/*.zip "$folder"/*.rar "$folder"/*.arj "$folder"/*.cab "$folder"/*.ace; do
        [ -f "$archive" ] || continue
        # 8-bit RAR 4 names from a Unix host: the Windows build of the UnRAR library hands them over
        # through the ANSI code page, lossily (README, Windows).
        [ "$(basename "$archive")" = rar4_unix.rar ] && continue
        name=$(basename "$archive")
        linux=$("$linux_zel" archive list "$archive" 2>&1)
        linux_status=$?
        windows=$("$@" archive list "$archive" 2>&1 | tr -d '\r')
        windows_status=$?
        if [ "$linux" != "$windows" ] || [ $linux_status != $windows_status ]; then
            echo "== $name: archive list differs (status $linux_status on Linux, $windows_status under Wine)" >&2
            diff <(echo "$linux") <(echo "$windows") >&2
            status=1
        fi
        mkdir -p "$work/linux/$name" "$work/windows/$name"
        "$linux_zel" archive extract "$archive" "$work/linux/$name" >/dev/null 2>&1
        linux_status=$?
        "$@" archive extract "$archive" "$work/windows/$name" >/dev/null 2>&1
        windows_status=$?
        if ! diff -r "$work/linux/$name" "$work/windows/$name" >&2 || [ $linux_status != $windows_status ]; then
            echo "== $name: extraction differs (status $linux_status on Linux, $windows_status under Wine)" >&2
            status=1
        fi
        compared=$((compared + 1))
    done
done
[ $compared -gt 0 ] || { echo "no archive found in ${folders[*]}" >&2; exit 1; }
[ $status -eq 0 ] && echo "$compared archives listed and extracted alike"
exit $status
