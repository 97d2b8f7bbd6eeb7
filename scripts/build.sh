#!/usr/bin/env bash
# Installs what is missing, builds the dependencies (cached), the reference
# service (native) and both programs (Windows, 32-bit), and prepares Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-packages.sh
deps=$(scripts/build-deps.sh | tail -n1)

# ccache, where a developer has it, shares objects between work trees.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$root")}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S service -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build build/host

cmake -S . -B build/win -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DVANTORO_DEPS="$deps" \
  -DVANTORO_SERVICE_BIN="$root/build/host/vantoro-service" "${launcher[@]}" >/dev/null
cmake --build build/win

scripts/wine-prefix.sh "$root/build/win/wineprefix"
