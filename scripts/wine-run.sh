#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix, which
# is created on first use.  Usage: wine-run.sh BUILD_DIR LOADER PROGRAM [ARGS...]
set -euo pipefail
build_dir=$1; loader=$2; shift 2
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
. "$(dirname "$0")/i386.sh"

# A prefix made while 32-bit programs could not run lacks its 32-bit half;
# .ready says "wow64" when it has it, and a 32-bit program needs that.
ready() {
  [ -f "$WINEPREFIX/.ready" ] || return 1
  [ "$loader" != /usr/lib/wine/wine ] || grep -qx wow64 "$WINEPREFIX/.ready"
}
if ! ready; then
  mkdir -p "$build_dir"
  exec 9>"$build_dir/.wineprefix.lock"
  flock 9
  if ! ready; then
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    wineserver -w
    if i386_runs; then
      echo wow64 >"$WINEPREFIX/.ready"
    else
      : >"$WINEPREFIX/.ready"
    fi
  fi
  flock -u 9
fi
exec "$loader" "$@"
