#!/usr/bin/env bash
# Runs every test on a fresh machine: installs and builds what is missing
# first, then the service's tests and the Windows tests of every flavour this
# machine can run (x64 always, x86 where it executes 32-bit code). A flavour
# this machine cannot run gets the tests that need no Wine (label "static").
# VANTORO_ARCH=x86|x64 limits the run (and the build) to one flavour.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/flavour.sh

test_flavours=() static_only=() skipped=
for arch in ${VANTORO_ARCH:-x64 x86}; do
  if [ "$arch" = x86 ] && ! why=$(scripts/can-run-x86.sh 2>&1); then
    skipped="; not x86, only its build checks: $why"
    static_only+=("$arch")
    continue
  fi
  test_flavours+=("$arch")
done
echo "testing flavours: ${test_flavours[*]:-none}${skipped}"

scripts/build.sh || exit 1

status=0
summary=()
run_ctest() {  # <name> <ctest arguments...>
  local name=$1 log rc
  shift
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  summary+=("$name: $(grep -E 'tests passed|tests failed' "$log" | tail -n1) (exit $rc)")
  rm -f "$log"
  [ "$rc" -eq 0 ] || status=1
}
run_ctest host ctest --test-dir build/host --output-on-failure
for arch in "${test_flavours[@]}"; do
  flavour_use "$arch"
  # Windows tests make windows, and Wine needs a display for that.
  run_ctest "$arch" xvfb-run -a ctest --test-dir "$flavour_build" --output-on-failure
done
for arch in "${static_only[@]}"; do
  flavour_use "$arch"
  run_ctest "$arch (build checks)" ctest --test-dir "$flavour_build" --output-on-failure -L static
done
printf '%s\n' "${summary[@]}"
echo "test.sh: exit $status"
exit $status
