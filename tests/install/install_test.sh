#!/usr/bin/env bash
# The installed tree, from the outside: `cmake --install` into a private prefix, which is then moved
# elsewhere (so nothing may depend on where it was installed, nor on the build folder). There:
# - every program and library finds ours through a run path relative to itself, never an absolute one;
# - each public header compiles on its own with only the installed headers;
# - a consumer program built both ways (CMake package, pkg-config) scans a sample file and lists a
#   sample archive exactly as the installed zel does;
# - the wizard's link leads to the program with its language file beside it; man pages and completion.
# Usage: install_test.sh BUILD_DIR CXX VERSION LIBDIR (LIBDIR below the prefix)
set -euo pipefail
build=$1 cxx=$2 version=$3 libdir=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/install_common.sh"
make_private_folder "$build"

cmake --install "$build" --prefix "$work/installed" >"$work/install.log"
mv "$work/installed" "$work/moved"
prefix=$work/moved
make_sample_archive "$build/sample" "$work"

# Run paths: relative to the file, never into the build folder or any absolute place.
for file in "$prefix"/bin/zel "$prefix/$libdir"/*.so.* "$prefix"/libexec/zel/zelupdate; do
    paths=$(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
    IFS=: read -r -a entries <<<"$paths"
    for entry in "${entries[@]}"; do
        [[ $entry == '$ORIGIN'* ]] || fail "$file has the run path $paths"
    done
done
expect_libraries_from "$prefix/bin/zel" "$prefix/$libdir"

# Each header alone, against the installed tree and nothing of the source tree.
while IFS= read -r header; do
    echo "#include \"$header\"" | "$cxx" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I "$prefix/include/zel" -x c++ - ||
        fail "$header does not compile on its own against the installed headers"
done < <(cd "$prefix/include/zel" && find . -name '*.h' | sed 's|^\./||')

# The consumer, both ways.
cmake -S "$here/consumer" -B "$work/consumer-cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$work/consumer-cmake.log" || { cat "$work/consumer-cmake.log"; exit 1; }
cmake --build "$work/consumer-cmake" >>"$work/consumer-cmake.log" || { cat "$work/consumer-cmake.log"; exit 1; }
flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs zelbase arcopen)
[[ $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --modversion zelbase) == "$version" ]] ||
    fail "zelbase.pc does not give the version $version"
# shellcheck disable=SC2086 # the flags are words
"$cxx" -std=c++20 -Wall -Wextra -Werror "$here/consumer/consumer.cpp" -o "$work/consumer-pkgconfig" $flags \
    -Wl,-rpath,"$prefix/$libdir"

zel=$prefix/bin/zel
[[ $("$zel" --version) == "zel $version" ]] || fail "installed zel --version: $("$zel" --version)"
expected=$(cd "$work" && { "$zel" scan -j 1 --no-summary --db "$build/sample/default.tdb" setup.exe || true
                            "$zel" archive list sample.zip; })
[[ $expected == *"setup.exe: Alpha FOUND"*$'\n'zip$'\n'setup.exe* ]] || fail "installed zel printed: $expected"
for consumer in "$work/consumer-cmake/consumer" "$work/consumer-pkgconfig"; do
    expect_libraries_from "$consumer" "$prefix/$libdir"
    got=$(cd "$work" && "$consumer" "$build/sample/default.tdb" setup.exe sample.zip || [ $? -eq 1 ])
    [[ $got == "$expected" ]] || fail "$consumer printed:"$'\n'"$got"$'\n'"where zel printed:"$'\n'"$expected"
done

# The wizard reads its language file beside the real program that bin/zelupdate leads to.
wizard=$(readlink -f "$prefix/bin/zelupdate")
[[ $wizard == "$prefix/libexec/zel/zelupdate" && -x $wizard && -f $prefix/libexec/zel/zelupdate.ger ]] ||
    fail "bin/zelupdate leads to $wizard"
for file in share/man/man1/zel.1.gz share/man/man1/zelupdate.1.gz share/bash-completion/completions/zel \
            share/applications/zelupdate.desktop share/icons/hicolor/scalable/apps/zelupdate.svg; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
echo "installed tree: ok"
