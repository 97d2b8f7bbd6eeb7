#!/usr/bin/env bash
# Writes the notices of everything the shipped programs are built from into
# one text file (UTF-8 with BOM, CRLF, as Notepad on Windows 7 reads it):
#   scripts/gather-notices.sh <deps prefix> <x86|x64> <output file>
# The libraries' copyright files come from the very Debian source packages
# scripts/build-deps.sh built them from (the versions in <deps prefix>/VERSIONS,
# fetched with apt-get source, kept in a cache beside the deps); the MinGW-w64
# runtime, GCC's runtime and the linked zlib from the copyright files of the
# installed cross toolchain packages.
set -euo pipefail
deps=$1 arch=$2 out=$3
case $arch in
  x86) pkg_arch=i686 ;;
  x64) pkg_arch=x86-64 ;;
  *) echo "gather-notices: unknown architecture '$arch'" >&2; exit 2 ;;
esac
cache=${VANTORO_DEPS_CACHE:-/var/cache/vantoro}/notices
die() { echo "gather-notices: error: $*" >&2; exit 1; }
[ -f "$deps/VERSIONS" ] || die "$deps/VERSIONS missing (run scripts/build-deps.sh)"

version_of() {  # source package name -> version built
  local v
  v=$(awk -v p="$1" '$1 == p { print $2 }' "$deps/VERSIONS")
  [ -n "$v" ] || die "$deps/VERSIONS names no version of $1"
  echo "$v"
}

# Debian's copyright file and the upstream licence files of one source
# package version, fetched once into the cache.
fetch_source_notices() {  # package version upstream-file...
  local pkg=$1 ver=$2; shift 2
  local dir="$cache/${pkg}_${ver//:/_}"
  [ -f "$dir/.complete" ] && { echo "$dir"; return; }
  local work
  work=$(mktemp -d "$cache/work.XXXXXX")
  chmod 755 "$work"  # apt downloads as _apt
  if ! (cd "$work" && apt-get source -qq --download-only "$pkg=$ver" >"$work/apt.log" 2>&1); then
    cat "$work/apt.log" >&2; rm -rf "$work"; die "cannot fetch source $pkg=$ver"
  fi
  local debian orig top name
  debian=$(ls "$work"/*.debian.tar.* 2>/dev/null | head -n1)
  orig=$(ls "$work"/*.orig.tar.* 2>/dev/null | head -n1)
  [ -n "$debian" ] && [ -n "$orig" ] || { rm -rf "$work"; die "$pkg=$ver: not a quilt source package"; }
  rm -rf "$dir"; mkdir -p "$dir"
  tar -xf "$debian" -C "$dir" debian/copyright
  top=$(tar -tf "$orig" | head -n1 | cut -d/ -f1)
  for name in "$@"; do
    tar -xf "$orig" -C "$dir" --strip-components=1 "$top/$name" || { rm -rf "$work"; die "$pkg: no $name upstream"; }
  done
  rm -rf "$work"
  touch "$dir/.complete"
  echo "$dir"
}

section() {  # title, then the files whose text follows
  local title=$1 f; shift
  printf '\n%s\n%s\n' "$(printf '=%.0s' {1..78})" "$title"
  printf '%s\n' "$(printf '=%.0s' {1..78})"
  for f in "$@"; do
    printf '\n--- %s ---\n\n' "${f#"$cache"/}"
    cat "$f"
  done
}

mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9

v_curl=$(version_of curl) v_json=$(version_of libjsoncpp) v_pugi=$(version_of pugixml)
v_zlib=$(version_of zlib) v_7zip=$(version_of 7zip)
d_curl=$(fetch_source_notices curl "$v_curl" COPYING)
d_json=$(fetch_source_notices libjsoncpp "$v_json" LICENSE)
d_pugi=$(fetch_source_notices pugixml "$v_pugi" LICENSE.md)
d_zlib=$(fetch_source_notices zlib "$v_zlib")
d_7zip=$(fetch_source_notices 7zip "$v_7zip" DOC/License.txt DOC/copying.txt)
doc=/usr/share/doc
for f in "$doc/mingw-w64-$pkg_arch-dev/copyright" "$doc/gcc-mingw-w64-$pkg_arch-posix-runtime/copyright" \
         "$doc/libz-mingw-w64-dev/copyright"; do
  [ -f "$f" ] || die "$f missing (scripts/install-packages.sh installs it)"
done
dsc_url() {  # package version: where Debian keeps that source
  local pkg=$1 ver=${2#*:}
  local pool=${pkg:0:1}
  [[ $pkg == lib* ]] && pool=${pkg:0:4}
  echo "https://deb.debian.org/debian/pool/main/$pool/$pkg/${pkg}_$ver.dsc"
}
toolchain_versions=$(dpkg-query -W -f='${Package} ${Version}\n' mingw-w64-$pkg_arch-dev \
  gcc-mingw-w64-$pkg_arch-posix-runtime libz-mingw-w64-dev)

tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
{
  cat <<EOF
Vantoro: third-party notices
============================

Vantoro.exe and dumper.exe are linked statically with:
  libcurl        Debian source package curl $v_curl
  jsoncpp        Debian source package libjsoncpp $v_json
  pugixml        Debian source package pugixml $v_pugi
  minizip        Debian source package zlib $v_zlib (contrib/minizip)
  zlib           Debian package libz-mingw-w64-dev
  the MinGW-w64 runtime and winpthreads, GCC's libstdc++ and libgcc
                 (under the GCC Runtime Library Exception), from the
                 Debian cross toolchain:
$(sed 's/^/                   /' <<<"$toolchain_versions")

7za.exe is 7-Zip's standalone console program, licensed under the GNU LGPL
2.1 or later (the full text follows), built without changes of ours from the
Debian source package 7zip $v_7zip, which anyone can obtain from:
  $(dsc_url 7zip "$v_7zip")
  (older versions: https://snapshot.debian.org/package/7zip/)
and 7-Zip's own source from https://www.7-zip.org/. The library sources
above are likewise in the Debian archive at:
  $(dsc_url curl "$v_curl")
  $(dsc_url libjsoncpp "$v_json")
  $(dsc_url pugixml "$v_pugi")
  $(dsc_url zlib "$v_zlib")
EOF
  section "7-Zip (7za.exe)" "$d_7zip/DOC/License.txt" "$d_7zip/debian/copyright" "$d_7zip/DOC/copying.txt"
  section "libcurl" "$d_curl/COPYING" "$d_curl/debian/copyright"
  section "jsoncpp" "$d_json/LICENSE" "$d_json/debian/copyright"
  section "pugixml" "$d_pugi/LICENSE.md" "$d_pugi/debian/copyright"
  section "zlib and minizip" "$d_zlib/debian/copyright" "$doc/libz-mingw-w64-dev/copyright"
  section "MinGW-w64 runtime and winpthreads" "$doc/mingw-w64-$pkg_arch-dev/copyright"
  section "GCC runtime (libstdc++, libgcc)" "$doc/gcc-mingw-w64-$pkg_arch-posix-runtime/copyright"
} >"$tmp"
mkdir -p "$(dirname "$out")"
{ printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$tmp"; } >"$out"
