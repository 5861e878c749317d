#!/usr/bin/python3
"""cnc-bridge at plant scale: 100 simulated controllers (four simulator programs of 25 each on
127.0.0.x), 100 variables each polled every 200 ms, a share of them (10 %) changing every period,
published to a local mosquitto.

Measures, while the values change: the bridge's CPU share of one core, the messages it publishes
a second, the lag of its polls over the whole run (from its histogram), and the time from a value
changing in a simulator to its MQTT message at a subscriber. A change is made by cnccomm; it
happens somewhere between the tool's start and its exit, so the latency is given from both ends
(the true one lies between). Memory per extra machine comes from a second bridge watching one
machine with the same items.

Usage: bench/bridge_scale.py BUILD_DIR [--changes N] [--seconds S] [--changing SHARE]
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
import socket
import threading
import time
import urllib.request

MACHINES, PER_PROGRAM, VARIABLES, PERIOD_MS = 100, 25, 100, 200
BROKER_HOST, BROKER_PORT = "127.0.0.1", 18883
# Blocks of loopback addresses the simulator programs try, the first free ones taken (test suites
# of other checkouts may hold some).
BLOCKS = range(20, 250 - PER_PROGRAM, PER_PROGRAM)
HOSTS = []  # the machines' addresses, in order
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


def write_config(folder, machines, name):
    lines = [f"[mqtt]\nhost = {BROKER_HOST}\nport = {BROKER_PORT}\nprefix = bench\nqos = 1\n"
             f"client_id = bench-{name}\n", "[metrics]\nlisten = 127.0.0.1\nport = 0\n"]
    for m in range(machines):
        lines.append(f"[machine m{m}]\naddress = {HOSTS[m]}\n")
        lines += [f"variable.v{i} = {FIRST_ADDRESS + i} every {PERIOD_MS}ms\n" for i in range(VARIABLES)]
    path = os.path.join(folder, name + ".ini")
    open(path, "w").write("".join(lines))
    return path


def start_bridge(program, folder, machines, name, started):
    """The bridge on machines machines, once each has answered every item; its log and its metrics URL."""
    log = open(os.path.join(folder, name + ".log"), "w+")
    bridge = subprocess.Popen([program, "--config", write_config(folder, machines, name)], stderr=log, cwd=folder)
    started.append(bridge)
    wait_for(lambda: open(log.name).read().count(" connected to ") == machines, 60,
             f"every machine connecting ({log.name}: {open(log.name).read()[-2000:]})")
    url = re.search(r"(http://\S+/metrics)", open(log.name).read()).group(1)
    return bridge, url


def listens(host, port=60000):
    try:
        socket.create_connection((host, port), timeout=1).close()
        return True
    except OSError:
        return False


def start_simulators(simulator, changing, started):
    """MACHINES controllers in programs of PER_PROGRAM, v1 .. v<changing> of each counting up twice a
    period, on the first blocks of addresses where a program can listen on all of its own."""
    for first in BLOCKS:
        counting = ["--inject", f"counting {FIRST_ADDRESS + 1} {changing} {PERIOD_MS // 2}"] if changing else []
        program = subprocess.Popen(
            [simulator, "--listen", f"127.0.0.{first}", "--controllers", str(PER_PROGRAM)] + counting,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        hosts = [f"127.0.0.{first + i}" for i in range(PER_PROGRAM)]
        # A program that cannot listen on one of its addresses ends; one that can answers on all.
        end = time.monotonic() + 30
        while program.poll() is None and not all(listens(host) for host in hosts) and time.monotonic() < end:
            time.sleep(0.1)
        time.sleep(0.5)  # an address another program holds answers too: ours must still run
        if program.poll() is None:
            started.append(program)
            HOSTS.extend(hosts)
            if len(HOSTS) == MACHINES:
                return
    sys.exit("bridge_scale: not enough free loopback addresses for the simulators")


def lag_percentiles(url):
    """Poll lag over the whole run from the bridges' histograms: the bucket bound under which 50 %
    and 99 % of the polls started, the mean and the count."""
    buckets, total, count = {}, 0.0, 0
    for line in urllib.request.urlopen(url, timeout=10).read().decode().splitlines():
        if line.startswith("cnc_bridge_poll_lag_seconds_bucket"):
            bound = re.search(r'le="([^"]+)"', line).group(1)
            buckets[float(bound)] = buckets.get(float(bound), 0) + float(line.rsplit(" ", 1)[1])
        elif line.startswith("cnc_bridge_poll_lag_seconds_sum"):
            total += float(line.rsplit(" ", 1)[1])
        elif line.startswith("cnc_bridge_poll_lag_seconds_count"):
            count += int(float(line.rsplit(" ", 1)[1]))
    bound_of = lambda share: next(b for b in sorted(buckets) if buckets[b] >= share * count)
    return bound_of(0.5), bound_of(0.99), total / max(count, 1), count


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
    parser.add_argument("--changing", type=float, default=0.1, help="share of each machine's variables changing every period")
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
            wait_for(lambda: listens(BROKER_HOST, BROKER_PORT) and started[0].poll() is None, 10, "the broker")
            changing = int(VARIABLES * args.changing)  # v1 .. v<changing>; v0 is the one cnccomm writes
            start_simulators(simulator, changing, started)
            # Memory of a bridge with one machine of the same items, for the cost of each further one.
            single, _ = start_bridge(bridge_program, folder, 1, "single", started)
            time.sleep(2)  # settle
            rss_single = rss_kib(single.pid)
            single.terminate()
            single.wait(timeout=30)
            started.remove(single)
            load_before = os.getloadavg()[0]
            bridge, url = start_bridge(bridge_program, folder, MACHINES, "fleet", started)
            subscriber = Subscriber()
            time.sleep(2)  # settle: the first publication of 10 000 retained values
            sums0 = scrape(url)[0]
            cpu0, wall0 = cpu_seconds(bridge.pid), time.monotonic()
            broker_cpu0 = cpu_seconds(started[0].pid)
            time.sleep(args.seconds)
            window = time.monotonic() - wall0
            cpu_share = (cpu_seconds(bridge.pid) - cpu0) / window
            broker_share = (cpu_seconds(started[0].pid) - broker_cpu0) / window
            sums = scrape(url)[0]
            request_rate = (sums["cnc_bridge_requests_total"] - sums0["cnc_bridge_requests_total"]) / window
            publish_rate = (sums["cnc_bridge_mqtt_published_total"] - sums0["cnc_bridge_mqtt_published_total"]) / window
            rss = rss_kib(bridge.pid)

            from_start, from_exit = [], []
            for n in range(args.changes):
                machine = random.randrange(MACHINES)
                topic, value = f"bench/m{machine}/v0", 1000 + n
                before = time.time()
                subprocess.run([cnccomm, "--host", HOSTS[machine], "write",
                                f"{FIRST_ADDRESS}={value}"], check=True, stdout=subprocess.DEVNULL)
                after = time.time()
                wait_for(lambda: subscriber.first(topic, value) is not None, 10, f"message {topic}={value}")
                arrived = subscriber.first(topic, value)
                from_start.append((arrived - before) * 1000)
                from_exit.append((arrived - after) * 1000)
                time.sleep(random.uniform(0, PERIOD_MS / 1000))  # land anywhere in the poll period
            subscriber.process.terminate()
            lag50, lag99, lag_mean, polls = lag_percentiles(url)
            load_after = os.getloadavg()[0]
        finally:
            for process in reversed(started):
                process.terminate()
                process.wait(timeout=30)
    print(f"machines {MACHINES}, variables each {VARIABLES} ({changing} changing every period), poll period "
          f"{PERIOD_MS} ms; load average {load_before:.1f} at the start, {load_after:.1f} at the end")
    print(f"bridge CPU: {cpu_share * 100:.1f} % of one core (goal < 50 %) publishing {publish_rate:.0f} messages/s, "
          f"{request_rate:.0f} round trips/s (expected {MACHINES * 1000 / PERIOD_MS * ((VARIABLES + 63) // 64):.0f}); "
          f"the broker took {broker_share * 100:.1f} %")
    print(f"bridge resident memory: {rss} KiB with {MACHINES} machines, {rss_single} KiB with one: "
          f"{(rss - rss_single) / (MACHINES - 1):.0f} KiB per further machine")
    print(f"poll lag over {polls} polls: p50 <= {lag50 * 1000:g} ms, p99 <= {lag99 * 1000:g} ms (histogram bounds), "
          f"mean {lag_mean * 1000:.1f} ms (goal p99 < {2 * PERIOD_MS} ms)")
    for name, values in (("from the write's start", from_start), ("from the write's end", from_exit)):
        print(f"change to message, {name}: median {statistics.median(values):.0f} ms, "
              f"p99 {percentile(values, 0.99):.0f} ms over {len(values)} changes (goal p99 < {2 * PERIOD_MS} ms)")


if __name__ == "__main__":
    main()
