#!/usr/bin/env bash
# Runs the stored-settings fuzzer by hand, in a private test session, against
# the built program: random hand-edited settings stores, each started twice
# and confirmed in the configuration dialog. Usage:
#   scripts/fuzz-store.sh [--seeds N] [--first SEED]   seeds SEED .. SEED+N-1
#   scripts/fuzz-store.sh --seed SEED                  replays one store
# Seed 0 is the store with a 255-character subkey name. Build first
# (scripts/build.sh --no-native).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
exec tests/fixture/session.sh wine "$QUORVEL_WIN_BUILD/tests/storefuzz_tests.exe" "$@"
