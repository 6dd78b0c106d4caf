#!/usr/bin/env bash
# Signing: scripts/package.sh with a throw-away self-signed certificate signs
# the program inside the zip, the setup and the MSI, and each signature
# verifies against that certificate and names no web address unless the
# signer gives one (QUORVEL_SIGN_URL).
# Usage: check-signing.sh SOURCE_DIR VERSION
set -uo pipefail

src=$1 version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvel test signing" \
    -keyout "$tmp/key.pem" -out "$tmp/cert.pem" 2>"$tmp/openssl.log" ||
    { cat "$tmp/openssl.log"; exit 1; }
if ! QUORVEL_SIGN_CERT=$tmp/cert.pem QUORVEL_SIGN_KEY=$tmp/key.pem \
    "$src/scripts/package.sh" --out "$tmp/dist" --no-twin >"$tmp/package.log" 2>&1; then
    cat "$tmp/package.log"
    exit 1
fi
grep -q "^package.sh: signed" "$tmp/package.log" || fail "package.sh did not report signing"

unzip -q "$tmp/dist/Quorvel-$version.zip" Quorvel.exe -d "$tmp/zip" || fail "cannot unpack the zip"
for f in "$tmp/zip/Quorvel.exe" "$tmp/dist/Quorvel-$version-setup.exe" "$tmp/dist/Quorvel-$version.msi"; do
    if ! osslsigncode verify -CAfile "$tmp/cert.pem" -in "$f" >"$tmp/verify.log" 2>&1; then
        fail "${f##*/} does not verify:"
        cat "$tmp/verify.log"
    fi
    grep "URL description" "$tmp/verify.log" && fail "${f##*/}: the signature names an address nobody gave"
done
osslsigncode remove-signature -in "$tmp/zip/Quorvel.exe" -out "$tmp/url.exe" >/dev/null
QUORVEL_SIGN_CERT=$tmp/cert.pem QUORVEL_SIGN_KEY=$tmp/key.pem QUORVEL_SIGN_URL=https://printers.test/ \
    "$src/scripts/sign-file.sh" "$tmp/url.exe"
osslsigncode verify -CAfile "$tmp/cert.pem" -in "$tmp/url.exe" 2>&1 |
    grep -q "URL description: https://printers.test/" || fail "QUORVEL_SIGN_URL is not in the signature"
[ "$fails" -eq 0 ] && echo "signatures OK"
exit "$fails"
