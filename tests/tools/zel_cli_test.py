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

ZEL = SAMPLE = None


def zel(*args, db=None, env_db=None, check=None, timeout=120):
    env = dict(os.environ)
    env.pop("ZEL_DB", None)
    if env_db:
        env["ZEL_DB"] = env_db
    words = [ZEL] + list(args)
    if db:
        words[2:2] = ["--db", db]
    result = subprocess.run(words, capture_output=True, text=True, env=env, timeout=timeout)
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
        self.assertIn("Scanned 8 files: 2 infected, 0 errors.", result.stdout)

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

    def test_non_ascii_image_paths_are_stored_in_windows_1252_and_opened_as_named(self):
        folder = os.path.join(self.dir, "Proben À")
        os.mkdir(folder)
        image = os.path.join(folder, "échantillon.exe")
        random_file(image, 6000, 6)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", "--image", image, db=self.db, check=0)
        zel("db", "generate", "--all", db=self.db, check=0)
        self.assertEqual(zel("scan", image, db=self.db).returncode, 1)
        # A name that Windows-1252 cannot spell cannot be stored: refused, not stored garbled.
        cyrillic = os.path.join(folder, "вирус.exe")
        shutil.copy(image, cyrillic)
        refused = zel("db", "add", "--type", "T", "--name", "B", "--version", "1", "--image", cyrillic,
                      db=self.db, check=2)
        self.assertIn("cannot be stored", refused.stderr)
        self.assertEqual(len(json.loads(zel("db", "list", "--json", db=self.db, check=0).stdout)["records"]), 1)

    def test_nothing_waits_on_a_fifo(self):
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        sample = os.path.join(self.dir, "t.exe")
        random_file(sample, 6000, 7)
        for words, env_db in [(["db", "list", "--db", fifo], None), (["scan", "--db", fifo, sample], None),
                              (["scan", sample], fifo)]:
            refused = zel(*words, env_db=env_db, check=2, timeout=20)
            self.assertIn("it is a FIFO, not a regular file", refused.stderr)
        zel("db", "add", "--type", "T", "--name", "A", "--version", "1", db=self.db, check=0)
        scanned = zel("scan", fifo, db=self.db, check=2, timeout=20)
        self.assertIn(fifo + ": ERROR it is a FIFO, not a regular file", scanned.stdout)
        zel("archive", "list", fifo, check=2, timeout=20)
        # The RAR library opens each next volume blindly: a FIFO in a volume's place is refused.
        random_file(os.path.join(self.dir, "big.exe"), 20000, 8)
        subprocess.run(["rar", "a", "-idq", "-m0", "-v8k", "set.rar", "big.exe"], cwd=self.dir, check=True)
        part2 = os.path.join(self.dir, "set.part2.rar")
        os.remove(part2)
        os.mkfifo(part2)
        scanned = zel("scan", os.path.join(self.dir, "set.part1.rar"), db=self.db, check=2, timeout=20)
        self.assertIn("set.part1.rar: ERROR", scanned.stdout)

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
        self.assertIn("Scanned 2 files: 1 infected, 1 errors.", result.stdout)
        zel("scan", missing, db=self.db, check=2)
        os.symlink(image, os.path.join(self.dir, "link.exe"))
        folder = zel("scan", "--json", self.dir, db=self.db, check=1).stdout
        paths = [json.loads(line)["path"] for line in folder.splitlines()]
        self.assertNotIn(os.path.join(self.dir, "link.exe"), paths)

    def test_damaged_database_is_an_error(self):
        with open(self.db, "wb") as out:
            out.write(b"\x05abc")
        result = zel("scan", self.dir, db=self.db, check=2)
        self.assertIn("damaged", result.stderr)


if __name__ == "__main__":
    ZEL, SAMPLE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
