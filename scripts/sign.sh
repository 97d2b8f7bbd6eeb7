#!/usr/bin/env bash
# Signs a Windows program in place (Authenticode, SHA-256, osslsigncode):
#   scripts/sign.sh FILE
# The certificate and key come from the environment of the release machine:
#   VANTORO_SIGN_CERT       PEM file: our code-signing certificate, then its chain
#   VANTORO_SIGN_KEY        PEM file: its private key
#   VANTORO_SIGN_KEY_PASS   optional: a file holding the key's password
# Without a certificate and key it leaves FILE as it is (an unsigned build)
# and succeeds; scripts/release.sh says so. The signing time is
# SOURCE_DATE_EPOCH when set, so that one commit signs to the same bytes.
# No timestamp server is asked: it would answer differently every time.
set -euo pipefail
file=$1
cert=${VANTORO_SIGN_CERT:-} key=${VANTORO_SIGN_KEY:-}
[ -z "$cert" ] && [ -z "$key" ] && exit 0
if [ -z "$cert" ] || [ -z "$key" ]; then
  echo "sign: VANTORO_SIGN_CERT and VANTORO_SIGN_KEY go together" >&2
  exit 2
fi
args=(sign -certs "$cert" -key "$key" -h sha256 -n Vantoro)
[ -z "${VANTORO_SIGN_KEY_PASS:-}" ] || args+=(-readpass "$VANTORO_SIGN_KEY_PASS")
[ -z "${SOURCE_DATE_EPOCH:-}" ] || args+=(-time "$SOURCE_DATE_EPOCH")
signed=$file.signed
rm -f "$signed"
if ! osslsigncode "${args[@]}" -in "$file" -out "$signed" >"$signed.log" 2>&1; then
  cat "$signed.log" >&2
  rm -f "$signed" "$signed.log"
  echo "sign: cannot sign $file" >&2
  exit 1
fi
rm -f "$signed.log"
mv "$signed" "$file"
