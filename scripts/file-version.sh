#!/usr/bin/env bash
# Prints the file version of a Windows program: the four numbers of its
# version resource (VS_FIXEDFILEINFO, found by its signature), as 2.0.0.0;
# prints nothing when it has none. scripts/package.sh writes this into the
# MSI and tests/packaging/check-packages.sh expects it there.
# Usage: scripts/file-version.sh PROGRAM.exe
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 PROGRAM.exe" >&2; exit 2; }
at=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE' "$1" | head -n 1 | cut -d: -f1 || true)
[ -n "$at" ] || exit 0
read -r ms ls < <(od -An -tu4 -j $((at + 8)) -N 8 "$1")
echo "$((ms >> 16)).$((ms & 65535)).$((ls >> 16)).$((ls & 65535))"
