#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent and quiet: apt-get update runs only when something is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/i386.sh

packages=(
  cmake ninja-build make g++ zlib1g-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  libz-mingw-w64-dev googletest
  wine wine64 xvfb xauth xdotool imagemagick x11-utils
  zip unzip 7zip libarchive-tools python3
  e2fsprogs hyperfine matchbox-window-manager
  wixl msitools
)
packages_i386=(wine32:i386)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}" "${packages_i386[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -qq >/dev/null
  as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Where the kernel runs no 32-bit programs, Wine's 32-bit loader goes through
# qemu-user; where even that cannot be had, the x86 tests are reported as not run.
as_root bash -c '. scripts/i386.sh && enable_i386'

# Debian leaves the posix thread model as an alternative; the toolchain files
# name the -posix compilers directly, so nothing needs switching here.
exit 0
