#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the reference service need.
# Idempotent: does nothing when everything is present already.
set -euo pipefail

packages=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  libz-mingw-w64-dev
  cmake ninja-build make autoconf automake libtool pkg-config dpkg-dev patch
  wine wine32:i386 wine64 xvfb xauth fonts-wqy-microhei p7zip-full x11-apps netpbm
  g++ libcpp-httplib-dev libjsoncpp-dev libarchive-dev googletest curl locales
  nsis
)

# Source packages for the dependency build come from the same registry.
need_update=
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  cat > /etc/apt/sources.list.d/vantoro-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

# Tests run Wine under a Chinese locale too; without it Wine cannot name files in Chinese.
ensure_locale() {
  locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$' && return 0
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  [ -z "$need_update" ] || apt-get update -qq
  ensure_locale
  exit 0
fi

echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
ensure_locale
