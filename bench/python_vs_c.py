#!/usr/bin/env python3
"""The asynccomm package against the same work done from C, in one run.

usage: bench/python_vs_c.py [BUILD_DIR] [--rounds N]

Two tasks, each on a simulator of its own, alternating C and Python N times (default 3) and
printing the best of each: a background poll of 10,000 variables (from registering them until a
read gives back every value written before) and a 1 MiB stream through a DNC remote buffer (until
the buffer is idle). The C side is bench/python_vs_c_driver.c, compiled here against BUILD_DIR.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))
import asynccomm  # noqa: E402

VARIABLES = [1000000 + i for i in range(10000)]
WRITTEN = [i * 7 + 1 for i in range(10000)]
STREAM = "".join("\n" if i % 20 == 19 else "G01 X12.5 Y7 F900 "[i % 20 % 18] for i in range(1 << 20))
GIVE_UP = 60.0


def python_poll(address):
    with asynccomm.Controller(address) as writer, asynccomm.Controller(address, asynchronous=True) as poller:
        writer.write_vars(dict(zip(VARIABLES, WRITTEN)))
        start = time.monotonic()
        poller.register_vars(VARIABLES)
        while True:
            try:
                if poller.read_vars(VARIABLES) == WRITTEN:
                    return (time.monotonic() - start) * 1e3
            except asynccomm.NoReply:
                pass  # read before the first poll stored the values
            if time.monotonic() - start > GIVE_UP:
                raise RuntimeError("the poll never brought the values")
            time.sleep(0.001)


def python_stream(address):
    with asynccomm.RemoteBuffer(address, 1, "DNC") as buffer:
        start = time.monotonic()
        buffer.stream(STREAM, timeout=GIVE_UP)
        return (time.monotonic() - start) * 1e3


def c_driver(build, scratch):
    program = os.path.join(scratch, "python_vs_c_driver")
    subprocess.run(["cc", "-O2", "-o", program, os.path.join(HERE, "python_vs_c_driver.c"),
                    "-I", os.path.join(HERE, "..", "api"), "-L", os.path.join(build, "api"), "-l:libAsyncCommModule.so.1",
                    "-Wl,-rpath," + os.path.join(build, "api")], check=True)
    return lambda address, task: float(subprocess.run([program, address, task], check=True, text=True,
                                                      stdout=subprocess.PIPE).stdout)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--rounds", type=int, default=3)
    arguments = parser.parse_args()
    build = os.path.abspath(arguments.build)
    os.environ.setdefault("ASYNCCOMM_LIBRARY", os.path.join(build, "api", "libAsyncCommModule.so.1"))
    os.environ.setdefault("ASYNCCOMM_SIMULATOR", os.path.join(build, "simulator", "cnc-simulator"))
    os.environ["QT_LOGGING_RULES"] = "acm.debug=false"
    with tempfile.TemporaryDirectory() as scratch:
        os.chdir(scratch)  # the library's "logs" folder goes there
        run_c = c_driver(build, scratch)
        results = {}
        for _ in range(arguments.rounds):
            for task, python in (("poll", python_poll), ("stream", python_stream)):
                for side, run in (("C", lambda a: run_c(a, task)), ("Python", python)):
                    with asynccomm.Simulator() as simulator:
                        results.setdefault((task, side), []).append(run(simulator.address))
    labels = {"poll": "10,000 variables polled", "stream": "1 MiB streamed"}
    for task in ("poll", "stream"):
        c, python = min(results[(task, "C")]), min(results[(task, "Python")])
        print("%-24s best: C %7.1f ms, Python %7.1f ms, Python / C %.2f; medians: C %7.1f ms, Python %7.1f ms"
              % (labels[task], c, python, python / c, median(results[(task, "C")]), median(results[(task, "Python")])))


def median(values):
    return sorted(values)[len(values) // 2]


if __name__ == "__main__":
    main()
