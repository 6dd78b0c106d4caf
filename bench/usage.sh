#!/bin/sh
# Prints the processor time (ms), the wake-ups (voluntary context switches of
# all its threads) and the resident memory (KiB) of the Wine process running
# the program NAME.exe in this session's Wine prefix, as Linux counts them.
# Usage: usage.sh NAME.exe      (run by qbench, inside the session)
set -eu
name=$1
hz=$(getconf CLK_TCK)
for pid in $(pgrep -x "$name"); do
    # Other sessions may run a program of the same name.
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    # Fields 14 and 15 (user and system time) counted after the ")" that ends
    # the command name.
    ticks=$(sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}')
    wakeups=$(cat "/proc/$pid"/task/*/status 2>/dev/null |
        awk '/^voluntary_ctxt_switches/ {n += $2} END {print n + 0}')
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    echo "$((ticks * 1000 / hz)) $wakeups $rss"
    exit 0
done
echo "no process $name in $WINEPREFIX" >&2
exit 1
