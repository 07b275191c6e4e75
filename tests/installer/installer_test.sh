#!/usr/bin/env bash
# The package as an administrator uses it, in a Wine prefix of its own: a
# silent install of an earlier release, a silent upgrade while a program holds
# the old DLL, browsing an archive from fresh 64-bit and 32-bit programs, the
# installed-programs entry, and a silent removal that leaves no file and no
# registry value of ours and keeps another program's .zip handler.
#
# Usage: installer_test.sh SOURCE_DIR WORK_DIR X64_DLL X86_DLL BROWSE64 BROWSE32 STAND_IN
set -uo pipefail
src=$1 work=$2 dll64=$3 dll32=$4 browse64=$5 browse32=$6 stand_in=$7
checks="python3 $src/tests/installer/installer_checks.py"
. "$src/scripts/i386.sh"

export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine64=/usr/lib/wine/wine64
drive_c=$WINEPREFIX/drive_c

failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# check DESCRIPTION COMMAND...: one acceptance point.
check() {
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
# The Windows path of a Unix path (Wine maps / to Z:).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Runs msiexec in WORK_DIR and prints its exit code: the shell's status holds
# only its low byte, and 3010 is a success that asks for a restart.  Packages
# are named relative to WORK_DIR, since Wine hands cmd quoted paths escaped.
msiexec() {
  (cd "$work" && $wine64 cmd /v:on /c "msiexec $* & echo exit=!errorlevel!" 2>/dev/null) | tr -d '\r' |
    sed -n 's/^exit=//p'
}
# Wine writes the registry files when its server stops.
settle() { wineserver -w; }

holder=""
cleanup() {
  [ -z "$holder" ] || { touch "$work/release"; wait "$holder" 2>/dev/null; }
  wineserver -k 2>/dev/null
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$work/old" "$work/before"

echo "== packages"
bash "$src/scripts/package.sh" --x64 "$dll64" --x86 "$dll32" -o "$work/Marrowbox.msi" || exit 1
$checks setversion "$dll64" "$work/old/x64.dll" 0.9.0.0 &&
  $checks setversion "$dll32" "$work/old/x86.dll" 0.9.0.0 &&
  bash "$src/scripts/package.sh" --x64 "$work/old/x64.dll" --x86 "$work/old/x86.dll" -o "$work/Marrowbox-0.9.msi" ||
  exit 1

echo "== fresh prefix"
$wine64 wineboot -i >/dev/null 2>&1
settle
if i386_runs; then
  runs32=yes
else
  runs32=""
  # The package runs the 32-bit regsvr32; here it only records what it was asked.
  export MBX_REGSVR32_LOG=$work/regsvr32-calls.log
  mkdir -p "$drive_c/windows/syswow64"
  cp "$stand_in" "$drive_c/windows/syswow64/regsvr32.exe"
  echo "SKIP: the 32-bit half (registration by the 32-bit regsvr32, a 32-bit program browsing): $(cd "$src" && i386_reason)"
fi

# Another program's .zip handler, as the machine had it before: its file type,
# its open-with entry, a shell-extension handler on .zip, and the values
# Windows itself gives .zip.
# Setting up the machine is not what is tested: a start of reg that Wine
# fails under load is tried again, and what it printed is shown.
reg() {
  local out try
  for try in 1 2 3; do
    out=$($wine64 reg "$@" 2>&1) && return 0
    echo "reg $* (try $try): ${out//$'\r'/}"
    settle
  done
  fail "reg $*"
}
reg add 'HKCR\.zip' /v 'Content Type' /d application/x-zip-compressed /f
reg add 'HKCR\.zip' /v PerceivedType /d compressed /f
reg add 'HKCR\.zip\OpenWithProgids' /v OtherZip.Archive /d '' /f
reg add 'HKCR\.zip\shellex\{e357fccd-a995-4576-b01f-234630154e96}' /ve /d '{5A0B6C1D-2E3F-4051-8293-A4B5C6D7E8F9}' /f
reg add 'HKCR\OtherZip.Archive' /ve /d 'Other Zip Archive' /f
reg add 'HKCR\OtherZip.Archive\shell\open\command' /ve /d 'C:\OtherZip\otherzip.exe "%1"' /f
reg add 'HKCR\CLSID\{5A0B6C1D-2E3F-4051-8293-A4B5C6D7E8F9}\InprocServer32' /ve /d 'C:\OtherZip\thumbs.dll' /f
settle
cp "$WINEPREFIX/system.reg" "$WINEPREFIX/user.reg" "$work/before/"
# Files and folders of the prefix, leaving out the users' temporary files and
# Windows Installer's own folder (it exists on every Windows).
list_files() { (cd "$drive_c" && find . -path ./users -prune -o -path ./windows/Installer -prune -o -print | sort); }
list_files >"$work/before/files"

echo "== silent install of 0.9"
code=$(msiexec /i Marrowbox-0.9.msi /qn)
check "0.9 installs silently (exit $code)" test "$code" = 0
settle
check "0.9 is listed" grep -q '|0.9.0|' <($checks programs "$WINEPREFIX/system.reg")

echo "== silent upgrade while a program holds the 0.9 DLL"
python3 - "$work/archive.zip" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    z.writestr("docs/readme.txt", "read me\n")
    z.writestr("top.txt", "top\n")
EOF
archive=$(winpath "$work/archive.zip")
$wine64 "$browse64" "$archive" "$(winpath "$work/release")" >"$work/holder.out" 2>&1 &
holder=$!
for _ in $(seq 300); do grep -q holding "$work/holder.out" && break; sleep 0.2; done
# Windows programs end their lines with CR LF.
check "a 64-bit program holds the 0.9 DLL" \
  grep -qx 'dll C:\\Program Files\\Marrowbox\\Marrowbx.dll' <(tr -d '\r' <"$work/holder.out")
code=$(msiexec /i Marrowbox.msi /qn)
check "1.0 upgrades silently (exit $code; 3010 asks for a restart)" test "$code" = 0 -o "$code" = 3010
touch "$work/release"
wait "$holder"
holder=""
# What a restart does: pending replacements happen.
$wine64 wineboot -r >/dev/null 2>&1
settle
check "the x64 DLL is 1.0 after the restart" test "$($checks dll "$drive_c/Program Files/Marrowbox/Marrowbx.dll")" = "x64 1.0.0.0"
check "the x86 DLL is 1.0" test "$($checks dll "$drive_c/Program Files (x86)/Marrowbox/Marrowbx.dll")" = "x86 1.0.0.0"
check "nothing is left to do at a restart" \
  bash -c "! $wine64 reg query 'HKLM\\System\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations >/dev/null 2>&1"

entries=$($checks programs "$WINEPREFIX/system.reg")
echo "$entries"
IFS='|' read -r product version publisher size estimated uninstall <<<"$entries"
check "one installed-programs entry, the upgrade's" test "$(wc -l <<<"$entries")" = 1 -a "$version" = 1.0.0
check "its publisher" test "$publisher" = "Fenwright Software"
check "its size" test "${size:-0}" -gt 0 -o "${estimated:-0}" -gt 0
check "its uninstall command" test "$uninstall" = "MsiExec.exe /X$product"

echo "== browse"
$wine64 "$browse64" "$archive" 2>&1 | tr -d '\r' >"$work/browse64.out"
cat "$work/browse64.out"
check "a 64-bit program gets the installed x64 DLL by ProgID" \
  grep -qx 'dll C:\\Program Files\\Marrowbox\\Marrowbx.dll' "$work/browse64.out"
check "and browses the archive" grep -qx 'folder docs' "$work/browse64.out"
if [ -n "$runs32" ]; then
  /usr/lib/wine/wine "$browse32" "$archive" 2>&1 | tr -d '\r' >"$work/browse32.out"
  cat "$work/browse32.out"
  check "a 32-bit program gets the installed x86 DLL by ProgID" \
    grep -qx 'dll C:\\Program Files (x86)\\Marrowbox\\Marrowbx.dll' "$work/browse32.out"
  check "and browses the archive" grep -qx 'folder docs' "$work/browse32.out"
else
  check "the package registered the x86 DLL with the 32-bit regsvr32" \
    grep -qx '/s "C:\\Program Files (x86)\\Marrowbox\\Marrowbx.dll"' <(tr -d '\r' <"$work/regsvr32-calls.log")
fi

echo "== silent removal"
code=$(msiexec /x "$product" /qn)
check "removes silently (exit $code)" test "$code" = 0
settle
[ -z "$runs32" ] && check "the package unregistered the x86 DLL with the 32-bit regsvr32" \
  grep -qx '/s /u "C:\\Program Files (x86)\\Marrowbox\\Marrowbx.dll"' <(tr -d '\r' <"$work/regsvr32-calls.log")
list_files >"$work/after-files"
check "no file or folder of ours remains" diff "$work/before/files" "$work/after-files"
check "no entry of ours remains in the machine's registry" \
  $checks regdiff "$work/before/system.reg" "$WINEPREFIX/system.reg"
check "no entry of ours remains in the user's registry" \
  $checks regdiff "$work/before/user.reg" "$WINEPREFIX/user.reg"
check "the other program's .zip handler is still there" \
  bash -c "$wine64 reg query 'HKCR\\OtherZip.Archive\\shell\\open\\command' /ve >/dev/null 2>&1"

echo
if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed; the prefix stays in $WINEPREFIX"
  exit 1
fi
# A passing run's prefix (over a gigabyte) is of no further use.
wineserver -k 2>/dev/null
rm -rf "$WINEPREFIX"
if [ -n "$runs32" ]; then echo "all checks passed"; else echo "all checks of the 64-bit half passed; the 32-bit half was skipped"; fi
