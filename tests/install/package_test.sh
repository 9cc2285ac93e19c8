#!/usr/bin/env bash
# The Debian packages: CPack makes them from the build folder; each is checked for its name,
# dependencies and files, all are unpacked into an empty root folder, and the programs there run
# with that root's libraries (zel --version, the sample scan, an archive listing). apt then
# simulates installing them, which proves that Debian 12 satisfies every dependency.
# Prints each package's size and dependencies.
# Usage: package_test.sh BUILD_DIR VERSION LIBDIR (LIBDIR below the prefix)
set -euo pipefail
build=$1 version=$2 libdir=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/install_common.sh"
make_private_folder "$build"

cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
arch=$(dpkg --print-architecture)
declare -A files=(
    [libzel]="/usr/$libdir/libzelbase.so.1 /usr/$libdir/libarcopen.so.1 /usr/$libdir/libzelace.so.1"
    [libzel-dev]="/usr/include/zel/database/trojan_base2.h /usr/$libdir/libzelbase.so
                  /usr/$libdir/cmake/Zel/ZelConfig.cmake /usr/$libdir/pkgconfig/arcopen.pc"
    [zel]="/usr/bin/zel /usr/share/man/man1/zel.1.gz /usr/share/bash-completion/completions/zel"
    [zelupdate]="/usr/bin/zelupdate /usr/libexec/zel/zelupdate /usr/libexec/zel/zelupdate.ger
                 /usr/share/applications/zelupdate.desktop /usr/share/man/man1/zelupdate.1.gz")
# Some of what each package must depend on (";" between them).
declare -A depends=(
    [libzel]="libunrar5;libminizip1;libstdc++6"
    [libzel-dev]="libzel (= $version)"
    [zel]="libzel (= $version);libcurl4"
    [zelupdate]="libqt6widgets6;libx11-6;libcurl4")
root=$work/root
mkdir "$root"
debs=()
for package in "${!files[@]}"; do
    deb=$work/debs/${package}_${version}_$arch.deb
    [ -f "$deb" ] || fail "no package $package: $(ls "$work/debs")"
    debs+=("$deb")
    [[ $(dpkg-deb -f "$deb" Package) == "$package" ]] || fail "$deb is not the package $package"
    deps=$(dpkg-deb -f "$deb" Depends)
    IFS=';' read -r -a wanted <<<"${depends[$package]}"
    for dep in "${wanted[@]}"; do
        [[ ", $deps," == *", $dep"[\ ,]* ]] || fail "$package does not depend on $dep: $deps"
    done
    [[ $deps != *zel-* ]] || fail "$package depends on a component package: $deps"
    contents=$(dpkg-deb -c "$deb")
    for file in ${files[$package]}; do
        [[ $contents == *" .$file"* ]] || fail "$package lacks $file"
    done
    printf '%-10s %6d KiB  Depends: %s\n' "$package" $(($(stat -c %s "$deb") / 1024)) "$deps"
    dpkg-deb -x "$deb" "$root"
done

# The unpacked programs, on the unpacked libraries.
zel=$root/usr/bin/zel
expect_libraries_from "$zel" "$root/usr/$libdir"
[[ $("$zel" --version) == "zel $version" ]] || fail "packaged zel --version: $("$zel" --version)"
make_sample_archive "$build/sample" "$work"
found=$(cd "$work" && "$zel" scan -j 1 --db "$build/sample/default.tdb" setup.exe sample.zip || [ $? -eq 1 ])
[[ $found == *"setup.exe: Alpha FOUND"*"sample.zip/setup.exe: Alpha FOUND"*"Infected: 2 files"* ]] ||
    fail "packaged zel scan printed: $found"
listed=$(cd "$work" && "$zel" archive list sample.zip)
[[ $listed == $'zip\nsetup.exe\nsub/\nsub/notes.txt' ]] || fail "packaged zel archive list printed: $listed"
[[ $(readlink -f "$root/usr/bin/zelupdate") == "$root/usr/libexec/zel/zelupdate" ]] ||
    fail "/usr/bin/zelupdate leads to $(readlink -f "$root/usr/bin/zelupdate")"

# Would the packages install on this system? (A simulation: nothing is changed.)
apt-get install --simulate --no-install-recommends "${debs[@]}" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt cannot install the packages"; }
echo "packages: ok"
