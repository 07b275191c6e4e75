#!/usr/bin/env bash
# Runs CTest in every build tree.  A persistent wineserver per Wine prefix
# keeps program start-up short; it is stopped however the run ends.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/i386.sh

trees=(native x64 x86)
declare -A loaders=([x64]=/usr/lib/wine/wine64 [x86]=/usr/lib/wine/wine)
declare -A not_run=()
x86=$(x86_verdict)
[ "$x86" = run ] || not_run[x86]=$x86

stop_servers() {
  for tree in x64 x86; do
    WINEPREFIX="$PWD/build/$tree/wineprefix" wineserver -k 2>/dev/null || true
  done
}
trap stop_servers EXIT

for tree in x64 x86; do
  [ -z "${not_run[$tree]:-}" ] || continue
  # Creates the prefix on first use, then keeps its server running.
  scripts/wine-run.sh "$PWD/build/$tree" "${loaders[$tree]}" cmd /c exit >/dev/null 2>&1 || true
  WINEPREFIX="$PWD/build/$tree/wineprefix" wineserver -p
done

status=0
total=0
failed=0
skipped=0
summary=""
for tree in "${trees[@]}"; do
  if [ -n "${not_run[$tree]:-}" ]; then
    # "skip: ..." is the user's explicit choice; anything else fails the run.
    [[ ${not_run[$tree]} == skip:* ]] || status=1
    summary+="$tree: ${not_run[$tree]#*: }"$'\n'
    continue
  fi
  echo "== ctest: $tree"
  log="build/$tree/ctest.log"
  start=$SECONDS
  ctest --test-dir "build/$tree" --output-on-failure --timeout 900 -j2 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -z "$line" ]; then
    status=1
    line="no CTest summary"
  else
    failed=$((failed + $(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")))
    total=$((total + $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")))
    n=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* \*\*\*Skipped' "$log")
    skipped=$((skipped + n))
    [ "$n" -eq 0 ] || line+=", $n skipped"
  fi
  summary+="$tree: $line ($((SECONDS - start)) s)"$'\n'
done
echo
echo "== summary"
printf '%s' "$summary"
[ "$total" -gt 0 ] || status=1
passed=$((total - failed - skipped))
echo "total: $passed passed, $failed failed, $skipped skipped"
exit $status
