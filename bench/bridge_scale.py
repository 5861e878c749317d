#!/usr/bin/python3
"""cnc-bridge at plant scale: 100 simulated controllers (four simulator programs of 25 each on
127.0.0.x), 100 variables each polled every 200 ms, published to a local mosquitto.

Measures the bridge's CPU share of one core and its resident memory per machine in steady state,
and the time from a value changing in a simulator to its MQTT message at a subscriber. A change
is made by cnccomm; it happens somewhere between the tool's start and its exit, so the latency is
given from both ends (the true one lies between).

Usage: bench/bridge_scale.py BUILD_DIR [--changes N] [--seconds S]
"""
import argparse
import json
import os
import random
import statistics
import subprocess
import sys
import tempfile
import re
import threading
import time
import urllib.request

MACHINES, PER_PROGRAM, VARIABLES, PERIOD_MS = 100, 25, 100, 200
FIRST_HOST, BROKER_HOST, BROKER_PORT = 120, "127.0.0.1", 18883
FIRST_ADDRESS = 2000000


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            sys.exit(f"bridge_scale: {what} did not happen within {timeout} s")
        time.sleep(0.05)


def cpu_seconds(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])
    return 0


class Subscriber:
    """mosquitto_sub with receive times; keeps when each (topic, value) first arrived."""

    def __init__(self):
        self.arrived, self.lock = {}, threading.Lock()
        self.process = subprocess.Popen(
            ["mosquitto_sub", "-h", BROKER_HOST, "-p", str(BROKER_PORT), "-t", "bench/+/v0", "-F", "%U %t %p"],
            stdout=subprocess.PIPE, text=True)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            stamp, topic, payload = line.rstrip("\n").split(" ", 2)
            message = json.loads(payload)
            with self.lock:
                self.arrived.setdefault((topic, message["value"]), float(stamp))

    def first(self, topic, value):
        with self.lock:
            return self.arrived.get((topic, value))


def write_config(folder):
    lines = [f"[mqtt]\nhost = {BROKER_HOST}\nport = {BROKER_PORT}\nprefix = bench\nqos = 1\n",
             "[metrics]\nlisten = 127.0.0.1\nport = 0\n"]
    for m in range(MACHINES):
        lines.append(f"[machine m{m}]\naddress = 127.0.0.{FIRST_HOST + m}\n")
        lines += [f"variable.v{i} = {FIRST_ADDRESS + i} every {PERIOD_MS}ms\n" for i in range(VARIABLES)]
    path = os.path.join(folder, "bridge.ini")
    open(path, "w").write("".join(lines))
    return path


def scrape(url):
    """The sum of each metric family's samples, and the largest sample of each."""
    sums, largest = {}, {}
    for line in urllib.request.urlopen(url, timeout=10).read().decode().splitlines():
        if line and not line.startswith("#"):
            name, value = line.split("{")[0].split(" ")[0], float(line.rsplit(" ", 1)[1])
            sums[name] = sums.get(name, 0) + value
            largest[name] = max(largest.get(name, value), value)
    return sums, largest


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--changes", type=int, default=200)
    parser.add_argument("--seconds", type=float, default=20)
    args = parser.parse_args()
    args.build = os.path.abspath(args.build)
    bridge_program = os.path.join(args.build, "bridge", "cnc-bridge")
    simulator = os.path.join(args.build, "simulator", "cnc-simulator")
    cnccomm = os.path.join(args.build, "tools", "cnccomm", "cnccomm")
    started = []
    with tempfile.TemporaryDirectory() as folder:
        try:
            conf = os.path.join(folder, "mosquitto.conf")
            open(conf, "w").write(f"listener {BROKER_PORT} {BROKER_HOST}\nallow_anonymous true\n")
            started.append(subprocess.Popen(["/usr/sbin/mosquitto", "-c", conf], stderr=subprocess.DEVNULL))
            for p in range(MACHINES // PER_PROGRAM):
                started.append(subprocess.Popen(
                    [simulator, "--listen", f"127.0.0.{FIRST_HOST + p * PER_PROGRAM}", "--controllers",
                     str(PER_PROGRAM)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            log = open(os.path.join(folder, "bridge.log"), "w+")
            bridge = subprocess.Popen([bridge_program, "--config", write_config(folder)], stderr=log, cwd=folder)
            started.append(bridge)
            wait_for(lambda: open(log.name).read().count(" connected to ") == MACHINES, 60, "every machine connecting")
            subscriber = Subscriber()
            time.sleep(2)  # settle: the first publication of 10 000 retained values
            url = re.search(r"(http://\S+/metrics)", open(log.name).read()).group(1)
            requests0 = scrape(url)[0]["cnc_bridge_requests_total"]
            cpu0, wall0 = cpu_seconds(bridge.pid), time.monotonic()
            time.sleep(args.seconds)
            window = time.monotonic() - wall0
            cpu_share = (cpu_seconds(bridge.pid) - cpu0) / window
            sums, largest = scrape(url)
            request_rate = (sums["cnc_bridge_requests_total"] - requests0) / window
            rss = rss_kib(bridge.pid)

            from_start, from_exit = [], []
            for n in range(args.changes):
                machine = random.randrange(MACHINES)
                topic, value = f"bench/m{machine}/v0", 1000 + n
                before = time.time()
                subprocess.run([cnccomm, "--host", f"127.0.0.{FIRST_HOST + machine}", "write",
                                f"{FIRST_ADDRESS}={value}"], check=True, stdout=subprocess.DEVNULL)
                after = time.time()
                wait_for(lambda: subscriber.first(topic, value) is not None, 10, f"message {topic}={value}")
                arrived = subscriber.first(topic, value)
                from_start.append((arrived - before) * 1000)
                from_exit.append((arrived - after) * 1000)
                time.sleep(random.uniform(0, PERIOD_MS / 1000))  # land anywhere in the poll period
            subscriber.process.terminate()
        finally:
            for process in reversed(started):
                process.terminate()
                process.wait(timeout=30)
    print(f"machines {MACHINES}, variables each {VARIABLES}, poll period {PERIOD_MS} ms, load {os.getloadavg()[0]:.1f}")
    print(f"bridge CPU: {cpu_share * 100:.1f} % of one core (goal < 50 %), {request_rate:.0f} readVars calls/s "
          f"(expected {MACHINES * 1000 / PERIOD_MS:.0f}, two requests each), largest poll lag {largest['cnc_bridge_poll_lag_seconds'] * 1000:.0f} ms")
    print(f"bridge resident memory: {rss} KiB, {rss / MACHINES:.0f} KiB per machine (goal < 256 KiB)")
    for name, values in (("from the write's start", from_start), ("from the write's end", from_exit)):
        print(f"change to message, {name}: median {statistics.median(values):.0f} ms, "
              f"p99 {percentile(values, 0.99):.0f} ms over {len(values)} changes (goal p99 < {2 * PERIOD_MS} ms)")


if __name__ == "__main__":
    main()
