#!/usr/bin/env bash
# The test command: installs what is missing, builds every architecture and
# the installer package, and runs every test.  Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh
# The installer, from the DLLs just built: a package that cannot be built fails the run.
bash scripts/package.sh

# All Windows tests share one X server; windows need it, the rest do not mind.
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/ctest-all.sh || status=$?
exit $status
