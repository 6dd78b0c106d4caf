#!/usr/bin/env bash
# Every address in the administrators' example locations is four plain
# decimal numbers from 0 to 255. Quorvel does not refuse a stored address it
# cannot read: an unreadable end of a range reaches 255.255.255.255, so one
# typo in a copied .reg file makes a location match nearly every network.
# Usage: check-example-addresses.sh EXAMPLE_REG
set -uo pipefail

reg=$1
fails=0 count=0
octet='(0|[1-9][0-9]?|1[0-9][0-9]|2[0-4][0-9]|25[0-5])'
while IFS= read -r line; do
    line=${line%$'\r'}
    count=$((count + 1))
    if [[ ! "$line" =~ ^\"szIP(Start|Finish)\"=\"$octet(\.$octet){3}\"$ ]]; then
        echo "FAIL: $reg: not a plain dotted address: $line"
        fails=$((fails + 1))
    fi
done < <(grep -i '^[[:space:]]*"szIP' "$reg")
[ "$count" -gt 0 ] || { echo "FAIL: $reg: no addresses found"; exit 1; }
echo "$count addresses checked, $fails not plain"
[ "$fails" -eq 0 ]
