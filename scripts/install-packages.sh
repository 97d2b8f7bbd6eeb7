#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the reference service need.
# Idempotent: does nothing when everything is present already.
# 32-bit Wine (wine32:i386) only where this machine executes 32-bit code.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

packages=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  cmake ninja-build make autoconf automake libtool pkg-config dpkg-dev patch
  wine wine64 xvfb xauth fonts-wqy-microhei p7zip-full python3
  g++ libcpp-httplib-dev libjsoncpp-dev libarchive-dev googletest curl locales
  libssl-dev openssl
  nsis osslsigncode
  # llvm-symbolizer resolves the support pages' traces; chromium shows them in a test.
  llvm chromium
)
x86=
if "$here/can-run-x86.sh" 2>/dev/null; then
  x86=1
  packages+=(wine32:i386)
fi

say() { echo "install-packages: $*" >&2; }

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

# A mirror mid-sync fails one list or another for minutes; apt keeps the old
# (or no) list for it, which is often enough, so go on after a few tries.
update_lists() {
  local try
  for try in 1 2 3; do
    apt-get update -qq >/tmp/vantoro-apt-update.log 2>&1 && return 0
    [ $try -lt 3 ] && sleep $((try * 5))
  done
  say "warning: some package lists failed to update (mirror mid-sync?); going on with what apt has:"
  grep '^[EW]:' /tmp/vantoro-apt-update.log | head -n 3 | sed 's/^/  /' >&2
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  [ -z "$need_update" ] || update_lists
  ensure_locale
  exit 0
fi

say "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ -n "$x86" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
update_lists

log=/tmp/vantoro-apt-install.log
install() { apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >"$log" 2>&1; }
# When one architecture's list of the update suite failed, the default picks
# amd64 from the update suite and i386 from the main one, and Multi-Arch
# packages must match; taking everything from the main suite resolves.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
if ! install && ! install -t "$suite"; then
  for p in "${missing[@]}"; do
    if ! apt-get install -s -qq --no-install-recommends "$p" >/dev/null 2>&1 &&
       ! apt-get install -s -qq --no-install-recommends -t "$suite" "$p" >/dev/null 2>&1; then
      say "error: cannot install $p (apt's output: $log); retry with: apt-get update && $here/install-packages.sh"
      exit 1
    fi
  done
  say "error: cannot install ${missing[*]} together (apt's output: $log); retry with: apt-get update && $here/install-packages.sh"
  exit 1
fi
ensure_locale
