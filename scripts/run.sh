#!/usr/bin/env bash
# The run command: sets up, builds, registers the 64-bit DLL in the private
# Wine prefix and opens an archive in the shell browser host (mbxhost.exe).
#
#   scripts/run.sh [archive.zip]
#
# Without an archive it opens a sample that it writes to build/sample.zip.
# With a display the host stays open until you close it; without one it runs
# under Xvfb, saves a screenshot to build/screenshot.png and exits.
# MBX_RUN_SECONDS (default 6) is how long the host shows the archive before
# the screenshot is taken.  MBX_RUN_SHOW=context-menu:NAME or properties:NAME
# selects that file's row and opens its context menu or its property sheet.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$root/build/x64
loader=/usr/lib/wine/wine64
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Registration and the host run in one Wine session on one display: Wine's
# desktop process takes the display of the session's first program.
session() {
  local archive=$1 shot=${2:-}
  export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A session left over from another run (tests) may sit on another display.
  timeout 60 wineserver -w 2>/dev/null || echo "run: another Wine session is still running in $WINEPREFIX" >&2
  # Without registration the host still opens and says in its status bar
  # why it shows nothing.
  if ! bash scripts/wine-run.sh "$build" "$loader" regsvr32 /s "$(winpath "$build/Marrowbx.dll")"; then
    echo "run: registering Marrowbx.dll failed; opening the host anyway" >&2
  fi
  if [ -z "$shot" ]; then
    "$loader" "$build/mbxhost.exe" "$(winpath "$archive")" || true
    return
  fi
  local seconds=${MBX_RUN_SECONDS:-6}
  local ready
  ready=$(mktemp -u)
  local show=()
  if [ -n "${MBX_RUN_SHOW:-}" ]; then show=(--show "$MBX_RUN_SHOW"); fi
  "$loader" "$build/mbxhost.exe" --exit-after $(( (seconds + 30) * 1000 )) --hwnd-file "$(winpath "$ready")" \
    "${show[@]}" "$(winpath "$archive")" &
  local pid=$!
  # The host writes its window handle once the archive is shown or has failed.
  for _ in $(seq 1 300); do
    if [ -s "$ready" ] || ! kill -0 "$pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  sleep "$seconds"
  import -window root "$shot"
  rm -f "$ready"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

if [ "${1:-}" = "--session" ]; then
  shift
  session "$@"
  exit 0
fi

bash scripts/setup.sh
bash scripts/build.sh

archive=${1:-}
if [ -z "$archive" ]; then
  archive=$root/build/sample.zip
  # A fixed sample: folders listed and implicit, a few file types, stored
  # and deflated members, the same bytes on every run.
  python3 - "$archive" <<'EOF'
import sys, zipfile

when = (2024, 5, 17, 10, 30, 0)
def add(z, name, data, method=zipfile.ZIP_DEFLATED, attrs=0x20):
    info = zipfile.ZipInfo(name, when)
    info.compress_type = method
    info.create_system = 0
    info.external_attr = attrs
    z.writestr(info, data)

text = "".join(f"Line {i}: the quick brown fox jumps over the lazy dog.\n" for i in range(200))
with zipfile.ZipFile(sys.argv[1], "w") as z:
    add(z, "readme.txt", "Sample archive for Marrowbox.\n" + text)
    add(z, "notes.md", "# Notes\n\n" + text[:2000])
    add(z, "data.csv", "id,name,value\n" + "".join(f"{i},item{i},{i * 7}\n" for i in range(500)))
    add(z, "docs/", b"", zipfile.ZIP_STORED, 0x10)
    add(z, "docs/manual.html", "<html><body><h1>Manual</h1><pre>" + text + "</pre></body></html>")
    add(z, "docs/img/logo.bmp", bytes(range(256)) * 16, zipfile.ZIP_STORED)
    add(z, "src/main.c", "#include <stdio.h>\nint main(void) { puts(\"hello\"); return 0; }\n")
    add(z, "src/util.h", "#pragma once\nint twice(int x);\n", attrs=0x21)
EOF
fi
if [ ! -f "$archive" ]; then
  echo "run: no such archive: $archive" >&2
  exit 1
fi
archive=$(realpath "$archive")

if [ -n "${DISPLAY:-}" ]; then
  session "$archive"
  exit 0
fi

shot=$root/build/screenshot.png
rm -f "$shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$root/scripts/run.sh" --session "$archive" "$shot"
if [ ! -s "$shot" ]; then
  echo "run: no screenshot was taken" >&2
  exit 1
fi
echo "run: screenshot saved to ${shot#"$root"/}"
