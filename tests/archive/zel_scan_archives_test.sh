#!/usr/bin/env bash
# zel scan inside archives, end to end. Usage: zel_scan_archives_test.sh ZEL
set -euo pipefail
zel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# A database with one "trojan": 8 KiB of fixed pseudo-random bytes.
python3 -c 'import random; r = random.Random(9); open("evil.exe", "wb").write(bytes(r.getrandbits(8) for _ in range(8192)))'
"$zel" db add --db t.tdb --type Backdoor --name Evil --version 1.0 --image evil.exe >/dev/null
"$zel" db generate --db t.tdb --all >/dev/null

# The trojan at archive depth 4 (zip in rar in arj in zip) and at depth 5, which is not opened.
mkdir -p d scan tmp && cp evil.exe d/ && echo clean >d/clean.txt
(cd d && zip -q ../in.zip evil.exe clean.txt)
rar a -idq -ma5 mid.rar in.zip
arj a -y outer.arj mid.rar >/dev/null
zip -q scan/depth4.zip outer.arj
zip -q -j depth5.zip scan/depth4.zip && mv depth5.zip scan/
# A damaged archive: the data of its only entry is changed, so its CRC fails.
cp in.zip scan/damaged.zip
python3 - <<'PY'
data = bytearray(open("scan/damaged.zip", "rb").read())
data[300] ^= 0xFF
open("scan/damaged.zip", "wb").write(data)
PY
before=$(cd scan && sha256sum ./*)

set +e
TMPDIR="$work/tmp" "$zel" scan --db t.tdb scan >out.txt 2>&1; status=$?
set -e
[ $status -eq 1 ] || fail "status $status: $(cat out.txt)"
grep -qx 'scan/depth4.zip/outer.arj/mid.rar/in.zip/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt ||
    fail "nested entry not reported: $(cat out.txt)"
grep -q '^scan/damaged.zip/evil.exe: ERROR' out.txt || fail "damaged entry not reported: $(cat out.txt)"
grep -q '^scan/damaged.zip/clean.txt: OK' out.txt || fail "scanning did not go on: $(cat out.txt)"
! grep -q 'depth5.zip/depth4.zip/outer.arj/mid.rar/in.zip/' out.txt || fail "went deeper than 4 archives"
grep -q 'depth5.zip/depth4.zip/outer.arj/mid.rar: OK' out.txt || fail "depth 4 of depth5.zip not scanned"
[ "$(cd scan && sha256sum ./*)" = "$before" ] || fail "an archive was changed"
[ -z "$(ls -A tmp)" ] || fail "temporary files left: $(ls -A tmp)"
echo "zel scan in archives: all checks passed"
