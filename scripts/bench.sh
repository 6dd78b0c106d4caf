#!/usr/bin/env bash
# Benchmark, not a test: Quorvel against two reference tray programs (bench/),
# a bare one and the same one importing Quorvel's libraries with its manifest,
# under Wine in one private session. Prints Markdown tables of medians with
# their ratios; exits non-zero only when it could not measure.
# Usage: scripts/bench.sh [-n RUNS]      (rounds per timing, 15 by default)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Second stage, inside the session: the raw samples, "<measure> <program> <value>".
if [ "${1:-}" = --inside ]; then
    runs=$2 raw=$3
    qbench=$QUORVEL_WIN_BUILD/bench/qbench.exe
    export QUORVEL_BENCH_USAGE=$PWD/bench/usage.sh
    # Into a file, not a pipe: the programs qbench starts inherit its output,
    # and a pipe would wait for them should qbench stop before they end.
    for what in start running address; do
        echo "bench: $what" >&2
        if [ "$what" = address ]; then
            tests/fixture/netns.sh wine "$qbench" address "$runs" >"$raw.part"
        else
            wine "$qbench" "$what" "$runs" >"$raw.part"
        fi
        tr -d '\r' <"$raw.part" >>"$raw"
    done
    rm -f "$raw.part"
    exit 0
fi

runs=15
if [ "${1:-}" = -n ] && [ -n "${2:-}" ]; then
    runs=$2
elif [ $# -gt 0 ]; then
    echo "usage: $0 [-n RUNS]" >&2
    exit 2
fi
if ! [[ $runs =~ ^[0-9]+$ ]] || [ "$runs" -lt 1 ] || [ "$runs" -gt 1000 ]; then
    echo "bench: RUNS must be a number from 1 to 1000" >&2
    exit 2
fi

started=$(date +%s)
echo "bench: building" >&2
scripts/build.sh --no-native >/dev/null
load=$(cut -d' ' -f1-3 /proc/loadavg)
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh

raw=$(mktemp /tmp/quorvel-bench.XXXXXX)
trap 'rm -f "$raw" "$raw.part"' EXIT
if ! QUORVEL_FIXTURE_QUIET=1 tests/fixture/session.sh "$0" --inside "$runs" "$raw"; then
    echo "bench: could not measure" >&2
    exit 1
fi

# median MEASURE PROGRAM
median() {
    awk -v m="$1" -v p="$2" '$1 == m && $2 == p {print $3}' "$raw" | sort -g |
        awk '{v[NR] = $1} END {if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2];
                               else print (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
# fmt VALUE DECIMALS
fmt() { awk -v v="$1" -v d="$2" 'BEGIN {printf "%.*f", d, v}'; }
# ratio A B: A / B, or "-" when B is zero
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b == 0) print "-"; else printf "%.2f", a / b}'; }
# row TEXT MEASURE DECIMALS: Quorvel, bare, linked and the two ratios
row() {
    local q b l
    q=$(median "$2" quorvel) b=$(median "$2" bare) l=$(median "$2" linked)
    echo "| $1 | $(fmt "$q" "$3") | $(fmt "$b" "$3") | $(fmt "$l" "$3") | $(ratio "$q" "$b") | $(ratio "$q" "$l") |"
}
size() { stat -c %s "$1"; }

if [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    measured="the 64-bit twins in build-win64/ (this host cannot run 32-bit code)"
else
    measured="the 32-bit programs in build/"
fi
imports() { i686-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' '; }
q_imports=$(imports build/Quorvel.exe)
l_imports=$(imports build/bench/linkedtray.exe)

echo "Medians of $runs rounds, $(date -u '+%Y-%m-%d %H:%M UTC'), $(wine --version 2>/dev/null);"
echo "measured: $measured; sizes: the shipped 32-bit build/."
echo "Load average (1, 5, 15 min) at the start: $load; at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
echo
echo "| measure | Quorvel | bare | linked | Quorvel ÷ bare | Quorvel ÷ linked |"
echo "|---|---:|---:|---:|---:|---:|"
row "start until the tray icon shows (ms)" start 1
row "right-click until the menu shows, 50 printers (ms)" menu 1
row "processor time in 30 s of idling (ms)" idle-cpu 0
row "wake-ups in 30 s of idling" idle-wakeups 0
row "resident memory (KiB)" rss 0
qs=$(size build/Quorvel.exe) bs=$(size build/bench/baretray.exe) ls=$(size build/bench/linkedtray.exe)
echo "| size of the .exe (bytes) | $qs | $bs | $ls | $(ratio "$qs" "$bs") | $(ratio "$qs" "$ls") |"
echo
echo "| measure | Quorvel | reference | Quorvel ÷ reference |"
echo "|---|---:|---:|---:|"
qa=$(median address quorvel) ra=$(median address reference) rr=$(median address routed)
echo "| address-change report that brings a routed address, until the new default is written (ms); reference: \`SetDefaultPrinterA\` alone | $(fmt "$qa" 1) | $(fmt "$ra" 1) | $(ratio "$qa" "$ra") |"
echo "| the same; reference: the platform calls a decision by network makes (the host's name resolved, the route table read) and \`SetDefaultPrinterA\` | $(fmt "$qa" 1) | $(fmt "$rr" 1) | $(ratio "$qa" "$rr") |"
qn=$(median address-bound quorvel) qr=$(median address-range quorvel)
echo "| address-change report until the new default is set, a location bound to its known router (ms); reference: the same locations by range alone | $(fmt "$qn" 1) | $(fmt "$qr" 1) | $(ratio "$qn" "$qr") |"
qb=$(median rss quorvel) qm=$(median rss-after-switches quorvel)
echo "| resident memory after 500 switches (KiB); reference: before them | $(fmt "$qm" 0) | $(fmt "$qb" 0) | $(ratio "$qm" "$qb") |"
echo
if [ "$q_imports" != "$l_imports" ]; then
    echo "Note: the linked reference imports $l_imports; Quorvel imports $q_imports."
fi
echo "bench: done in $(($(date +%s) - started)) s" >&2
