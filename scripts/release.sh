#!/usr/bin/env bash
# Builds the release folder build/release: the three stripped programs, the
# setup program, SHA256SUMS and VERSIONS; prints each file's size against
# the goals (Vantoro.exe under 4 MiB, the setup program under 6 MiB).
# VANTORO_ARCH=x64 makes the 64-bit flavour's into build/release-x64 instead.
# The programs are built in a tree of their own (build/ship-x86, build/ship-x64)
# without VANTORO_ENV_OVERRIDES: shipped programs run as administrator and must
# not take their addresses from an environment any user process can set; the
# test builds of scripts/build.sh do.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh
arch=${VANTORO_ARCH:-x86}
flavour_use "$arch"
build=$root/build/ship-$arch

scripts/install-packages.sh
deps=$(scripts/build-deps.sh "$arch" | tail -n1)
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$flavour_toolchain" \
  -DVANTORO_DEPS="$deps" \
  -DVANTORO_ENV_OVERRIDES=OFF \
  -DBUILD_TESTING=OFF "${launcher[@]}" >/dev/null
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
# Their debug information by module and build id, which the service's support
# pages resolve shipped traces from (scripts/symbol-store.sh).
scripts/symbol-store.sh "$out/symbols" "$build/Vantoro.exe" "$build/dumper.exe" >/dev/null

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
