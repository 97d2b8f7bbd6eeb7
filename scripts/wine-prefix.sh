#!/usr/bin/env bash
# Creates one of the project's Wine prefixes once (never the user's ~/.wine)
# and keeps its settings current:
#   [WINEARCH=win32|win64] scripts/wine-prefix.sh <prefix> [dpi]
# WINEARCH (default win32) matters only when the prefix is made.
# With a dpi (144 is 150 %, 192 is 200 %) the prefix's display is scaled, as
# Windows' display setting does it; such a prefix is for the scaled tests and
# screenshots only, since the whole prefix sees that scale.
set -euo pipefail
export WINEPREFIX=$1 WINEARCH=${WINEARCH:-win32} WINEDEBUG=-all
dpi=${2:-96}
settings_version="2 dpi=$dpi"
stamp=$WINEPREFIX/.vantoro-prefix-ready
[ "$(cat "$stamp" 2>/dev/null)" = "$settings_version" ] && exit 0

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"
  # No Mono/Gecko: their installers would ask to download.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
fi

reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
# A crashing test must end, not wait on winedbg's dialog.
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# Without a window manager Wine waits 2 s for every window it hides; our
# windows draw and drag their own caption, so they need no manager.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
# The layouts ask for 微软雅黑; let Chinese text fall back to the installed CJK font.
for face in '微软雅黑' 'Microsoft YaHei' 'SimSun' '宋体'; do
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei'
done
# Read when a process starts; a running server keeps the old value for its processes.
reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
wineserver -w
echo "$settings_version" >"$stamp"
