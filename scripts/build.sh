#!/usr/bin/env bash
# Installs what is missing, builds the dependencies (cached), the reference
# service (native) and both flavours of the programs (Windows: x86 into
# build/win, the shipped one, and x64 into build/win64), and prepares a Wine
# prefix for each flavour this machine can run. These are test builds: their
# programs take their addresses from the environment (VANTORO_ENV_OVERRIDES);
# scripts/release.sh builds the shipped programs in trees of their own.
# VANTORO_ARCH=x86|x64 builds only that flavour.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh

scripts/install-packages.sh
flavours=(${VANTORO_ARCH:-x86 x64})

# ccache, where a developer has it, shares objects between work trees.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S service -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build build/host

for arch in "${flavours[@]}"; do
  flavour_use "$arch"
  deps=$(scripts/build-deps.sh "$arch" | tail -n1)
  echo "building the $arch flavour into ${flavour_build#$root/}" >&2
  cmake -S . -B "$flavour_build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$flavour_toolchain" \
    -DVANTORO_DEPS="$deps" \
    -DVANTORO_ENV_OVERRIDES=ON \
    -DVANTORO_SERVICE_BIN="$root/build/host/vantoro-service" "${launcher[@]}" >/dev/null
  cmake --build "$flavour_build"
done

# A prefix only where its Wine can run: 32-bit Wine cannot start without 32-bit code.
for arch in "${flavours[@]}"; do
  [ "$arch" = x64 ] || scripts/can-run-x86.sh 2>/dev/null || continue
  flavour_use "$arch"
  scripts/wine-prefix.sh "$WINEPREFIX"
done
