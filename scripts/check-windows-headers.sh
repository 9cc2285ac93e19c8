#!/usr/bin/env bash
# Proves that our code can meet <windows.h>, which defines hundreds of common names as macros
# (MessageBox, DeleteFile, WM_QUIT, ...) and its own DWORD and HKEY types:
#  1. every header compiles for Windows after `#include <windows.h>` (one translation unit per
#     header, syntax only, with the mingw-w64 cross compiler);
#  2. no identifier in our sources is a macro of <windows.h> that the C and C++ standard headers do
#     not define as well: such a name compiles but silently becomes another one (MessageBoxA) in the
#     translation units that see the macro, and not in the others.
# Usage: check-windows-headers.sh [MINGW_CXX [GENERATED_DIR]]
#   MINGW_CXX      default x86_64-w64-mingw32-g++-posix
#   GENERATED_DIR  the build's generated headers (the export macros), default build/generated
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cxx=${1:-x86_64-w64-mingw32-g++-posix}
generated=$(cd "${2:-$top/build/generated}" && pwd)
cd "$top"

# Folders never built for Windows: the POSIX backends, and code over libraries that do not exist
# for Windows (the Qt wizard and its tests over Qt and X11; libcurl is used only in platform/posix).
posix_only='^(platform/posix|platform/wine|platform/x11|updater/wizard|tests/wizard)/'
# Folders of code written for Windows alone, which includes <windows.h> itself and means its names.
windows_only='^(platform/win32|tests/platform/win32|updater/win32|tests/wizard_win32)/'
# Single files in the same position, each with its reason.
header_exceptions=(
    # POSIX processes, descriptors and sockets drive the test servers.
    tests/updater/test_support.h
)
name_exceptions=(
    # Include <windows.h> themselves: the Windows tool chain's own test, and the disinfection test,
    # which infects the running machine through the registry and shell-link object.
    tests/windows/chain_test.cpp
    tests/windows/disinfection_test.cpp
    # The UnRAR interface's own names (CALLBACK, LPARAM, ...), which on Windows are the system's.
    archive/rar/rar_archive.cpp
    # POSIX sockets and processes (AF_INET, SOCK_STREAM, ...) for the test servers.
    tests/updater/test_support.cpp
)
# Names of <windows.h> that we use on purpose: the registry roots are the system's own on Windows.
allowed_names='^HKEY_(CLASSES_ROOT|CURRENT_USER|LOCAL_MACHINE|USERS|PERFORMANCE_DATA|CURRENT_CONFIG|DYN_DATA)$'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sources() { # sources PATTERN...: our tracked-looking files, third-party code and build folders left out
    find . \( -path ./third_party -o -path './build*' -o -path ./.git \) -prune -o -type f \( "$@" \) -print |
        sed 's|^\./||' | grep -Ev "$posix_only" | sort
}
is_listed() { # is_listed FILE LIST...
    local file=$1 entry
    shift
    for entry in "$@"; do [ "$file" = "$entry" ] && return 0; done
    return 1
}

# --- 1. every header after <windows.h> -----------------------------------------------------------
flags=(-std=c++20 -fsyntax-only -I"$top" -I"$generated" -isystem /usr/src/googletest/googletest/include
    -isystem /usr/src/googletest/googlemock/include
    # Test headers name their data folders through these; any text will do for the syntax.
    -DZEL_SOURCE_DIR='"."' -DZEL_SHARED_DIR='"."' -DZEL_BINARY_DIR='"."' -DZEL_CAB_FIXTURES='"."')
printf '#include <windows.h>\n' >"$work/windows_first.h"
"$cxx" -std=c++20 -x c++-header "$work/windows_first.h" -o "$work/windows_first.h.gch"
export cxx work
export flags_text="${flags[*]}"
headers=()
for header in $(sources -name '*.h'); do
    is_listed "$header" "${header_exceptions[@]}" || headers+=("$header")
done
failed=$(printf '%s\n' "${headers[@]}" | xargs -P "$(nproc)" -I{} bash -c '
    # shellcheck disable=SC2086
    if ! "$cxx" $flags_text -include "$work/windows_first.h" -Winvalid-pch -x c++ "{}" >"$work/$(echo {} | tr / _).log" 2>&1
    then echo "{}"; fi' | sort)
if [ -n "$failed" ]; then
    for header in $failed; do
        echo "== $header does not compile after <windows.h>:" >&2
        head -n 20 "$work/$(echo "$header" | tr / _).log" >&2
    done
fi

# --- 2. no <windows.h> macro names in our sources ----------------------------------------------
macros() { # macros HEADER...: the names a translation unit of these headers defines as macros
    printf '#include <%s>\n' "$@" | "$cxx" -std=c++20 -x c++ -dM -E - | sed -nE 's/^#define ([A-Za-z_][A-Za-z0-9_]*).*/\1/p' |
        sort -u
}
standard=(cassert cctype cerrno cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg cstddef cstdint
    cstdio cstdlib cstring ctime cwchar cwctype algorithm atomic chrono condition_variable filesystem fstream
    functional iostream limits map memory mutex optional sstream string thread vector)
macros windows.h >"$work/windows.macros"
macros "${standard[@]}" >"$work/standard.macros"
comm -23 "$work/windows.macros" "$work/standard.macros" | grep -Ev "$allowed_names" >"$work/forbidden.macros"
clashes=""
for file in $(sources -name '*.h' -o -name '*.cpp' | grep -Ev "$windows_only"); do
    is_listed "$file" "${name_exceptions[@]}" && continue
    # Comments and string literals removed; directives kept, since a macro name there counts too.
    names=$(g++ -fpreprocessed -dD -E -P -x c++ "$file" 2>/dev/null |
        sed -E 's/"([^"\\]|\\.)*"//g'";s/'([^'\\\\]|\\\\.)*'//g" | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*\b' | sort -u |
        comm -12 - "$work/forbidden.macros" | tr '\n' ' ')
    [ -z "$names" ] || clashes+="$file: $names"$'\n'
done
if [ -n "$clashes" ]; then
    echo "== names that <windows.h> defines as macros:" >&2
    printf '%s' "$clashes" >&2
fi

[ -z "$failed" ] && [ -z "$clashes" ] || exit 1
echo "${#headers[@]} headers compile after <windows.h>; no source uses a name it defines as a macro"
