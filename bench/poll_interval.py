#!/usr/bin/python3
"""CPU share of background polling: one asynchronous target client with 3 registered variables,
polling back to back (poll interval 0) against a 100 ms poll interval, for the application (this
process: its CPU time over the wall time) and for the controller (the simulator's process).

    bench/poll_interval.py BUILD [--seconds S]

BUILD is a build folder with the library and cnc-simulator (the normal build will do). A figure,
not a test: nothing here is asserted.
"""

import argparse
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "python"))

import asynccomm  # noqa: E402

VARIABLES = [1000001, 1000002, 1000003]
TICKS = os.sysconf("SC_CLK_TCK")


def process_cpu_seconds(pid):
    """User plus system CPU time of process pid, from /proc (all its threads)."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def own_cpu_seconds():
    t = os.times()
    return t.user + t.system


def measure(sim, interval_ms, seconds):
    """(application share, controller share) of one run."""
    with asynccomm.Controller(sim.address, asynchronous=True, poll_interval=interval_ms / 1000 or None) as ctl:
        ctl.register_vars(VARIABLES)
        time.sleep(0.5)  # the first polls and the worker's start are not part of the figure
        pid = sim._process.pid
        wall, mine, theirs = time.monotonic(), own_cpu_seconds(), process_cpu_seconds(pid)
        time.sleep(seconds)
        wall = time.monotonic() - wall
        return (own_cpu_seconds() - mine) / wall, (process_cpu_seconds(pid) - theirs) / wall


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build")
    parser.add_argument("--seconds", type=float, default=5.0)
    args = parser.parse_args()
    os.environ.setdefault("ASYNCCOMM_LIBRARY", os.path.join(args.build, "api", "libAsyncCommModule.so.1"))
    os.environ.setdefault("ASYNCCOMM_SIMULATOR", os.path.join(args.build, "simulator", "cnc-simulator"))
    os.environ.setdefault("QT_LOGGING_RULES", "acm.debug=false")
    print("%-22s %12s %12s" % ("poll interval", "application", "controller"))
    with asynccomm.Simulator() as sim:
        for interval_ms in (0, 100):
            app, controller = measure(sim, interval_ms, args.seconds)
            label = "back to back (0)" if interval_ms == 0 else "%d ms" % interval_ms
            print("%-22s %11.1f%% %11.1f%%" % (label, 100 * app, 100 * controller))
    return 0


if __name__ == "__main__":
    sys.exit(main())
