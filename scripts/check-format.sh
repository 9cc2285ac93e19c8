#!/usr/bin/env bash
# Fails when a C++ source or header of ours differs from what .clang-format makes of it; build
# folders and third_party/ (build glue around fetched sources) are not ours to format.
# With --fix, formats them in place instead.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mapfile -t files < <(find . \( -path ./third_party -o -path './build*' -o -path ./.git \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
else
    clang-format --dry-run -Werror "${files[@]}"
fi
