#!/usr/bin/env bash
# Creates the project's 32-bit Wine prefix once (never the user's ~/.wine) and
# keeps its settings current.
set -euo pipefail
export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all
settings_version=2
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
wineserver -w
echo "$settings_version" >"$stamp"
