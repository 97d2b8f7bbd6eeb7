#!/usr/bin/env bash
# Runs every test on a fresh machine: installs and builds what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

status=0
ctest --test-dir build/host --output-on-failure || status=1
# Windows tests make windows, and Wine needs a display for that.
xvfb-run -a ctest --test-dir build/win --output-on-failure || status=1
exit $status
