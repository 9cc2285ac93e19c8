#!/usr/bin/env bash
# Makes the archives the Windows chain test reads, with the real archivers, into a folder of its
# own: DIR/plain/ holds the files as they are, and DIR holds them zipped and rarred under a name in
# Cyrillic and Japanese (the archive path is what the wide-character I/O must get right).
# Usage: make-archives.sh DIR   (DIR is emptied first: give a folder of the build)
set -euo pipefail
dir=${1:?archive folder}
# Names are UTF-8 whatever the caller's locale; rar reads them through the locale.
export LC_ALL=C.UTF-8
rm -rf "$dir"
mkdir -p "$dir/plain"
seq -f 'line %g of a file that compresses well' 0 20000 >"$dir/plain/hello.txt"
printf 'привет, こんにちは\n' >"$dir/plain/привет.txt"
cd "$dir/plain"
zip -q -X ../архив-アーカイブ.zip hello.txt привет.txt
rar a -idq ../архив-アーカイブ.rar hello.txt привет.txt
