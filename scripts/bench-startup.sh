#!/usr/bin/env bash
# Prints Vantoro.exe's start-up figures (see README) for each flavour this
# machine runs (x86 where 32-bit code runs, and x64), one after the other in
# one run: start to the landing page painted with the configuration received
# over STARTS starts (default 20) on a warm Wine, beside a plain window's
# starts taken in turn with them; the program's own marks along the way (a
# test build's start-up trace, run stripped as it ships); its size; its
# working set once idle and its peak. Uses $DISPLAY when there is one, else Xvfb. VANTORO_ARCH=x86|x64
# measures only that flavour.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine's processes must share one display: without one, all of it runs in Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
root=$PWD
. scripts/flavour.sh
if [ -n "${VANTORO_ARCH:-}" ]; then
  arches=("$VANTORO_ARCH")
elif scripts/can-run-x86.sh 2>/dev/null; then
  arches=(x86 x64)
else
  arches=(x64)
fi
[ -x build/host/vantoro-service ] || cmake --build build/host --target vantoro-service >/dev/null

work=$root/build/bench-startup
rm -rf "$work"
mkdir -p "$work/data"
build/host/vantoro-service --port 0 --data "$work/data" --port-file "$work/port" </dev/null >"$work/service.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the reference service did not start" >&2; exit 1; }
url=http://127.0.0.1:$(cat "$work/port")
export VANTORO_SERVICE_URL=$url VANTORO_FALLBACK_URL=$url/fallback/config.json VANTORO_STARTUP_TRACE=1

for arch in "${arches[@]}"; do
  flavour_use "$arch"
  build=$flavour_build
  [ -f "$build/build.ninja" ] || VANTORO_ARCH=$arch scripts/build.sh >/dev/null
  cmake --build "$build" --target Vantoro StartupBench >/dev/null
  # A stripped copy of its own, as it ships (Wine reads an image's debug
  # sections into memory, 30 MiB of the working set), and so that its
  # config.json stays out of the build folder.
  mkdir -p "$work/$arch"
  "$flavour_triple-strip" -o "$work/$arch/Vantoro.exe" "$build/Vantoro.exe"
  size=$(stat -c %s "$work/$arch/Vantoro.exe")
  # Warm Wine: one server for every start; it ends 5 s after the last.
  wineserver -p5 2>/dev/null || true
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1
  echo "== flavour: $arch"
  awk -v s="$size" 'BEGIN { printf "Vantoro.exe stripped: %d bytes (%.2f MiB; goal under 4 MiB)\n", s, s / 1048576 }'
  echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
  wine "$build/tests/StartupBench.exe" "Z:${work//\//\\}\\$arch\\Vantoro.exe" "${STARTS:-20}" || status=$?
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
  wineserver -w  # Wine's own processes end before the display does
done
exit "${status:-0}"
