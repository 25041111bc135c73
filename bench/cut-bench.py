"""Times a few commands round after round and prints medians; see cut-bench.sh.

Usage: cut-bench.py ROUNDS BYTES OUTDIR NAME|COMMAND...
NAMEs that start with snipwave-cut are the program under test (one per
mode), dd is the floor of raw copying, floor is the least a QtCore program
that reads the whole source can do (bench/readfloor.cpp), the rest are peers. Every tool writes under OUTDIR;
before each timed run the files there are removed and the page cache is
written back (outside the timing), so each run writes a new file on a quiet
disk and none pays for what the one before it left behind.
"""
import os
import random
import shlex
import statistics
import subprocess
import sys
import time


# Every tool writes its chatter to /dev/null, so no terminal is timed.
QUIET = [(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
         (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)]


def timed(argv):
    """Wall time in ms of one run, from spawn to reaped."""
    start = time.perf_counter_ns()
    pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=QUIET)
    _, status, _ = os.wait4(pid, 0)
    elapsed = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    return elapsed


def fresh(outdir):
    """Removes what the tools wrote and waits until the disk is idle."""
    for folder, _, files in os.walk(outdir):
        for name in files:
            os.remove(os.path.join(folder, name))
    os.sync()


def peak_rss_kb(argv):
    """GNU time's %M for one run (KiB)."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *argv], stderr=subprocess.PIPE,
                            stdout=subprocess.DEVNULL, text=True, check=True)
    return int(result.stderr.strip().splitlines()[-1])


def main():
    rounds = int(sys.argv[1])
    size = int(sys.argv[2])
    outdir = sys.argv[3]
    tools = [(arg.split("|", 1)[0], shlex.split(arg.split("|", 1)[1])) for arg in sys.argv[4:]]
    under_test = [name for name, _ in tools if name.startswith("snipwave-cut")]

    for _, argv in tools:  # warm the page cache and the dynamic loader
        timed(argv)
    times = {name: [] for name, _ in tools}
    # A fresh order every round: a fixed or rotated order would always run
    # each tool after the same neighbour, and a tool that follows ffmpeg finds
    # the processor's caches cold every time.
    shuffle = random.Random(2026)
    for _ in range(rounds):
        order = list(tools)
        shuffle.shuffle(order)
        for name, argv in order:
            fresh(outdir)
            times[name].append(timed(argv))
    rss = {name: statistics.median(peak_rss_kb(argv) for _ in range(5)) for name, argv in tools}

    medians = {name: statistics.median(values) for name, values in times.items()}
    peers = {name: m for name, m in medians.items() if name not in under_test and name not in ("dd", "floor")}
    fastest = min(peers, key=peers.get)
    print(f"cut 50:00-55:00 of a 1-hour 128 kbit/s MP3, {size} bytes written, {rounds} rounds")
    print(f"{'tool':<26}{'median ms':>10}{'min ms':>9}{'max ms':>9}{'peak RSS MB':>13}")
    for name, _ in tools:
        values = times[name]
        print(f"{name:<26}{medians[name]:>10.2f}{min(values):>9.2f}{max(values):>9.2f}"
              f"{rss[name] / 1024:>13.1f}")
    print(f"fastest peer: {fastest}; targets: <= 0.25 x it, <= 2 x dd, <= 20 MB")
    if "floor" in medians:
        print(f"floor / dd: {medians['floor'] / medians['dd']:.2f}   (start QtCore, read the source once,"
              " copy the piece)")
    for name in under_test:
        print(f"{name:<26} / {fastest}: {medians[name] / peers[fastest]:.3f}"
              f"   / dd: {medians[name] / medians['dd']:.2f}"
              f"   peak RSS {rss[name] / 1024:.1f} MB")


if __name__ == "__main__":
    main()
