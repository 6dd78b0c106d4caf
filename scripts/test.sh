#!/usr/bin/env bash
# Sets up a fresh machine (as root), builds everything and runs the whole test
# suite: the logic tests natively with sanitizers, then every Windows test
# program under Wine inside a private session (Xvfb, CUPS, Wine prefix).
# Screenshots and other artefacts land in artifacts/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh
scripts/build.sh

echo "== packages for users (dist/)"
scripts/package.sh

echo "== logic tests (native, sanitizers)"
ctest --test-dir build-native --output-on-failure

echo "== fuzzing the window-free logic (libFuzzer, 15 s a target)"
scripts/fuzz.sh 15
echo "== static analysis, layers and the clang build"
scripts/lint.sh

# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    echo "== checks of the 32-bit program file (this host cannot run 32-bit code)"
    tests/check-executable.sh build/Quorvel.exe
    echo "== Windows tests (64-bit twins under Wine's 64-bit loader)"
else
    echo "== Windows tests (under Wine)"
fi
export QUORVEL_ARTIFACTS="$PWD/artifacts"
rm -rf "$QUORVEL_ARTIFACTS"
mkdir -p "$QUORVEL_ARTIFACTS"
# cupsd and the test programs run as other users only for printing; the
# artefact folder must be writable from the session.
chmod 0777 "$QUORVEL_ARTIFACTS"
QUORVEL_FIXTURE_QUIET=1 tests/fixture/session.sh \
    ctest --test-dir "$QUORVEL_WIN_BUILD" --output-on-failure --timeout 300 "$@"
echo "Artefacts: $QUORVEL_ARTIFACTS"

# The guided tour walks the real program once more, end to end, and renews
# the pictures in docs/tour/.
echo "== guided tour"
scripts/tour.sh --no-build
