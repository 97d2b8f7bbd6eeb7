#!/usr/bin/env bash
# Prints how long a crash takes to be reported (see README): from the fault to
# message 1125 and to the archive on disk, for a process holding 50 MiB and for
# a stack overflow, median of ROUNDS (default 5), and the 50 MiB case again
# with the program stripped as the setup ships it. Goals: the archive under 2 s
# for 50 MiB, under 3 s for the stack overflow. Each case's split says where
# Dumper's time goes (from the marks of a test build's trace): hand-off,
# symbol init, walk + lookups, minidump, 7-Zip, ending the process. The load
# average is printed before and after: the figures move with it.
# VANTORO_ARCH=x86|x64 picks the flavour (default x86 where 32-bit code runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh
arch=$(flavour_default)
flavour_use "$arch"
build=$flavour_build
[ -f "$build/build.ninja" ] || VANTORO_ARCH=$arch scripts/build.sh >/dev/null
cmake --build "$build" --target CrashBench dumper >/dev/null
echo "flavour: $arch; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
work=$root/build/bench-crash
rm -rf "$work"
mkdir -p "$work"
winpath() { echo "Z:${1//\//\\}"; }
xvfb-run -a wine "$build/tests/CrashBench.exe" "$(winpath "$build/tests/crash")" "$(winpath "$build/7za.exe")" \
  "$(winpath "$work")" "${ROUNDS:-5}"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
