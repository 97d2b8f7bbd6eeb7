#!/usr/bin/env bash
# Builds the release folders from the committed tree:
#   build/release      the 32-bit flavour (the product)
#   build/release-x64  the 64-bit flavour
# each with the three stripped programs, the setup program, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt, VERSIONS, COMMIT and SHA256SUMS (every file of the
# folder, subfolders too). VANTORO_ARCH=x86 or x64 makes one flavour only.
#
#   scripts/release.sh [--allow-dirty] [--skip-tests] [--check-reproducible]
#
# --allow-dirty         build although the tree has uncommitted changes (COMMIT says so)
# --skip-tests          leave out scripts/test.sh for the flavours (about 15 min)
# --check-reproducible  build each flavour a second time in a tree of its own,
#                       without ccache, and fail unless every file is the same
#
# Signing: with VANTORO_SIGN_CERT and VANTORO_SIGN_KEY (PEM files; see
# scripts/sign.sh) the programs, the setup program and its uninstaller are
# signed, with SOURCE_DATE_EPOCH (the commit's time) as signing time, and
# checked against VANTORO_SIGN_CA (default: the system's authorities).
# Without them the release is built unsigned and says so.
# Fails when a size goal is missed (Vantoro.exe under 4 MiB, the setup
# program under 6 MiB) or a step fails.
# The programs are built in a tree of their own (build/ship-x86, build/ship-x64)
# without VANTORO_ENV_OVERRIDES: shipped programs run as administrator and must
# not take their addresses from an environment any user process can set; the
# test builds of scripts/build.sh do.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/flavour.sh

allow_dirty= skip_tests= check_reproducible=
for option in "$@"; do
  case $option in
    --allow-dirty) allow_dirty=1 ;;
    --skip-tests) skip_tests=1 ;;
    --check-reproducible) check_reproducible=1 ;;
    *) echo "release: unknown option $option (--allow-dirty, --skip-tests, --check-reproducible)" >&2; exit 2 ;;
  esac
done
flavours=(${VANTORO_ARCH:-x86 x64})
for arch in "${flavours[@]}"; do flavour_use "$arch"; done

# Untracked files count: the layout archives take every file of their folders.
dirty=$(git status --porcelain)
if [ -n "$dirty" ]; then
  if [ -z "$allow_dirty" ]; then
    echo "release: the tree has uncommitted changes; commit them or pass --allow-dirty:" >&2
    echo "$dirty" | head -n 20 >&2
    exit 1
  fi
  echo "release: WARNING: building with uncommitted changes (--allow-dirty)" >&2
fi
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct HEAD)
export TZ=UTC LC_ALL=C

signed=
if [ -n "${VANTORO_SIGN_CERT:-}" ] && [ -n "${VANTORO_SIGN_KEY:-}" ]; then
  signed=1
elif [ -n "${VANTORO_SIGN_CERT:-}${VANTORO_SIGN_KEY:-}" ]; then
  echo "release: VANTORO_SIGN_CERT and VANTORO_SIGN_KEY go together" >&2
  exit 2
fi

scripts/install-packages.sh
if [ -z "$skip_tests" ]; then
  VANTORO_ARCH="${flavours[*]}" scripts/test.sh || { echo "release: the tests failed; no release" >&2; exit 1; }
fi

version=$(sed -n 's/^project(Vantoro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=Vantoro-Setup-$version.exe
shipped=(Vantoro.exe dumper.exe 7za.exe LICENSE.txt THIRD-PARTY-NOTICES.txt)
programs=(Vantoro.exe dumper.exe 7za.exe "$setup")

# Builds one flavour in <build tree> and fills <release folder> from it.
build_release() {  # arch build out
  local arch=$1 build=$2 out=$3 deps
  flavour_use "$arch"
  deps=$(scripts/build-deps.sh "$arch" | tail -n1)
  local launcher=()
  if command -v ccache >/dev/null && [ -z "${CCACHE_DISABLE:-}" ]; then
    # No base folder: with one, ccache hands the compiler relative paths, which
    # land in the debug information (and the build id) as ../../core/…, where
    # the file prefix maps give ./core/… to a build without ccache.
    export CCACHE_BASEDIR=
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$flavour_toolchain" \
    -DVANTORO_DEPS="$deps" \
    -DVANTORO_ENV_OVERRIDES=OFF \
    -DBUILD_TESTING=OFF "${launcher[@]}" >/dev/null
  # Staged and packed afresh: whether it is signed is not a file ninja sees.
  rm -rf "$build/installer-stage" "$build/$setup"
  cmake --build "$build" --target installer

  rm -rf "$out"
  mkdir -p "$out"
  local name
  for name in "${shipped[@]}"; do cp "$build/installer-stage/$name" "$out/"; done
  cp "$build/$setup" "$out/"
  # Their debug information by module and build id, which the service's support
  # pages resolve shipped traces from.
  scripts/symbol-store.sh "$out/symbols" "$build/Vantoro.exe" "$build/dumper.exe" >/dev/null
  versions "$out" >"$out/VERSIONS"
  {
    echo "commit $commit"
    [ -z "$dirty" ] || echo "uncommitted changes: yes"
    echo "SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH"
    echo "flavour $arch"
    if [ -n "$signed" ]; then echo "signed: yes"; else echo "signed: no"; fi
    echo "deps $(basename "$deps")"
  } >"$out/COMMIT"
}

# File versions from each program's version resource (VS_FIXEDFILEINFO).
versions() {  # folder
  python3 - "$1" "${programs[@]}" <<'PY'
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
}

# Written last, over every file of the folder.
write_sums() {  # folder
  (cd "$1" && find . -type f ! -path ./SHA256SUMS -printf '%P\n' | sort | xargs -d '\n' sha256sum >SHA256SUMS)
}

verify_signatures() {  # folder
  local name ca=${VANTORO_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}
  for name in "${programs[@]}"; do
    if ! osslsigncode verify -CAfile "$ca" -in "$1/$name" >/dev/null 2>&1; then
      echo "release: $1/$name: signature does not verify against $ca" >&2
      return 1
    fi
  done
}

mib() { awk -v b="$1" 'BEGIN { printf "%.2f MiB", b / 1048576 }'; }
missed=0
check() {  # folder, file, limit in MiB
  local bytes verdict=""
  bytes=$(stat -c %s "$1/$2")
  if [ -n "${3:-}" ]; then
    if [ "$bytes" -lt $(($3 * 1048576)) ]; then
      verdict="(goal < $3 MiB: met)"
    else
      verdict="(goal < $3 MiB: MISSED)"
      missed=1
    fi
  fi
  printf '%-28s %10d bytes  %s %s\n' "$2" "$bytes" "$(mib "$bytes")" "$verdict"
}

status=0
for arch in "${flavours[@]}"; do
  out=build/release
  [ "$arch" = x86 ] || out=build/release-$arch
  build_release "$arch" "$root/build/ship-$arch" "$out"
  # (further contents of the folder go here, before the sums)
  write_sums "$out"

  echo "release $version ($arch) in $out, commit $commit:"
  while read -r name; do
    case $name in
      Vantoro.exe) check "$out" "$name" 4 ;;
      "$setup") check "$out" "$name" 6 ;;
      *) check "$out" "$name" ;;
    esac
  done < <(cd "$out" && find . -type f -printf '%P\n' | sort)
  cat "$out/VERSIONS"
  if [ -n "$signed" ]; then
    verify_signatures "$out" && echo "signed: the programs and the setup program verify" || status=1
  else
    echo "UNSIGNED: no VANTORO_SIGN_CERT and VANTORO_SIGN_KEY in the environment; this release is not signed"
  fi

  if [ -n "$check_reproducible" ]; then
    again=$root/build/release-again-$arch
    rm -rf "$root/build/ship-again-$arch"
    CCACHE_DISABLE=1 build_release "$arch" "$root/build/ship-again-$arch" "$again"
    write_sums "$again"
    echo "second build (build/ship-again-$arch, no ccache):"
    cat "$again/SHA256SUMS"
    if cmp -s "$out/SHA256SUMS" "$again/SHA256SUMS"; then
      echo "reproducible: both builds of $arch are byte for byte the same"
    else
      echo "NOT REPRODUCIBLE: the two builds of $arch differ:" >&2
      diff "$out/SHA256SUMS" "$again/SHA256SUMS" >&2 || true
      status=1
    fi
  fi
done
if [ "$missed" -ne 0 ]; then
  echo "release: a size goal was MISSED" >&2
  status=1
fi
[ -z "$skip_tests" ] || echo "release: tests skipped (--skip-tests)"
exit $status
