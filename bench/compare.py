#!/usr/bin/env python3
"""Runs whole-process commands in turn, many rounds, and prints each one's median wall time,
CPU time (user and system, steadier than wall time on a busy machine) and peak memory, so that
a yardstick and our build are measured in the same run.

    compare.py ROUNDS 'name=command args...' 'name=command args...' ...

Each command runs under /usr/bin/time, whose report gives the peak: a process forked from this
one would count this interpreter's own memory (about 14 MB) in its peak, as the kernel keeps
the highest resident size of the process image a child replaced.
"""
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv):
    with tempfile.NamedTemporaryFile(mode="r", suffix=".time") as report:
        start = time.perf_counter()
        child = subprocess.Popen(["/usr/bin/time", "-o", report.name, "-f", "%M"] + argv,
                                 stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        if status != 0:
            sys.exit("failed: " + " ".join(argv))
        peak_kb = int(report.read().split()[-1])
    return seconds, usage.ru_utime + usage.ru_stime, peak_kb / 1024.0


def main():
    rounds = int(sys.argv[1])
    commands = [arg.split("=", 1) for arg in sys.argv[2:]]
    results = {name: [] for name, _ in commands}
    for _ in range(rounds):
        for name, command in commands:
            results[name].append(run(shlex.split(command)))
    first = None
    for name, _ in commands:
        wall = statistics.median(r[0] for r in results[name])
        cpu = statistics.median(r[1] for r in results[name])
        peak = statistics.median(r[2] for r in results[name])
        first = first or (wall, cpu)
        print(f"{name:>12}: {wall * 1000:8.1f} ms wall ({first[0] / wall:.2f}x the first), "
              f"{cpu * 1000:8.1f} ms CPU ({first[1] / cpu:.2f}x), {peak:7.1f} MB peak")


if __name__ == "__main__":
    main()
