#!/usr/bin/env bash
# Runs CTest in every build tree.  A persistent wineserver per Wine prefix
# keeps program start-up short; it is stopped however the run ends.
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A loaders=([x64]=/usr/lib/wine/wine64 [x86]=/usr/lib/wine/wine)
stop_servers() {
  for tree in x64 x86; do
    WINEPREFIX="$PWD/build/$tree/wineprefix" wineserver -k 2>/dev/null || true
  done
}
trap stop_servers EXIT

for tree in x64 x86; do
  # Creates the prefix on first use, then keeps its server running.
  scripts/wine-run.sh "$PWD/build/$tree" "${loaders[$tree]}" cmd /c exit >/dev/null 2>&1 || true
  WINEPREFIX="$PWD/build/$tree/wineprefix" wineserver -p
done

status=0
total=0
failed=0
summary=""
for tree in native x64 x86; do
  echo "== ctest: $tree"
  log="build/$tree/ctest.log"
  ctest --test-dir "build/$tree" --output-on-failure --timeout 900 -j2 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -z "$line" ]; then
    status=1
    line="no CTest summary"
  else
    failed=$((failed + $(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")))
    total=$((total + $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")))
  fi
  summary+="$tree: $line"$'\n'
done
echo
echo "== summary"
printf '%s' "$summary"
[ "$total" -gt 0 ] || status=1
passed=$((total - failed))
echo "$(( total > 0 ? passed * 100 / total : 0 ))% tests passed, $failed tests failed out of $total"
exit $status
