#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent and quiet: the indexes are refreshed only when something is
# missing.  A mirror caught mid-sync is survived (scripts/apt.sh); a package
# that truly cannot be had fails the set-up, named with apt's reason.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build make g++ zlib1g-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  libz-mingw-w64-dev googletest
  wine wine64 xvfb xauth xdotool imagemagick x11-utils
  zip unzip 7zip libarchive-tools python3
  e2fsprogs hyperfine matchbox-window-manager
  wixl msitools locales
  wine32:i386
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo --preserve-env=MBX_APT_TRIES,MBX_APT_PAUSE "$@"; fi; }

as_root bash -c '. scripts/apt.sh && apt_ensure "$@"' setup "${packages[@]}"

# Where the kernel runs no 32-bit programs, Wine's 32-bit loader goes through
# qemu-user; where even that cannot be had, the reason is recorded and the
# test command fails on it (scripts/ctest-all.sh).
as_root bash -c '. scripts/i386.sh && enable_i386'

# Wine takes the ANSI code page from the process's locale: the tests of
# names in a double-byte code page run under ja_JP.UTF-8 (code page 932).
# locale-gen builds every locale listed, so it runs only when one is missing.
as_root bash -c '
  missing=0
  for l in "en_US.UTF-8 UTF-8" "ja_JP.UTF-8 UTF-8"; do
    grep -qx "$l" /etc/locale.gen || { echo "$l" >>/etc/locale.gen; missing=1; }
  done
  locale -a | grep -qix "ja_JP.utf8" || missing=1
  locale -a | grep -qix "en_US.utf8" || missing=1
  [ "$missing" -eq 0 ] || locale-gen >/dev/null
'

# Debian leaves the posix thread model as an alternative; the toolchain files
# name the -posix compilers directly, so nothing needs switching here.
exit 0
