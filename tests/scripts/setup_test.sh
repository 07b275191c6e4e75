#!/usr/bin/env bash
# The package set-up's decisions, against stub apt and dpkg commands on the
# PATH: retried index updates, matching versions across architectures,
# qemu-user from backports, named failures, and the x86 verdict.
set -uo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# --- stubs -----------------------------------------------------------------
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
args=" $* "
if [[ $args == *" update "* ]]; then
  n=$(cat "$STATE/update_failures")
  if [ "$n" -gt 0 ]; then
    echo $((n - 1)) >"$STATE/update_failures"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  exit 0
fi
pkgs=()
for a in "$@"; do [[ $a == -* || $a == install || $a == bookworm ]] || pkgs+=("$a"); done
for p in "${pkgs[@]}"; do
  if grep -qx "$p" "$STATE/unknown"; then echo "E: Unable to locate package $p"; exit 100; fi
  if [[ $p == */bookworm-backports ]] && [ ! -e "$STATE/backports" ]; then
    echo "E: Release 'bookworm-backports' for '${p%/*}' was not found"; exit 100
  fi
done
if [ -e "$STATE/mismatch" ] && [[ $args != *" -t bookworm "* ]]; then
  echo "Some packages could not be installed."
  echo "The following packages have unmet dependencies:"
  echo " libssl3:i386 : Depends: libssl3 (= 3.0.20) but 3.0.22 is to be installed"
  echo "E: Unable to correct problems, you have held broken packages."
  exit 100
fi
[[ $args == *" -s "* ]] && exit 0
for p in "${pkgs[@]}"; do echo "${p%/*} 9.2" >>"$STATE/installed"; done
STUB
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
pkg=${!#}
line=$(grep -m1 "^$pkg " "$STATE/installed") || exit 1
case $2 in *Status*) echo "install ok installed" ;; *) echo "${line#* }" ;; esac
STUB
cat >"$work/bin/dpkg" <<'STUB'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STATE/calls"
case $1 in
  --print-foreign-architectures) cat "$STATE/archs" ;;
  --add-architecture) echo "$2" >>"$STATE/archs" ;;
esac
STUB
cat >"$work/bin/apt-cache" <<'STUB'
#!/usr/bin/env bash
echo "qemu-user:"
echo "  Candidate: 1:$(cat "$STATE/qemu_candidate")+dfsg-7"
STUB
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH"
echo VERSION_CODENAME=bookworm >"$work/os-release"
export MBX_OS_RELEASE="$work/os-release" MBX_APT_PAUSE=0 MBX_APT_TRIES=3
# The user's own opt-out must not decide the verdict checks below.
unset MBX_SKIP_X86

# A fresh stub machine: nothing installed, updates that fail N times.
fresh() {
  export STATE="$work/state"
  rm -rf "$STATE"; mkdir -p "$STATE"
  : >"$STATE/calls"; : >"$STATE/installed"; : >"$STATE/archs"; : >"$STATE/unknown"
  echo "${1:-0}" >"$STATE/update_failures"
  echo 7.2 >"$STATE/qemu_candidate"
  export MBX_APT_SOURCES_DIR="$STATE/sources.list.d"
}

# Runs a function of the set-up in a subshell; its stderr goes to $STATE/err.
run() { (. "$src/scripts/i386.sh"; "$@"; rc=$?; echo "$APT_REASON" >"$STATE/reason"; exit $rc) >/dev/null 2>"$STATE/err"; }

check() {
  local what=$1; shift
  if ! "$@"; then echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}
calls() { grep -c -- "$1" "$STATE/calls"; }
has() { grep -q -- "$2" "$1"; }
installed() { grep -q "^$1 " "$STATE/installed"; }

# --- index updates -----------------------------------------------------------
fresh 2
run apt_update
check "update is retried until it succeeds" test "$(calls 'apt-get update')" -eq 3
check "a successful retry warns of nothing" test ! -s "$STATE/err"

fresh 99
run apt_update
check "update gives up after three tries and goes on" test "$?" -eq 0 -a "$(calls 'apt-get update')" -eq 3
check "a failing update is reported with apt's error" has "$STATE/err" "Mirror sync in progress"

# --- installing --------------------------------------------------------------
fresh 99
touch "$STATE/mismatch"
run apt_ensure cmake wine32:i386
check "mismatched candidates install with the release as target" test "$?" -eq 0
check "both packages are installed" installed wine32:i386
check "the second try targets the release" has "$STATE/calls" "install .*-t bookworm .*cmake wine32:i386"
check "i386 is added before the indexes are read" \
  test "$(grep -n -m1 add-architecture "$STATE/calls" | cut -d: -f1)" -lt "$(grep -n -m1 update "$STATE/calls" | cut -d: -f1)"

fresh
echo "cmake 3.25" >"$STATE/installed"
echo i386 >"$STATE/archs"
run apt_ensure cmake
check "nothing missing runs no apt-get at all" test "$(calls apt-get)" -eq 0

fresh
echo nosuchpkg >"$STATE/unknown"
run apt_ensure cmake nosuchpkg
check "a package that cannot be had fails the set-up" test "$?" -ne 0
check "the failure names the package" has "$STATE/err" "cannot install nosuchpkg"
check "the failure gives apt's reason" has "$STATE/err" "Unable to locate package nosuchpkg"
check "the package that could be had is not blamed" test "$(grep -c 'cannot install cmake' "$STATE/err")" -eq 0

# --- qemu-user ---------------------------------------------------------------
fresh 99
touch "$STATE/backports" "$STATE/mismatch"
run install_qemu_user
check "qemu-user comes from backports despite a failing update and a mismatch" test "$?" -eq 0
check "qemu-user is installed" installed qemu-user
check "the backports source is added" has "$STATE/sources.list.d/marrowbox-backports.sources" "Suites: bookworm-backports"
check "qemu-user is taken from backports" has "$STATE/calls" "-t bookworm qemu-user/bookworm-backports"

fresh 99
run install_qemu_user
check "qemu-user missing from the indexes fails" test "$?" -ne 0
check "with apt's reason" has "$STATE/reason" "bookworm-backports' for 'qemu-user' was not found"

fresh
echo "qemu-user 9.2" >"$STATE/installed"
run install_qemu_user
check "a qemu-user 9 already installed is kept" test "$(calls apt-get)" -eq 0

# --- the x86 verdict ---------------------------------------------------------
fresh
echo "no binfmt_misc here" >"$STATE/why"
verdict() { (. "$src/scripts/i386.sh"; I386_PROBE=$1; I386_STATUS_FILE="$STATE/why"; x86_verdict); }
v=$(verdict /bin/false)
check "no x86 means failure" test "${v%%:*}" = fail
check "the failure says why" grep -q "no binfmt_misc here" <<<"$v"
v=$(MBX_SKIP_X86=1 verdict /bin/false)
check "the opt-out turns it into a skip" grep -q "^skip: skipped by request" <<<"$v"
v=$(MBX_SKIP_X86=1 verdict /bin/true)
check "the opt-out never skips an x86 half that can run" test "$v" = run

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all set-up checks passed"
