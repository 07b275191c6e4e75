#!/usr/bin/env python3
"""Times the engine (through zipbench) against Info-ZIP zip/unzip and 7-Zip.

Run through scripts/bench.sh, which builds zipbench first.  Every tool works
on the same cached input under the same conditions, best of N runs; anything
that creates many files does so on a freshly made loop-mounted ext4 file
system, because on this machine's root file system creating files right after
deleting many is severalfold slower (and the slowdown depends on history).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

import change_bench

HERE = os.path.dirname(os.path.abspath(__file__))
DELETE_MEMBER = "small/dir20/file00020.txt"
PEERS = ("zip", "7zz")
TOOLS = ("ours",) + PEERS


def sh(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


class Volume:
    """A directory on a fresh ext4 image, or a plain directory as a fallback."""

    def __init__(self, base, name, size_mb, inodes, loop):
        self.img = os.path.join(base, name + ".img")
        self.path = os.path.join(base, name)
        self.size_mb, self.inodes, self.loop = size_mb, inodes, loop
        os.makedirs(self.path, exist_ok=True)

    def fresh(self):
        """Returns an empty directory on a file system with no history."""
        if not self.loop:
            return self.path
        self.unmount()
        with open(self.img, "wb") as f:
            f.truncate(self.size_mb << 20)
        sh(["mkfs.ext4", "-q", "-F", "-O", "^has_journal", "-N", str(self.inodes),
            "-E", "lazy_itable_init=0,nodiscard", self.img])
        sh(["mount", "-o", "loop,noatime", self.img, self.path])
        return self.path

    def unmount(self):
        if self.loop and os.path.ismount(self.path):
            sh(["umount", self.path])

    def remove(self):
        self.unmount()
        if os.path.exists(self.img):
            os.remove(self.img)
        shutil.rmtree(self.path, ignore_errors=True)


def can_loop_mount(base):
    if os.geteuid() != 0 or not shutil.which("mkfs.ext4"):
        return False
    probe = Volume(base, "probe", 16, 1024, True)
    try:
        probe.fresh()
        return True
    except (subprocess.CalledProcessError, OSError):
        return False
    finally:
        try:
            probe.remove()
        except (subprocess.CalledProcessError, OSError):
            pass


def timed(command, cwd, timeout=900):
    t0 = time.perf_counter()
    r = subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                       timeout=timeout)
    dt = time.perf_counter() - t0
    if r.returncode != 0:
        msg = r.stderr.decode(errors="replace").strip().splitlines()
        raise RuntimeError("exit %d: %s" % (r.returncode, msg[-1] if msg else ""))
    return dt


def measure(runs, cwd, commands, prepare=None, verify=None):
    """Best time per tool.  Tools take turns run by run, so a change in the
    machine's load during the measurement hits every tool alike.

    commands: tool -> argv
    prepare:  function(tool), untimed, before every run
    verify:   function(tool), untimed, after every run; raises AssertionError
    """
    best = {}
    for _ in range(runs):
        for tool, cmd in commands.items():
            if best.get(tool) == "FAILED":
                continue
            try:
                if prepare:
                    prepare(tool)
                t = timed(cmd, cwd)
                if verify:
                    verify(tool)
                best[tool] = min(t, best.get(tool, t))
            except (RuntimeError, subprocess.TimeoutExpired, AssertionError) as e:
                best[tool] = "FAILED"
                print("bench: %s failed: %s" % (tool, e), file=sys.stderr, flush=True)
    return best


def load_warning():
    load = os.getloadavg()[0]
    cpus = os.cpu_count() or 1
    if load > 0.5 * cpus:
        return ("bench: WARNING: load average %.1f on %d CPUs: other work shares the machine, "
                "times are inflated and noisy" % (load, cpus))
    return None


def count_files(root):
    n = 0
    for _, dirs, files in os.walk(root):
        n += len(files)
    return n


def members(path):
    with zipfile.ZipFile(path) as z:
        return sum(1 for i in z.infolist() if not i.is_dir())


class Table:
    def __init__(self):
        self.rows = []

    def add(self, op, times, note=""):
        self.rows.append((op, times, note))
        shown = ", ".join("%s %s" % (k, "%.3f s" % v if isinstance(v, float) else v)
                          for k, v in times.items())
        print("bench: %s: %s" % (op.strip(), shown), file=sys.stderr, flush=True)

    def print(self, out=sys.stdout):
        def cell(v):
            if v is None:
                return "-"
            if isinstance(v, str):
                return v
            return "%.3f s" % v
        head = ("operation", "ours", "zip/unzip", "7zz", "best peer", "ours/best", "")
        w = (34, 11, 11, 11, 11, 9, 0)
        line = lambda cols: "".join(str(c).ljust(n) if n else str(c) for c, n in zip(cols, w))
        print(line(head), file=out)
        print("-" * sum(w), file=out)
        for op, t, note in self.rows:
            peers = [t.get(p) for p in PEERS if isinstance(t.get(p), float)]
            best = min(peers) if peers else None
            ours = t.get("ours")
            r = ratio_to_best_peer(t)
            ratio = "-" if r is None else "%.2f" % r
            print(line((op, cell(ours), cell(t.get("zip")), cell(t.get("7zz")), cell(best), ratio,
                        note)), file=out)
        out.flush()


def ratio_to_best_peer(times):
    peers = [times.get(p) for p in PEERS if isinstance(times.get(p), float)]
    ours = times.get("ours")
    return ours / min(peers) if isinstance(ours, float) and peers else None


def print_goals(goals, out=sys.stdout):
    """goals: (name, measured ratio or None, unit, upper bound)."""
    w = (36, 10, 10, 0)
    line = lambda cols: "".join(str(c).ljust(n) if n else str(c) for c, n in zip(cols, w))
    print(line(("goal", "measured", "target", "met")), file=out)
    print("-" * 60, file=out)
    for name, got, unit, bound in goals:
        shown = "-" if got is None else "%.2f" % got
        met = "-" if got is None else ("yes" if got <= bound else "NO")
        print(line((name, shown, "<= %.2f" % bound, met)) + "   " + unit, file=out)
    out.flush()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--zipbench", required=True)
    ap.add_argument("--dir", default=os.path.join(tempfile.gettempdir(), "mbx-bench"))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--scale", type=float, default=1.0, help="corpus scale, 1 = full size")
    ap.add_argument("--keep", action="store_true", help="keep the images afterwards")
    a = ap.parse_args()

    zipbench = os.path.abspath(a.zipbench)
    for tool in ("zip", "unzip", "7zz"):
        if not shutil.which(tool):
            sys.exit("bench: %s is missing (scripts/setup.sh installs it)" % tool)
    os.makedirs(a.dir, exist_ok=True)
    loop = can_loop_mount(a.dir)
    if not loop:
        print("bench: WARNING: cannot loop-mount ext4 images (needs root and mkfs.ext4); "
              "using plain directories under %s, so times for many files depend on the "
              "file system's history" % a.dir, file=sys.stderr)
    data = Volume(a.dir, "data", 6144, 600_000, loop)
    scratch = Volume(a.dir, "scratch", 3072, 400_000, loop)
    table = Table()
    extract_times = {}
    warnings = [w for w in [load_warning()] if w]
    started = time.perf_counter()
    try:
        root = data.fresh()
        print("bench: corpus -> %s%s" % (root, " (loop-mounted ext4)" if loop else ""), flush=True)
        sh([sys.executable, os.path.join(HERE, "make_corpus.py"), root, "--scale", str(a.scale)])
        sh(["sh", "-c", "cat small/*/* large/* extra/* >/dev/null; find tiny -type f | "
            "xargs cat >/dev/null"], cwd=root)  # input is timed cached
        out = os.path.join(root, "out")
        os.makedirs(out)
        sets = ("small", "large", "tiny")
        expected = {s: count_files(os.path.join(root, s)) for s in sets}
        print("bench: %s files; %d run(s) each, best time shown" %
              (", ".join("%s %d" % (s, expected[s]) for s in sets), a.runs), flush=True)

        # Create at level 6.
        for s in sets:
            arcs = {t: os.path.join(out, "%s-%s.zip" % (t, s)) for t in TOOLS}
            cmds = {"ours": [zipbench, "create", arcs["ours"], s, "6"],
                    "zip": ["zip", "-q", "-r", "-6", arcs["zip"], s],
                    "7zz": ["7zz", "a", "-tzip", "-mx=6", "-bd", "-bso0", "-bsp0", arcs["7zz"], s]}

            def prep(tool, arcs=arcs):
                if os.path.exists(arcs[tool]):
                    os.remove(arcs[tool])

            def check(tool, arcs=arcs, s=s):
                n = members(arcs[tool])
                assert n == expected[s], "%s holds %d files, not %d" % (arcs[tool], n, expected[s])
            times = measure(a.runs, root, cmds, prep, check)
            table.add("create %s (level 6)" % s, times)
            table.add("  archive size", {t: "%.2f MB" % (os.path.getsize(arcs[t]) / 1e6)
                                         for t in TOOLS if isinstance(times.get(t), float)})

        # List and extract all, all tools reading Info-ZIP's archive.
        for s in sets:
            arc = os.path.join(out, "zip-%s.zip" % s)
            with zipfile.ZipFile(arc) as z:
                want = len(z.infolist())
            cmds = {"ours": [zipbench, "list", arc], "zip": ["unzip", "-l", arc],
                    "7zz": ["7zz", "l", arc]}

            def check(tool, cmds=cmds, want=want):
                if tool == "ours":  # a fast listing that misses members is no result
                    got = subprocess.run(cmds[tool], capture_output=True).stdout.count(b"\n")
                    assert got == want, "listed %d of %d members" % (got, want)
            times = measure(max(a.runs, 5), root, cmds, verify=check)
            # Names alone are the cheapest listing there is; shown for scale.
            names_only = measure(max(a.runs, 5), root, {"zip": ["unzip", "-Z1", arc]})["zip"]
            table.add("list %s (%d members)" % (s, want), times,
                      "unzip -l, 7zz l; unzip -Z1: %.3f s" % names_only)
        for s in sets:
            arc = os.path.join(out, "zip-%s.zip" % s)
            dest = os.path.join(scratch.path, "x")
            cmds = {"ours": [zipbench, "extract", arc, dest],
                    "zip": ["unzip", "-q", "-o", arc, "-d", dest],
                    "7zz": ["7zz", "x", "-y", "-bd", "-bso0", "-bsp0", "-o" + dest, arc]}

            def prep(tool, dest=dest):
                scratch.fresh()
                if not loop:  # no fresh file system: a new directory at least
                    shutil.rmtree(dest, ignore_errors=True)
                os.makedirs(dest)

            def check(tool, dest=dest, s=s):
                n = count_files(dest)
                assert n == expected[s], "extracted %d files, not %d" % (n, expected[s])
            times = measure(a.runs, root, cmds, prep, check)
            table.add("extract %s" % s, times, "fresh ext4 each run" if loop else "")
            extract_times[s] = times
        scratch.unmount()

        # One member out of, and one into, a large archive (made once by zip).
        big = os.path.join(out, "big.zip")
        sh(["zip", "-q", "-r", "-6", big, "large", "small"], cwd=root)
        work = os.path.join(out, "work.zip")
        fresh_copy = lambda tool: shutil.copyfile(big, work)
        copy_time = measure(a.runs, root, {"cp": ["cp", big, os.path.join(out, "copy.zip")]})["cp"]
        note = "archive %.0f MB; copying it: %.3f s" % (os.path.getsize(big) / 1e6, copy_time)
        cmds = {"ours": [zipbench, "delete", work, '"%s"' % DELETE_MEMBER.replace("/", "\\")],
                "zip": ["zip", "-q", "-d", work, DELETE_MEMBER],
                "7zz": ["7zz", "d", "-bd", "-bso0", "-bsp0", work, DELETE_MEMBER]}

        def gone(tool):
            with zipfile.ZipFile(work) as z:
                assert DELETE_MEMBER not in z.namelist(), "member still there"
        times = measure(a.runs, root, cmds, fresh_copy, gone)
        table.add("delete 1 member from large", times, note)
        add = "extra/added.txt"
        for grow in (False, True):
            cmds = {"ours": [zipbench] + (["-grow"] if grow else []) + ["add", work, add, add],
                    "zip": ["zip", "-q", work, add],
                    "7zz": ["7zz", "a", "-tzip", "-bd", "-bso0", "-bsp0", work, add]}
            if grow:
                cmds = {"ours": cmds["ours"]}

            def added(tool):
                with zipfile.ZipFile(work) as z:
                    assert add in z.namelist(), "member not added"
                    assert z.testzip() is None, "archive damaged"
            times = measure(a.runs, root, cmds, fresh_copy, added)
            table.add("add 1 file to large" + (" (grow)" if grow else ""), times,
                      "" if grow else note)

        print()
        print("bench: changes against copying and syncing the archive (bench/change_bench.py)", flush=True)
        change = change_bench.measure([zipbench], max(a.runs, 5))[0]
        warnings += [w for w in [load_warning()] if w]
        print()
        print("bench: done in %.0f s%s" % (time.perf_counter() - started,
                                          "" if a.scale == 1 else " (scale %g)" % a.scale))
        table.print()
        print()
        print_goals([("delete 1 of 2000 members, 100 MB", change["delete one"], "x copy+sync", 1.2),
                     ("add 1 KB to 100 MB", change["add 1 KB"], "x copy+sync", 1.2),
                     ("extract large", ratio_to_best_peer(extract_times["large"]), "x best peer", 0.7)])
        for w in warnings:
            print(w)
        return 1 if any("FAILED" in map(str, t.values()) for _, t, _ in table.rows) else 0
    finally:
        if not a.keep:
            scratch.remove()
            data.remove()


if __name__ == "__main__":
    sys.exit(main())
