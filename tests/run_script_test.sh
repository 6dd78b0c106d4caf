#!/usr/bin/env bash
# scripts/run.sh and the machine's printers, inside a session of its own
# (tests/fixture/session.sh): a machine with printers keeps them and gets no
# samples; one where Wine lists none gets the sample printers, and so does
# --samples; the samples are gone once Quorvel exits by its menu.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
. tests/fixture/prefix-lib.sh
LIST=$(qv_build_tool list-printers)
fail() { echo "FAIL: $*" >&2; exit 1; }

# run_until_exit OUT ARGS...: runs run.sh, waits for its icon, lets CHECK
# (a shell function) look, chooses Exit in the tray menu, waits for the end,
# and checks that no sample printer folder is left behind.
run_until_exit() {
    local out=$1 pid tray before _
    shift
    before=$(ls -d /tmp/quorvel-samples.* 2>/dev/null || true)
    scripts/run.sh --no-build "$@" >"$out" 2>&1 &
    pid=$!
    tray=""
    for _ in $(seq 1 300); do
        tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1) || true
        [ -n "$tray" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$tray" ] || { cat "$out" >&2; fail "no tray icon"; }
    check
    # The first icon of the tray; About, Config..., Exit.
    eval "$(xdotool getwindowgeometry --shell "$tray")"
    sleep 1
    xdotool mousemove $((X + 10)) $((Y + 10)) click 3
    sleep 1
    xdotool key --delay 80 Down Down Down Return
    for _ in $(seq 1 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "Exit did not end run.sh"; }
    wait "$pid" || fail "run.sh $* failed: $(cat "$out")"
    [ "$(ls -d /tmp/quorvel-samples.* 2>/dev/null || true)" = "$before" ] ||
        fail "the sample printers outlived Quorvel"
}

out=$QUORVEL_SESSION_DIR/run.out

# The session's printers are the machine's.
check() { [ "$(wine "$LIST" | tr -d '\r' | tr '\n' ' ')" = "Alpha Beta Gamma " ] || fail "printers changed"; }
run_until_exit "$out"
grep -qi sample "$out" && fail "samples on a machine with printers: $(cat "$out")"
grep -q "double-click on the icon opens nothing" "$out" || fail "no word on the double-click: $(cat "$out")"

# No print server at all, in a prefix of its own: the samples come.
check() { :; }
qv_prefix_copy "$QV_TEMPLATE" "$QUORVEL_SESSION_DIR/bare"
WINEPREFIX=$QUORVEL_SESSION_DIR/bare CUPS_SERVER=$QUORVEL_SESSION_DIR/none.sock run_until_exit "$out"
grep -qx "Sample printers for this run (Front Desk, Home Inkjet, Office Laser): .*" "$out" ||
    fail "no sample printers: $(cat "$out")"
WINEPREFIX=$QUORVEL_SESSION_DIR/bare wineserver -k 2>/dev/null || true
# --samples: the samples even here.
run_until_exit "$out" --samples
grep -q "^Sample printers for this run" "$out" || fail "--samples gave none: $(cat "$out")"
echo "run.sh: printers kept, samples when none and when asked, gone at exit"
