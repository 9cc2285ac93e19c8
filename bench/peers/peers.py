#!/usr/bin/env python3
"""zel scan next to YARA on the same signatures and the same files, in one run. Run by hand, not in CI.

    bench/peers/peers.py [--zel build/zel] [--records 1000,10000,100000] [--corpus-mb 240]

For each size of signature set it writes, in a private temporary folder that it removes at the end:
- a deterministic set of records, each one signature of three 16-byte windows at offsets past the
  first 1,024 bytes and within the first 2 MiB, 48 to 1,000 bytes apart;
- the same signatures as a database (.tdb) and as YARA rules: stored offsets as `at` conditions,
  anywhere as three strings at their distances from the first;
- once, a deterministic corpus of files of 64 KiB to 2 MiB (so both tools read the same bytes), in
  which some files carry one record's windows at its stored offsets (plain) and some shifted by a
  few bytes (shifted).
It checks that zel and YARA find exactly the planted files (plain ones with stored offsets, plain
and shifted ones anywhere), then prints the whole-process speed of each (best of --repeat runs,
database or rule loading included), their ratio, and zel's speed with two workers. YARA is
installed from Debian when it is missing (apt-get, as root).
"""
import argparse
import json
import os
import random
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time

KEY = b"5B8E21C0F7A94D36E2B0C98F1A47D5E3B60a2C91F84E7D05A3C6B9E21F0D4A87"
WINDOW = 16
WINDOWS = 3
SCANNED = 2 * 1024 * 1024
NAMES = 60000  # the name table's count is 16 bits: records share names and differ by version


def archive_string(text):
    data = text.encode("cp1252")
    if len(data) < 0xFF:
        return bytes([len(data)]) + data
    return b"\xff" + struct.pack("<H", len(data)) + data


def make_records(count, seed):
    """Per record: three windows and their offsets."""
    rng = random.Random(seed)
    records = []
    for _ in range(count):
        windows = [rng.randbytes(WINDOW) for _ in range(WINDOWS)]
        first = rng.randrange(1024, SCANNED - 8192)
        offsets = [first]
        for _ in range(WINDOWS - 1):
            offsets.append(offsets[-1] + rng.randrange(48, 1000))
        records.append((windows, offsets))
    return records


def record_name(index):
    return f"Bench{index % NAMES}", str(index // NAMES + 1)


def write_database(path, records):
    names = min(len(records), NAMES)
    out = bytearray(archive_string("Zel peers benchmark"))
    out += struct.pack("<H", 0)  # reserved table
    out += struct.pack("<H", 1) + archive_string("Bench")
    out += struct.pack("<H", names) + b"".join(archive_string(f"Bench{n}") for n in range(names))
    out += struct.pack("<H", 0)  # subkeys
    out += struct.pack("<I", len(records))
    for index, (windows, offsets) in enumerate(records):
        name, version = record_name(index)
        out += struct.pack("<BH", 0, index % NAMES) + archive_string(version) + struct.pack("<HBB", 0x21, 0, 1)
        out += b"".join(windows) + struct.pack("<3I", *offsets) + archive_string(f"C:\\samples\\{name}_{version}.exe")
    key = (KEY * (len(out) // len(KEY) + 1))[: len(out)]
    with open(path, "wb") as file:
        file.write(bytes(a ^ b for a, b in zip(out, key)))


def write_rules(path, records, mode):
    with open(path, "w") as file:
        for index, (windows, offsets) in enumerate(records):
            strings = "".join(f" $w{s} = {{ {windows[s].hex(' ')} }}" for s in range(WINDOWS))
            if mode == "fixed":
                condition = " and ".join(f"$w{s} at {offsets[s]}" for s in range(WINDOWS))
            else:
                condition = "for any i in (1..#w0) : (" + " and ".join(
                    f"$w{s} at @w0[i] + {offsets[s] - offsets[0]}" for s in range(1, WINDOWS)) + ")"
            file.write(f"rule r{index} {{ strings:{strings} condition: {condition} }}\n")


def write_corpus(folder, megabytes, records, seed):
    """Writes the files; returns {path: (record, "plain" | "shifted")} and the bytes a scan reads."""
    rng = random.Random(seed)
    os.makedirs(folder)
    planted = {}
    total = 0
    number = 0
    while total < megabytes * 1000 * 1000:
        size = rng.randrange(64 * 1024, SCANNED + 1)
        content = bytearray(rng.randbytes(size))
        path = os.path.join(folder, f"f{number:05d}.bin")
        if number % 10 in (3, 7):
            kind = "plain" if number % 10 == 3 else "shifted"
            shift = rng.randrange(1, 4000) if kind == "shifted" else 0
            for _ in range(1000):
                index = rng.randrange(len(records))
                windows, offsets = records[index]
                if offsets[-1] + WINDOW + shift < size:
                    for window, offset in zip(windows, offsets):
                        content[offset + shift:offset + shift + WINDOW] = window
                    planted[path] = (index, kind)
                    break
        with open(path, "wb") as file:
            file.write(content)
        total += min(size, SCANNED)
        number += 1
    return planted, total


def best_time(words, repeat):
    """The shortest wall-clock and the least processor time (user and system) over `repeat` runs."""
    wall, cpu, result = None, None, None
    for _ in range(repeat):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        result = subprocess.run(words, capture_output=True, text=True)
        elapsed = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        used = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
        wall = elapsed if wall is None else min(wall, elapsed)
        cpu = used if cpu is None else min(cpu, used)
    return (wall, cpu), result


def zel_found(result):
    if result.returncode not in (0, 1):
        sys.exit(f"zel failed ({result.returncode}): {result.stderr}")
    found = {}
    for line in result.stdout.splitlines():
        entry = json.loads(line)
        if entry["status"] == "infected":
            found[entry["path"]] = (entry["name"], entry["version"])
    return found


def yara_found(result, records):
    if result.returncode != 0:
        sys.exit(f"yara failed ({result.returncode}): {result.stderr}")
    found = {}
    for line in result.stdout.splitlines():
        rule, path = line.split(" ", 1)
        found[path] = record_name(int(rule[1:]))
    return found


def ensure_yara():
    if shutil.which("yara") and shutil.which("yarac"):
        return
    print("installing yara from Debian", file=sys.stderr)
    subprocess.run(["apt-get", "install", "-y", "-q", "yara"], check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--zel", default=os.path.join(os.path.dirname(__file__), "..", "..", "build", "zel"))
    parser.add_argument("--records", default="1000,10000,100000")
    parser.add_argument("--corpus-mb", type=int, default=240)
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()
    ensure_yara()
    zel = os.path.abspath(args.zel)
    work = tempfile.mkdtemp(prefix="zel-peers-")
    try:
        corpus = os.path.join(work, "corpus")
        sets = [int(n) for n in args.records.split(",")]
        records_all = make_records(max(sets), 19)
        planted, scanned = write_corpus(corpus, args.corpus_mb, records_all[: min(sets)], 23)
        print(f"corpus: {len(os.listdir(corpus))} files, {scanned / 1e6:.0f} MB read by a scan, "
              f"{sum(k == 'plain' for _, k in planted.values())} plain and "
              f"{sum(k == 'shifted' for _, k in planted.values())} shifted copies planted")
        print("MB/s over wall-clock time (in brackets over processor time, which a busy machine leaves "
              "honest), whole process,\none worker each unless -j 2; start: zel on an empty file (database "
              "load and index); scaling: -j 2 over -j 1, start-up left out")
        print(f"{'records':>8} {'mode':>8} {'zel':>13} {'yara':>13} {'ratio':>6} {'zel -j 2':>13} "
              f"{'scaling':>8} {'start':>7}")
        for count in sets:
            records = records_all[:count]
            database = os.path.join(work, f"db{count}.tdb")
            write_database(database, records)
            empty = os.path.join(work, "empty")
            open(empty, "wb").close()
            for mode in ("fixed", "anywhere"):
                (start, _), _ = best_time([zel, "scan", "--db", database, "--mode", mode, "--no-summary", empty],
                                          args.repeat)
                rules = os.path.join(work, f"r{count}{mode}.yar")
                write_rules(rules, records, mode)
                subprocess.run(["yarac", rules, rules + "c"], check=True)
                wanted = {p: record_name(i) for p, (i, kind) in planted.items() if mode == "anywhere" or kind == "plain"}
                zel_words = [zel, "scan", "--db", database, "--mode", mode, "--json", "--infected", "--no-summary"]
                zel_time, result = best_time(zel_words + ["-j", "1", corpus], args.repeat)
                if zel_found(result) != wanted:
                    sys.exit(f"zel {mode} with {count} records did not find exactly the planted files")
                zel2_time, result = best_time(zel_words + ["-j", "2", corpus], args.repeat)
                if zel_found(result) != wanted:
                    sys.exit(f"zel -j 2 {mode} with {count} records did not find exactly the planted files")
                yara_time, result = best_time(["yara", "-C", "-p", "1", "-r", rules + "c", corpus], args.repeat)
                if yara_found(result, records) != wanted:
                    sys.exit(f"yara {mode} with {count} records did not find exactly the planted files")
                speed = lambda seconds: scanned / 1e6 / seconds
                scaling = (zel_time[0] - start) / max(zel2_time[0] - start, 1e-6)
                print(f"{count:>8} {mode:>8} {speed(zel_time[0]):>5.0f} ({speed(zel_time[1]):>5.0f}) "
                      f"{speed(yara_time[0]):>5.1f} ({speed(yara_time[1]):>5.1f}) {yara_time[0] / zel_time[0]:>6.1f} "
                      f"{speed(zel2_time[0]):>5.0f} ({speed(zel2_time[1]):>5.0f}) {scaling:>8.2f} "
                      f"{start * 1000:>5.0f}ms", flush=True)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
