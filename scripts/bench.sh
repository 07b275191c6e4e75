#!/usr/bin/env bash
# Benchmarks the engine against Info-ZIP zip/unzip and 7-Zip; run by hand,
# never by CTest.  Usage: scripts/bench.sh [--runs N] [--scale F] [--keep] [--dir D]
# Needs root for the loop-mounted ext4 images (falls back to plain
# directories with a warning).  Full size takes a few minutes and ~4 GB of
# sparse image space under /tmp/mbx-bench.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=build/native
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$tree" --target zipbench >/dev/null
exec python3 bench/run_bench.py --zipbench "$tree/bench/zipbench" "$@"
