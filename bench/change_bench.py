#!/usr/bin/env python3
"""Changing a 100 MB archive of 2,000 members with the engine (zipbench):
delete one member, add one small file, grow-add one small file, each on a
fresh copy already on disk, against copying the archive once and syncing
the copy, and against that copy also taking the archive's name.  Prints
the median of each over the runs and the ratios; with a second zipbench
(an older build) the same for it, side by side.  Run by hand:
  python3 bench/change_bench.py build/native/bench/zipbench [OLD_ZIPBENCH] [--runs N]
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import tempfile
import time


def timed(fn):
    start = time.perf_counter()
    fn()
    return time.perf_counter() - start


def copy_and_sync(src, dst):
    shutil.copyfile(src, dst)
    fd = os.open(dst, os.O_RDONLY)
    os.fsync(fd)
    os.close(fd)


def settled_copy(src, dst):
    """A copy as a user's archive is before it changes: on disk, its pages
    clean.  Copied over the last run's result, the disk would still be
    writing the copy while the change is timed."""
    if os.path.exists(dst):
        os.remove(dst)
    copy_and_sync(src, dst)


def copy_and_replace(src, tmp, dst):
    """What a durable change pays besides the copy: the file system frees
    the replaced archive's blocks when the copy takes its name."""
    copy_and_sync(src, tmp)
    os.rename(tmp, dst)


def measure(zipbenches, runs):
    """Prints the table; returns, for each zipbench, its medians over the
    copy's: {"delete one": ratio, ...}."""
    root = tempfile.mkdtemp(prefix="mbx-change-bench-")
    ratios = []
    try:
        src = os.path.join(root, "src")
        os.makedirs(os.path.join(src, "big"))
        rng = random.Random(12345)
        for i in range(2000):
            with open(os.path.join(src, "big", "f%d.bin" % i), "wb") as f:
                f.write(rng.randbytes(50 * 1024))
        small = os.path.join(root, "small.txt")
        with open(small, "w") as f:
            f.write("s" * 1024)
        original = os.path.join(root, "original.zip")
        subprocess.run([zipbenches[0], "create", original, os.path.join(src, "big"), "1"], check=True,
                       stdout=subprocess.DEVNULL)
        work = os.path.join(root, "work.zip")
        copy = os.path.join(root, "copy.zip")
        print("archive %.1f MB, 2000 members, median of %d" % (os.path.getsize(original) / 2**20, runs))
        ops = [("delete one", ["delete", work, '"big\\f7.bin"']),
               ("add 1 KB", ["add", work, small, "small.txt"]),
               ("grow-add 1 KB", ["-grow", "add", work, small, "small.txt"])]
        # Each round times the copy and then every change, so a change of
        # the machine's load moves both sides of a ratio alike.
        copies, replaces = [], []
        times = [{name: [] for name, _ in ops} for _ in zipbenches]
        for _ in range(runs):
            copies.append(timed(lambda: copy_and_sync(original, copy)))
            os.remove(copy)
            settled_copy(original, work)
            replaces.append(timed(lambda: copy_and_replace(original, copy, work)))
            for zb, mine in zip(zipbenches, times):
                for name, args in ops:
                    settled_copy(original, work)
                    mine[name].append(timed(lambda: subprocess.run([zb] + args, check=True,
                                                                   stdout=subprocess.DEVNULL)))
        c = statistics.median(copies)
        r = statistics.median(replaces)
        print("%-22s %.3f s" % ("copy + sync", c))
        print("%-22s %.3f s" % ("  + replace archive", r))
        for zb, mine in zip(zipbenches, times):
            print(zb)
            ratios.append({})
            for name, _ in ops:
                t = statistics.median(mine[name])
                ratios[-1][name] = t / c
                print("  %-20s %.3f s  %.2fx copy  %.2fx copy and replace" % (name, t, t / c, t / r))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return ratios


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("zipbench", nargs="+")
    ap.add_argument("--runs", type=int, default=7)
    a = ap.parse_args()
    measure(a.zipbench, a.runs)


if __name__ == "__main__":
    main()
