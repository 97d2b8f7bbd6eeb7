#!/usr/bin/env bash
# Renders a layout the way a user sees it and writes a PNG:
#   scripts/screenshot.sh <layout.xml> <out.png>
#   scripts/screenshot.sh <folder> <out-folder>    (every Window layout in it)
#   scripts/screenshot.sh --message <0|1> <out.png> (the message box: 0 OK and Cancel, 1 OK only)
# Images resolve as in the programs' archives: resources/common, then
# resources/fixer and resources/dumper, then the layout's own folder.
# Runs under Wine with Xvfb; needs the build (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTORO_BUILD:-$root/build/win}
tool=$build/tests/ui/ui_screenshot.exe
[ $# -eq 2 ] || { [ $# -eq 3 ] && [ "$1" = --message ]; } ||
  { echo "usage: $0 <layout.xml|folder> <out.png|out-folder> | --message <0|1> <out.png>" >&2; exit 2; }
[ -f "$tool" ] || cmake --build "$build" --target ui_screenshot >&2
# Windows need a display: without one, run again inside Xvfb.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

export WINEPREFIX=${WINEPREFIX:-$build/wineprefix} WINEARCH=win32 WINEDEBUG=-all
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
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

if [ "$1" = --message ]; then
  message "$2" "$3"
else
  run "$1" "$2"
fi
