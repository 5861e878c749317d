#!/usr/bin/python3
"""Compare the built library's exported ABI with the baseline kept in abi/.

    tools/abi-check.py build/api/libAsyncCommModule.so.1            check
    tools/abi-check.py --update build/api/libAsyncCommModule.so.1   take it as the new baseline

The check fails when an exported function or variable was removed, or its prototype or any type
it reaches changed (abidiff, Debian package abigail-tools), and when a symbol that the baseline
lacks carries one of the baseline's version nodes: an addition goes to a new node (ACM_1.1 after
ACM_1.0), so that an application built against the newer library asks for that node by name and
an older library refuses it at load time instead of failing at the first call.
Update the baseline only on a deliberate change, in the commit that makes it.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASELINE = os.path.join(ROOT, "abi", "libAsyncCommModule.so.1.abi")
HEADER = os.path.join(ROOT, "api", "AsyncCommModule.h")
# Only what the public header declares, without build paths, source lines or the Qt major the
# library happens to link, so that neither a rebuild elsewhere nor Qt 6 shows as a change.
ABIDW = ["abidw", "--header-file", HEADER, "--drop-private-types", "--exported-interfaces-only",
         "--no-elf-needed", "--no-corpus-path", "--no-comp-dir-path", "--no-show-locs",
         "--type-id-style", "hash"]
# abidiff's exit status: bit 0 an error, bit 1 a usage error; bits 2 and 3 are ABI changes.
ABIDIFF_TOOL_FAILED = 3


def write_abi(library, path):
    subprocess.run(ABIDW + ["--out-file", path, library], check=True)


def versioned_symbols(abi_path):
    """{name: version} of every exported function and variable symbol in an abidw file."""
    root = ElementTree.parse(abi_path).getroot()
    symbols = {}
    for kind in ("elf-function-symbols", "elf-variable-symbols"):
        for table in root.iter(kind):
            for symbol in table.iter("elf-symbol"):
                symbols[symbol.get("name")] = symbol.get("version", "")
    return symbols


def misplaced_additions(baseline, current):
    """Symbols the baseline lacks that carry none or one of the baseline's version nodes."""
    old = versioned_symbols(baseline)
    old_nodes = set(old.values())
    return sorted("%s@%s" % (name, version or "(no version)")
                  for name, version in versioned_symbols(current).items()
                  if name not in old and (not version or version in old_nodes))


def check(baseline, current):
    """0 when current keeps baseline's ABI and adds only in new version nodes; 1 otherwise."""
    diff = subprocess.run(["abidiff", "--no-added-syms", baseline, current],
                          stdout=subprocess.PIPE, universal_newlines=True)
    if diff.returncode & ABIDIFF_TOOL_FAILED:
        sys.exit("abi-check: abidiff failed (status %d)" % diff.returncode)
    failed = False
    if diff.returncode:
        print("abi-check: the exported ABI changed:\n" + diff.stdout)
        failed = True
    misplaced = misplaced_additions(baseline, current)
    if misplaced:
        print("abi-check: added without a new version node (put them into one, e.g. ACM_1.1):\n  "
              + "\n  ".join(misplaced))
        failed = True
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--update", action="store_true", help="write the baseline from LIBRARY")
    parser.add_argument("--baseline", default=BASELINE, help="the baseline (default: %(default)s)")
    parser.add_argument("--abi", action="store_true",
                        help="LIBRARY is an abidw file already, not the library")
    parser.add_argument("library", help="libAsyncCommModule.so.1 as built")
    args = parser.parse_args()
    if args.update:
        write_abi(args.library, args.baseline)
        print("abi-check: wrote %s" % args.baseline)
        return 0
    if args.abi:
        return check(args.baseline, args.library)
    with tempfile.TemporaryDirectory() as scratch:
        current = os.path.join(scratch, "current.abi")
        write_abi(args.library, current)
        return check(args.baseline, current)


if __name__ == "__main__":
    sys.exit(main())
