#!/usr/bin/env bash
# Stages what the setup program installs and packs it:
#   make-setup.sh <stage folder> <setup program>
# Run through the build's wrapper (<build>/make-setup.sh, written by
# installer/CMakeLists.txt), which names the inputs in the environment.
# The stage holds the programs stripped and then signed, our LICENSE.txt and
# THIRD-PARTY-NOTICES.txt; makensis signs the setup program and the
# uninstaller it carries with the same script. scripts/sign.sh signs only
# with a certificate in the environment and leaves the files as they are
# without one.
set -euo pipefail
stage=$1 setup=$2

rm -rf "$stage"
mkdir -p "$stage"
"$SETUP_STRIP" -o "$stage/Vantoro.exe" "$SETUP_VANTORO_EXE"
"$SETUP_STRIP" -o "$stage/dumper.exe" "$SETUP_DUMPER_EXE"
cp "$SETUP_7ZA_EXE" "$stage/7za.exe"
for program in Vantoro.exe dumper.exe 7za.exe; do
  "$SETUP_SIGN" "$stage/$program"
done
# Text files as Notepad on Windows 7 reads them: UTF-8 with BOM, CRLF.
{ printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$SETUP_LICENSE"; } >"$stage/LICENSE.txt"
"$SETUP_NOTICES" "$SETUP_DEPS" "$SETUP_ARCH" "$stage/THIRD-PARTY-NOTICES.txt"

mkdir -p "$(dirname "$setup")"
"$SETUP_MAKENSIS" -V2 -INPUTCHARSET UTF8 "-DVERSION=$SETUP_VERSION" "-DSTAGE=$stage" \
  "-DICON=$SETUP_ICON" "-DOUTFILE=$setup" "-DARCH=$SETUP_ARCH" "-DSIGN=$SETUP_SIGN" \
  "-DABOUT_URL=$SETUP_ABOUT_URL" "-DHELP_URL=$SETUP_HELP_URL" "$SETUP_SCRIPT"
