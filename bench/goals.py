#!/usr/bin/env python3
"""Runs every benchmark the product's speed and memory goals rest on and
prints one table: each goal, what was measured, the target and whether it is
met.  Run by hand through scripts/goals.sh (never by CTest); the Windows
benchmarks run under Wine from build/x64, the engine's from build/native.
"""
import argparse
import re
import subprocess
import sys

ROOT = __file__.rsplit("/bench/", 1)[0]


def run(cmd):
    print("goals: running %s" % " ".join(cmd), file=sys.stderr, flush=True)
    done = subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    if done.returncode != 0:
        print("goals: %s exited with %d" % (cmd[0], done.returncode), file=sys.stderr)
    return done.stdout


def number(pattern, text):
    found = re.search(pattern, text, re.MULTILINE)
    return float(found.group(1)) if found else None


class Goals:
    def __init__(self):
        self.rows = []

    def add(self, goal, value, target, unit, command):
        self.rows.append((goal, value, target, unit, command))

    def print(self):
        head = ("goal", "measured", "target", "met")
        w = (52, 14, 14, 5)
        line = lambda cols: "".join(str(c).ljust(n) for c, n in zip(cols, w))
        print(line(head))
        print("-" * sum(w))
        missed = 0
        for goal, value, target, unit, _ in self.rows:
            if value is None:
                shown, met = "not measured", "?"
                missed += 1
            else:
                shown = ("%.0f" if value >= 100 else "%.2f") % value + unit
                met = "yes" if value <= target else "NO"
                missed += met != "yes"
            print(line((goal, shown, ("<= %g" % target) + unit, met)))
        print()
        for goal, _, _, _, command in self.rows:
            print("  %-50s %s" % (goal, command))
        return missed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=5, help="runs of the change benchmark (median)")
    ap.add_argument("--skip-peers", action="store_true", help="leave out the peer comparison (scripts/bench.sh)")
    a = ap.parse_args()
    goals = Goals()

    listing = run(["scripts/wine-bench.sh", "listing_bench"])
    goals.add("listing 100,000 members into the folder tree",
              number(r"whole refresh into the folder tree:\s*([\d.]+) ms", listing), 150, " ms",
              "scripts/wine-bench.sh listing_bench")
    goals.add("private bytes per member in the folder tree",
              number(r"private bytes per member in the tree:\s*([\d.]+)", listing), 250, " B",
              "scripts/wine-bench.sh listing_bench")

    view = run(["scripts/wine-bench.sh", "view_bench"])
    goals.add("top view of a 70,000-member Python archive filled",
              number(r"^python[^:]*:.*listing included:\s*([\d.]+) ms", view), 150, " ms",
              "scripts/wine-bench.sh view_bench")

    # Before the benchmarks that write hundreds of megabytes: the disk
    # still writing them back would be timed as the take-out's.
    take_out = run(["scripts/wine-bench.sh", "take_out_bench", "5"])

    change = run(["python3", "bench/change_bench.py", "build/native/bench/zipbench", "--runs", str(a.runs)])
    goals.add("delete one member of 100 MB, x copy + fsync",
              number(r"delete one\s+[\d.]+ s\s+([\d.]+)x copy", change), 1.2, "x",
              "python3 bench/change_bench.py build/native/bench/zipbench --runs %d" % a.runs)
    goals.add("add one small file to 100 MB, x copy + fsync",
              number(r"^\s*add 1 KB\s+[\d.]+ s\s+([\d.]+)x copy", change), 1.2, "x",
              "python3 bench/change_bench.py build/native/bench/zipbench --runs %d" % a.runs)

    if not a.skip_peers:
        peers = run(["scripts/bench.sh", "--runs", "3"])
        for kind, target in (("large", 0.7), ("small", 1.0), ("tiny", 1.0)):
            goals.add("extract %s members, x best peer" % kind,
                      number(r"^extract %s\s.*?([\d.]+)\s*(?:fresh.*)?$" % kind, peers), target, "x",
                      "scripts/bench.sh --runs 3")

    goals.add("GetData of 100 MB in 2,000 files, x engine alone",
              number(r"^GetData\s.*ratio ([\d.]+)", take_out), 1.1, "x", "scripts/wine-bench.sh take_out_bench 5")
    goals.add('"Unzip to new folder" of the same, x engine alone',
              number(r"^Unzip to new\s.*ratio ([\d.]+)", take_out), 1.1, "x", "scripts/wine-bench.sh take_out_bench 5")

    print()
    return 1 if goals.print() else 0


if __name__ == "__main__":
    sys.exit(main())
