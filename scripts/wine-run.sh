#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's private prefix, which
# is created on first use.  Usage: wine-run.sh BUILD_DIR LOADER PROGRAM [ARGS...]
set -euo pipefail
build_dir=$1; loader=$2; shift 2
export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/.ready" ]; then
  mkdir -p "$build_dir"
  exec 9>"$build_dir/.wineprefix.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/.ready" ]; then
    rm -rf "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
  flock -u 9
fi
exec "$loader" "$@"
