#!/usr/bin/env python3
"""Long run: a target polled and commanded for --minutes while its controller restarts every
--restart-every seconds; the driving process's resident memory, threads and open descriptors are
sampled throughout. Prints the samples' start, end and maximum and whether they stayed flat, and
exits non-zero when one grew (or the driver failed).

    tools/soak.py [--build build] [--minutes 10] [--address 127.0.0.77]

Flat means: the maximum over the last minute is no higher than the maximum over the first minute
after the warm-up (the first minute), for threads and descriptors exactly, for anonymous memory
(resident plus swapped out: what a leak grows) within --memory-slack-kb. The whole resident set is
shown too, but it rises and falls with the page cache's share of the mapped libraries. The driver is build/tools/soak/soak_driver, the controller build/simulator/cnc-simulator
(killed without warning, as a power cut would, and started again on the same address).
"""
import argparse
import os
import signal
import subprocess
import sys
import threading
import time


def read_status(pid):
    """Anonymous resident memory plus swap (what a leak grows; the mapped files' pages come and go
    with the page cache), the whole resident set, threads and open descriptors."""
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            name, _, value = line.partition(":")
            fields[name] = value.split()
    anon = int(fields["RssAnon"][0]) + int(fields.get("VmSwap", ["0"])[0])
    fds = len(os.listdir(f"/proc/{pid}/fd"))
    return anon, int(fields["VmRSS"][0]), int(fields["Threads"][0]), fds


class Simulator:
    def __init__(self, program, address):
        self.program, self.address, self.process = program, address, None

    def start(self):
        self.process = subprocess.Popen([self.program, "--listen", self.address], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if "listening" in line:
                return
            if not line and self.process.poll() is not None:
                break
        raise RuntimeError(f"the simulator did not start on {self.address}")

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait(10)
        if self.process:
            self.process.stdout.close()
        self.process = None


def free_address(program, first):
    """The first loopback address from 127.0.0.<first> where the simulator can listen."""
    for host in range(first, 255):
        address = f"127.0.0.{host}"
        sim = Simulator(program, address)
        try:
            sim.start()
            return sim
        except RuntimeError:
            sim.kill()
    raise RuntimeError("no free loopback address")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--restart-every", type=float, default=60.0, help="seconds between controller restarts")
    parser.add_argument("--sample-every", type=float, default=2.0, help="seconds between samples")
    parser.add_argument("--first-host", type=int, default=200, help="first loopback host number to try")
    parser.add_argument("--memory-slack-kb", type=int, default=2048)
    args = parser.parse_args()

    simulator_program = os.path.join(args.build, "simulator", "cnc-simulator")
    driver_program = os.path.join(args.build, "tools", "soak", "soak_driver")
    for program in (simulator_program, driver_program):
        if not os.access(program, os.X_OK):
            print(f"missing {program}: build first", file=sys.stderr)
            return 2

    duration = args.minutes * 60.0
    sim = free_address(simulator_program, args.first_host)
    driver = subprocess.Popen([driver_program, sim.address, str(int(duration) + 30)], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, text=True)
    last_counts = {"line": ""}
    ready = threading.Event()

    def read_driver():
        for line in driver.stdout:
            if line.startswith("ready"):
                ready.set()
            elif line.startswith("counts"):
                last_counts["line"] = line.strip()

    reader = threading.Thread(target=read_driver, daemon=True)
    reader.start()

    samples = []  # (seconds since start, anonymous memory kB, resident set kB, threads, fds)
    restarts = 0
    if not ready.wait(30):
        print("the driver never connected", file=sys.stderr)
    start = time.monotonic()
    next_restart = start + args.restart_every
    next_sample = start
    try:
        while True:
            now = time.monotonic()
            if now - start >= duration:
                break
            if driver.poll() is not None:
                print("the driver ended early", file=sys.stderr)
                break
            if now >= next_restart:
                sim.kill()
                time.sleep(1.0)
                sim.start()
                restarts += 1
                next_restart += args.restart_every
            if now >= next_sample:
                samples.append((now - start,) + read_status(driver.pid))
                next_sample += args.sample_every
            time.sleep(0.05)
    finally:
        if driver.poll() is None:
            driver.send_signal(signal.SIGTERM)
        try:
            driver.wait(20)
        except subprocess.TimeoutExpired:
            driver.kill()
            driver.wait()
        sim.kill()
        reader.join(2)

    print(f"soak: {args.minutes:g} min against {sim.address}, {restarts} controller restarts, {len(samples)} samples")
    print(f"driver: {last_counts['line']}, exit status {driver.returncode}")
    if len(samples) < 4:
        print("too few samples", file=sys.stderr)
        return 1
    # Windows to compare: the first minute after the warm-up minute, and the last minute.
    window = 60.0 if duration >= 180 else duration / 3
    early = [s for s in samples if window <= s[0] < 2 * window]
    late = [s for s in samples if s[0] >= samples[-1][0] - window]
    names = [("anonymous memory (kB)", 1, args.memory_slack_kb), ("resident set (kB)", 2, None), ("threads", 3, 0),
             ("open descriptors", 4, 0)]
    flat = True
    for name, i, slack in names:
        values = [s[i] for s in samples]
        early_max, late_max = max(s[i] for s in early), max(s[i] for s in late)
        # The resident set follows the page cache as well: shown, not judged.
        ok = slack is None or late_max <= early_max + slack
        flat = flat and ok
        verdict = "(not judged)" if slack is None else ("flat" if ok else "GREW")
        print(f"{name:22} start {values[0]:>8} end {values[-1]:>8} max {max(values):>8}  "
              f"max first minute after warm-up {early_max:>8} max last minute {late_max:>8}  {verdict}")
    if driver.returncode != 0:
        print("the driver failed", file=sys.stderr)
        return 1
    return 0 if flat else 1


if __name__ == "__main__":
    sys.exit(main())
