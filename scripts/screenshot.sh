#!/usr/bin/env bash
# Renders a layout the way a user sees it and writes a PNG:
#   scripts/screenshot.sh <layout.xml> <out.png>
#   scripts/screenshot.sh <folder> <out-folder>    (every Window layout in it)
#   scripts/screenshot.sh --message <0|1> <out.png> (the message box: 0 OK and Cancel, 1 OK only)
#   scripts/screenshot.sh --window <scene> <out.png> (one of Fixer's windows at a moment of its use;
#                                                     --window list names the scenes)
#   scripts/screenshot.sh --scale <125|150|200> ...  (any of the above on a display scaled so;
#                                                     its Wine prefix is made on first use)
#   scripts/screenshot.sh --high-contrast ...        (the system in high contrast, black scheme)
#   scripts/screenshot.sh --text-scale <100-225> ... (the system's "Make text bigger")
# Images resolve as in the programs' archives: resources/common, then
# resources/fixer and resources/dumper, then the layout's own folder.
# Runs under Wine with Xvfb; needs the build (scripts/build.sh).
# VANTORO_ARCH=x86|x64 picks the flavour (default x86 where 32-bit code runs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/flavour.sh"
flavour_use "$(flavour_default)"
build=${VANTORO_BUILD:-$flavour_build}
tool=$build/tests/ui/ui_screenshot.exe
window_tool=$build/tests/windows/windows_screenshot.exe
usage="usage: $0 [--scale <125|150|200>] [--high-contrast] [--text-scale <100-225>] <layout.xml|folder> <out.png|out-folder> | --message <0|1> <out.png> | --window <scene|list> <out.png>"
all_args=("$@")
scale=100 text_scale=
while :; do
  case ${1:-} in
    --scale)
      scale=${2:-}
      case $scale in 100 | 125 | 150 | 175 | 200) ;; *) echo "$usage" >&2; exit 2 ;; esac
      shift 2 ;;
    --high-contrast)
      # The tools simulate it: Wine has no high-contrast mode.
      export VANTORO_SHOT_HIGH_CONTRAST=1
      shift ;;
    --text-scale)
      text_scale=${2:-}
      [[ $text_scale =~ ^[0-9]+$ ]] && [ "$text_scale" -ge 100 ] && [ "$text_scale" -le 225 ] ||
        { echo "$usage" >&2; exit 2; }
      shift 2 ;;
    *) break ;;
  esac
done
case "$#:${1:-}:${2:-}" in
  3:--message:* | 3:--window:* | 2:--window:list) ;;
  2:--*) echo "$usage" >&2; exit 2 ;;
  2:*) ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
[ "$1" = --window ] || [ -f "$tool" ] || cmake --build "$build" --target ui_screenshot >&2
# Windows need a display: without one, run again inside Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "${all_args[@]}"
fi

export WINEPREFIX=$build/wineprefix
if [ "$scale" != 100 ]; then
  # A prefix has one scale: a scaled picture comes from a prefix of its own
  # (the one the scaled tests use).
  dpi=$((scale * 96 / 100))
  export WINEPREFIX=$build/wineprefix-dpi$dpi
  "$root"/scripts/wine-prefix.sh "$WINEPREFIX" "$dpi"
fi
stage=$(mktemp -d)
service_dir=
service_pid=
accessibility='HKCU\Software\Microsoft\Accessibility'
cleanup() {
  [ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true
  [ -z "$text_scale" ] || wine reg delete "$accessibility" /v TextScaleFactor /f >/dev/null 2>&1 || true
  rm -rf "$stage" ${service_dir:+"$service_dir"}
}
trap cleanup EXIT
if [ -n "$text_scale" ]; then
  wine reg add "$accessibility" /v TextScaleFactor /t REG_DWORD /d "$text_scale" /f >/dev/null 2>&1
fi
for dir in "$root"/resources/common "$root"/resources/fixer "$root"/resources/dumper; do
  [ -d "$dir" ] && cp -r "$dir"/. "$stage"/
done

render() {  # <layout.xml> <out.png>
  local layout=$1 out=$2
  cp -r "$(dirname "$layout")"/. "$stage"/
  mkdir -p "$(dirname "$out")"
  local out_win
  out_win=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
  wine "$tool" "Z:$stage" "$(basename "$layout")" "Z:$out_win" </dev/null
  echo "$out"
}

run() {
  if [ -d "$1" ]; then
    mkdir -p "$2"
    for layout in "$1"/*.xml; do
      grep -q '<Window' "$layout" || continue  # row templates are not windows
      render "$layout" "$2/$(basename "${layout%.xml}").png"
    done
  else
    render "$1" "$2"
  fi
}

message() {  # <type> <out.png>
  mkdir -p "$(dirname "$2")"
  local out_win
  out_win=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  cp -r "$root"/resources/fixer/. "$stage"/
  wine "$tool" --message "$1" "Z:$stage" "Z:$out_win" </dev/null
  echo "$2"
}

# The reference service on a free port, with its download files; its folder
# (with the port file) goes to the windows as VANTORO_SERVICE_DIR, as for the
# tests. Not in a subshell: cleanup needs its pid.
start_service() {
  local bin=$root/build/host/vantoro-service
  [ -x "$bin" ] || cmake --build "$root/build/host" >&2
  service_dir=$(mktemp -d)
  "$bin" --generate-files "$service_dir/data/files" </dev/null >/dev/null 2>&1
  "$bin" --port 0 --data "$service_dir/data" --port-file "$service_dir/port" \
    </dev/null >"$service_dir/service.log" 2>&1 &
  service_pid=$!
  for _ in $(seq 100); do
    [ -s "$service_dir/port" ] && { export VANTORO_SERVICE_DIR=$service_dir; return; }
    sleep 0.1
  done
  echo "the reference service did not start:" >&2; cat "$service_dir/service.log" >&2; exit 1
}

window() {  # <scene|list> [out.png]
  local scenes needs
  # Always: the windows change more often than the layouts.
  cmake --build "$build" --target windows_screenshot >&2
  scenes=$(wine "$window_tool" --list </dev/null | tr -d '\r')
  if [ "$1" = list ]; then echo "$scenes"; return; fi
  needs=$(awk -v s="$1" '$1 == s { print ($2 == "service") ? "service" : "none" }' <<<"$scenes")
  [ -n "$needs" ] || { echo "no scene $1; the scenes:" >&2; echo "$scenes" >&2; exit 2; }
  [ "$needs" = none ] || start_service
  cp -r "$root"/resources/fixer/. "$stage"/
  mkdir -p "$(dirname "$2")"
  local out_win
  out_win=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
  wine "$window_tool" "$1" "Z:$stage" "Z:$out_win" </dev/null
  echo "$2"
}

if [ "$1" = --message ]; then
  message "$2" "$3"
elif [ "$1" = --window ]; then
  window "$2" "${3:-}"
else
  run "$1" "$2"
fi
