#!/usr/bin/env bash
# A guided tour of Quorvel, about a minute, without questions: in a private
# session (a virtual display, or --display :N; the sample printers; a private
# network) the real Quorvel.exe starts with sample locations and is walked
# with the real pointer and keyboard: the tray menu, the machine moving from
# network to network, the configuration and location dialogs, and the
# configuration dialog again on a display scaled to 150 %. Each step
# prints one timeline line and saves a screenshot in docs/tour/. Exits 0 only
# when every step did what its line says. Run as root (or with sudo).
#
#   scripts/tour.sh [--display :N] [--no-build]
#
# --display :N shows the tour on that X display; it must have no
# notification area of its own (Wine's stand-alone tray is walked).
set -euo pipefail
T0=$(date +%s%3N)
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --display) export QUORVEL_SESSION_DISPLAY=$2; shift 2 ;;
        --no-build) build=""; shift ;;
        *) echo "usage: $0 [--display :N] [--no-build]" >&2; exit 2 ;;
    esac
done
if [ "$(id -u)" -ne 0 ]; then
    echo "tour.sh: run as root (or with sudo): it starts a print server and a private network" >&2
    exit 2
fi
if [ -n "$build" ]; then
    scripts/install-deps.sh
    scripts/build.sh --no-native >/dev/null
fi
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh

export QUORVEL_TOUR_T0=$T0
export QUORVEL_TOUR_DIR=$PWD/docs/tour
mkdir -p "$QUORVEL_TOUR_DIR"
echo "Quorvel tour: seconds since start, step, default printer afterwards, tray tip"
rc=0
# The walk, then the configuration dialog once more on a display at 150 %.
# shellcheck disable=SC2016  # $1 is the inner shell's
QUORVEL_FIXTURE_QUIET=1 tests/fixture/session.sh --samples sh -c '
    tests/fixture/netns.sh wine "$1" &&
        tests/fixture/dpi.sh 144 tests/fixture/netns.sh wine "$1"' sh \
    "$QUORVEL_WIN_BUILD/tests/tour.exe" || rc=$?
if [ "$rc" -eq 0 ]; then
    echo "Tour passed in $(( ($(date +%s%3N) - T0) / 1000 )) s; screenshots in docs/tour/"
else
    echo "Tour FAILED (exit $rc)" >&2
fi
exit "$rc"
