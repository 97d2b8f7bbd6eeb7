#!/usr/bin/env bash
# Files programs' debug information in a symbol store:
#   scripts/symbol-store.sh STORE PROGRAM.exe...
# Each program (as linked, with its DWARF) gives, under its build id (the
# CodeView GUID and age "--build-id" writes, in the form Dumper's .log prints):
#   STORE/<Module.exe>/<BUILDID>/<Module.exe>.debug   objcopy --only-keep-debug
#   STORE/<Module.exe>/<BUILDID>/<Module.exe>         stripped, with a debug link to it
# so a symbolizer given the stripped program finds its debug file beside it.
# A build already in the store is left as it is. Prints each folder filed.
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 STORE PROGRAM.exe..." >&2
  exit 2
fi
store=$1
shift

die() { echo "symbol-store: $*" >&2; exit 1; }

# The 64-bit objdump reads both flavours; it tells which binutils to use.
tools_for() {
  case $(x86_64-w64-mingw32-objdump -f "$1" 2>/dev/null | sed -n 's/.*file format //p') in
    pei-i386) echo i686-w64-mingw32 ;;
    pei-x86-64) echo x86_64-w64-mingw32 ;;
    *) die "$1: not a Windows program" ;;
  esac
}

# objdump prints the RSDS GUID field by field, as Dumper does; the age follows.
build_id() {
  local text hex age
  # Whole output first: grep -m1 would cut objdump off mid-write.
  text=$(x86_64-w64-mingw32-objdump -p "$1") || die "$1: unreadable"
  grep -q 'format RSDS signature' <<<"$text" || die "$1: no build id (link with -Wl,--build-id)"
  hex=$(sed -n 's/.*format RSDS signature \([0-9a-f]\{32\}\) age \([0-9]*\).*/\1/p' <<<"$text" | head -n1)
  age=$(sed -n 's/.*format RSDS signature [0-9a-f]\{32\} age \([0-9]*\).*/\1/p' <<<"$text" | head -n1)
  [ ${#hex} -eq 32 ] && [ -n "$age" ] || die "$1: unreadable build id"
  printf '%s%X\n' "${hex^^}" "$age"
}

for program in "$@"; do
  [ -f "$program" ] || die "$program: no such file"
  triple=$(tools_for "$program")
  name=$(basename "$program")
  id=$(build_id "$program")
  folder="$store/$name/$id"
  if [ -f "$folder/$name" ] && [ -f "$folder/$name.debug" ]; then
    echo "$folder"
    continue
  fi
  work=$(mktemp -d "${TMPDIR:-/tmp}/symbol-store.XXXXXX")
  "$triple-objcopy" --only-keep-debug "$program" "$work/$name.debug"
  "$triple-strip" -o "$work/$name" "$program"
  # The link names the file only; it is looked for beside the program.
  (cd "$work" && "$triple-objcopy" --add-gnu-debuglink="$name.debug" "$name")
  mkdir -p "$folder"
  mv "$work/$name.debug" "$work/$name" "$folder/"
  rmdir "$work"
  echo "$folder"
done
