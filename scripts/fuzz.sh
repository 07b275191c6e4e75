#!/usr/bin/env bash
# Fuzzes the archive reader for a bounded time: scripts/fuzz.sh [seconds] [extra libFuzzer flags]
# Builds the native tree's fuzz target, regenerates the seed corpus and keeps
# the grown corpus in build/native/tests/fuzz/corpus between runs.  Exits
# non-zero when the fuzzer finds a crash, leak, timeout or memory blow-up; the
# reproducer is written to build/native/tests/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

tree=build/native
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$tree" --target fuzz_reader
dir=$tree/tests/fuzz
mkdir -p "$dir/corpus" "$dir/artifacts"
bash tests/fuzz/make_seeds.sh "$dir/seeds"

status=0
"$dir/fuzz_reader" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -max_len=65536 \
  -print_final_stats=1 -dict=tests/fuzz/zip.dict -artifact_prefix="$dir/artifacts/" \
  "$@" "$dir/corpus" "$dir/seeds" || status=$?
if [ "$status" -ne 0 ]; then
  echo "fuzz: FAILED (exit $status); reproducers:" >&2
  ls -l "$dir/artifacts/" >&2
  echo "replay one with: $dir/fuzz_reader <file>" >&2
fi
exit "$status"
