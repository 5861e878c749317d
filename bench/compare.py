#!/usr/bin/env python3
"""Runs the peer benchmarks in one process run and prints the ratios the library is held to.

usage: bench/compare.py [BUILD_DIR] [--repetitions N] [--transfers] [--many-targets]

BUILD_DIR is a build configured with -DACM_BUILD_BENCH=ON (default: build-bench). Each round-trip
figure is the best of N repetitions (default 5); the transfer figures are medians of at least 9
repetitions run interleaved at random. A ratio divides two figures of the same run.
"""
import json
import os
import subprocess
import sys

GOALS = [
    # (label, numerator, denominator, highest allowed ratio)
    ("jogMotionV_Stop (sync) / raw ping-pong 17 B -> 10 B", "LibraryJogStop", "RawPingPong_17_10", 1.3),
    ("readVars of 10 (sync) / libmodbus read of 10 registers", "LibraryReadVars10", "ModbusRead10", 1.0),
    ("readVars of 10 (sync) / raw ping-pong 49 B -> 49 B", "LibraryReadVars10", "RawPingPong_49_49", None),
]


def run(program, arguments):
    environment = dict(os.environ, QT_LOGGING_RULES="acm.debug=false")
    output = subprocess.run([program] + arguments + ["--benchmark_format=json"], env=environment,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, text=True).stdout
    return json.loads(output)["benchmarks"]


def best_times(benchmarks):
    best = {}
    for b in benchmarks:
        if b.get("run_type") != "iteration" or "error_occurred" in b:
            continue
        name = b["run_name"].split("/")[0]
        microseconds = b["real_time"] * {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
        best[name] = min(best.get(name, microseconds), microseconds)
    return best


def median_times_and_rates(benchmarks):
    times, rates = {}, {}
    for b in benchmarks:
        if b.get("run_type") != "iteration" or "error_occurred" in b:
            continue
        name = b["run_name"].split("/")[0]
        times.setdefault(name, []).append(b["real_time"] * {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]])
        if "bytes_per_second" in b:
            rates.setdefault(name, []).append(b["bytes_per_second"])
    median = lambda values: sorted(values)[len(values) // 2]
    return {k: median(v) for k, v in times.items()}, {k: median(v) for k, v in rates.items()}


def print_transfer_ratios(build, repetitions):
    # Both sides wait on the simulator's round trips, which drift on a shared machine: the
    # repetitions of all four run interleaved at random, and each side counts its median.
    runs = run(os.path.join(build, "bench", "transfer_bench"),
               ["--benchmark_repetitions=%d" % max(repetitions, 9), "--benchmark_min_time=0.5",
                "--benchmark_enable_random_interleaving=true"])
    times, rates = median_times_and_rates(runs)
    failed = False
    for label, rate_name, round_trip, payload in [
            ("program text transfer", "TextTransfer", "RawRoundTrip_409_10", 400),
            ("remote buffer stream", "RemoteBufferStream", "RawRoundTrip_489_10", 480)]:
        if rate_name not in rates or round_trip not in times:
            print("%-58s missing" % label)
            failed = True
            continue
        limit = payload / times[round_trip] * 1e6  # bytes per second at one block per round trip
        ratio = rates[rate_name] / limit
        failed = failed or ratio < 0.8
        print("%-58s %8.2f MB/s of %.2f MB/s (medians): %3.0f %%  goal >= 80 %%: %s" % (
            label, rates[rate_name] / 1e6, limit / 1e6, 100 * ratio, "met" if ratio >= 0.8 else "MISSED"))
    return failed


def counters(benchmarks, name):
    found = {}
    for b in benchmarks:
        if b["run_name"].startswith(name) and b.get("run_type") == "iteration":
            for key, value in b.items():
                if key.endswith("_per_s") or key.endswith("_us") or key.startswith(("KiB", "threads", "connect", "targets")):
                    found.setdefault(b["run_name"], {})[key] = value
    return found


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith("--")]
    build = arguments[0] if arguments else "build-bench"
    repetitions = 5
    if "--repetitions" in sys.argv:
        repetitions = int(sys.argv[sys.argv.index("--repetitions") + 1])
    peers = run(os.path.join(build, "bench", "peer_bench"),
                ["--benchmark_repetitions=%d" % repetitions, "--benchmark_min_time=0.3"])
    best = best_times(peers)
    print("%-58s %10s" % ("operation (best of %d)" % repetitions, "time"))
    for name in ["RawPingPong_17_10", "RawPingPong_49_49", "ModbusRead10", "LibraryJogStop", "LibraryReadVars10",
                 "AsyncQueuedCommandLatency"]:
        if name in best:
            print("%-58s %8.2f us" % (name, best[name]))
    print()
    failed = False
    for label, numerator, denominator, goal in GOALS:
        if numerator not in best or denominator not in best:
            print("%-58s missing" % label)
            failed = True
            continue
        ratio = best[numerator] / best[denominator]
        verdict = "" if goal is None else ("  goal <= %.1f: %s" % (goal, "met" if ratio <= goal else "MISSED"))
        failed = failed or (goal is not None and ratio > goal)
        print("%-58s %8.2f%s" % (label, ratio, verdict))
    print()
    if "--transfers" in sys.argv:
        print()
        failed = print_transfer_ratios(build, repetitions) or failed
    print()
    for run_name, values in sorted(counters(peers, "AsyncPollRate").items()):
        print("%-58s %10.0f variables/s" % (run_name.split("/iterations")[0], values["variables_per_s"]))
    if "--many-targets" in sys.argv:
        many = run(os.path.join(build, "bench", "many_targets_bench"), [])
        for run_name, values in counters(many, "ManyTargets").items():
            print()
            for key in sorted(values):
                print("%-58s %10.2f" % ("ManyTargets " + key, values[key]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
