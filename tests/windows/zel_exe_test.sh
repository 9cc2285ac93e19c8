#!/usr/bin/env bash
# zel.exe under Wine: it finds in the bundled sample exactly what the Linux zel finds (the same
# verdict lines, paths taken relative to the scanned folder in either spelling of the separator, and
# the same exit status), and its system root is the running machine, never a folder.
# Usage: zel_exe_test.sh LINUX_ZEL SAMPLE_DIR WINDOWS_COMMAND...
#        (WINDOWS_COMMAND: the build's Wine runner, its prefix and zel.exe)
set -uo pipefail
linux_zel=${1:?Linux zel} sample=${2:?sample folder}
shift 2
scan=$sample/scan
for needed in "$linux_zel" "$sample/default.tdb" "$scan"; do
    [ -e "$needed" ] || { echo "missing $needed: build the Linux tree first (scripts/test.sh does)" >&2; exit 1; }
done

verdicts() { # the verdict lines of a scan's output, relative to the scanned folder, sorted
    tr -d '\r' | tr '\\' '/' | sed -n "s|^$scan/||p" | sort
}

linux=$(ZEL_DB=$sample/default.tdb "$linux_zel" scan "$scan")
linux_status=$?
windows=$("$@" scan --db "$sample/default.tdb" "$scan")
windows_status=$?

status=0
if [ "$(verdicts <<<"$linux")" != "$(verdicts <<<"$windows")" ]; then
    echo "the verdicts differ (< Linux, > Windows):" >&2
    diff <(verdicts <<<"$linux") <(verdicts <<<"$windows") >&2
    status=1
fi
if [ "$linux_status" != "$windows_status" ]; then
    echo "exit status $windows_status under Wine, $linux_status on Linux" >&2
    status=1
fi
# An empty comparison would prove nothing: the sample holds trojans.
if ! verdicts <<<"$linux" | grep -q .; then
    echo "the Linux scan printed no verdict for $scan" >&2
    status=1
fi
info=$("$@" system info | tr -d '\r')
if ! grep -qx 'kind: *running-machine' <<<"$info"; then
    echo "zel system info does not name the running machine:" >&2
    echo "$info" >&2
    status=1
fi
refusal=$("$@" system info --system-root C:/elsewhere 2>&1)
refused_status=$?
if [ $refused_status -ne 2 ] || ! grep -q 'not available on Windows' <<<"$refusal"; then
    echo "--system-root was not refused (status $refused_status): $refusal" >&2
    status=1
fi
[ $status -eq 0 ] && echo "same $(verdicts <<<"$linux" | wc -l) verdict lines, exit status $linux_status"
exit $status
