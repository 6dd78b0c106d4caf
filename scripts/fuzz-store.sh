#!/usr/bin/env bash
# Runs the stored-settings fuzzer by hand, in a private test session, against
# the built program: random hand-edited settings stores, each started twice
# and confirmed in the configuration dialog. Usage:
#   scripts/fuzz-store.sh [--stores N] [--first S]   stores S .. S+N-1
#   scripts/fuzz-store.sh --store S                  replays one store
# Store 0 is the one with a 255-character subkey name. Build first
# (scripts/build.sh --no-native).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
# In a private network, as in the test suite: a store may tie a location
# to a router, and only a router of the test's own may be asked.
exec tests/fixture/session.sh tests/fixture/netns.sh wine "$QUORVEL_WIN_BUILD/tests/storefuzz_tests.exe" "$@"
