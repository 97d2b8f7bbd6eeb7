#!/usr/bin/env bash
# Prints the request queue's benchmark figures (see README). SIZE_MB overrides the file size,
# ROUNDS the number of alternating rounds (at least 3, default 5).
# VANTORO_ARCH=x86|x64 picks the flavour (default x86 where 32-bit code runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh
arch=$(flavour_default)
VANTORO_ARCH=$arch scripts/build.sh >/dev/null
flavour_use "$arch"

size_mb=${SIZE_MB:-512}
work=$root/build/bench
bin=$root/build/host/vantoro-service
mkdir -p "$work/data/files" "$work/out"
file=bench-${size_mb}m.bin
[ -f "$work/data/files/$file" ] || "$bin" --generate-file "$work/data/files/$file" --size $((size_mb << 20))

rm -f "$work/port"
"$bin" --port 0 --data "$work/data" --port-file "$work/port" </dev/null >"$work/service.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done

deps=$(scripts/build-deps.sh "$arch" | tail -n1)
echo "flavour: $arch"
xvfb-run -a wine "$flavour_build/tests/QueueBench.exe" "http://127.0.0.1:$(cat "$work/port")" "$file" \
  "Z:${deps//\//\\}\\bin\\curl.exe" "Z:${work//\//\\}\\out" "${ROUNDS:-5}"
