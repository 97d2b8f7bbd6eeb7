#!/usr/bin/env bash
# Builds the release folder build/release: the three stripped programs, the
# setup program, SHA256SUMS and VERSIONS; prints each file's size against
# the goals (Vantoro.exe under 4 MiB, the setup program under 6 MiB).
# VANTORO_ARCH=x64 makes the 64-bit flavour's into build/release-x64 instead.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/flavour.sh
arch=${VANTORO_ARCH:-x86}
flavour_use "$arch"
build=$flavour_build
[ -f "$build/build.ninja" ] || VANTORO_ARCH=$arch scripts/build.sh
cmake --build "$build" --target installer

version=$(sed -n 's/^project(Vantoro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=Vantoro-Setup-$version.exe
out=build/release
[ "$arch" = x86 ] || out=build/release-$arch
rm -rf "$out"
mkdir -p "$out"
# The very files the setup program carries.
cp "$build"/installer-stage/{Vantoro.exe,dumper.exe,7za.exe} "$out/"
cp "$build/$setup" "$out/"
files=(Vantoro.exe dumper.exe 7za.exe "$setup")

# File versions from each program's version resource (VS_FIXEDFILEINFO).
python3 - "$out" "${files[@]}" >"$out/VERSIONS" <<'PY'
import struct, sys
folder, names = sys.argv[1], sys.argv[2:]
for name in names:
    data = open(f"{folder}/{name}", "rb").read()
    at = data.find(b"\xbd\x04\xef\xfe")
    if at < 0:
        print(f"{name} -")
        continue
    ms, ls = struct.unpack_from("<II", data, at + 8)
    print(f"{name} {ms >> 16}.{ms & 0xffff}.{ls >> 16}.{ls & 0xffff}")
PY
(cd "$out" && sha256sum "${files[@]}" >SHA256SUMS)

mib() { awk -v b="$1" 'BEGIN { printf "%.2f MiB", b / 1048576 }'; }
check() {  # file, limit in MiB
  local bytes
  bytes=$(stat -c %s "$out/$1")
  local verdict=""
  if [ -n "${2:-}" ]; then
    if [ "$bytes" -lt $(($2 * 1048576)) ]; then verdict="(goal < $2 MiB: met)"; else verdict="(goal < $2 MiB: MISSED)"; fi
  fi
  printf '%-28s %10d bytes  %s %s\n' "$1" "$bytes" "$(mib "$bytes")" "$verdict"
}
echo "release $version ($arch) in $out:"
check Vantoro.exe 4
check dumper.exe
check 7za.exe
check "$setup" 6
check SHA256SUMS
check VERSIONS
cat "$out/VERSIONS"
