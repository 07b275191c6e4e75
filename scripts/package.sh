#!/usr/bin/env bash
# Builds the Windows Installer package (Marrowbox.msi) for 64-bit Windows from
# the two built DLLs, with Debian's wixl and msibuild (package msitools/wixl).
#
# Usage: package.sh [--x64 DLL] [--x86 DLL] [-o OUTPUT]
# Defaults: build/x64/Marrowbx.dll, build/x86/Marrowbx.dll and
# build/package/Marrowbox.msi.  The package's version is the DLLs' own
# (their version resource), so the two cannot disagree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

dll64=$root/build/x64/Marrowbx.dll
dll32=$root/build/x86/Marrowbx.dll
output=$root/build/package/Marrowbox.msi
while [ $# -gt 0 ]; do
  case $1 in
    --x64) dll64=$(realpath -m "$2"); shift 2 ;;
    --x86) dll32=$(realpath -m "$2"); shift 2 ;;
    -o) output=$(realpath -m "$2"); shift 2 ;;
    *) echo "package: unknown argument $1" >&2; exit 2 ;;
  esac
done
cd "$root"

for tool in wixl msibuild x86_64-w64-mingw32-strip i686-w64-mingw32-strip python3; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done
for dll in "$dll64" "$dll32"; do
  [ -f "$dll" ] || { echo "package: $dll not found (run scripts/build.sh)" >&2; exit 1; }
done

# PE machine and fixed version of a DLL: "<machine> <a.b.c.d file> <a.b.c product>".
pe_info() {
  python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit(f"{sys.argv[1]}: not a PE file")
machine = {0x8664: "x64", 0x14C: "x86"}.get(struct.unpack_from("<H", data, pe + 4)[0], "other")
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit(f"{sys.argv[1]}: no version resource")
fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
print(machine, f"{fms >> 16}.{fms & 0xFFFF}.{fls >> 16}.{fls & 0xFFFF}", f"{pms >> 16}.{pms & 0xFFFF}.{pls >> 16}")
EOF
}
read -r machine64 file_version64 product_version64 < <(pe_info "$dll64")
read -r machine32 file_version32 product_version32 < <(pe_info "$dll32")
# Swapped or stale inputs would install a DLL that Explorer cannot load.
[ "$machine64" = x64 ] || { echo "package: $dll64 is not an x64 DLL" >&2; exit 1; }
[ "$machine32" = x86 ] || { echo "package: $dll32 is not an x86 DLL" >&2; exit 1; }
if [ "$file_version64" != "$file_version32" ] || [ "$product_version64" != "$product_version32" ]; then
  echo "package: the DLLs' versions differ ($file_version64, $file_version32)" >&2
  exit 1
fi
version=$product_version64

mkdir -p "$(dirname "$output")"
stage=$(mktemp -d "$(dirname "$output")/.package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
# The DLLs as shipped: without debug information, which is ten times their code.
mkdir -p "$stage/x64" "$stage/x86"
x86_64-w64-mingw32-strip --strip-debug -o "$stage/x64/Marrowbx.dll" "$dll64"
i686-w64-mingw32-strip --strip-debug -o "$stage/x86/Marrowbx.dll" "$dll32"
size_kb=$(( ($(stat -c %s "$stage/x64/Marrowbx.dll") + $(stat -c %s "$stage/x86/Marrowbx.dll") + 1023) / 1024 ))

# wixl finds the files relative to the folder it runs in.
(cd "$stage" && wixl -a x64 -D Version="$version" -D SizeKB="$size_kb" -o Marrowbox.msi "$root/installer/Marrowbox.wxs")
# wixl leaves the file table's version empty; with it, Windows Installer's
# file-versioning rules decide whether an installed DLL is replaced.
msibuild "$stage/Marrowbox.msi" -q "UPDATE \`File\` SET \`Version\` = '$file_version64', \`Language\` = '1033'"
# This wixl knows no Execute="rollback" and would schedule those actions as
# immediate ones: give them their type, a deferred rollback command that runs
# as the installer and whose failure is ignored (0x32 + 0x500 + 0x40 + 0x800).
rollback=$(tr '\n' ' ' <installer/Marrowbox.wxs |
           grep -oE '<CustomAction Id="[A-Za-z0-9]+"[^>]*Execute="rollback"' |
           sed -E 's/.*Id="([^"]+)".*/\1/' || true)
[ -n "$rollback" ] || { echo "package: no rollback actions found in installer/Marrowbox.wxs" >&2; exit 1; }
for action in $rollback; do
  msibuild "$stage/Marrowbox.msi" -q "UPDATE \`CustomAction\` SET \`Type\` = 3442 WHERE \`Action\` = '$action'"
done
mv "$stage/Marrowbox.msi" "$output"
echo "package: $output (version $version, $(( $(stat -c %s "$output") / 1024 )) KB)"
