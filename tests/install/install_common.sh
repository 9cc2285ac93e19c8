# Sourced by the install and package tests.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# make_private_folder BUILD_DIR: sets work to a new folder inside the build folder, removed when the
# script ends.
make_private_folder() {
    work=$(mktemp -d "$1/install-test.XXXXXX")
    trap 'rm -rf -- "$work"' EXIT
}

# make_sample_archive SAMPLE_DIR DIR: DIR/setup.exe, a copy of the sample's first trojan, and
# DIR/sample.zip holding it and a clean file in a folder.
make_sample_archive() {
    cp "$1/scan/downloads/setup.exe" "$2/setup.exe"
    mkdir -p "$2/zip/sub"
    cp "$1/scan/documents/notes.txt" "$2/zip/sub/"
    cp "$2/setup.exe" "$2/zip/"
    (cd "$2/zip" && zip -q -r ../sample.zip setup.exe sub)
}

# expect_libraries_from PROGRAM LIBDIR: the dynamic loader takes every library of ours from LIBDIR.
expect_libraries_from() {
    local program=$1 libdir=$2 library found
    for library in libarcopen.so.1 libzelace.so.1; do
        found=$(ldd "$program" | awk -v l="$library" '$1 == l { print $3 }')
        [[ -n $found && $(readlink -f "$found") == $(readlink -f "$libdir/$library") ]] || fail "$program loads $library from '$found', not from $libdir"
    done
}
