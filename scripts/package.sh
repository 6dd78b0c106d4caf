#!/usr/bin/env bash
# Builds what users download, from the built program (build/Quorvel.exe),
# into dist/:
#   readme.txt                  the user's manual (CRLF), also in every package
#   Quorvel-<version>-setup.exe per-user setup (NSIS), no elevation
#   Quorvel-<version>.msi       per-machine package for administrators (wixl)
#   Quorvel-<version>.zip       Quorvel.exe and readme.txt, nothing installed
# The version is the one in CMakeLists.txt's project() line.
#
# With QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY set, Quorvel.exe is signed
# before it is packed, and so are the setup, its uninstaller and the MSI
# (scripts/sign-file.sh); without them everything is built unsigned.
#
# Where this host cannot run 32-bit code, the 64-bit twin of the setup is
# built too (build-win64/dist/), from the same script and packing the
# 64-bit twin of the program: the Wine tests install that one there.
#
# Usage: scripts/package.sh [--out DIR] [--no-twin]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD

OUT=$ROOT/dist
TWIN=auto
while [ $# -gt 0 ]; do
    case "$1" in
        --out) OUT=$(mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
        --no-twin) TWIN=no; shift ;;
        *) echo "usage: $0 [--out DIR] [--no-twin]" >&2; exit 2 ;;
    esac
done

die() { echo "package.sh: $*" >&2; exit 1; }

VERSION=$(sed -n 's/^project(Quorvel VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || die "no version in CMakeLists.txt's project() line"
EXE=$ROOT/build/Quorvel.exe
[ -f "$EXE" ] || die "$EXE is missing: run scripts/build.sh first"
for tool in makensis wixl msibuild zip; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh"
done

SIGN=no
if [ -n "${QUORVEL_SIGN_CERT:-}" ] && [ -n "${QUORVEL_SIGN_KEY:-}" ]; then
    SIGN=yes
    command -v osslsigncode >/dev/null || die "osslsigncode is missing: run scripts/install-deps.sh"
fi

STAGE=$(mktemp -d /tmp/quorvel-package.XXXXXX)
trap 'rm -rf "$STAGE"' EXIT

# The manual: the version filled in, Windows line ends.
sed -e "s/@VERSION@/$VERSION/g" -e 's/$/\r/' packaging/readme.txt >"$STAGE/readme.txt"
cp "$EXE" "$STAGE/Quorvel.exe"
if [ "$SIGN" = yes ]; then
    scripts/sign-file.sh "$STAGE/Quorvel.exe"
fi

SETUP=$OUT/Quorvel-$VERSION-setup.exe
MSI=$OUT/Quorvel-$VERSION.msi
ZIP=$OUT/Quorvel-$VERSION.zip
mkdir -p "$OUT"
rm -f "$OUT/readme.txt" "$SETUP" "$MSI" "$ZIP"
cp "$STAGE/readme.txt" "$OUT/readme.txt"

# build_setup TARGET EXE OUTFILE [makensis options...]
build_setup() {
    local target=$1 exe=$2 outfile=$3
    shift 3
    makensis -V2 -WX -DVERSION="$VERSION" -DTARGET="$target" -DEXE="$exe" \
        -DREADME="$STAGE/readme.txt" -DICON="$ROOT/res/idle.ico" \
        -DOUTFILE="$outfile" "$@" packaging/quorvel.nsi >"$STAGE/makensis.log" 2>&1 ||
        { cat "$STAGE/makensis.log" >&2; die "makensis failed ($target)"; }
}

# The setup: the ANSI target, the one NSIS still builds for Windows 95,
# 98, Me and NT 4.0 as well as for today's Windows.
if [ "$SIGN" = yes ]; then
    build_setup x86-ansi "$STAGE/Quorvel.exe" "$SETUP" -DSIGNCMD="$ROOT/scripts/sign-file.sh"
    scripts/sign-file.sh "$SETUP"
else
    build_setup x86-ansi "$STAGE/Quorvel.exe" "$SETUP"
fi

# The MSI. wixl has no conditions on components, no Secure attribute on
# properties and takes the package's language from nowhere: all three are
# set in the built database.
# wixl finds sources only by names relative to where it runs.
cp res/idle.ico "$STAGE/quorvel.ico"
(cd "$STAGE" && wixl -a x86 -D Version="$VERSION" -o "$MSI" "$ROOT/packaging/quorvel.wxs") \
    >"$STAGE/wixl.log" 2>&1 || { cat "$STAGE/wixl.log" >&2; die "wixl failed"; }
msibuild "$MSI" -q "UPDATE \`Component\` SET \`Condition\` = 'STARTATSIGNIN<>\"0\"' WHERE \`Component\` = 'RunAtSignIn'"
secure=$(msiinfo export "$MSI" Property | tr -d '\r' | sed -n 's/^SecureCustomProperties\t//p')
msibuild "$MSI" -q "UPDATE \`Property\` SET \`Value\` = 'STARTATSIGNIN${secure:+;$secure}' WHERE \`Property\` = 'SecureCustomProperties'"
msibuild "$MSI" -s "Quorvel $VERSION" Brennick "Intel;3081" \
    "{$(tr a-z A-Z </proc/sys/kernel/random/uuid)}"
if [ "$SIGN" = yes ]; then
    scripts/sign-file.sh "$MSI"
fi

# The portable zip.
(cd "$STAGE" && zip -q -X "$ZIP" Quorvel.exe readme.txt)

# The setup's 64-bit twin, for the Wine tests on hosts without 32-bit support.
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
if [ "$TWIN" = auto ] && [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    TWIN_EXE=$ROOT/build-win64/Quorvel.exe
    [ -f "$TWIN_EXE" ] || die "$TWIN_EXE is missing: run scripts/build.sh first"
    mkdir -p "$ROOT/build-win64/dist"
    build_setup amd64-unicode "$TWIN_EXE" "$ROOT/build-win64/dist/Quorvel-$VERSION-setup.exe"
    echo "package.sh: test twin build-win64/dist/Quorvel-$VERSION-setup.exe (64-bit, not shipped)"
fi

if [ "$SIGN" = yes ]; then
    echo "package.sh: signed Quorvel.exe, the setup, its uninstaller and the MSI"
else
    echo "package.sh: unsigned (set QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY to sign)"
fi
for f in "$OUT/readme.txt" "$SETUP" "$MSI" "$ZIP"; do
    printf 'package.sh: %-28s %8d bytes\n' "${f##*/}" "$(stat -c %s "$f")"
done
