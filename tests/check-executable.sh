#!/usr/bin/env bash
# Checks the shape of the built program: a 32-bit GUI PE for subsystem 4.0
# with ASLR and DEP, importing only libraries that Windows never looks for in
# the program's folder: its known system libraries and the common controls,
# which the manifest takes from the side-by-side store. The spooler
# (winspool.drv) is no known library, so the program loads it at run time
# from the system folder instead of importing it.
set -euo pipefail
exe=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
fail=0
check() { if ! "$@"; then echo "FAILED: $*" >&2; fail=1; fi; }

kind=$(file -b "$exe")
check grep -q '^PE32 executable (GUI) Intel 80386' <<<"$kind"
headers=$("$objdump" -p "$exe")
check grep -q 'DYNAMIC_BASE' <<<"$headers"
check grep -q 'NX_COMPAT' <<<"$headers"
check grep -Eq 'MajorSubsystemVersion[[:space:]]+4$' <<<"$headers"
check grep -Eq 'MinorSubsystemVersion[[:space:]]+0$' <<<"$headers"
check grep -q '.reloc' <<<"$("$objdump" -h "$exe")"
dlls=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
echo "imports: $(echo $dlls)"
allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|ws2_32|msvcrt)(\.dll)?$'
for d in $dlls; do
    check grep -Eq "$allowed" <<<"$d"
done
exit $fail
