#!/usr/bin/env python3
"""The production station's figures, from `qz4veld-cli station` against qz4veld-sim.

Programming: the station watches N paths that lead nowhere; then N simulators
(line paced at 9600 baud) start together, each making its path a link to its
terminal, as a USB adapter's port appears. Every device gets Send + Verify of a
full table at string length 1 (93 rows); --count N ends the station. A device
starts to answer when its port appears (the bench looks for the links every
2 ms). Printed per N: the time from the first port appearing to the last
device's result line, its ratio to one device's, the station's CPU time, how
long the simulators took to come up, and per device the time from its port
appearing to the station's first probe and to the run's first command (the
version query's presence byte), both from the simulator's arrival log.

Idle: the station watches 16 ports for a while with nothing answering, once on
16 simulators that never answer the probe (fixed adapters without a device: a
probe byte goes out on each) and once on 16 paths that do not exist (unplugged
cables). Printed: the station's CPU time over wall time as a share of one
core, and the probe bytes each port received per second.

  bench/station.py [--devices 1,16] [--idle-seconds 60] [--no-idle]
QZ_BUILD_DIR=<folder> uses that build folder (default build/).
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, os.environ.get("QZ_BUILD_DIR", "build"))
CLI = os.path.join(BUILD, "bin", "qz4veld-cli")
SIM = os.path.join(BUILD, "bin", "qz4veld-sim")
TICKS = os.sysconf("SC_CLK_TCK")
PROBE = "7a"


def cpu_seconds(pid):
    """User + system time of a process and all its threads."""
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def load():
    return os.getloadavg()[0]


def arrivals(path):
    """(seconds on the monotonic clock, command hex) per command the simulator received."""
    with open(path) as log:
        return [(int(us) / 1e6, hexed) for us, hexed in (line.split() for line in log if line.strip())]


def station(work, table, ports, extra=()):
    args = [CLI, "station", table, "--baud", "9600", "--parity", "N", "--json", "--quiet",
            "--record", os.path.join(work, "record.csv"), *extra]
    for port in ports:
        args += ["--port", port]
    return subprocess.Popen(args, stdout=subprocess.PIPE, stderr=open(os.path.join(work, "station.err"), "w"),
                            text=True)


def wait_for(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            sys.exit(f"timed out waiting for {what}")
        time.sleep(0.05)


def start_sim(work, index, *options):
    out = open(os.path.join(work, f"sim{index}.out"), "w")
    return subprocess.Popen([SIM, "--baud", "9600", *options], stdout=out, stderr=subprocess.STDOUT)


def stop(processes):
    for process in processes:
        process.terminate()
    for process in processes:
        process.wait()


def programming(count, table):
    with tempfile.TemporaryDirectory() as work:
        links = [os.path.join(work, f"port{i}") for i in range(count)]
        watcher = station(work, table, links, ["--count", str(count)])
        # Checked, record opened, every port watched with nothing on it yet.
        wait_for(lambda: os.path.exists(os.path.join(work, "record.csv")), 30, "the station to start")
        time.sleep(2.5)
        cpu_before = cpu_seconds(watcher.pid)
        spawned = time.monotonic()
        sims = [start_sim(work, i, "--link", link, "--arrivals", os.path.join(work, f"arrivals{i}"))
                for i, link in enumerate(links)]
        # A device starts to answer once its port is there: its simulator makes the link after its terminal.
        started = [None] * count
        while None in started:
            for i, link in enumerate(links):
                if started[i] is None and os.path.islink(link):
                    started[i] = time.monotonic()
            if time.monotonic() - spawned > 30:
                sys.exit("the simulators did not start")
            time.sleep(0.002)
        results = []
        for line in watcher.stdout:
            results.append(json.loads(line))
            last = time.monotonic()
            if len(results) == count:
                break
        cpu = cpu_seconds(watcher.pid) - cpu_before
        status = watcher.wait(timeout=30)
        stop(sims)
        failed = [r for r in results if not r.get("ok")]
        if status != 0 or len(results) != count or failed:
            sys.exit(f"{count} devices: exit {status}, {len(results)} results, failed: {failed}\n"
                     + open(os.path.join(work, "station.err")).read()[-2000:])
        to_probe, to_command = [], []
        for i in range(count):
            log = arrivals(os.path.join(work, f"arrivals{i}"))
            # The station's probe that found the device, then the version query's own presence byte.
            to_probe.append(log[0][0] - started[i])
            to_command.append(log[1][0] - started[i])
        return last - min(started), cpu, to_probe, to_command, max(started) - spawned


def idle(seconds, table, silent):
    with tempfile.TemporaryDirectory() as work:
        ports, sims = [os.path.join(work, f"port{i}") for i in range(16)], []
        if silent:
            never = ("--presence-from", "1000000")  # every probe goes unanswered, and is logged
            sims = [start_sim(work, i, *never, "--link", port, "--arrivals", os.path.join(work, f"arrivals{i}"))
                    for i, port in enumerate(ports)]
            wait_for(lambda: all(os.path.islink(p) for p in ports), 30, "the simulators")
        watcher = station(work, table, ports)
        wait_for(lambda: os.path.exists(os.path.join(work, "record.csv")), 30, "the station to start")
        time.sleep(3)
        begin, cpu_before = time.monotonic(), cpu_seconds(watcher.pid)
        time.sleep(seconds)
        end, cpu = time.monotonic(), cpu_seconds(watcher.pid) - cpu_before
        watcher.terminate()
        watcher.wait()
        stop(sims)
        rates = []
        for i in range(len(sims)):
            log = arrivals(os.path.join(work, f"arrivals{i}"))
            if any(hexed != PROBE for _, hexed in log):
                sys.exit(f"port {i} received more than probes")
            # Probes per second from the first one in the window to the last.
            probes = [t for t, _ in log if begin <= t < end]
            rates.append((len(probes) - 1) / (probes[-1] - probes[0]))
        return cpu / (end - begin) * 100, rates


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--devices", default="1,16")
    parser.add_argument("--idle-seconds", type=float, default=60)
    parser.add_argument("--no-idle", action="store_true")
    options = parser.parse_args()

    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "--target", "qz4veld-cli", "qz4veld-sim"], check=True,
                   stdout=subprocess.DEVNULL)
    print(f"{os.cpu_count()} cores; 1-minute load average at each line's start in brackets")
    with tempfile.TemporaryDirectory() as work:
        table = os.path.join(work, "full.cfg")
        subprocess.run(["bash", "-c", f'. "{ROOT}/bench/full_table.sh" && make_table 1 93 "{table}"'], check=True)

        base, missed = None, False
        for count in (int(n) for n in options.devices.split(",")):
            before = load()
            wall, cpu, to_probe, to_command, startup = programming(count, table)
            base = base or wall
            print(f"{count:2d} devices [{before:.1f}]: all programmed in {wall:.2f} s ({wall / base:.3f}x one device), "
                  f"station CPU {cpu:.2f} s; simulators up in {startup:.2f} s; port there to first probe max "
                  f"{max(to_probe):.2f} s, to first command median {sorted(to_command)[len(to_command) // 2]:.2f} s, "
                  f"max {max(to_command):.2f} s")
            if wall / base > 1.05 or max(to_command) > 1.5:
                print("   ^ misses a target (1.05x one device; 1.5 s to the first command)")
                missed = True

        if not options.no_idle:
            for silent, what in ((True, "16 silent devices"), (False, "16 missing ports")):
                before = load()
                share, rates = idle(options.idle_seconds, table, silent)
                probes = f", probe bytes per port per second max {max(rates):.3f}" if rates else ""
                print(f"idle, {what} [{before:.1f}]: {share:.2f} % of one core over {options.idle_seconds:.0f} s"
                      f"{probes}")
                if share > 1 or (rates and max(rates) > 1):
                    print("   ^ misses a target (1 % of one core, one probe byte per port per second)")
                    missed = True
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
