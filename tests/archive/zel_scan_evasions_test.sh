#!/usr/bin/env bash
# zel scan against the ways an archive can hide a trojan, end to end: one trojan is planted behind
# each trick, and the one scan over all of them must name every entry. Then the honest verdicts:
# damaged archives are errors (exit 2), an empty ZIP is empty (exit 0), and an interrupt leaves no
# copy behind. Usage: zel_scan_evasions_test.sh ZEL MAKE_ACE SHARED_DIR
set -euo pipefail
zel=$1
make_ace=$2
shared=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
mkdir -p scan tmp damaged
export TMPDIR="$work/tmp"

# A database with one "trojan": 8 KiB of fixed pseudo-random bytes (incompressible, so that its
# bytes lie in the archives at offsets where the fixed-offset search of the containers misses them).
python3 -c 'import random; r = random.Random(9); open("evil.exe", "wb").write(bytes(r.getrandbits(8) for _ in range(8192)))'
"$zel" db add --db t.tdb --type Backdoor --name Evil --version 1.0 --image evil.exe >/dev/null
"$zel" db generate --db t.tdb --all >/dev/null
echo clean >clean.txt
zip -q -0 small.zip clean.txt

# A small ZIP stored as the last member of a RAR, a cabinet and an ARJ archive.
rar a -idq scan/tail.rar evil.exe && rar a -idq -m0 scan/tail.rar small.zip
gcab -c scan/tail.cab evil.exe small.zip
arj a scan/tail.arj evil.exe >/dev/null && arj a -m0 scan/tail.arj small.zip >/dev/null
# A cabinet with a ZIP after it: both are read, and the ZIP's name that the cabinet also has is tagged.
gcab -c plain.cab clean.txt && zip -q both.zip evil.exe clean.txt && cat plain.cab both.zip >scan/both.cab
# A RAR volume set that the trojan spans; RAR and ACE by content whatever the name.
mkdir scan/volumes && rar a -idq -m0 -v3k scan/volumes/set.rar evil.exe
# Later volumes are covered by their set's walk; a later volume without its first (beside an
# unrelated archive of that first volume's name) is walked on its own. The trojan lies whole in it.
head -c 25000 /dev/urandom >filler.bin && mkdir lone scan/lone scan/acevol
rar a -idq -m0 -v20k lone/set2.rar filler.bin evil.exe && cp lone/set2.part2.rar scan/lone/
rar a -idq scan/lone/set2.part1.rar clean.txt
cp "$shared"/ace-samples/wdlkmpx-unace_v2_multivol2.{ace,c00} scan/acevol/
cp scan/tail.rar scan/UPPER.RAR && cp scan/tail.rar scan/rar_without_extension
"$make_ace" scan/ace_without_extension 'clean.txt=clean.txt' 'sub\evil.exe=evil.exe'
# A cabinet more than 256 characters down.
deep=scan/$(printf 'folder%02d/' $(seq 1 40))
mkdir -p "$deep" && gcab -c -z "$deep/deep.cab" evil.exe
# Names that try to forge lines and terminal output, and a file name that is no UTF-8.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("scan/names.zip", "w") as z:
    z.writestr("x\nscan/names.zip: OK\nScanned 1 files: 0 infected, 0 errors.\n\x1b[1A\x1b[2K.exe", open("evil.exe", "rb").read())
PY
cp evil.exe "scan/bad$(printf '\377').exe"
# Bombs: ten entries of 1 GiB of zeros each (10 MB on disk), then the trojan; a hundred entries
# that all point at one such stream. Then a trojan in an innocently named archive of more than the
# 2 MiB window, and one in an archive over the size limit.
python3 - <<'PY'
import struct, zlib
def zip_entries(path, entries, repeats=1):
    """Writes a ZIP of (name, method, crc, size, packed data) without holding the inflated data;
    its directory lists the first entry `repeats` times, each record pointing at its one copy."""
    out, central = open(path, "wb"), b""
    for i, (name, method, crc, size, data) in enumerate(entries):
        name = name.encode()
        fields = (20, 0, method, 0, 0, crc, len(data), size, len(name), 0)
        record = struct.pack("<IH", 0x02014B50, 20) + struct.pack("<HHHHHIIIHH", *fields) + \
            struct.pack("<HHHII", 0, 0, 0, 0, out.tell()) + name
        central += record * (repeats if i == 0 else 1)
        out.write(struct.pack("<I", 0x04034B50) + struct.pack("<HHHHHIIIHH", *fields) + name + data)
    start, count = out.tell(), len(entries) + repeats - 1
    out.write(central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), start, 0))
def deflated(chunks):
    packer, crc, size, data = zlib.compressobj(9, zlib.DEFLATED, -15), 0, 0, b""
    for chunk in chunks:
        crc, size, data = zlib.crc32(chunk, crc), size + len(chunk), data + packer.compress(chunk)
    return 8, crc, size, data + packer.flush()
def stored(data):
    return 0, zlib.crc32(data), len(data), data
zeros = deflated(bytes(1 << 20) for _ in range(1024))
evil = stored(open("evil.exe", "rb").read())
zip_entries("scan/bomb.zip", [(f"zeros{i}.bin", *zeros) for i in range(10)] + [("evil.exe", *evil)])
zip_entries("scan/overlap.zip", [("zeros.bin", *zeros)], repeats=100)
zip_entries("data.bin", [("filler.bin", *stored(bytes(3 << 20))), ("evil.exe", *evil)])
zip_entries("huge.bin", [("filler.bin", *stored(bytes(12 << 20))), ("evil.exe", *evil)])
PY
zip -q scan/nested.zip data.bin huge.bin
# A solid RAR decodes each entry to its end, however little of it is written, and passing over an
# entry decodes it too: the trojan, 256 MiB of zeros, an archive that a second pass extracts again,
# and another 256 MiB (40 KB in all).
truncate -s 256M zeros0.bin zeros1.bin
rar a -idq -s -ds -m1 scan/solid.rar evil.exe zeros0.bin data.bin zeros1.bin

set +e
start=$(date +%s)
"$zel" scan --db t.tdb --max-filesize 8M --max-scansize 64M scan >out.txt 2>err.txt; status=$?
seconds=$(($(date +%s) - start))
set -e
[ $status -eq 1 ] || fail "status $status: $(cat out.txt err.txt)"
for entry in tail.rar/evil.exe tail.cab/evil.exe tail.arj/evil.exe both.cab/evil.exe volumes/set.part1.rar/evil.exe \
    UPPER.RAR/evil.exe rar_without_extension/evil.exe ace_without_extension/sub/evil.exe "${deep#scan/}deep.cab/evil.exe" \
    'names.zip/x\x0ascan/names.zip: OK\x0aScanned 1 files: 0 infected, 0 errors.\x0a\x1b[1A\x1b[2K.exe' \
    'bad\xff.exe' bomb.zip/evil.exe nested.zip/data.bin/evil.exe; do
    grep -qxF "scan/$entry: Evil FOUND (type Backdoor, version 1.0)" out.txt || fail "not found: $entry: $(cat out.txt)"
done
grep -qxF 'scan/lone/set2.part2.rar/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt &&
    grep -qxF 'scan/volumes/set.part3.rar: OK (volume of scan/volumes/set.part1.rar)' out.txt &&
    grep -qxF 'scan/acevol/wdlkmpx-unace_v2_multivol2.c00: OK (volume of scan/acevol/wdlkmpx-unace_v2_multivol2.ace)' \
        out.txt || fail "volume sets: $(cat out.txt)"
! grep -v 'OK (volume of ' out.txt | grep -Eq '^scan/(volumes/set\.part[2-9]\.rar|acevol/.*\.c00)[:/]' ||
    fail "a later volume walked again: $(cat out.txt)"
grep -qxF 'scan/both.cab[zip]/clean.txt: OK' out.txt || fail "the cabinet's ZIP walk is not told apart"
grep -qxF 'scan/nested.zip/huge.bin: LIMIT limit reached: larger than --max-filesize, not looked into' out.txt &&
    grep -q '^scan/overlap.zip[:/].*LIMIT limit reached: --max-scansize spent' out.txt &&
    grep -qxF 'scan/solid.rar/evil.exe: Evil FOUND (type Backdoor, version 1.0)' out.txt &&
    grep -q '^scan/solid.rar: LIMIT limit reached: --max-scansize spent' out.txt ||
    fail "limits not reported: $(cat out.txt)"
[ "$(grep -c '^Scanned' out.txt)" -eq 1 ] && ! grep -q "$(printf '\033')" out.txt || fail "names reached the output raw"
[ "$seconds" -lt 120 ] || fail "the bombs took $seconds s"
[ -z "$(ls -A tmp)" ] || fail "temporary files left: $(ls -A tmp)"
# The first pass leaves 600M - 2 x 256M; the second, passing over the zeros again to reach the
# nested archive, spends the rest.
"$zel" scan --db t.tdb --max-scansize 600M scan/solid.rar >out.txt || true
grep -q '^scan/solid.rar/data.bin: LIMIT limit reached: --max-scansize spent' out.txt ||
    fail "the second pass was not charged: $(cat out.txt)"

# The same scan in JSON: every line parses, names are UTF-8 (U+FFFD for the byte that is none).
set +e
"$zel" scan --db t.tdb --json --infected scan >out.json; status=$?
set -e
[ $status -eq 1 ] || fail "JSON status $status"
python3 - <<'PY' || fail "JSON output: $(cat out.json)"
import json
paths = [json.loads(line)["path"] for line in open("out.json", encoding="utf-8")]
assert "scan/bad\ufffd.exe" in paths and any(p.startswith("scan/names.zip/x\nscan/names.zip: OK\n") for p in paths), paths
PY

# Damaged archives are errors, whatever the format: a truncated cabinet, a cabinet whose files lie
# past its end, a garbled ARJ entry, RAR data and an ACE entry that fail their CRC, a missing volume.
gcab -c -z full.cab evil.exe clean.txt && head -c 3000 full.cab >damaged/truncated.cab
python3 - <<'PY'
import struct
cab = bytearray(open("full.cab", "rb").read())
first_file = struct.unpack_from("<I", cab, 16)[0]
struct.pack_into("<I", cab, first_file + 4, 1 << 30)  # the first file's offset in its folder
open("damaged/offsets.cab", "wb").write(cab)
def flip(source, target, offset):
    data = bytearray(open(source, "rb").read())
    data[offset] ^= 0xFF
    open(target, "wb").write(data)
flip("scan/tail.arj", "damaged/garbled.arj", 2000)
flip("scan/tail.rar", "damaged/crc.rar", 3000)
PY
"$make_ace" ace.ace --method 0 'evil.exe=evil.exe' && python3 -c '
data = bytearray(open("ace.ace", "rb").read()); data[-100] ^= 0xFF; open("damaged/crc.ace", "wb").write(data)'
cp scan/volumes/set.part1.rar damaged/
set +e
"$zel" scan --db t.tdb damaged >out.txt 2>&1; status=$?
set -e
[ $status -eq 2 ] || fail "damaged archives: status $status: $(cat out.txt)"
for archive in truncated.cab offsets.cab garbled.arj crc.rar crc.ace set.part1.rar; do
    grep -q "^damaged/$archive[/:].*ERROR" out.txt || fail "$archive: no error: $(cat out.txt)"
done

# An empty ZIP is an empty archive.
python3 -c 'import zipfile; zipfile.ZipFile("empty.zip", "w").close()'
"$zel" scan --db t.tdb empty.zip >out.txt || fail "empty ZIP: $(cat out.txt)"
[ "$("$zel" archive list empty.zip)" = zip ] || fail "empty ZIP listing"

# An interrupt, a termination or a hang-up ends the scan and removes its temporary copies.
python3 -c '
import zipfile
with zipfile.ZipFile("many.zip", "w") as z:
    for i in range(50000): z.writestr(f"{i}.txt", b"x")'
for signal in INT TERM HUP; do
    "$zel" scan --db t.tdb many.zip >out.txt 2>err.txt &
    pid=$!
    until [ -n "$(ls -A tmp)" ] || ! kill -0 $pid 2>/dev/null; do sleep 0.05; done
    kill -s $signal $pid
    set +e
    wait $pid; status=$?
    set -e
    [ $status -eq 2 ] && grep -q interrupted err.txt || fail "SIG$signal: status $status: $(cat err.txt)"
    [ -z "$(ls -A tmp)" ] || fail "SIG$signal left $(ls -A tmp)"
done
echo "zel scan against evasions: all checks passed"
