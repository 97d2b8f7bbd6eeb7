#!/usr/bin/env bash
# Starts the reference service on the program's built-in address and runs the
# real Vantoro.exe under Wine. With $DISPLAY the program shows there; without
# one it runs on a virtual screen (Xvfb) of which a PNG is written every
# SHOT_EVERY seconds (default 5) and whenever the script gets SIGUSR1, so that
# someone on a headless machine can see the program. Ctrl+C ends both.
# VANTORO_ARCH=x86|x64 picks the flavour (default x86 where 32-bit code runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh
arch=$(flavour_default)
VANTORO_ARCH=$arch scripts/build.sh
flavour_use "$arch"

port=18080
data=$root/build/run
shot=${SHOT:-$data/screen.png}
every=${SHOT_EVERY:-5}
mkdir -p "$data"

service= xvfb= fixer= sleeper=
stop() {  # the program before its screen, the service last
  trap - EXIT INT TERM
  for pid in $sleeper $fixer $xvfb $service; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop EXIT
trap 'echo; echo "stopping"; exit 130' INT
trap 'exit 143' TERM

ping() { curl -sf "http://127.0.0.1:$port/helper/ping" >/dev/null 2>&1; }
if ping; then
  echo "a service already answers on 127.0.0.1:$port; using it"
else
  build/host/vantoro-service --generate-files "$data/files" </dev/null >/dev/null
  build/host/vantoro-service --port $port --data "$data" </dev/null >"$data/service.log" 2>&1 &
  service=$!
  for _ in $(seq 50); do ping && break; sleep 0.1; done
  ping || { echo "the reference service did not start:" >&2; cat "$data/service.log" >&2; exit 1; }
  echo "reference service on http://127.0.0.1:$port (log: $data/service.log)"
fi
cat <<MSG
  the program asks it for /helper/ping and /helper/config?name=quorvex at start,
  /helper/solution?name=quorvex&versionid=..&pluginid=.. on the solution page,
  /files/<name> for downloads (served from $data/files) and /kefu for the chat.
What you can do in Vantoro: pick one of the four features at the top, press the
repair button to run the check, open the solution, choose a version, download a
row (saved in the Wine prefix's C:\\users\\Public\\Documents\\quorvex), and open
the customer-service chat (your browser, via Wine) from the landing page.
MSG

if [ -n "${DISPLAY:-}" ]; then
  echo "starting Vantoro.exe under Wine on $DISPLAY; close its window or press Ctrl+C to end"
  wine "$flavour_build/Vantoro.exe" </dev/null &
  fixer=$!
  wait $fixer || true
  exit 0
fi

# Headless: a virtual screen of our own, and the program on it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$data/display" 2>"$data/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$data/display" ] && break; sleep 0.1; done
[ -s "$data/display" ] || { echo "Xvfb did not start:" >&2; cat "$data/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(tr -d '\n' <"$data/display")

screenshot() {  # the whole virtual screen as it shows (not xwd: see the script), replaced in one step
  python3 scripts/screen-png.py "$shot.part" 2>/dev/null && mv -f "$shot.part" "$shot"
}
trap screenshot USR1

wine "$flavour_build/Vantoro.exe" </dev/null 2>>"$data/wine.log" &
fixer=$!
cat <<MSG
no DISPLAY: Vantoro.exe runs on the virtual screen $DISPLAY
  a screenshot of it is written to $shot every $every s;
  for one now: kill -USR1 $$
  Ctrl+C ends the program and the service
MSG
while kill -0 $fixer 2>/dev/null; do
  sleep "$every" &
  sleeper=$!
  wait $sleeper 2>/dev/null || true  # a signal cuts the wait short
  kill -0 $fixer 2>/dev/null && screenshot
done
echo "Vantoro.exe ended"
