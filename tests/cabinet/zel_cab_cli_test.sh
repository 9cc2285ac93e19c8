#!/usr/bin/env bash
# zel archive and zel scan on cabinets, end to end: MSZIP and stored cabinets made by gcab, the
# real LZX and Quantum cabinets, a set whose file goes on in the next cabinet, and a trojan
# inside a cabinet inside a ZIP; Quantum cabinets scanned by several workers at once. cabextract is
# the reference for the extracted bytes.
# Usage: zel_cab_cli_test.sh ZEL FIXTURES_DIR MAKE_QUANTUM_CAB
set -euo pipefail
zel=$1
fixtures=$2
make_quantum_cab=$3
if [ ! -f "$fixtures/.done" ]; then
    echo "FAIL: the real test cabinets are missing from $fixtures: fetch them with" \
        "scripts/fetch-cab-fixtures.sh $fixtures (scripts/test.sh does it before the tests)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

mkdir -p src/sub
printf 'hello cabinet\r\n' >src/a.txt
python3 -c 'import random; r = random.Random(3); open("src/sub/b.bin", "wb").write(bytes(r.getrandbits(8) for _ in range(150000)))'
python3 -c 'open("src/c.txt", "w").write("the folder and the block and the window\n" * 9000)'
(cd src && gcab -c -z ../mszip.cab a.txt sub/b.bin c.txt && gcab -c ../stored.cab a.txt sub/b.bin c.txt)

# Listing: names in the stored order, "\" shown as "/".
for cab in mszip stored; do
    "$zel" archive list "$cab.cab" >list
    printf 'cab\na.txt\nsub/b.bin\nc.txt\n' | cmp -s - list || fail "list $cab.cab: $(cat list)"
done
[ "$("$zel" archive list --json "$fixtures/mszip_lzx_qtm.cab")" = \
  '{"type": "cab", "entries": ["mszip.txt", "lzx.txt", "qtm.txt"]}' ] || fail "list --json of the three methods"

# Extraction matches the originals and cabextract, for every method.
for cab in mszip.cab stored.cab "$fixtures/mszip_lzx_qtm.cab" "$fixtures/normal_2files_2folders.cab"; do
    rm -rf ours ref
    "$zel" archive extract "$cab" ours || fail "extract $cab"
    cabextract -q -d ref "$cab" >/dev/null
    diff -r ours ref >/dev/null || fail "$cab differs from cabextract: $(diff -rq ours ref)"
done
rm -rf ours && "$zel" archive extract mszip.cab ours && diff -r src ours >/dev/null || fail "mszip.cab differs from its files"

# Chosen names only.
rm -rf some && "$zel" archive extract mszip.cab some sub/b.bin
[ "$(cd some && find . -type f)" = "./sub/b.bin" ] || fail "named extraction: $(cd some && find . -type f)"

# A set: the file that goes on in the next cabinet is not followed. The extraction fails for it
# and leaves no truncated file behind.
mkdir set && cp "$fixtures/multi_basic_pt1.cab" "$fixtures/multi_basic_pt2.cab" set/
set +e
"$zel" archive extract set/multi_basic_pt1.cab setout 2>err; status=$?
set -e
[ $status -eq 2 ] || fail "set extraction status $status"
grep -q "test1.txt: cannot extract" err || fail "spanning file not reported: $(cat err)"
[ -z "$(find setout -type f)" ] || fail "a truncated file was left: $(find setout -type f)"

# A damaged cabinet: the data of the MSZIP folder no longer matches its checksum.
python3 - <<'PY'
data = bytearray(open("mszip.cab", "rb").read())
data[-100] ^= 0xFF
open("damaged.cab", "wb").write(data)
PY
set +e
"$zel" archive extract damaged.cab dout 2>err; status=$?
set -e
[ $status -eq 2 ] || fail "damaged extraction status $status"

# zel scan: a trojan in an MSZIP cabinet between clean files, and in a stored cabinet inside a
# ZIP; a clean cabinet.
python3 -c 'import random; r = random.Random(9); open("evil.exe", "wb").write(bytes(r.getrandbits(8) for _ in range(8192)))'
"$zel" db add --db t.tdb --type Backdoor --name Evil --version 1.0 --image evil.exe >/dev/null
"$zel" db generate --db t.tdb --all >/dev/null
mkdir -p scan tmp
cp evil.exe src/
(cd src && gcab -c -z ../scan/infected.cab a.txt evil.exe c.txt && gcab -c ../inner.cab evil.exe)
zip -q -j scan/outer.zip inner.cab
cp mszip.cab scan/clean.cab
set +e
TMPDIR="$work/tmp" "$zel" scan --db t.tdb scan >out.txt 2>&1; status=$?
set -e
[ $status -eq 1 ] || fail "scan status $status: $(cat out.txt)"
grep -qx 'scan/infected.cab/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt || fail "cab entry: $(cat out.txt)"
grep -qx 'scan/outer.zip/inner.cab/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt ||
    fail "cab in zip: $(cat out.txt)"
grep -q '^scan/infected.cab/c.txt: OK' out.txt || fail "entry after the trojan not scanned: $(cat out.txt)"
grep -q '^scan/clean.cab/sub/b.bin: OK' out.txt || fail "clean cabinet: $(cat out.txt)"
[ -z "$(ls -A tmp)" ] || fail "temporary files left: $(ls -A tmp)"

# Quantum folders decoded by four workers at once: every decoder keeps its own state, so each
# cabinet's trojan, behind 150 kB of other data in its folder, is found as by one worker.
mkdir quantum
n=0
for bits in 15 16 17 18 19 20 21 15; do
    n=$((n + 1))
    "$make_quantum_cab" "quantum/q$n.cab" "$bits" b.bin=src/sub/b.bin c.txt=src/c.txt evil.exe=evil.exe
done
for workers in 1 4; do
    set +e
    TMPDIR="$work/tmp" "$zel" scan --db t.tdb --no-summary -j $workers quantum | sort >"quantum$workers.txt"
    set -e
done
[ "$(grep -c 'evil.exe: Evil FOUND' quantum4.txt)" = 8 ] || fail "quantum, 4 workers: $(cat quantum4.txt)"
cmp -s quantum1.txt quantum4.txt || fail "quantum, 1 and 4 workers differ: $(diff quantum1.txt quantum4.txt)"
echo "zel on cabinets: all checks passed"
