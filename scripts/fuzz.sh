#!/usr/bin/env bash
# Fuzzes the archive reader for a bounded time: scripts/fuzz.sh [seconds] [extra libFuzzer flags]
# Runs each target (fuzz_reader: the entry points on a file, extraction
# included; fuzz_verify: the in-memory reader) for the given seconds (default
# 60) on freshly generated seeds, keeping the grown corpus in
# build/native/tests/fuzz/corpus/<target> between runs.  Exits non-zero when
# a target finds a crash, leak, timeout or memory blow-up; the reproducer is
# written to build/native/tests/fuzz/artifacts/<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

tree=build/native
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S . -B "$tree" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$tree" --target fuzz_reader fuzz_verify
dir=$tree/tests/fuzz
bash tests/fuzz/make_seeds.sh "$dir/seeds"

status=0
for target in fuzz_reader fuzz_verify; do
  mkdir -p "$dir/corpus/$target" "$dir/artifacts"
  echo "== $target: $seconds s"
  rc=0
  "$dir/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -max_len=65536 \
    -print_final_stats=1 -dict=tests/fuzz/zip.dict -artifact_prefix="$dir/artifacts/$target-" \
    "$@" "$dir/corpus/$target" "$dir/seeds" || rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "fuzz: $target FAILED (exit $rc); reproducers:" >&2
    ls -l "$dir/artifacts/" >&2
    echo "replay one with: $dir/$target <file>" >&2
    status=1
  fi
done
exit "$status"
