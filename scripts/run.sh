#!/usr/bin/env bash
# Starts the reference service on the program's default address and runs
# Vantoro.exe under Wine; stops the service when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/build.sh

port=18080
data=$root/build/run
mkdir -p "$data"
if curl -sf "http://127.0.0.1:$port/helper/ping" >/dev/null 2>&1; then
  echo "a service already answers on 127.0.0.1:$port; using it"
else
  build/host/vantoro-service --port $port --data "$data" </dev/null >"$data/service.log" 2>&1 &
  service=$!
  trap 'kill $service 2>/dev/null || true' EXIT
  for _ in $(seq 50); do curl -sf "http://127.0.0.1:$port/helper/ping" >/dev/null 2>&1 && break; sleep 0.1; done
  cat <<MSG
reference service on http://127.0.0.1:$port (log: $data/service.log)
  /helper/ping, /helper/config?name=quorvex, /helper/solution?name=quorvex&versionid=..&pluginid=..
  /files/<name> (downloads in $data/files), /fallback/config.json, /kefu?c1=..&c5=..
  POST /api/fixer/client/dump (uploads in $data/uploads)
MSG
fi

export WINEPREFIX=$root/build/win/wineprefix WINEARCH=win32 WINEDEBUG=-all
echo "starting Vantoro.exe under Wine"
if [ -n "${DISPLAY:-}" ]; then
  wine build/win/Vantoro.exe
else
  echo "no DISPLAY: running on a virtual display (Xvfb)"
  xvfb-run -a wine build/win/Vantoro.exe
fi
