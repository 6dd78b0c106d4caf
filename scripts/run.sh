#!/usr/bin/env bash
# Sets up a fresh machine (as root), builds Quorvel.exe and runs it under Wine.
# On the user's display when DISPLAY is set; otherwise on a virtual one, with
# a screenshot command to see it. The program lives in the notification area:
# right-click its icon for the menu, choose Exit (or press Ctrl+C here) to stop.
#
#   scripts/run.sh [--samples] [--no-build]
#
# When Wine lists no printer at all (or with --samples), Quorvel runs with
# three sample printers that hold every job and print nothing: a private
# print server and a private Wine prefix, both gone when Quorvel exits. A
# machine that has printers keeps its own.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

samples=""
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --samples) samples=1; shift ;;
        --no-build) build=""; shift ;;
        *) echo "usage: $0 [--samples] [--no-build]" >&2; exit 2 ;;
    esac
done

if [ -n "$build" ]; then
    if [ "$(id -u)" -eq 0 ]; then
        scripts/install-deps.sh
    fi
    scripts/build.sh --no-native
fi

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

XVFB_PID=""
SAMPLES_DIR=""
cleanup() {
    if [ -n "$SAMPLES_DIR" ]; then
        # Quorvel has exited: the sample printers go with their prefix.
        [ -d "$SAMPLES_DIR/prefix" ] && qv_prefix_kill "$SAMPLES_DIR/prefix"
        qv_cups_stop
        rm -rf "$SAMPLES_DIR"
    fi
    if [ -n "$XVFB_PID" ]; then
        # Wine's helpers of this display go first, quietly.
        wineserver -k 2>/dev/null || true
        kill "$XVFB_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

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
    echo "  Or watch scripts/tour.sh walk through it."
fi
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/prefix-lib.sh
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/printserver.sh
if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    echo "This host cannot run 32-bit code: running the 64-bit build of the same sources."
fi

# What Wine lists in the user's own prefix decides.
if [ -z "$samples" ] && [ -z "$(wine "$(qv_build_tool list-printers)" 2>/dev/null | tr -d '\r')" ]; then
    samples=1
fi
if [ -n "$samples" ] && [ "$(id -u)" -ne 0 ]; then
    echo "Wine lists no printer; the sample printers need root: run as root (or with sudo)."
    samples=""
fi
if [ -n "$samples" ]; then
    # cupsd runs as lp, which must reach its folder.
    SAMPLES_DIR=$(mktemp -d /tmp/quorvel-samples.XXXXXX)
    chown root:lp "$SAMPLES_DIR"
    chmod 0775 "$SAMPLES_DIR"
    qv_cups_start "$SAMPLES_DIR/cups"
    qv_cups_add_queues "${QV_SAMPLE_QUEUES[@]}"
    qv_template_ensure
    qv_prefix_copy "$QV_TEMPLATE" "$SAMPLES_DIR/prefix"
    export WINEPREFIX=$SAMPLES_DIR/prefix
    wineserver -p
    names=$(qv_show_descriptions "$SAMPLES_DIR/printer-names.txt")
    echo "Sample printers for this run (${names//$'\n'/, }): they hold every job, print nothing, and go when Quorvel exits."
fi
echo "Quorvel runs in the notification area. Stop it with its menu's Exit, or Ctrl+C here."
# Wine's shell has the double-click's printer command only as a stub.
echo "Under Wine a double-click on the icon opens nothing and may end Quorvel (README.md, \"Try it\")."
wine "$QUORVEL_WIN_BUILD/Quorvel.exe"
