#!/usr/bin/env bash
# Sets up a fresh machine (as root), builds Quorvel.exe and runs it under Wine.
# On the user's display when DISPLAY is set; otherwise on a virtual one, with
# a screenshot command to see it. The program lives in the notification area:
# right-click its icon for the menu, choose Exit (or press Ctrl+C here) to stop.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ "$(id -u)" -eq 0 ]; then
    scripts/install-deps.sh
fi
scripts/build.sh --no-native

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

XVFB_PID=""
cleanup() {
    if [ -n "$XVFB_PID" ]; then
        # Wine's helpers of this display go first, quietly.
        wineserver -k 2>/dev/null || true
        kill "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    sleep 1
    echo "No display: Quorvel runs on the virtual display $DISPLAY."
    echo "  See it:  import -display $DISPLAY -window root quorvel.png"
    echo "  Use it:  DISPLAY=$DISPLAY xdotool mousemove 12 32 click 3   (opens the tray menu)"
fi
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    echo "This host cannot run 32-bit code: running the 64-bit build of the same sources."
fi
echo "Quorvel runs in the notification area. Stop it with its menu's Exit, or Ctrl+C here."
wine "$QUORVEL_WIN_BUILD/Quorvel.exe"
