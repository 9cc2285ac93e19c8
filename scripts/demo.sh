#!/usr/bin/env bash
# The main job on the bundled sample: installs what the build needs, builds, then scans the sample
# folder with the sample database, first at the stored offsets and then anywhere in each file.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target zel zel_sample

export ZEL_DB="$top/build/sample/default.tdb"
echo "== The sample database"
build/zel db list
echo
echo "== Scanning build/sample/scan at the stored offsets"
build/zel scan build/sample/scan || [ $? -eq 1 ]
echo
echo "== Scanning build/sample/scan anywhere in each file (finds the shifted copies too)"
build/zel scan --mode anywhere build/sample/scan || [ $? -eq 1 ]
