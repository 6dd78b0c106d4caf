#!/usr/bin/env bash
# The built packages as files (no Wine needed): readme.txt keeps its format,
# the zip holds exactly the program, the readme and the licence, the policy
# templates' zip holds the source's templates where the central store keeps
# them and the licence, the MSI carries the licence and what wixl cannot
# write itself, the program and the packages carry one version, the setup is
# the 32-bit one, and SHA256SUMS checks every file users download.
# Usage: check-packages.sh SOURCE_DIR PROGRAM_EXE VERSION
set -uo pipefail

src=$1 exe=$2 version=$3
dist=$src/dist
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

readme=$dist/readme.txt
if [ ! -f "$readme" ]; then
    echo "FAIL: $readme is missing: run scripts/package.sh"
    exit 1
fi

# readme.txt: every line ends CR LF, at most 78 columns, plain ASCII.
if [ "$(tr -cd '\n' <"$readme" | wc -c)" -ne "$(grep -c $'\r$' "$readme")" ]; then
    fail "readme.txt: not every line ends with CR LF"
fi
if LC_ALL=C grep -n $'\r.' "$readme" >/dev/null; then
    fail "readme.txt: a bare CR inside a line"
fi
long=$(tr -d '\r' <"$readme" | awk 'length > 78 { print NR ": " length }')
[ -z "$long" ] || fail "readme.txt: lines over 78 columns: $long"
if LC_ALL=C grep -n '[^[:print:]'$'\r'']' "$readme"; then
    fail "readme.txt: tabs or characters outside printable ASCII"
fi
grep -q '@VERSION@' "$readme" && fail "readme.txt: version not filled in"
# The configuration dialog's disabled caption sends the user to a section of
# the readme; its heading is the caption's own words.
caption=$(sed -n 's/^#define ICON_GROUP_DISABLED_TEXT "\(.*\) - see readme.txt)"$/\1)/p' \
    "$src/dialogs/config.cpp")
[ -n "$caption" ] || fail "no disabled caption found in dialogs/config.cpp"
if ! tr -d '\r' <"$readme" | grep -qE "^[0-9]+\. ${caption//(/\\(}"; then
    fail "readme.txt: no section headed '$caption' for the disabled caption"
fi

# licence_is_shown_well WHERE FILE: LICENSE with CR LF line ends, which
# Notepad on every Windows shows as lines.
licence_is_shown_well() {
    [ -f "$2" ] || return 0  # its absence is reported where the files are listed
    if [ "$(tr -cd '\n' <"$2" | wc -c)" -ne "$(grep -c $'\r$' "$2")" ]; then
        fail "$1: LICENSE.txt: not every line ends with CR LF"
    fi
    tr -d '\r' <"$2" | cmp -s - "$src/LICENSE" || fail "$1: LICENSE.txt is not LICENSE"
}

# The zip: Quorvel.exe, readme.txt and LICENSE.txt, the very files.
zip=$dist/Quorvel-$version.zip
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if unzip -q "$zip" -d "$tmp/zip"; then
    [ "$(cd "$tmp/zip" && LC_ALL=C ls | tr '\n' ' ')" = "LICENSE.txt Quorvel.exe readme.txt " ] ||
        fail "zip holds: $(cd "$tmp/zip" && ls | tr '\n' ' ')"
    cmp -s "$tmp/zip/readme.txt" "$readme" || fail "zip: readme.txt differs from dist/readme.txt"
    licence_is_shown_well zip "$tmp/zip/LICENSE.txt"
    # A signed build packs a signed copy; compare unsigned builds only.
    if ! osslsigncode verify -in "$tmp/zip/Quorvel.exe" >/dev/null 2>&1; then
        cmp -s "$tmp/zip/Quorvel.exe" "$exe" || fail "zip: Quorvel.exe is not the built program"
    fi
else
    fail "cannot unpack $zip"
fi

# The policy templates: the two files in the central store's folders, each
# the source's with Windows line ends, their README with the version, and
# the licence.
pzip=$dist/Quorvel-$version-policy-templates.zip
if unzip -q "$pzip" -d "$tmp/policy"; then
    held=$(cd "$tmp/policy" && find . -type f | sort | tr '\n' ' ')
    [ "$held" = "./LICENSE.txt ./PolicyDefinitions/Quorvel.admx ./PolicyDefinitions/en-US/Quorvel.adml ./README.txt " ] ||
        fail "policy templates zip holds: $held"
    licence_is_shown_well "policy templates zip" "$tmp/policy/LICENSE.txt"
    for f in Quorvel.admx en-US/Quorvel.adml; do
        got=$tmp/policy/PolicyDefinitions/$f
        [ -f "$got" ] || continue
        [ "$(tr -cd '\n' <"$got" | wc -c)" -eq "$(grep -c $'\r$' "$got")" ] ||
            fail "policy templates zip: not every line of $f ends with CR LF"
        tr -d '\r' <"$got" | cmp -s - "$src/packaging/policy/$f" ||
            fail "policy templates zip: $f differs from packaging/policy/$f"
    done
    grep -q "^Quorvel $version: " "$tmp/policy/README.txt" ||
        fail "policy templates zip: README.txt does not name version $version"
else
    fail "cannot unpack $pzip"
fi

# The MSI: per machine, Australian English, the upgrade code, and the
# condition and secure property set after wixl.
msi=$dist/Quorvel-$version.msi
props=$(msiinfo export "$msi" Property | tr -d '\r')
grep -qx $'ALLUSERS\t1' <<<"$props" || fail "MSI: ALLUSERS is not 1"
grep -qx $'ProductLanguage\t3081' <<<"$props" || fail "MSI: language is not 3081"
grep -qx $'ProductVersion\t'"$version" <<<"$props" || fail "MSI: version is not $version"
grep -qE $'^SecureCustomProperties\t(.*;)?STARTATSIGNIN(;|$)' <<<"$props" ||
    fail "MSI: STARTATSIGNIN is not a secure property"
upgrade=$(sed -n 's/.*UpgradeCode="\({[0-9A-F-]*}\)".*/\1/p' "$src/packaging/quorvel.wxs")
grep -qx $'UpgradeCode\t'"$upgrade" <<<"$props" || fail "MSI: upgrade code is not $upgrade"
table=$(msiinfo export "$msi" Upgrade | tr -d '\r')
grep -q "^$upgrade" <<<"$table" || fail "MSI: no Upgrade row for $upgrade"
table=$(msiinfo export "$msi" Component | tr -d '\r')
grep -qP '^RunAtSignIn\t.*\tSTARTATSIGNIN<>"0"\t' <<<"$table" ||
    fail "MSI: the Run value is not conditioned on STARTATSIGNIN"
# A rebuild of this version replaces the installed build (inclusive maximum),
# the installed build goes before the new files come, and a newer one
# refuses this package with a message.
table=$(msiinfo export "$msi" Upgrade | tr -d '\r')
grep -qx "$upgrade"$'\t\t'"$version"$'\t\t513\t\tWIX_UPGRADE_DETECTED' <<<"$table" ||
    fail "MSI: the same version is not among those an install replaces"
table=$(msiinfo export "$msi" InstallExecuteSequence | tr -d '\r')
rep=$(sed -n 's/^RemoveExistingProducts\t\t//p' <<<"$table")
validate=$(sed -n 's/^InstallValidate\t\t//p' <<<"$table")
initialize=$(sed -n 's/^InstallInitialize\t\t//p' <<<"$table")
if [ -z "$rep" ] || [ "$rep" -le "$validate" ] || [ "$rep" -ge "$initialize" ]; then
    fail "MSI: RemoveExistingProducts ($rep) is not between InstallValidate and InstallInitialize"
fi
msiinfo export "$msi" LaunchCondition | tr -d '\r' | grep -q $'^NOT WIX_DOWNGRADE_DETECTED\tA newer version of Quorvel is already installed' ||
    fail "MSI: no message refusing an older version"
# STARTATSIGNIN: no default of its own, read back from where the package wrote it.
grep -q $'^STARTATSIGNIN\t' <<<"$props" && fail "MSI: STARTATSIGNIN has a default that hides the remembered one"
msiinfo export "$msi" RegLocator | tr -d '\r' |
    grep -qxF $'RememberedStartAtSignIn\t2\tSoftware\\Brennick\\Quorvel\tStartAtSignIn\t2' ||
    fail "MSI: STARTATSIGNIN is not read back from HKLM"
msiinfo export "$msi" Registry | tr -d '\r' | grep -qF $'\tSoftware\\Brennick\\Quorvel\tStartAtSignIn\t[STARTATSIGNIN]\t' ||
    fail "MSI: STARTATSIGNIN is not written where it is read back"
# Quorvel.exe with the file version its version resource carries, which is
# the packages' version.
exe_version=$("$src/scripts/file-version.sh" "$exe")
[ -n "$exe_version" ] || fail "$exe has no version resource"
version4=$version
while [ "$(tr -cd . <<<"$version4" | wc -c)" -lt 3 ]; do version4=$version4.0; done
[ "$exe_version" = "$version4" ] || fail "Quorvel.exe is version $exe_version, the packages $version"
msiinfo export "$msi" File | tr -d '\r' | grep -qP "^QuorvelExe\t.*\tQuorvel.exe\t\d+\t${exe_version//./\\.}\t" ||
    fail "MSI: Quorvel.exe does not carry its file version $exe_version"
table=$(msiinfo suminfo "$msi")
grep -q '^Template: Intel;3081' <<<"$table" || fail "MSI: not an x86 package for 3081"
# The licence, installed beside the readme.
msiextract -C "$tmp/msi" "$msi" >/dev/null 2>&1
msi_readme=$(find "$tmp/msi" -name readme.txt 2>/dev/null | head -n 1)
if [ -z "$msi_readme" ]; then
    fail "cannot unpack $msi"
elif [ -f "${msi_readme%/*}/LICENSE.txt" ]; then
    licence_is_shown_well MSI "${msi_readme%/*}/LICENSE.txt"
else
    fail "MSI: no LICENSE.txt beside readme.txt"
fi

# The setup: a 32-bit (i386) Windows program.
setup=$dist/Quorvel-$version-setup.exe
pe=$(od -An -tu4 -j60 -N4 "$setup" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$setup" | tr -d ' ')
[ "$machine" = 014c ] || fail "setup: machine $machine, not i386"

# SHA256SUMS: every file in dist/, each as it is.
sums=$dist/SHA256SUMS
if [ -f "$sums" ]; then
    listed=$(sed 's/^[0-9a-f]\{64\}  //' "$sums" | sort | tr '\n' ' ')
    present=$(find "$dist" -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | sort | tr '\n' ' ')
    [ "$listed" = "$present" ] || fail "SHA256SUMS lists '$listed', dist/ holds '$present'"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
else
    fail "no SHA256SUMS"
fi

[ "$fails" -eq 0 ] && echo "packages OK"
exit "$fails"
