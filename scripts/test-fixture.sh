#!/usr/bin/env bash
# ctest fixtures: a persistent wineserver, and the reference service on an
# ephemeral port. Background processes get all three standard streams
# redirected, or ctest waits on them forever.
set -euo pipefail
action=$1

case $action in
wine-start)
  # WINEARCH comes from the build: win32 or win64.
  export WINEPREFIX=$2 WINEDEBUG=-all
  # A scaled prefix of its own is made (or its scale set) first.
  [ -z "${3:-}" ] || "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" "$3"
  # Fails harmlessly when a server for this prefix runs already.
  wineserver -p 2>/dev/null || true
  # A server that was just told to stop can refuse the first start; try again.
  for _ in 1 2 3; do
    wine cmd /c exit 0 </dev/null >/dev/null 2>&1 && exit 0
    sleep 1
    wineserver -p 2>/dev/null || true
  done
  exit 1
  ;;
wine-stop)
  WINEPREFIX=$2 wineserver -k 2>/dev/null || true
  ;;
service-start)
  bin=$2 dir=$3
  "$0" service-stop "$bin" "$dir"
  mkdir -p "$dir/data"
  rm -f "$dir/port" "$dir/tls-port"
  files=$dir/data/files
  "$bin" --generate-files "$files" </dev/null >/dev/null 2>&1
  "$bin" --generate-file "$files/pattern-256k.bin" --size 262144 </dev/null >/dev/null 2>&1
  "$bin" --generate-file "$files/pattern-8m.bin" --size 8388608 </dev/null >/dev/null 2>&1
  : >"$files/empty.bin"
  # https too, with a certificate from the test authority (trusted by the tests' prefixes only).
  "$(dirname "$0")/make-test-tls.sh" "$dir/tls"
  setsid "$bin" --port 0 --data "$dir/data" --port-file "$dir/port" \
    --tls-port 0 --tls-cert "$dir/tls/server.pem" --tls-key "$dir/tls/server.key" --tls-port-file "$dir/tls-port" \
    </dev/null >"$dir/service.log" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 100); do
    [ -s "$dir/port" ] && { echo "service on port $(cat "$dir/port")"; exit 0; }
    sleep 0.1
  done
  echo "service did not start:" >&2; cat "$dir/service.log" >&2; exit 1
  ;;
service-stop)
  dir=$3
  if [ -f "$dir/pid" ]; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid"
  fi
  ;;
*) echo "unknown action $action" >&2; exit 2 ;;
esac
