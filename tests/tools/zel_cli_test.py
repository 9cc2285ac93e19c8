#!/usr/bin/env python3
"""End-to-end tests of `zel db` and `zel scan`. Usage: zel_cli_test.py ZEL SAMPLE_DIR"""
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

ZEL = SAMPLE = None


def zel(*args, db=None, env_db=None, check=None, stdin=subprocess.DEVNULL, cwd=None):
    env = dict(os.environ)
    env.pop("ZEL_DB", None)
    if env_db:
        env["ZEL_DB"] = env_db
    words = [ZEL] + list(args)
    if db:
        words[2:2] = ["--db", db]
    result = subprocess.run(words, capture_output=True, text=True, env=env, timeout=120, stdin=stdin, cwd=cwd)
    if check is not None and result.returncode != check:
        raise AssertionError(f"{words} exited {result.returncode}, wanted {check}:\n{result.stdout}{result.stderr}")
    return result


def random_file(path, size, seed):
    rng = random.Random(seed)
    with open(path, "wb") as out:
        out.write(bytes(rng.randrange(256) for _ in range(size)))


class SampleScan(unittest.TestCase):
    def setUp(self):
        self.db = os.path.join(SAMPLE, "default.tdb")
        self.scan = os.path.join(SAMPLE, "scan")

    def found(self, mode):
        result = zel("scan", "--mode", mode, "--json", self.scan, db=self.db, check=1)
        lines = [json.loads(line) for line in result.stdout.splitlines()]
        return {os.path.relpath(l["path"], self.scan): l["name"] for l in lines if l["status"] == "infected"}

    def test_fixed_mode_finds_exact_copies_only(self):
        self.assertEqual(self.found("fixed"), {"downloads/setup.exe": "Alpha", "windows/system/kbdhook.dll": "Beta"})

    def test_anywhere_mode_also_finds_shifted_copies(self):
        self.assertEqual(self.found("anywhere"), {
            "downloads/setup.exe": "Alpha", "windows/system/kbdhook.dll": "Beta",
            "downloads/game_crack.exe": "Gamma", "mail/attachment.bin": "Delta"})

    def test_text_output_and_infected_filter(self):
        result = zel("scan", "--infected", self.scan, db=self.db, check=1)
        self.assertIn("setup.exe: Alpha FOUND (type Backdoor, version 1.0)", result.stdout)
        self.assertNotIn(": OK", result.stdout)
        self.assertIn("Scanned: 8 files\nInfected: 2 files\nErrors: 0 files\n", result.stdout)

    def test_database_listing(self):
        listing = json.loads(zel("db", "list", "--json", db=self.db, check=0).stdout)
        self.assertEqual([r["name"] for r in listing["records"]], ["Alpha", "Beta", "Gamma", "Delta"])
        alpha = listing["records"][0]
        self.assertEqual(alpha["cure_flags"], 0x25)
        self.assertEqual(alpha["regentries"][0]["root"], "HKEY_LOCAL_MACHINE")
        self.assertEqual(len(alpha["signatures"]), 2)
        for signature in alpha["signatures"]:
            offsets = signature["offsets"]
            self.assertTrue(1024 <= offsets[0] and offsets[0] + 48 <= offsets[1] and offsets[1] + 48 <= offsets[2])
            self.assertTrue(all(len(w) == 32 for w in signature["windows"]))
        self.assertEqual(len(listing["subkeys"]), 2)  # both Run keys share one text


class BuildingDatabases(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.db = os.path.join(self.dir, "db.tdb")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def test_add_is_idempotent_and_texts_travel_as_utf8(self):
        first = zel("db", "add", "--type", "Wurm", "--name", "Café Größe", "--version", "1", db=self.db, check=0)
        again = zel("db", "add", "--type", "Wurm", "--name", "Café Größe", "--version", "1", db=self.db, check=0)
        self.assertEqual(first.stdout, "0\n")
        self.assertEqual(again.stdout, "0\n")
        listing = json.loads(zel("db", "list", "--json", db=self.db, check=0).stdout)
        self.assertEqual(listing["names"], ["Café Größe"])
        bad = zel("db", "add", "--type", "T", "--name", "中文", "--version", "1", db=self.db, check=2)
        self.assertIn("Windows-1252", bad.stderr)
        self.assertEqual(len(bad.stderr.strip().splitlines()), 1)

    def test_environment_and_default_database(self):
        zel("db", "add", "--type", "T", "--name", "Env", "--version", "1", env_db=self.db, check=0)
        self.assertIn("Env", zel("db", "list", db=self.db, check=0).stdout)
        result = subprocess.run([ZEL, "db", "list"], capture_output=True, text=True, cwd=self.dir,
                                env={k: v for k, v in os.environ.items() if k != "ZEL_DB"})
        self.assertEqual(result.returncode, 2)
        self.assertIn("default.tdb", result.stderr)

    def test_generate_remove_show_and_errors(self):
        image = os.path.join(self.dir, "t.exe")
        random_file(image, 6000, 1)
        gone = os.path.join(self.dir, "gone.exe")
        random_file(gone, 6000, 3)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", image, db=self.db, check=0)
        zel("db", "add", "--type", "T", "--name", "B", "--version", "1", "--image", gone, db=self.db, check=0)
        os.remove(gone)
        zel("db", "generate", "0", db=self.db, check=0)
        failed = zel("db", "generate", "1", db=self.db, check=2)
        self.assertIn("record 1 (T B 1): image " + gone + " cannot be read", failed.stderr)
        show = zel("db", "show", "0", db=self.db, check=0).stdout
        self.assertIn('From "' + image + '" file:', show)
        self.assertEqual(zel("scan", image, db=self.db).returncode, 1)
        zel("db", "remove", "0", db=self.db, check=0)
        self.assertEqual(zel("scan", image, db=self.db).returncode, 0)
        zel("db", "remove", "5", db=self.db, check=2)
        zel("db", "add", "--type", "T", "--name", "C", "--version", "1", "--registry", "HKEY_NOWHERE\\x",
            db=self.db, check=2)
        zel("db", "frobnicate", db=self.db, check=2)

    def test_images_must_be_readable_files_and_are_stored_absolute(self):
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        for bad in ["/no/such/file", fifo, self.dir]:
            refused = zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", bad, db=self.db, check=2)
            self.assertIn("image " + bad + " cannot be read", refused.stderr)
        random_file(os.path.join(self.dir, "t.exe"), 6000, 4)
        subprocess.run([ZEL, "db", "--db", self.db, "add", "--type", "T", "--name", "A", "--version", "1",
                        "--image", "./t.exe"], cwd=self.dir, check=True, capture_output=True)
        listing = json.loads(zel("db", "list", "--json", db=self.db, check=0).stdout)
        self.assertEqual(listing["records"][0]["signatures"][0]["image"],
                         os.path.join(os.path.realpath(self.dir), "t.exe"))

    def test_records_without_generated_signatures_match_nothing_and_are_shown(self):
        image = os.path.join(self.dir, "t.exe")
        random_file(image, 6000, 5)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", image, db=self.db, check=0)
        self.assertIn("no signatures generated", zel("db", "list", db=self.db, check=0).stdout)
        record = json.loads(zel("db", "list", "--json", db=self.db, check=0).stdout)["records"][0]
        self.assertEqual((record["generated"], record["signatures"][0]["generated"]), (False, False))
        zeros = os.path.join(self.dir, "zeros.bin")  # as most programs, zeros where the windows point
        with open(zeros, "wb") as out:
            out.write(bytes(5000))
        result = zel("scan", zeros, image, db=self.db, check=0)
        self.assertEqual(result.stderr.count("no signatures generated"), 1)

    def test_generate_reports_the_timeout(self):
        # 30 unique windows packed in a short file: three windows 48 apart cannot be found.
        image = os.path.join(self.dir, "tight.exe")
        with open(image, "wb") as out:
            out.write(bytes(1024) + bytes(range(46)) + bytes(1))
        zel("db", "add", "--type", "T", "--name", "Tight", "--version", "1", "--image", image, db=self.db, check=0)
        result = zel("db", "generate", "--all", db=self.db, check=2)
        self.assertIn("Oops, timeout expired, couldn't generate signature", result.stderr)

    def test_scan_reports_unreadable_files_and_goes_on(self):
        image = os.path.join(self.dir, "t.exe")
        random_file(image, 5000, 2)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", image, db=self.db, check=0)
        zel("db", "generate", "--all", db=self.db, check=0)
        missing = os.path.join(self.dir, "missing")
        result = zel("scan", missing, image, db=self.db, check=1)
        self.assertIn("missing: ERROR", result.stdout)
        self.assertIn("Scanned: 2 files\nInfected: 1 file\nErrors: 1 file\n", result.stdout)
        zel("scan", missing, db=self.db, check=2)
        os.symlink(image, os.path.join(self.dir, "link.exe"))
        folder = zel("scan", "--json", self.dir, db=self.db, check=1).stdout
        paths = [json.loads(line)["path"] for line in folder.splitlines()]
        self.assertNotIn(os.path.join(self.dir, "link.exe"), paths)

    def test_scanner_conventions(self):
        trojan, clean = os.path.join(self.dir, "t.exe"), os.path.join(self.dir, "clean.bin")
        random_file(trojan, 5000, 6)
        random_file(clean, 5000, 7)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", trojan, db=self.db, check=0)
        zel("db", "generate", "--all", db=self.db, check=0)
        version = zel("--version", check=0).stdout
        self.assertRegex(version, r"^zel \d+\.\d+\.\d+\n$")
        self.assertEqual(zel("-V", check=0).stdout, version)
        self.assertIn("zel: unknown option --frob (try zel scan --help)", zel("scan", "--frob", trojan, check=2).stderr)
        one = zel("scan", trojan, db=self.db, check=1).stdout
        self.assertIn("Known trojans: 1 record, 1 signature\nScanned: 1 file\nInfected: 1 file\nErrors: 0 files\n"
                      "Limits reached: 0 files\nData scanned: 0.01 MB\nTime: ", one)
        self.assertEqual(zel("scan", "--no-summary", clean, db=self.db, check=0).stdout, clean + ": OK\n")
        # Named paths that are no file or folder are errors and are never opened: a FIFO without a
        # writer would block the open, /dev/zero the read.
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        specials = zel("scan", "-i", "--no-summary", fifo, "/dev/zero", clean, db=self.db, check=2).stdout
        self.assertEqual(specials, f"{fifo}: ERROR not a regular file\n/dev/zero: ERROR not a regular file\n")
        quiet = zel("scan", "-q", fifo, trojan, clean, db=self.db, check=1)
        self.assertEqual((quiet.stdout, quiet.stderr), ("", f"{fifo}: ERROR not a regular file\n"))
        found = zel("scan", "--infected", "--json", fifo, trojan, clean, db=self.db, check=1).stdout.splitlines()
        self.assertEqual([json.loads(line)["status"] for line in found], ["error", "infected"])
        # Standard input: as a file, and looked into as an archive.
        with open(trojan, "rb") as data:
            piped = zel("scan", "--no-summary", "-", stdin=data, db=self.db, check=1).stdout
        self.assertEqual(piped, "stdin: A FOUND (type T, version 1)\n")
        archive = os.path.join(self.dir, "in.zip")
        with zipfile.ZipFile(archive, "w") as z:
            z.write(trojan, "inner/t.exe")
        with open(archive, "rb") as data:
            piped = zel("scan", "--no-summary", "-", stdin=data, db=self.db, check=1).stdout
        self.assertEqual(piped, "stdin: OK\nstdin/inner/t.exe: A FOUND (type T, version 1)\n")
        with open("/dev/zero", "rb") as endless:
            cut = zel("scan", "--no-summary", "--max-filesize", "3M", "-", stdin=endless, db=self.db, check=0).stdout
        self.assertIn("stdin: LIMIT limit reached", cut)

    def test_exclusions_and_file_lists(self):
        for name in ["a/keep.bin", "a/skip.tmp", "a/cache/x.bin", "b/cache.bin", "b/keep.bin"]:
            os.makedirs(os.path.join(self.dir, os.path.dirname(name)), exist_ok=True)
            random_file(os.path.join(self.dir, name), 2000, 1)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", db=self.db, check=0)

        def scanned(*args, stdin=subprocess.DEVNULL):
            out = zel("scan", "--no-summary", *args, db=self.db, check=0, stdin=stdin, cwd=self.dir).stdout
            return sorted(line.split(": ")[0] for line in out.splitlines())

        self.assertEqual(scanned("--exclude", r"\.tmp$", "--exclude-dir", "/cache$", "a", "b"),
                         ["a/keep.bin", "b/cache.bin", "b/keep.bin"])
        self.assertEqual(scanned("--exclude", "^b/", "--exclude", "x", "a", "b"), ["a/keep.bin", "a/skip.tmp"])
        self.assertIn("not a valid extended regular expression", zel("scan", "--exclude", "(", "a", db=self.db,
                                                                     check=2, cwd=self.dir).stderr)
        listing = os.path.join(self.dir, "list.txt")
        with open(listing, "w") as out:
            out.write("a/keep.bin\r\n\nb\n")
        self.assertEqual(scanned("--file-list", listing, "a/skip.tmp"),
                         ["a/keep.bin", "a/skip.tmp", "b/cache.bin", "b/keep.bin"])
        with open(listing, "rb") as data:
            self.assertEqual(scanned("--file-list", "-", stdin=data), ["a/keep.bin", "b/cache.bin", "b/keep.bin"])
        zel("scan", "--file-list", "-", "-", db=self.db, check=2)

    def test_parallel_scan_gives_the_verdicts_of_one_worker(self):
        trojans = []
        for t in range(3):
            trojans.append(os.path.join(self.dir, f"trojan{t}.exe"))
            random_file(trojans[-1], 5000, 100 + t)
            zel("db", "add", "--type", "T", "--name", f"N{t}", "--version", "1", "--image", trojans[-1], db=self.db, check=0)
        zel("db", "generate", "--all", db=self.db, check=0)
        tree, rng, walk_order = os.path.join(self.dir, "tree"), random.Random(5), []
        for d in range(30):
            os.makedirs(os.path.join(tree, f"d{d:02d}"))
            for f in range(100):
                path, n = os.path.join(tree, f"d{d:02d}", f"f{f:03d}"), d * 100 + f
                walk_order.append(path)
                if n % 50 == 7:
                    shutil.copy(trojans[n % 3], path)
                elif n % 40 == 3:
                    with zipfile.ZipFile(path, "w") as z:
                        z.write(trojans[n % 3], "in/t.exe")
                        z.writestr("clean.txt", rng.randbytes(2000))
                else:
                    with open(path, "wb") as out:
                        out.write(rng.randbytes(rng.randrange(1024, 4000)))

        def verdicts(threads):
            lines = zel("scan", "--json", "-j", threads, tree, db=self.db, check=1).stdout.splitlines()
            return [(v["path"], v["status"], v.get("name")) for v in map(json.loads, lines)]

        one, four = verdicts("1"), verdicts("4")
        self.assertEqual(sorted(one), sorted(four))
        self.assertEqual(len(one), 3000 + 75 * 2)
        self.assertEqual(sum(status == "infected" for _, status, _ in one), 60 + 75)
        self.assertEqual([path for path, _, _ in one if os.path.exists(path)], walk_order)

        def summary(threads):
            out = zel("scan", "-i", "-j", threads, tree, db=self.db, check=1).stdout
            return [line for line in out[out.index("---"):].splitlines() if not line.startswith("Time")]

        self.assertEqual(summary("1"), summary("4"))
        # Cures run one at a time, whatever the number of workers: each file found is removed.
        root = os.path.join(self.dir, "root")
        os.makedirs(root)
        cured = zel("scan", "-i", "--disinfect", "--system-root", root, "-j", "4", tree, db=self.db, check=1).stdout
        self.assertIn("Disinfection: 60 removed, 0 not removed, 0 failed steps.", cured)
        self.assertEqual(sum(os.path.exists(path) for path in walk_order), 3000 - 60)

    def test_damaged_database_is_an_error(self):
        with open(self.db, "wb") as out:
            out.write(b"\x05abc")
        result = zel("scan", self.dir, db=self.db, check=2)
        self.assertIn("damaged", result.stderr)


if __name__ == "__main__":
    ZEL, SAMPLE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
