#!/usr/bin/python3
"""The built library keeps the baseline's ABI (tools/abi-check.py); and the check's rule, on
variants of the baseline: additions pass only in a new version node, any removal or change fails."""

import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(ROOT, "tools", "abi-check.py")
BASELINE = os.path.join(ROOT, "abi", "libAsyncCommModule.so.1.abi")


def without(abi, name):
    """The baseline as if it had no function `name`."""
    abi = re.sub(r"\n\s*<elf-symbol name='%s' .*" % name, "", abi)
    return re.sub(r"\n\s*<function-decl name='%s' .*?</function-decl>" % name, "", abi, flags=re.S)


def in_node(abi, name, node):
    return abi.replace("<elf-symbol name='%s' version='ACM_1.0'" % name,
                       "<elf-symbol name='%s' version='%s'" % (name, node)).replace(
                           "elf-symbol-id='%s@@ACM_1.0'" % name, "elf-symbol-id='%s@@%s'" % (name, node))


def retyped_parameter(abi, name, index, like):
    """`name`'s parameter `index` (from 0) with the type of its parameter `like`."""
    decl = re.search(r"<function-decl name='%s' .*?</function-decl>" % name, abi, re.S).group(0)
    params = re.findall(r"<parameter type-id='\w+'[^>]*>", decl)
    like_type = re.search(r"type-id='\w+'", params[like]).group(0)
    changed = decl.replace(params[index], re.sub(r"type-id='\w+'", like_type, params[index]))
    assert changed != decl
    return abi.replace(decl, changed)


def main():
    status = subprocess.run([CHECK, sys.argv[1]]).returncode
    failures = [] if status == 0 else ["the built library: status %d" % status]
    base = open(BASELINE).read()
    # (what, baseline, current, status of the check)
    rows = [
        ("unchanged", base, base, 0),
        ("added in a new node", without(base, "readBits"), in_node(base, "readBits", "ACM_1.2"), 0),
        ("added in ACM_1.1, which the baseline has", without(base, "readBits"), in_node(base, "readBits", "ACM_1.1"), 1),
        ("added in ACM_1.0", without(base, "readBits"), base, 1),
        ("an ACM_1.1 function removed", base, without(base, "setPollInterval"), 1),
        ("removed", base, without(base, "readBits"), 1),
        ("moved to ACM_1.1", base, in_node(base, "readBits", "ACM_1.1"), 1),
        ("a value parameter made a pointer", base, retyped_parameter(base, "getAxisCoord", 0, 3), 1),
    ]
    with tempfile.TemporaryDirectory() as scratch:
        for what, old, new, expected in rows:
            paths = [os.path.join(scratch, n) for n in ("old.abi", "new.abi")]
            for path, text in zip(paths, (old, new)):
                with open(path, "w") as out:
                    out.write(text)
            got = subprocess.run([CHECK, "--abi", "--baseline", paths[0], paths[1]],
                                 stdout=subprocess.DEVNULL).returncode
            if got != expected:
                failures.append("%s: status %d, expected %d" % (what, got, expected))
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
