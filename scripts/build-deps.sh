#!/usr/bin/env bash
# Builds the static third-party libraries (libcurl + curl.exe, jsoncpp, pugixml,
# zlib, minizip) and 7-Zip's standalone 7za.exe for one Windows architecture from
# Debian's source packages into a cache outside the work tree:
#   scripts/build-deps.sh [x86|x64]      (default x86, the shipped flavour)
# Idempotent: a finished prefix is reused as is.
# Progress goes to stderr; the last line on stdout is the prefix.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
arch=${1:-x86}
case $arch in
  x86) host=i686-w64-mingw32; toolchain="$root/cmake/mingw-i686.cmake" ;;
  x64) host=x86_64-w64-mingw32; toolchain="$root/cmake/mingw-x86_64.cmake" ;;
  *) echo "build-deps: unknown architecture '$arch' (x86 or x64)" >&2; exit 2 ;;
esac
cache=${VANTORO_DEPS_CACHE:-/var/cache/vantoro}
sysroot=/usr/$host
cc=$host-gcc-posix
# Frame pointers kept, leaf functions included: on 32-bit Windows a walk is an
# EBP chain, and one library function without a frame ends it (or skips its
# caller). Linked-in libraries only; 7za.exe is a program of its own.
opt='-O2 -gdwarf-4 -fno-omit-frame-pointer -mno-omit-leaf-frame-pointer'
jobs=$(nproc)

say() { echo "build-deps: $*" >&2; }
die() { say "error: $*"; exit 1; }

# Keep stdout for the prefix alone.
bash "$here/install-packages.sh" >&2

# Newest source version apt knows of (apt-cache lists every suite's).
src_version() {
  local best='' v
  for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p'); do
    if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  echo "$best"
}

declare -A ver
for s in curl libjsoncpp pugixml zlib 7zip; do
  ver[$s]=$(src_version "$s")
  if [ -z "${ver[$s]}" ]; then
    say "no source for $s in apt lists; running apt-get update"
    apt-get update -qq >&2
    ver[$s]=$(src_version "$s")
    [ -n "${ver[$s]}" ] || die "apt has no source package $s (is a deb-src entry configured?)"
  fi
done

# Inputs beyond the sources that change the result: this script, the toolchain
# file, the compiler and the zlib we link against.
pkg_arch=${host%%-*}; pkg_arch=${pkg_arch//_/-}
tool_ids=$(dpkg-query -W -f='${Package}=${Version}\n' \
  gcc-mingw-w64-$pkg_arch-posix g++-mingw-w64-$pkg_arch-posix mingw-w64-$pkg_arch-dev libz-mingw-w64-dev 2>/dev/null || true)
hash=$(cat "${BASH_SOURCE[0]}" "$toolchain" "$root/cmake/MingwToolchain.cmake" <(echo "$tool_ids") | sha256sum | cut -c1-12)
key="${arch}_curl${ver[curl]}_jsoncpp${ver[libjsoncpp]}_pugixml${ver[pugixml]}_zlib${ver[zlib]}_7zip${ver[7zip]}_$hash"
key=$(echo "$key" | tr ':~' '__')
prefix="$cache/deps-$key"
stamp="$prefix/.vantoro-deps-complete"

if [ -f "$stamp" ]; then
  say "up to date: $prefix"
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache"
# Two builds (a developer and CI, say) must not fill the same prefix at once.
exec 9>"$cache/.lock"
flock 9
if [ -f "$stamp" ]; then
  say "up to date (built meanwhile): $prefix"
  echo "$prefix"
  exit 0
fi

start=$SECONDS
rm -rf "$prefix"
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# Runs a step with its output in a log; shows the log's tail when it fails.
step() {
  local name=$1; shift
  local log="$work/$name.log"
  if ! "$@" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    die "step '$name' failed (log above)"
  fi
}

say "prefix ($arch): $prefix"
say "fetching sources: curl ${ver[curl]}, libjsoncpp ${ver[libjsoncpp]}, pugixml ${ver[pugixml]}, zlib ${ver[zlib]}, 7zip ${ver[7zip]}"
# apt drops privileges to _apt for downloads; let it write here.
chmod 755 "$work"
step fetch apt-get source -q "curl=${ver[curl]}" "libjsoncpp=${ver[libjsoncpp]}" \
  "pugixml=${ver[pugixml]}" "zlib=${ver[zlib]}" "7zip=${ver[7zip]}"

one_dir() {
  local d
  d=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name "$1" | head -n1)
  [ -n "$d" ] || die "unpacked source $1 not found"
  echo "$d"
}

# ---- libcurl + curl.exe -------------------------------------------------------
say "building libcurl + curl.exe (Schannel, http/https only)"
curl_src=$(one_dir 'curl-*')
cd "$curl_src"
# Debian's last two patches rename the library to libcurl-gnutls / libcurl-nss;
# undo them (newest first) so we get a plain libcurl.
for p in 99_nss.patch 90_gnutls.patch; do
  if [ -f .pc/applied-patches ] && grep -qx "$p" .pc/applied-patches; then
    patch -R -p1 -s < "debian/patches/$p"
  elif patch -R -p1 -s --dry-run < "debian/patches/$p" >/dev/null 2>&1; then
    patch -R -p1 -s < "debian/patches/$p"
  fi
done
grep -q '^lib_LTLIBRARIES = libcurl.la' lib/Makefile.am || die "curl: library is still renamed"
# The series touches configure.ac and Makefile.am, so regenerate as Debian does.
step curl-autoreconf autoreconf -fi

empty_pc="$work/no-pkgconfig"
mkdir -p "$empty_pc"
curl_ldflags="-L$sysroot/lib"
# An empty PKG_CONFIG_LIBDIR keeps the build machine's .pc files out of a cross build.
step curl-configure env PKG_CONFIG_LIBDIR="$empty_pc" PKG_CONFIG_PATH= \
  ./configure --host=$host --prefix="$prefix" \
  CC=$cc CFLAGS="$opt" CPPFLAGS="-I$sysroot/include" LDFLAGS="$curl_ldflags" \
  --disable-shared --enable-static --disable-dependency-tracking \
  --with-schannel --enable-sspi \
  --without-openssl --without-gnutls --without-mbedtls --without-wolfssl \
  --without-bearssl --without-rustls --without-nss --without-secure-transport --without-amissl \
  --with-zlib="$sysroot" --without-brotli --without-zstd \
  --without-libpsl --without-libidn2 --without-winidn --without-libgsasl \
  --without-libssh2 --without-libssh --without-wolfssh --without-librtmp \
  --without-nghttp2 --without-ngtcp2 --without-nghttp3 --without-quiche --without-msh3 --without-hyper \
  --enable-http --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp \
  --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smb \
  --disable-smtp --disable-gopher --disable-mqtt --disable-ntlm-wb \
  --disable-pthreads --enable-threaded-resolver --disable-ares \
  --without-ca-bundle --without-ca-path --disable-manual \
  --without-zsh-functions-dir --without-fish-functions-dir
grep -q '^#define USE_SCHANNEL 1' lib/curl_config.h || die "curl: Schannel not enabled"
# libtool swallows a bare -static; -all-static makes curl.exe need system DLLs only.
curl_make=(LDFLAGS="$curl_ldflags -all-static")
step curl-build make -j$jobs "${curl_make[@]}"
step curl-install make install "${curl_make[@]}"
if [ ! -f "$prefix/lib/libcurl.a" ] || [ ! -f "$prefix/bin/curl.exe" ]; then
  die "curl: install incomplete"
fi

# ---- jsoncpp / pugixml (CMake) -----------------------------------------------
cmake_lib() {
  local name=$1 src=$2; shift 2
  local b="$work/build-$name"
  step "$name-configure" cmake -S "$src" -B "$b" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVANTORO_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$opt -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="$opt -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF "$@"
  step "$name-build" cmake --build "$b" -j $jobs
  step "$name-install" cmake --install "$b"
}

say "building jsoncpp"
cmake_lib jsoncpp "$(one_dir 'libjsoncpp-*')" \
  -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF
[ -f "$prefix/lib/libjsoncpp.a" ] || die "jsoncpp: libjsoncpp.a missing"

say "building pugixml"
cmake_lib pugixml "$(one_dir 'pugixml-*')" -DPUGIXML_BUILD_TESTS=OFF
[ -f "$prefix/lib/libpugixml.a" ] || die "pugixml: libpugixml.a missing"

read -r -a opt_words <<<"$opt"

# ---- zlib (the packaged libz.a omits frame pointers) -------------------------
say "building zlib"
z_src=$(one_dir 'zlib-*')
z_obj="$work/build-zlib"
mkdir -p "$z_obj"
z_objs=()
for u in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback \
         inffast inflate inftrees trees uncompr zutil; do
  step "zlib-$u" $cc "${opt_words[@]}" -I"$z_src" -c "$z_src/$u.c" -o "$z_obj/$u.o"
  z_objs+=("$z_obj/$u.o")
done
rm -f "$prefix/lib/libz.a"
step zlib-ar $host-ar rcs "$prefix/lib/libz.a" "${z_objs[@]}"

# ---- minizip (zlib's contrib) ------------------------------------------------
say "building minizip"
mz_src="$z_src/contrib/minizip"
mz_obj="$work/build-minizip"
mkdir -p "$mz_obj" "$prefix/include/minizip"
mz_objs=()
for u in ioapi unzip zip iowin32; do
  # Against the packaged MinGW zlib.h (same version as the libz.a above).
  step "minizip-$u" $cc "${opt_words[@]}" -I"$sysroot/include" -c "$mz_src/$u.c" -o "$mz_obj/$u.o"
  mz_objs+=("$mz_obj/$u.o")
done
rm -f "$prefix/lib/libminizip.a"
step minizip-ar $host-ar rcs "$prefix/lib/libminizip.a" "${mz_objs[@]}"
for h in ioapi.h unzip.h zip.h iowin32.h crypt.h; do
  install -m 644 "$mz_src/$h" "$prefix/include/minizip/$h"
done

# ---- 7za.exe (Dumper packs its report with it) ---------------------------------
say "building 7za.exe"
# MSYSTEM: a MinGW build driven from a POSIX shell (rm, mkdir -p); no assembler.
step 7za-build make -C "$(one_dir '7zip-*')/CPP/7zip/Bundles/Alone" -j$jobs -f ../../cmpl_gcc.mak \
  IS_MINGW=1 MSYSTEM=1 USE_ASM= CC=$cc CXX=$host-g++-posix RC=$host-windres O="$work/build-7za"
install -m 755 "$work/build-7za/7za.exe" "$prefix/bin/7za.exe"

cat > "$prefix/VERSIONS" <<EOF
curl ${ver[curl]}
libjsoncpp ${ver[libjsoncpp]}
pugixml ${ver[pugixml]}
zlib ${ver[zlib]} (libz.a, minizip)
7zip ${ver[7zip]} (7za.exe)
EOF
# Written last: its presence means the prefix is complete.
touch "$stamp"
say "done in $((SECONDS - start)) s"
echo "$prefix"
