#!/usr/bin/env bash
# One command that tells where the product stands against its speed and
# memory goals: builds the benchmarks, runs them all (Wine and native) and
# prints a table of goal, measured value, target and whether it is met.
# Run by hand, never by CTest; takes several minutes.
# Usage: scripts/goals.sh [--runs N] [--skip-peers]
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/x64/CMakeCache.txt ] || scripts/build.sh
cmake --build build/x64 --target listing_bench view_bench take_out_bench >/dev/null
if [ ! -f build/native/CMakeCache.txt ]; then
  cmake -S . -B build/native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build build/native --target zipbench >/dev/null
exec python3 bench/goals.py "$@"
