#!/usr/bin/env bash
# Prints how long a crash takes to be reported (see README): from the fault to
# message 1125 and to the archive on disk, for a process holding 50 MiB and for
# a stack overflow, median of ROUNDS (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/win
cmake --build "$build" --target CrashBench dumper >/dev/null
export WINEPREFIX=$build/wineprefix WINEARCH=win32 WINEDEBUG=-all
work=$root/build/bench-crash
rm -rf "$work"
mkdir -p "$work"
winpath() { echo "Z:${1//\//\\}"; }
xvfb-run -a wine "$build/tests/CrashBench.exe" "$(winpath "$build/tests/crash")" "$(winpath "$build/7za.exe")" \
  "$(winpath "$work")" "${ROUNDS:-5}"
