#!/usr/bin/env bash
# Whether this machine executes i386 programs, and making it do so where the
# kernel has 32-bit emulation switched off: Wine's 32-bit loader then runs
# through qemu-user, registered with binfmt_misc.  Sourced by setup.sh (which
# enables) and ctest-all.sh (which asks).
#
# Only qemu 9 or newer will do: 7.x takes about a minute to start each Wine
# process (it ignores MAP_FIXED_NOREPLACE, so Wine's address-space reservation
# degenerates into ~130,000 mmap calls) and crashes multithreaded programs.

I386_PROBE=/usr/lib/wine/wine
I386_ENTRY=marrowbox-i386
I386_STATUS_FILE=build/i386-status
BINFMT=/proc/sys/fs/binfmt_misc
. "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

i386_runs() { "$I386_PROBE" --version >/dev/null 2>&1; }

# Why the x86 tests cannot run here, as setup found it.
i386_reason() {
  if [ -s "$I386_STATUS_FILE" ]; then cat "$I386_STATUS_FILE"
  else echo "this machine cannot execute 32-bit programs"; fi
}

# What the test command does with the x86 half: "run", "skip: WHY" (only on
# the user's explicit MBX_SKIP_X86=1) or "fail: WHY".  A run whose x86 half
# did not run is not a pass.
x86_verdict() {
  if i386_runs; then
    echo run
  elif [ "${MBX_SKIP_X86:-}" = 1 ]; then
    echo "skip: skipped by request (MBX_SKIP_X86=1; $(i386_reason))"
  else
    echo "fail: not run: $(i386_reason); set MBX_SKIP_X86=1 only where 32-bit programs cannot run at all"
  fi
}

# The qemu-user major version the package manager would install now.
qemu_candidate_major() {
  apt-cache policy qemu-user 2>/dev/null | sed -nE 's/^ *Candidate: ([0-9]+:)?([0-9]+).*/\2/p'
}

# Installs a qemu-user that starts Wine quickly, from the release's backports
# when the release itself is too old.  Returns non-zero if none is to be had,
# with apt's reason in APT_REASON.
install_qemu_user() {
  local have
  have=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null | sed -E 's/^([0-9]+:)?([0-9]+).*/\2/')
  [ -n "$have" ] && [ "$have" -ge 9 ] && return 0
  local codename major
  codename=$(apt_codename)
  major=$(qemu_candidate_major)
  if [ -z "$major" ] || [ "$major" -lt 9 ]; then
    [ -n "$codename" ] || { APT_REASON="the release has no code name"; return 1; }
    apt_add_suite "$codename-backports"
    apt_update
    # Backports are pinned low: only qemu-user itself (and what it cannot do
    # without) comes from there.
    apt_install "$codename" "qemu-user/$codename-backports"
  else
    apt_install "$codename" qemu-user
  fi
}

# As root: makes i386 programs run, if they do not already.  Leaves every
# existing binfmt_misc entry as it is.  Records the reason when it cannot.
enable_i386() {
  mkdir -p "$(dirname "$I386_STATUS_FILE")"
  rm -f "$I386_STATUS_FILE"
  i386_runs && return 0
  local why=""
  if [ ! -e "$BINFMT/register" ] && ! mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null; then
    why="this machine cannot execute 32-bit programs and has no binfmt_misc"
  elif ! install_qemu_user; then
    why="this machine cannot execute 32-bit programs and qemu-user 9 or newer could not be installed (${APT_REASON:-no reason given})"
  elif [ ! -e "$BINFMT/$I386_ENTRY" ] &&
       ! printf '%s' ":$I386_ENTRY:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:/usr/bin/qemu-i386:F" \
            >"$BINFMT/register" 2>/dev/null; then
    why="this machine cannot execute 32-bit programs and refused the binfmt_misc entry for qemu-user"
  elif ! i386_runs; then
    why="this machine cannot execute 32-bit programs, even through qemu-user"
  fi
  if [ -n "$why" ]; then
    echo "$why" >"$I386_STATUS_FILE"
    echo "setup: x86 tests will not run: $why" >&2
  else
    echo "setup: 32-bit programs run through $(/usr/bin/qemu-i386 --version | head -n1)"
  fi
  return 0
}
