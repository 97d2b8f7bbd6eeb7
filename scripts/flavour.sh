# Sourced by the scripts: the two flavours of the Windows build.
#   x86  i686, build/win    the shipped programs, 32-bit Wine (win32 prefix)
#   x64  x86_64, build/win64 the same programs for machines that cannot run
#        32-bit code, 64-bit Wine (win64 prefix)
# flavour_use <x86|x64> sets flavour_build, flavour_triple, flavour_toolchain
# and exports WINEPREFIX, WINEARCH and WINEDEBUG for that flavour.
# flavour_default prints VANTORO_ARCH, else x86 where 32-bit code runs, else x64.
flavour_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

flavour_use() {
  case $1 in
    x86) flavour_build=$flavour_root/build/win flavour_triple=i686-w64-mingw32
         flavour_toolchain=$flavour_root/cmake/mingw-i686.cmake WINEARCH=win32 ;;
    x64) flavour_build=$flavour_root/build/win64 flavour_triple=x86_64-w64-mingw32
         flavour_toolchain=$flavour_root/cmake/mingw-x86_64.cmake WINEARCH=win64 ;;
    *) echo "unknown flavour '$1' (VANTORO_ARCH is x86 or x64)" >&2; return 2 ;;
  esac
  export WINEPREFIX=$flavour_build/wineprefix WINEARCH WINEDEBUG=-all
}

flavour_default() {
  if [ -n "${VANTORO_ARCH:-}" ]; then
    echo "$VANTORO_ARCH"
  elif "$flavour_root/scripts/can-run-x86.sh" 2>/dev/null; then
    echo x86
  else
    echo x64
  fi
}
