#!/usr/bin/env bash
# Runs one of the Windows benchmarks under Wine, by hand (never by CTest).
# Usage: scripts/wine-bench.sh NAME [ARGS...]   (NAME: take_out_bench, put_in_bench,
# view_bench, listing_bench; built in build/x64 by scripts/build.sh).
# view_bench without arguments also times an archive made by Python's zipfile.
# A window manager runs beside Xvfb: without one, Wine waits up to 2 s for
# every captioned window it unmaps, which would be timed as ours.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != --session ]; then
  [ -n "${1:-}" ] || { echo "usage: wine-bench.sh NAME [ARGS...]" >&2; exit 2; }
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" --session "$@"
fi
shift
name=$1; shift
exe=$(find build/x64/bench -name "$name.exe" | head -n1)
[ -n "$exe" ] || { echo "wine-bench: $name.exe not built" >&2; exit 1; }
# The view benchmark's second case: an archive written by Python's zipfile,
# made once in the build tree and handed over by its Windows path.
if [ "$name" = view_bench ] && [ $# -eq 0 ]; then
  archive="$PWD/build/x64/bench/view/python_70000.zip"
  [ -f "$archive" ] || python3 bench/view/make_python_archive.py "$archive"
  set -- "Z:${archive//\//\\}"
fi
matchbox-window-manager -use_titlebar no >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true' EXIT
sleep 1
scripts/wine-run.sh "$PWD/build/x64" /usr/lib/wine/wine64 "$exe" "$@"
