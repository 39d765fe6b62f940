#!/usr/bin/env python3
"""Runs whole-process commands in turn, many rounds, and prints each one's median wall time,
CPU time (user and system, steadier than wall time on a busy machine) and peak memory, so that
a yardstick and our build are measured in the same run.

    compare.py ROUNDS 'name=command args...' 'name=command args...' ...

A child forked from this Python process starts out counting Python's own pages in its peak, so
the peak comes from one run more through /usr/bin/time (a small process) where it is there.
"""
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

TIME = "/usr/bin/time"


def run(argv):
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        sys.exit("failed: " + " ".join(argv))
    return seconds, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0


def own_peak(argv):
    """The command's peak memory in MB as /usr/bin/time reports it, None without it."""
    if not os.access(TIME, os.X_OK):
        return None
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run([TIME, "-f", "%M", "-o", report.name] + argv, stdout=subprocess.DEVNULL, check=True)
        return int(report.read().split()[-1]) / 1024.0


def main():
    rounds = int(sys.argv[1])
    commands = [arg.split("=", 1) for arg in sys.argv[2:]]
    results = {name: [] for name, _ in commands}
    for _ in range(rounds):
        for name, command in commands:
            results[name].append(run(shlex.split(command)))
    first = None
    for name, command in commands:
        wall = statistics.median(r[0] for r in results[name])
        cpu = statistics.median(r[1] for r in results[name])
        peak = own_peak(shlex.split(command)) or statistics.median(r[2] for r in results[name])
        first = first or (wall, cpu)
        print(f"{name:>12}: {wall * 1000:8.1f} ms wall ({first[0] / wall:.2f}x the first), "
              f"{cpu * 1000:8.1f} ms CPU ({first[1] / cpu:.2f}x), {peak:7.1f} MB peak")


if __name__ == "__main__":
    main()
