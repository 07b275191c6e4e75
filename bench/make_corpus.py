#!/usr/bin/env python3
"""Builds the benchmark corpus, byte-for-byte the same on every run.

  small/  a few thousand text files of 1-48 KB in 40 folders
  large/  one 50 MB compressible text file and one 50 MB random file
  tiny/   100,000 files of 8-120 bytes, 10 x 10 x 10 folders of 100 files
  extra/  one small file that the add benchmarks append to an archive

Usage: make_corpus.py DEST [--scale F]   (F < 1 shrinks every set, for trials)
"""
import argparse
import os
import random
import sys

# Every file gets the same modification time so archives come out identical.
STAMP = 1_600_000_000  # 2020-09-13

WORDS = (
    "archive member folder extract compress deflate inflate stored header "
    "central directory record offset length checksum window buffer stream "
    "the of and to in is that it for on with as was at by be this from "
    "shell view item menu drag drop copy move rename delete property icon "
    "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu "
    "0 1 2 3 4 5 6 7 8 9 10 42 100 256 1024 65535 4096 0x37 0x8000"
).split()


def text(rng, size):
    """Word soup with line breaks: compresses like source code or prose (~3:1)."""
    out = []
    n = 0
    while n < size:
        line = " ".join(rng.choices(WORDS, k=rng.randint(4, 14)))
        if rng.random() < 0.3:
            line += " %08x" % rng.getrandbits(32)
        out.append(line)
        n += len(line) + 1
    return ("\n".join(out) + "\n").encode()[:size]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (STAMP, STAMP))


def make_small(root, rng, count):
    for i in range(count):
        d = os.path.join(root, "dir%02d" % (i % 40))
        os.makedirs(d, exist_ok=True)
        write(os.path.join(d, "file%05d.txt" % i), text(rng, rng.randint(1024, 48 * 1024)))


def make_large(root, rng, size):
    os.makedirs(root, exist_ok=True)
    # Text built from 1 MB blocks: generating 50 MB of fresh words would take
    # longer than the benchmark itself, and block reuse past deflate's 32 KB
    # window does not make it easier to compress.
    blocks = [text(rng, 1 << 20) for _ in range(8)]
    with open(os.path.join(root, "text.log"), "wb") as f:
        left = size
        while left > 0:
            b = blocks[rng.randrange(len(blocks))][: min(left, 1 << 20)]
            f.write(b)
            left -= len(b)
    os.utime(os.path.join(root, "text.log"), (STAMP, STAMP))
    write(os.path.join(root, "random.bin"), rng.randbytes(size))


def make_tiny(root, rng, count):
    per_dir = 100
    for i in range(count):
        n = i // per_dir
        d = os.path.join(root, "a%d" % (n // 100 % 10), "b%d" % (n // 10 % 10), "c%d" % (n % 10))
        if i % per_dir == 0:
            os.makedirs(d, exist_ok=True)
        write(os.path.join(d, "t%06d.txt" % i), text(rng, rng.randint(8, 120)))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("dest")
    ap.add_argument("--scale", type=float, default=1.0)
    a = ap.parse_args()
    s = a.scale
    rng = random.Random(20201)
    os.makedirs(a.dest, exist_ok=True)
    make_small(os.path.join(a.dest, "small"), rng, max(10, int(4000 * s)))
    make_large(os.path.join(a.dest, "large"), rng, max(1 << 16, int(50 * (1 << 20) * s)))
    make_tiny(os.path.join(a.dest, "tiny"), rng, max(100, int(100_000 * s)))
    os.makedirs(os.path.join(a.dest, "extra"), exist_ok=True)
    write(os.path.join(a.dest, "extra", "added.txt"), text(rng, 3000))
    return 0


if __name__ == "__main__":
    sys.exit(main())
