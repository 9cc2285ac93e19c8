#!/usr/bin/env python3
"""Fails when an #include crosses a layer upwards.

The layers, lowest first. A folder may include its own headers and those of every lower layer, never
those of its own layer's other folders or of a higher one. A folder below a listed one (platform/posix,
archive/zip) belongs to the nearest listed folder above it. This table is the one place where the
layers are written down; README.md's Layout section shows it.

Tests, benchmarks and fuzz targets sit on the layer of the module they exercise (tests/<module>,
bench/<module>, fuzz/<module>; TEST_MODULES names those that differ) and may also include the test
support of tests/, bench/ and fuzz/, which no production code may include.

Usage: check-layers.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

LAYERS = [
    ["framework"],                       # base types, exceptions, code pages: nothing of ours
    ["platform"],                        # everything that touches the operating system
    ["fileio"],                          # CFile, CArchive, CMemFile over platform's file handles
    ["database", "sysutil", "archive/cabinet", "archive/acelib"],
    ["cure", "zelbase", "archive"],
    ["updater/core"],
    ["updater/wizard", "updater/win32"],
    ["tools", "samples"],
]

TEST_TREES = ["tests", "bench", "fuzz"]
# The production folder whose layer a test folder takes, where its name does not say it.
TEST_MODULES = {
    "ace": "archive",          # the ACE library and Arcopen's ACE back-end
    "archive": "tools",        # Arcopen, and zel's archive walk
    "cabinet": "archive",      # the decompressor, and Arcopen's CAB back-end
    "support": "platform",     # helpers shared by tests of every layer
    "updater": "updater/core",
    "wizard": "updater/wizard",
    "wizard_win32": "updater/win32",
    "windows": "tools",        # the Windows build end to end: zel.exe on the running machine
    "corpus": "framework",
    "install": "tools",        # a program of someone else's over the installed libraries
}

RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]')


def owner(path):
    """The listed folder that `path` (relative, "/"-separated) belongs to, or None."""
    parts = path.split("/")
    for length in range(len(parts) - 1, 0, -1):
        folder = "/".join(parts[:length])
        if folder in RANK:
            return folder
    return None


def home_of(source):
    """(listed folder whose rules apply, whether it is test code) for a source file."""
    parts = source.split("/")
    if parts[0] in TEST_TREES:
        module = parts[1] if len(parts) > 2 else "framework"
        folder = TEST_MODULES.get(module, module)
        return (folder if folder in RANK else owner(folder + "/x")), True
    return owner(source), False


def violation(source, included):
    folder, is_test = home_of(source)
    target_tree = included.split("/")[0]
    if target_tree in TEST_TREES:
        return None if is_test else "production code includes test code"
    target = owner(included)
    if target is None or folder is None:
        return None  # not one of ours (a system or third-party header), or a file outside the layers
    if target == folder or RANK[target] < RANK[folder]:
        return None
    if RANK[target] == RANK[folder]:
        return f"{folder} and {target} are on the same layer"
    return f"{folder} is below {target}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    failures = 0
    trees = [folder.split("/")[0] for folders in LAYERS for folder in folders] + TEST_TREES
    for tree in sorted(set(trees)):
        for path in sorted((root / tree).rglob("*")):
            if path.suffix not in (".h", ".hpp", ".c", ".cpp", ".cc") or not path.is_file():
                continue
            source = path.relative_to(root).as_posix()
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                why = violation(source, match.group(1))
                if why:
                    print(f"{source}:{number}: includes {match.group(1)}: {why}", file=sys.stderr)
                    failures += 1
    if failures:
        print(f"{failures} includes cross a layer upwards (scripts/check-layers.py has the layers)",
              file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
