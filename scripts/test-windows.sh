#!/usr/bin/env bash
# Builds the whole tree for Windows with mingw-w64 (zelbase.dll, arcopen.dll, zelace.dll, zel.exe and
# the tests) and runs its tests under Wine, end to end: the packages, the third-party sources, the
# 64-bit build in build-win64 with its tests run by ctest in a fresh Wine prefix of that folder,
# then the 32-bit build in build-win32, compiled and linked only (running it needs 32-bit Wine, an
# i386 multiarch install that CI does not make). zel.exe is compared with the Linux build's zel
# (build/, which scripts/test.sh makes first; ZEL_LINUX_BUILD names another).
# Prints the wall-clock and CPU minutes of each step. A third-party build (unrar.dll, googletest)
# is made once per build folder and reused by later runs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)
linux_build=${ZEL_LINUX_BUILD:-$top/build}

ticks=$(getconf CLK_TCK)
report=""
children_cpu() { # CPU ticks of this shell's finished children (user + system)
    local stat
    read -r -a stat <"/proc/$$/stat"
    echo $((stat[15] + stat[16]))
}
step() { # step NAME COMMAND...: runs COMMAND and notes its wall-clock and CPU time
    local name=$1 start cpu
    shift
    start=$(date +%s.%N)
    cpu=$(children_cpu)
    echo "== $name"
    "$@"
    report+=$(awk -v n="$name" -v w="$(date +%s.%N)" -v s="$start" -v c="$(($(children_cpu) - cpu))" -v t="$ticks" \
        'BEGIN { printf "%-34s %6.2f min wall %6.2f min CPU", n, (w - s) / 60, c / t / 60 }')$'\n'
}

configure() { # configure BUILD_DIR TOOLCHAIN
    cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON \
        --toolchain "$top/cmake/toolchains/$2" -DZEL_WINDOWS_SOURCES="$top/$1/third-party-src" \
        -DZEL_LINUX_BUILD="$linux_build"
}

prefix=$top/build-win64/wine-prefix
stop_wine() { # ends the wineserver of our own prefix only, if one runs
    [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}

run_tests() {
    local log=build-win64/ctest.log ran
    # On a virtual display, so that the desktop tests have windows to find and close.
    xvfb-run -a ctest --test-dir build-win64 --output-on-failure -j "$jobs" | tee "$log"
    # wine-run.sh already fails any test whose program printed no result; an empty run is a failure
    # too (the listing found no program to run).
    ran=$(sed -n 's/.* tests* failed out of \([0-9][0-9]*\)$/\1/p' "$log")
    [ "${ran:-0}" -gt 0 ] || { echo "no test ran under Wine" >&2; return 1; }
    echo "$ran tests passed; every GoogleTest case among them printed its own result under Wine"
}

step "packages" scripts/install-deps.sh
step "third-party sources (win64)" scripts/fetch-windows-sources.sh build-win64/third-party-src
step "configure win64" configure build-win64 mingw-x86_64.cmake
step "build win64" cmake --build build-win64 -j "$jobs"
stop_wine
trap stop_wine EXIT
step "fresh Wine prefix" bash -c 'rm -rf "$1" "$1.lock" && cmake/toolchains/wine-run.sh "$1"' _ "$prefix"
step "tests under Wine (win64)" run_tests
stop_wine
step "third-party sources (win32)" scripts/fetch-windows-sources.sh build-win32/third-party-src
step "configure win32" configure build-win32 mingw-i686.cmake
step "build win32 (compile and link)" cmake --build build-win32 -j "$jobs"

echo
printf '%s' "$report"
