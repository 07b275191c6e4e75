#!/usr/bin/env bash
# The test command: installs what is missing, builds every architecture and
# the installer package, and runs every test.  Exits non-zero on any failure,
# and when the x86 half did not run (unless MBX_SKIP_X86=1, see README).
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
bash scripts/setup.sh
packages=$((SECONDS - start))

start=$SECONDS
bash scripts/build.sh
# The installer, from the DLLs just built: a package that cannot be built fails the run.
bash scripts/package.sh
build=$((SECONDS - start))

# All Windows tests share one X server; windows need it, the rest do not mind.
start=$SECONDS
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/ctest-all.sh || status=$?
echo "phases: packages $packages s, build $build s, tests $((SECONDS - start)) s"
exit $status
