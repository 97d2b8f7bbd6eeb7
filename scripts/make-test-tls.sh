#!/usr/bin/env bash
# The test certificate authority and the reference service's certificate:
#   scripts/make-test-tls.sh DIR
# writes DIR/ca.pem (the authority the tests trust), DIR/server.pem and
# DIR/server.key (issued by it for "localhost" only, so the same service
# reached as 127.0.0.1 shows a certificate for another host). Kept while
# present: the authority stays the one the test prefixes already trust.
# The authority's key is thrown away once it has signed.
set -euo pipefail
dir=$1
[ -s "$dir/ca.pem" ] && [ -s "$dir/server.pem" ] && [ -s "$dir/server.key" ] && exit 0
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/ext.cnf" <<'CNF'
[leaf]
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost
authorityKeyIdentifier=keyid
subjectKeyIdentifier=hash
CNF
openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Vantoro Test Authority $(hostname)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout "$work/server.key" -out "$work/server.csr" 2>/dev/null
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 3650 \
  -extfile "$work/ext.cnf" -extensions leaf -out "$work/server.pem" 2>/dev/null
cp "$work/server.key" "$work/server.pem" "$dir/"
cp "$work/ca.pem" "$dir/ca.pem"
