#!/usr/bin/env bash
# Installing Debian packages so that a mirror caught mid-sync does not end
# the run.  Sourced by setup.sh and i386.sh, run as root.  Every apt and dpkg
# command is looked up on PATH, so tests put stubs in front of them.
#
# What goes wrong, and what is done about it:
# - `apt-get update` fails when one index does not match its Release file.
#   It is tried a few times; if it still fails, the run goes on with the
#   indexes it has, and the install below decides whether that is enough.
# - With the i386 index of the security suite missing, an amd64 library's
#   candidate comes from the security suite and its i386 twin's from the
#   release; Multi-Arch: same packages must match, so apt gives up ("held
#   broken packages").  The install is then tried again with the release as
#   the target, which gives both architectures the release's version.
# - Only when that fails too does the run fail, naming each package that
#   cannot be had and apt's reason.

APT_TRIES=${MBX_APT_TRIES:-3}
APT_PAUSE=${MBX_APT_PAUSE:-5}
APT_SOURCES_DIR=${MBX_APT_SOURCES_DIR:-/etc/apt/sources.list.d}
# The last failure's reason, one line, for callers that record it.
APT_REASON=""

export DEBIAN_FRONTEND=noninteractive

apt_codename() { (. "${MBX_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}"); }

# apt's own explanation out of its output: the error lines and the unmet
# dependencies listed before them.
apt_errors() {
  awk '/^E:/ { print; next }
       /unmet dependencies:/ { deps = 1; next }
       deps && /^ / { sub(/^ +/, ""); print; next }
       { deps = 0 }'
}

# Refreshes the indexes, retrying a failed update.  Never fails: a partly
# refreshed index may still hold everything needed.
apt_update() {
  local try out=""
  for ((try = 1; try <= APT_TRIES; try++)); do
    out=$(apt-get update -q 2>&1) && return 0
    [ "$try" -eq "$APT_TRIES" ] || sleep "$APT_PAUSE"
  done
  echo "setup: apt-get update failed $APT_TRIES times; going on with the indexes it has:" >&2
  apt_errors <<<"$out" | sed 's/^/setup:   /' >&2
  return 0
}

# Names each package of the list that apt cannot install, with its reason;
# when each could be installed alone, gives the reason of the whole attempt.
apt_explain() {
  local release=$1 whole=$2; shift 2
  local pkg out why named=0 target=()
  [ -z "$release" ] || target=(-t "$release")
  for pkg in "$@"; do
    out=$(apt-get install -s -q --no-install-recommends "${target[@]}" "$pkg" 2>&1) && continue
    why=$(apt_errors <<<"$out")
    echo "setup: cannot install $pkg:" >&2
    sed 's/^/setup:   /' <<<"${why:-$out}" >&2
    [ "$named" -eq 1 ] || APT_REASON="$pkg: $(head -n1 <<<"${why:-$out}")"
    named=1
  done
  if [ "$named" -eq 0 ]; then
    why=$(apt_errors <<<"$whole")
    echo "setup: cannot install $*:" >&2
    sed 's/^/setup:   /' <<<"${why:-$whole}" >&2
    APT_REASON=$(head -n1 <<<"${why:-$whole}")
  fi
}

# apt_install RELEASE PACKAGE...: installs the packages with their usual
# candidates, else with RELEASE as the target release (empty: no second try).
apt_install() {
  local release=$1; shift
  local out
  APT_REASON=""
  out=$(apt-get install -y -q --no-install-recommends "$@" 2>&1) && return 0
  if [ -n "$release" ]; then
    echo "setup: the packages' candidates do not fit together; installing with $release as the target release" >&2
    out=$(apt-get install -y -q --no-install-recommends -t "$release" "$@" 2>&1) && return 0
  fi
  apt_explain "$release" "$out" "$@"
  return 1
}

apt_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# Installs whichever of the packages are missing (names with :i386 bring in
# that architecture first).  Fails only when one cannot be had.
apt_ensure() {
  local missing=() pkg
  for pkg in "$@"; do
    apt_installed "$pkg" || missing+=("$pkg")
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt_update
  apt_install "$(apt_codename)" "${missing[@]}"
}

# Makes SUITE (say bookworm-backports) a package source, unless one is; the
# caller updates the indexes.
apt_add_suite() {
  local suite=$1
  grep -rqs -- "$suite" /etc/apt/sources.list "$APT_SOURCES_DIR" && return 0
  mkdir -p "$APT_SOURCES_DIR"
  cat >"$APT_SOURCES_DIR/marrowbox-${suite##*-}.sources" <<EOF
Types: deb
URIs: http://deb.debian.org/debian
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}
