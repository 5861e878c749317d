#!/usr/bin/env python3
"""The asynccomm package against the same work done from C, per call, both warm.

usage: bench/python_vs_c.py [BUILD_DIR] [--calls N] [--streams M]

Two tasks, each side in one process run after a warm-up, each call timed on its own; the median
is printed, by the wall clock and by the calling thread's processor time. "read": ``readVars`` of 10,000 variables answered from the background poll (no
network in the call: what is timed is the call and the conversion of the values), from C, from
Python through the raw ctypes function with arrays made once, and through ``Controller.read_vars``.
"stream": 1 MiB through a DNC remote buffer until it is idle, from C and through
``RemoteBuffer.stream``. The C side is bench/python_vs_c_driver.c, compiled here against BUILD_DIR.
"""
import argparse
import ctypes
import os
import statistics
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
WARM_UP = 10
GIVE_UP = 60.0


def timed(calls, runs, warm_up=WARM_UP):
    """The median milliseconds of one call of each of ``calls``, after ``warm_up`` untimed rounds:
    (wall clock, the calling thread's processor time). The calls take turns, so that a load on
    the machine falls on each alike; the processor time leaves out the waits a load causes."""
    times = [([], []) for _ in calls]
    for run in range(-warm_up, runs):
        for call, (wall, processor) in zip(calls, times):
            start, start_cpu = time.perf_counter(), time.thread_time()
            call()
            if run >= 0:
                wall.append((time.perf_counter() - start) * 1e3)
                processor.append((time.thread_time() - start_cpu) * 1e3)
    return [(statistics.median(wall), statistics.median(processor)) for wall, processor in times]


def python_reads(address, runs):
    """(raw ctypes, Controller.read_vars) per call, on one polled target."""
    with asynccomm.Controller(address) as writer, asynccomm.Controller(address, asynchronous=True) as poller:
        writer.write_vars(dict(zip(VARIABLES, WRITTEN)))
        poller.register_vars(VARIABLES)
        deadline = time.monotonic() + GIVE_UP
        while True:
            try:
                if poller.read_vars(VARIABLES) == WRITTEN:
                    break
            except asynccomm.NoReply:
                pass  # read before the first poll stored the values
            if time.monotonic() > deadline:
                raise RuntimeError("the poll never brought the values")
            time.sleep(0.001)
        lib, count = asynccomm.library(), len(VARIABLES)
        addresses, values = (ctypes.c_int32 * count)(*VARIABLES), (ctypes.c_int32 * count)()

        def raw():
            if lib.readVars(addresses, count, values, poller.cnc_id) != 0:
                raise RuntimeError("readVars failed")
        return timed([raw, lambda: poller.read_vars(VARIABLES)], runs)


def python_streams(address, runs):
    with asynccomm.RemoteBuffer(address, 1, "DNC") as buffer:
        return timed([lambda: buffer.stream(STREAM, timeout=GIVE_UP)], runs, warm_up=1)[0]


def c_driver(build, scratch):
    program = os.path.join(scratch, "python_vs_c_driver")
    subprocess.run(["cc", "-O2", "-o", program, os.path.join(HERE, "python_vs_c_driver.c"),
                    "-I", os.path.join(HERE, "..", "api"), "-L", os.path.join(build, "api"), "-l:libAsyncCommModule.so.1",
                    "-Wl,-rpath," + os.path.join(build, "api")], check=True)
    return lambda address, task, runs: tuple(float(figure) for figure in subprocess.run(
        [program, address, task, str(runs)], check=True, text=True, stdout=subprocess.PIPE).stdout.split())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--calls", type=int, default=200, help="read calls timed per side (default 200)")
    parser.add_argument("--streams", type=int, default=3, help="streams timed per side (default 3)")
    arguments = parser.parse_args()
    build = os.path.abspath(arguments.build)
    os.environ.setdefault("ASYNCCOMM_LIBRARY", os.path.join(build, "api", "libAsyncCommModule.so.1"))
    os.environ.setdefault("ASYNCCOMM_SIMULATOR", os.path.join(build, "simulator", "cnc-simulator"))
    os.environ["QT_LOGGING_RULES"] = "acm.debug=false"
    with tempfile.TemporaryDirectory() as scratch:
        os.chdir(scratch)  # the library's "logs" folder goes there
        run_c = c_driver(build, scratch)
        with asynccomm.Simulator() as simulator:
            c_read = run_c(simulator.address, "read", arguments.calls)
        with asynccomm.Simulator() as simulator:
            raw, wrapped = python_reads(simulator.address, arguments.calls)
        with asynccomm.Simulator() as simulator:
            c_stream = run_c(simulator.address, "stream", arguments.streams)
        with asynccomm.Simulator() as simulator:
            python_stream = python_streams(simulator.address, arguments.streams)
    for clock, i in (("wall clock", 0), ("processor time of the calling thread", 1)):
        print("read 10,000 polled values, per call, %s: C %.3f ms, raw ctypes %.3f ms, read_vars %.3f ms "
              "(%.2f x raw ctypes, %.2f x C)" % (clock, c_read[i], raw[i], wrapped[i], wrapped[i] / raw[i],
                                                 wrapped[i] / c_read[i]))
    print("1 MiB streamed, per stream, wall clock: C %.1f ms, RemoteBuffer.stream %.1f ms (%.2f x C)"
          % (c_stream[0], python_stream[0], python_stream[0] / c_stream[0]))


if __name__ == "__main__":
    main()
