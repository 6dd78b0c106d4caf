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
# The Windows tests spend most of their time waiting on Wine, not on the
# processor: they run in QUORVEL_TEST_SESSIONS private sessions side by side
# (2 by default), each with its own display, print server and Wine prefix,
# each taking every Nth test. Each line says which session it comes from.
sessions=${QUORVEL_TEST_SESSIONS:-2}
if ! [[ $sessions =~ ^[1-9]$ ]]; then
    echo "test.sh: QUORVEL_TEST_SESSIONS must be a number from 1 to 9" >&2
    exit 2
fi
pids=()
for ((i = 1; i <= sessions; i++)); do
    (
        QUORVEL_FIXTURE_QUIET=1 tests/fixture/session.sh \
            ctest --test-dir "$QUORVEL_WIN_BUILD" --output-on-failure --timeout 300 \
            -I "$i,,$sessions" "$@" 2>&1 | sed -u "s/^/[$i] /"
        exit "${PIPESTATUS[0]}"
    ) &
    pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
echo "Artefacts: $QUORVEL_ARTIFACTS"
if [ "$failed" -ne 0 ]; then
    echo "test.sh: Windows tests failed (lines marked [N] come from session N)" >&2
    exit 1
fi

# The guided tour walks the real program once more, end to end, and renews
# the pictures in docs/tour/.
echo "== guided tour"
scripts/tour.sh --no-build
