#!/usr/bin/env bash
# Signs one Windows file (exe or msi) in place with Authenticode, using the
# certificate and key that QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY name (PEM
# or DER). Optional: QUORVEL_SIGN_PASS_FILE (the key's passphrase, read from
# that file), QUORVEL_SIGN_TIMESTAMP (an RFC 3161 time-stamp server, so that
# signatures stay valid after the certificate expires) and QUORVEL_SIGN_URL
# (the signer's web address, shown with the name "Quorvel" in a signature's
# details; without it the signatures name no address).
# Usage: scripts/sign-file.sh FILE
set -euo pipefail

file=${1:?usage: sign-file.sh FILE}
: "${QUORVEL_SIGN_CERT:?QUORVEL_SIGN_CERT is not set}"
: "${QUORVEL_SIGN_KEY:?QUORVEL_SIGN_KEY is not set}"

args=(sign -certs "$QUORVEL_SIGN_CERT" -key "$QUORVEL_SIGN_KEY" -h sha256 -n "Quorvel")
if [ -n "${QUORVEL_SIGN_URL:-}" ]; then
    args+=(-i "$QUORVEL_SIGN_URL")
fi
if [ -n "${QUORVEL_SIGN_PASS_FILE:-}" ]; then
    args+=(-readpass "$QUORVEL_SIGN_PASS_FILE")
fi
if [ -n "${QUORVEL_SIGN_TIMESTAMP:-}" ]; then
    args+=(-ts "$QUORVEL_SIGN_TIMESTAMP")
fi

tmp="$file.signing.$$"
trap 'rm -f "$tmp"' EXIT
osslsigncode "${args[@]}" -in "$file" -out "$tmp" >/dev/null
cat "$tmp" >"$file"   # keeps the file's mode
