#!/usr/bin/env bash
# Makes the archive fixtures with the real archivers, and extracts each with the archiver's own
# extractor into ref/<fixture>/ so that the tests can compare our output byte for byte.
# This script is the recipe of every fixture; each command below is the one that made it.
# Usage: make_fixtures.sh OUT_DIR
set -euo pipefail
out=${1:?output folder}
rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cd "$out.tmp"

# --- The files that go into the archives (deterministic) -----------------------------------------
mkdir -p src/sub/deeper src/empty_dir
python3 - <<'PY'
import random
rng = random.Random(4)
words = [b"alpha", b"beta", b"gamma", b"delta", b"archive", b"entry", b"header", b"\r\n", b"\n", b" "]
with open("src/text.txt", "wb") as f:           # compressible text, CR LF and LF lines
    f.write(b"".join(rng.choice(words) for _ in range(60000)))
with open("src/random.bin", "wb") as f:         # incompressible
    f.write(bytes(rng.getrandbits(8) for _ in range(70000)))
with open("src/runs.bin", "wb") as f:           # long matches, and matches that span the dictionary
    block = bytes(rng.getrandbits(8) for _ in range(300))
    f.write((block * 200) + bytes(5000) + (block * 150))
with open("src/sub/deeper/deep.txt", "wb") as f:
    f.write(b"a file two folders down\n")
open("src/empty.txt", "wb").close()
PY

# --- ZIP: Info-ZIP zip, and Python's zipfile for what zip cannot write ----------------------------
(cd src && zip -q -r -X ../basic.zip .)
(cd src && zip -q -X -Z bzip2 ../bzip2.zip text.txt)
(cd src && zip -q -X -P secret ../encrypted.zip text.txt)
python3 -c 'import zipfile; zipfile.ZipFile("empty.zip", "w").close()'
# A name stored in code page 437 (byte 0x82 is "é") without the UTF-8 flag, as DOS zips store them.
mkdir -p cp437 && printf 'dos\n' > "cp437/caf$(printf '\202').txt"
(cd cp437 && zip -q -X ../cp437.zip ./*.txt)
# A name stored as UTF-8 with the UTF-8 flag; and a name of 300 bytes.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("utf8.zip", "w") as z:
    z.writestr("caf\u00e9 \u4e2d.txt", b"utf-8 name\n")
with zipfile.ZipFile("longname.zip", "w") as z:
    z.writestr("d" * 150 + "/" + "n" * 149 + ".txt", b"long\n")
PY
cp basic.zip zip_named.rar
# Names that would land outside the extraction folder, beside a harmless one.
python3 - <<'PY'
import zipfile
with zipfile.ZipFile("traversal.zip", "w") as z:
    for name in ["../evil.txt", "/abs.txt", "C:/drive.txt", "a/../../up.txt", "ok/fine.txt"]:
        z.writestr(name, b"payload\n")
PY
# A ZIP with an ARJ archive stored inside it: the ZIP probe comes first.
(cd src && arj a -m0 -y ../inner.arj text.txt >/dev/null)
zip -q -0 -X zip_with_arj.zip inner.arj

# --- RAR: rar (RAR 5); -qo- leaves out the quick-open record so that header damage shows ---------
(cd src && rar a -idq -ma5 -qo- -r ../basic.rar .)
cp basic.rar basic.RAR
cp basic.rar rar_named.dat
(cd src && rar a -idq -ma5 -qo- -psecret ../encrypted_mixed.rar text.txt)
(cd src && rar a -idq -ma5 -qo- ../encrypted_mixed.rar random.bin)
(cd src && rar a -idq -ma5 -qo- ../three.rar text.txt random.bin runs.bin)
python3 - <<'PY'
import os, zlib
# rar deletes an archive that loses its last entry, so the empty RAR 5 archive is written here:
# signature, main archive header, end of archive header (each: CRC-32, size, type, flags, ...).
def block(body):
    size = bytes([len(body)])
    return zlib.crc32(size + body).to_bytes(4, "little") + size + body
with open("empty.rar", "wb") as f:
    f.write(b"Rar!\x1a\x07\x01\x00" + block(bytes([1, 0, 0])) + block(bytes([5, 0, 0])))
os.makedirs("unicode", exist_ok=True)
with open("unicode/\u00fcber \u4e2d.txt", "wb") as f:
    f.write(b"wide name\n")
os.makedirs("long/" + "d" * 150, exist_ok=True)
with open("long/" + "d" * 150 + "/" + "n" * 149 + ".txt", "wb") as f:
    f.write(b"long\n")
PY
(cd unicode && rar a -idq -ma5 -qo- ../unicode.rar ./*.txt)
# rar 7 no longer writes RAR 4, so this RAR 4 archive (stored entries, as a DOS archiver wrote
# them: a file, a folder, and a file in it whose name is in code page 437) is written here.
python3 - <<'PY'
import struct, zlib
def block(head_type, flags, body):
    rest = struct.pack("<BHH", head_type, flags, 7 + len(body)) + body
    return struct.pack("<H", zlib.crc32(rest) & 0xFFFF) + rest
def entry(name, data, attributes=0x20, flags=0x8000):
    body = struct.pack("<IIBIIBBHI", len(data), len(data), 0, zlib.crc32(data), 0x5A8E3100, 20, 0x30,
                       len(name), attributes) + name
    return block(0x74, flags, body) + data
with open("rar4.rar", "wb") as f:
    f.write(b"Rar!\x1a\x07\x00" + block(0x73, 0, bytes(6)) + entry(b"hello.txt", b"hello from rar 4\n")
            + entry(b"dir", b"", 0x10, 0x80E0) + entry(b"dir\\caf\x82.txt", b"dos name\n")
            + b"\xc4\x3d\x7b\x00\x40\x07\x00")
PY
(cd long && rar a -idq -ma5 -qo- -r ../longname.rar .)

# --- ARJ: arj; -m0..-m4 the methods, -t1 text, -g garbled, -je self-extracting, -2d DOS headers --
for method in 0 1 2 3 4; do
    (cd src && arj a -m$method -r -y ../method$method.arj '*' >/dev/null)
done
(cd src && arj a -t1 -y ../text_mode.arj text.txt >/dev/null)
(cd src && arj a -gsecret -y ../garbled.arj text.txt >/dev/null)
(cd src && arj a -y ../garbled.arj sub/deeper/deep.txt >/dev/null)
(cd src && arj a -je -y ../sfx text.txt >/dev/null)
(cd src && arj a -2d -y ../dos_headers.arj sub/deeper/deep.txt >/dev/null)
(cd long && arj a -r -y ../longname.arj '*' >/dev/null)

# --- Archives inside archives and archives behind stubs ------------------------------------------
# A small ZIP stored as the last member of a RAR, an ARJ and a cabinet: the ZIP library would
# accept each outer file as that ZIP, since it allows data in front of an archive.
mkdir -p nested && cp src/text.txt nested/ && (cd src && zip -q -X ../nested/inner.zip sub/deeper/deep.txt)
(cd nested && rar a -idq -ma5 -qo- -m0 ../zip_last.rar text.txt inner.zip)
(cd nested && arj a -m0 -y ../zip_last.arj text.txt inner.zip >/dev/null)
(cd nested && gcab -c ../zip_last.cab text.txt inner.zip)
# Self-extractors: an executable stub in front of a ZIP and of a RAR archive.
python3 - <<'PY'
stub = b"MZ" + bytes(range(256)) * 400
for archive, out in (("basic.zip", "sfx_zip.exe"), ("three.rar", "sfx_rar.exe")):
    with open(out, "wb") as f:
        f.write(stub + open(archive, "rb").read())
PY

# --- RAR volumes, links, a solid archive, RAR 4 names from a Unix host ----------------------------
# Stored, so that text.txt spans several volumes between two entries that fit in one.
(cd src && rar a -idq -ma5 -qo- -m0 -v100k ../vol.rar random.bin text.txt empty.txt)
mkdir -p links && printf 'linked content\n' > links/a.txt && cp links/a.txt links/copy.txt \
    && ln links/a.txt links/hard.txt && ln -s a.txt links/sym.txt && printf 'last\n' > links/z.txt
(cd links && rar a -idq -ma5 -qo- -oh -ol -oi:1 ../links.rar a.txt copy.txt hard.txt sym.txt z.txt)
(cd src && rar a -idq -ma5 -qo- -s ../solid.rar text.txt runs.bin random.bin)
python3 - <<'PY'
import struct, zlib
def block(head_type, flags, body):
    rest = struct.pack("<BHH", head_type, flags, 7 + len(body)) + body
    return struct.pack("<H", zlib.crc32(rest) & 0xFFFF) + rest
def entry(name, data, host):
    body = struct.pack("<IIBIIBBHI", len(data), len(data), host, zlib.crc32(data), 0x5A8E3100, 20, 0x30,
                       len(name), 0x20) + name
    return block(0x74, 0x8000, body) + data
# Host 3 is Unix: a UTF-8 name, and a name that is no UTF-8; host 0 is DOS.
with open("rar4_unix.rar", "wb") as f:
    f.write(b"Rar!\x1a\x07\x00" + block(0x73, 0, bytes(6)) + entry("caf\u00e9/\u4e2d.txt".encode(), b"1\n", 3)
            + entry(b"latin\xe9.txt", b"2\n", 3) + entry(b"dos\x82.txt", b"3\n", 0)
            + b"\xc4\x3d\x7b\x00\x40\x07\x00")
PY

# --- CAB: gcab, MSZIP -----------------------------------------------------------------------------
(cd src && gcab -c -z ../basic.cab text.txt random.bin runs.bin)

# --- Reference extractions by the archivers themselves -------------------------------------------
mkdir -p ref
for f in basic.zip utf8.zip longname.zip; do unzip -q "$f" -d "ref/$f"; done
for f in basic.rar three.rar unicode.rar longname.rar solid.rar; do mkdir -p "ref/$f" && (cd "ref/$f" && unrar x -idq "../../$f"); done
mkdir -p ref/vol.rar && (cd ref/vol.rar && unrar x -idq ../../vol.part1.rar)
mkdir -p ref/basic.cab && cabextract -q -d ref/basic.cab basic.cab
mkdir -p ref/encrypted_mixed.rar && (cd ref/encrypted_mixed.rar && 7z x -bd -y -p- ../../encrypted_mixed.rar random.bin >/dev/null)
for f in method0.arj method1.arj method2.arj method3.arj method4.arj text_mode.arj dos_headers.arj longname.arj; do
    mkdir -p "ref/$f" && (cd "ref/$f" && arj x -y "../../$f" >/dev/null)
done

rm -rf "$out"
cd ..
mv "$out.tmp" "$out"
