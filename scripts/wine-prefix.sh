#!/usr/bin/env bash
# Creates the project's 32-bit Wine prefix once (never the user's ~/.wine).
set -euo pipefail
export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all
stamp=$WINEPREFIX/.vantoro-prefix-ready
[ -f "$stamp" ] && exit 0

echo "creating Wine prefix $WINEPREFIX" >&2
rm -rf "$WINEPREFIX"
# No Mono/Gecko: their installers would ask to download.
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >/dev/null 2>&1
# A crashing test must end, not wait on winedbg's dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The layouts ask for 微软雅黑; let Chinese text fall back to the installed CJK font.
for face in '微软雅黑' 'Microsoft YaHei' 'SimSun' '宋体'; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
done
wineserver -w
touch "$stamp"
