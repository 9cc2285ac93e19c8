#!/usr/bin/env bash
# zel archive and zel scan on ACE archives, end to end.
# Usage: zel_ace_test.sh ZEL MAKE_ACE SAMPLES
set -euo pipefail
zel=$1
make_ace=$2
samples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# Listing: the type, then the names with "/" between folders; folders end in "/".
"$zel" archive list "$samples/hatching-sflock_ace_nested2.ace" >list
head -1 list | grep -qx ace || fail "type: $(cat list)"
[ "$(wc -l <list)" -eq 4 ] || fail "nested2 lists 1 file and 2 folders: $(cat list)"

# Extraction of a two-volume ACE 2.0 set gives exactly the files of its MD5 list.
"$zel" archive extract "$samples/wdlkmpx-unace_v2_multivol2.ace" out || fail "multivol2 extract"
(cd out && md5sum -c --quiet "$samples/wdlkmpx-unace_v2_multivol2.md5") || fail "multivol2 contents"
[ "$(cd out && find . -type f | wc -l)" -eq "$(wc -l <"$samples/wdlkmpx-unace_v2_multivol2.md5")" ] ||
    fail "multivol2 file count"

# Names with ".." or an absolute path are refused, and nothing lands outside the folder.
for sample in dirtraversal1 dirtraversal2; do
    cp "$samples/wdlkmpx-unace_v1_$sample.ace" "$sample.ace"
    "$zel" archive extract "$sample.ace" "inner/$sample" 2>err || fail "$sample extract"
    grep -q refused err || fail "$sample: no refusal: $(cat err)"
    [ -z "$(find inner -type f)" ] || fail "$sample wrote $(find inner -type f)"
done
[ ! -e /tmp/unace-dir-traversal ] || fail "/tmp/unace-dir-traversal exists"

# An encrypted entry lists but is not extracted.
"$zel" archive list "$samples/wdlkmpx-unace_v2_passwd2.ace" >/dev/null || fail "passwd2 list"
"$zel" archive extract "$samples/wdlkmpx-unace_v2_passwd2.ace" enc 2>err || true
[ -z "$(find enc -type f)" ] || fail "encrypted entry written"

# zel scan finds a trojan inside an ACE archive (itself inside a ZIP) and reports a damaged
# entry without stopping.
python3 -c 'import random; r = random.Random(9); open("evil.exe", "wb").write(bytes(r.getrandbits(8) for _ in range(8192)))'
"$zel" db add --db t.tdb --type Backdoor --name Evil --version 1.0 --image evil.exe >/dev/null
"$zel" db generate --db t.tdb --all >/dev/null
echo clean >clean.txt
mkdir -p scan tmp
"$make_ace" scan/plain.ace --method 2 'clean.txt=clean.txt' 'sub\evil.exe=evil.exe'
"$make_ace" inner.ace --solid --method 1 'a.txt=clean.txt' 'evil.exe=evil.exe'
zip -q scan/holder.zip inner.ace
"$make_ace" scan/damaged.ace --method 0 'evil.exe=evil.exe' 'clean.txt=clean.txt'
python3 - <<'PY'
data = bytearray(open("scan/damaged.ace", "rb").read())
data[data.index(b"evil.exe") + 100] ^= 0xFF
open("scan/damaged.ace", "wb").write(data)
PY
set +e
TMPDIR="$work/tmp" "$zel" scan --db t.tdb scan >out.txt 2>&1; status=$?
set -e
[ $status -eq 1 ] || fail "scan status $status: $(cat out.txt)"
grep -qx 'scan/plain.ace/sub/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt ||
    fail "plain.ace: $(cat out.txt)"
grep -qx 'scan/holder.zip/inner.ace/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt ||
    fail "holder.zip: $(cat out.txt)"
grep -q '^scan/damaged.ace/evil.exe: ERROR' out.txt || fail "damaged entry: $(cat out.txt)"
grep -q '^scan/damaged.ace/clean.txt: OK' out.txt || fail "scan stopped: $(cat out.txt)"
[ -z "$(ls -A tmp)" ] || fail "temporary files left: $(ls -A tmp)"
echo "zel on ACE: all checks passed"
