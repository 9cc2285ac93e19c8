#!/usr/bin/env bash
# Runs a Windows test program on a virtual display of its own: waits until the Wine prefix's server
# has ended (its desktop process was started without a display by the tests before), runs the
# program under xvfb-run, and waits again so that the next test does not meet a desktop whose
# display is gone.
# Usage: wine-gui-run.sh PREFIX EMULATOR... PROGRAM ARGS...
set -uo pipefail
prefix=$1
shift
if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -w; fi
xvfb-run -a -s "-screen 0 1024x768x24" "$@" --gtest_filter="*"
status=$?
WINEPREFIX=$prefix wineserver -w
exit $status
