#!/usr/bin/env bash
# Builds what users download, from the built program (build/Quorvel.exe),
# into dist/:
#   readme.txt                  the user's manual (CRLF), also in every package
#   Quorvel-<version>-setup.exe per-user setup (NSIS), no elevation
#   Quorvel-<version>.msi       per-machine package for administrators (wixl)
#   Quorvel-<version>.zip       Quorvel.exe, readme.txt and LICENSE.txt,
#                               nothing installed
#   Quorvel-<version>-policy-templates.zip
#                               the Group Policy and Intune templates
#                               (packaging/policy/), as the central store
#                               holds them, a README.txt and LICENSE.txt
#   SHA256SUMS                  the checksum of each of the files above
#   manifests/winget/           winget's manifests for the setup and the MSI
#   manifests/scoop/quorvel.json  Scoop's manifest for the zip
# Every package carries LICENSE as LICENSE.txt with Windows line ends. The
# manifests give each package's download address as QUORVEL_RELEASE_URL
# (the address of the folder the release's files are published in) and the
# file's name; without it they give a placeholder address under
# placeholder.invalid and say so.
# The version is the one in CMakeLists.txt's project() line; --version
# overrides it for the packages only (the tests build an older version from
# the same program to upgrade from).
#
# With QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY set, Quorvel.exe is signed
# before it is packed, and so are the setup, its uninstaller and the MSI
# (scripts/sign-file.sh); without them everything is built unsigned.
#
# Where this host cannot run 32-bit code, the 64-bit twin of the setup is
# built too (build-win64/dist/, or DIR/twin/ with --out), from the same
# script and packing the 64-bit twin of the program: the Wine tests install
# that one there.
#
# Usage: scripts/package.sh [--out DIR] [--version X.Y] [--no-twin]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD

OUT=$ROOT/dist
TWIN_OUT=$ROOT/build-win64/dist
TWIN=auto
VERSION=
while [ $# -gt 0 ]; do
    case "$1" in
        --out) OUT=$(mkdir -p "$2" && cd "$2" && pwd); TWIN_OUT=$OUT/twin; shift 2 ;;
        --version) VERSION=$2; shift 2 ;;
        --no-twin) TWIN=no; shift ;;
        *) echo "usage: $0 [--out DIR] [--version X.Y] [--no-twin]" >&2; exit 2 ;;
    esac
done

die() { echo "package.sh: $*" >&2; exit 1; }

if [ -z "$VERSION" ]; then
    VERSION=$(sed -n 's/^project(Quorvel VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
    [ -n "$VERSION" ] || die "no version in CMakeLists.txt's project() line"
fi
# Windows Installer compares three fields of at most 255, 255 and 65535.
[[ "$VERSION" =~ ^[0-9]{1,3}\.[0-9]{1,3}(\.[0-9]{1,5})?$ ]] ||
    die "version $VERSION: give two or three numbers, as 2.0 or 2.0.1"
# The same in the four fields of a version resource.
VERSION4=$VERSION
while [ "$(tr -cd . <<<"$VERSION4" | wc -c)" -lt 3 ]; do VERSION4=$VERSION4.0; done
EXE=$ROOT/build/Quorvel.exe
[ -f "$EXE" ] || die "$EXE is missing: run scripts/build.sh first"
for tool in makensis wixl msibuild msiinfo zip sha256sum; do
    command -v "$tool" >/dev/null || die "$tool is missing: run scripts/install-deps.sh"
done

SIGN=no
if [ -n "${QUORVEL_SIGN_CERT:-}" ] && [ -n "${QUORVEL_SIGN_KEY:-}" ]; then
    SIGN=yes
    command -v osslsigncode >/dev/null || die "osslsigncode is missing: run scripts/install-deps.sh"
fi

# Where the release's files will be downloaded from. The manifests are text
# in YAML and JSON: the address goes in unquoted, so it may hold no space,
# quote, backslash or '#'.
RELEASE_URL=${QUORVEL_RELEASE_URL:-}
RELEASE_URL=${RELEASE_URL%/}
if [ -n "$RELEASE_URL" ]; then
    url_pattern='^https?://[^[:space:]\"'\''#]+$'
    [[ "$RELEASE_URL" =~ $url_pattern ]] ||
        die "QUORVEL_RELEASE_URL $RELEASE_URL: give an http(s) address without spaces, quotes, backslashes or '#'"
    PLACEHOLDER=no
else
    RELEASE_URL=https://placeholder.invalid/quorvel/$VERSION
    PLACEHOLDER=yes
fi

STAGE=$(mktemp -d /tmp/quorvel-package.XXXXXX)
trap 'rm -rf "$STAGE"' EXIT

# The manual: the version filled in, Windows line ends. The licence, with
# Windows line ends and a name that Notepad opens.
sed -e "s/@VERSION@/$VERSION/g" -e 's/$/\r/' packaging/readme.txt >"$STAGE/readme.txt"
sed -e 's/$/\r/' LICENSE >"$STAGE/LICENSE.txt"
cp "$EXE" "$STAGE/Quorvel.exe"
if [ "$SIGN" = yes ]; then
    scripts/sign-file.sh "$STAGE/Quorvel.exe"
fi

SETUP=$OUT/Quorvel-$VERSION-setup.exe
MSI=$OUT/Quorvel-$VERSION.msi
ZIP=$OUT/Quorvel-$VERSION.zip
POLICY_ZIP=$OUT/Quorvel-$VERSION-policy-templates.zip
mkdir -p "$OUT"
SUMS=$OUT/SHA256SUMS
# One release in the folder: packages of another version left by an earlier
# run would sit beside SHA256SUMS without being listed in it (the policy
# templates' zip among them).
rm -f "$OUT/readme.txt" "$OUT"/Quorvel-*-setup.exe "$OUT"/Quorvel-*.msi "$OUT"/Quorvel-*.zip "$SUMS"
cp "$STAGE/readme.txt" "$OUT/readme.txt"

# build_setup TARGET EXE OUTFILE [makensis options...]
build_setup() {
    local target=$1 exe=$2 outfile=$3
    shift 3
    makensis -V2 -WX -DVERSION="$VERSION" -DVERSION4="$VERSION4" -DTARGET="$target" -DEXE="$exe" \
        -DREADME="$STAGE/readme.txt" -DLICENSE="$STAGE/LICENSE.txt" -DICON="$ROOT/res/idle.ico" \
        -DOUTFILE="$outfile" "$@" packaging/quorvel.nsi >"$STAGE/makensis.log" 2>&1 ||
        { cat "$STAGE/makensis.log" >&2; die "makensis failed ($target)"; }
}

# The setup: the ANSI target, the one NSIS still builds for Windows 95,
# 98, Me and NT 4.0 as well as for today's Windows.
if [ "$SIGN" = yes ]; then
    build_setup x86-ansi "$STAGE/Quorvel.exe" "$SETUP" -DSIGNCMD="$ROOT/scripts/sign-file.sh"
    scripts/sign-file.sh "$SETUP"
else
    build_setup x86-ansi "$STAGE/Quorvel.exe" "$SETUP"
fi

# The MSI is made in the staging folder and moved into place when done, so
# that a failure leaves no half-made database (or msibuild's temporary
# files) beside the packages.
MSI_WORK=$STAGE/${MSI##*/}

# msi_sql SQL: one statement on the MSI being made.
msi_sql() { msibuild "$MSI_WORK" -q "$1" || die "msibuild: $1"; }

# msi_row TABLE PATTERN WHAT: reads an edit back, since one that matches no
# row succeeds without a word; stops the build unless a row of TABLE, its
# columns joined by tabs as msiinfo exports them, matches PATTERN (Perl).
msi_row() {
    msiinfo export "$MSI_WORK" "$1" | tr -d '\r' | grep -qP -- "$2" ||
        die "$3: no such row in the MSI's $1 table after the edit (has wixl's output changed?)"
}

# The MSI. wixl cannot express these; they are set in the built database
# (packaging/quorvel.wxs says why each one matters):
#  - the condition on the Run value's component, and STARTATSIGNIN among
#    the secure properties;
#  - the same version among those an install replaces, and the installed
#    build removed before the new files are copied;
#  - Quorvel.exe's file version;
#  - the package's language and platform in its summary.
# wixl finds sources only by names relative to where it runs.
cp res/idle.ico "$STAGE/quorvel.ico"
(cd "$STAGE" && wixl -a x86 -D Version="$VERSION" -o "$MSI_WORK" "$ROOT/packaging/quorvel.wxs") \
    >"$STAGE/wixl.log" 2>&1 || { cat "$STAGE/wixl.log" >&2; die "wixl failed"; }
msi_sql "UPDATE \`Component\` SET \`Condition\` = 'STARTATSIGNIN<>\"0\"' WHERE \`Component\` = 'RunAtSignIn'"
msi_row Component '^RunAtSignIn\t([^\t]*\t){3}STARTATSIGNIN<>"0"\t' "the Run value's condition"
secure=$(msiinfo export "$MSI_WORK" Property | tr -d '\r' | sed -n 's/^SecureCustomProperties\t//p')
if msiinfo export "$MSI_WORK" Property | tr -d '\r' | grep -q $'^SecureCustomProperties\t'; then
    msi_sql "UPDATE \`Property\` SET \`Value\` = 'STARTATSIGNIN${secure:+;$secure}' WHERE \`Property\` = 'SecureCustomProperties'"
else
    msi_sql "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', 'STARTATSIGNIN')"
fi
msi_row Property "^SecureCustomProperties\t\QSTARTATSIGNIN${secure:+;$secure}\E\$" \
    "STARTATSIGNIN among the secure properties"
# msidbUpgradeAttributesVersionMaxInclusive (0x200), with MigrateFeatures
# (1) as wixl wrote it, on the row that removes older versions (a key
# column, so the row is written anew); the row that detects newer ones
# stays exclusive.
upgrade_code=$(msiinfo export "$MSI_WORK" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')
msiinfo export "$MSI_WORK" Upgrade | tr -d '\r' |
    grep -qx "$upgrade_code"$'\t\t'"$VERSION"$'\t\t1\t\tWIX_UPGRADE_DETECTED' ||
    die "wixl wrote another upgrade row than expected"
msi_sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
msi_sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$VERSION', 513, 'WIX_UPGRADE_DETECTED')"
msi_row Upgrade "^\Q$upgrade_code\E\t\t\Q$VERSION\E\t\t513\t\tWIX_UPGRADE_DETECTED\$" \
    "the same version among those an install replaces"
# Right after InstallValidate, where the installer's own guidance puts it
# for a removal before the new install.
msi_sql "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1401 WHERE \`Action\` = 'RemoveExistingProducts'"
msi_row InstallExecuteSequence '^RemoveExistingProducts\t\t1401$' \
    "the installed build removed before the new files come"
exe_version=$(scripts/file-version.sh "$STAGE/Quorvel.exe")
[ -n "$exe_version" ] || die "Quorvel.exe has no version resource"
msi_sql "UPDATE \`File\` SET \`Version\` = '$exe_version' WHERE \`File\` = 'QuorvelExe'"
msi_row File "^QuorvelExe\t([^\t]*\t){3}\Q$exe_version\E\t" "Quorvel.exe's file version $exe_version"
msibuild "$MSI_WORK" -s "Quorvel $VERSION" Brennick "Intel;3081" \
    "{$(tr a-z A-Z </proc/sys/kernel/random/uuid)}"
if [ "$SIGN" = yes ]; then
    scripts/sign-file.sh "$MSI_WORK"
fi
mv "$MSI_WORK" "$MSI"
PRODUCT_CODE=$(msiinfo export "$MSI" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p')

# The portable zip.
(cd "$STAGE" && zip -q -X "$ZIP" Quorvel.exe readme.txt LICENSE.txt)

# The policy templates, in the folders of the central store
# (PolicyDefinitions and its en-US), with Windows line ends.
POLICY_STAGE=$STAGE/policy
mkdir -p "$POLICY_STAGE/PolicyDefinitions/en-US"
sed 's/$/\r/' packaging/policy/Quorvel.admx >"$POLICY_STAGE/PolicyDefinitions/Quorvel.admx"
sed 's/$/\r/' packaging/policy/en-US/Quorvel.adml >"$POLICY_STAGE/PolicyDefinitions/en-US/Quorvel.adml"
sed -e "s/@VERSION@/$VERSION/g" -e 's/$/\r/' packaging/policy/README.txt >"$POLICY_STAGE/README.txt"
cp "$STAGE/LICENSE.txt" "$POLICY_STAGE/LICENSE.txt"
(cd "$POLICY_STAGE" && zip -q -X -D "$POLICY_ZIP" README.txt LICENSE.txt \
    PolicyDefinitions/Quorvel.admx PolicyDefinitions/en-US/Quorvel.adml)

# The setup's 64-bit twin, for the Wine tests on hosts without 32-bit support.
# shellcheck source-path=SCRIPTDIR/..
. tests/fixture/wine-arch.sh
if [ "$TWIN" = auto ] && [ "$QUORVEL_WINE_ARCH" = win64 ]; then
    TWIN_EXE=$ROOT/build-win64/Quorvel.exe
    [ -f "$TWIN_EXE" ] || die "$TWIN_EXE is missing: run scripts/build.sh first"
    mkdir -p "$TWIN_OUT"
    build_setup amd64-unicode "$TWIN_EXE" "$TWIN_OUT/Quorvel-$VERSION-setup.exe"
    echo "package.sh: test twin ${TWIN_OUT#"$ROOT"/}/Quorvel-$VERSION-setup.exe (64-bit, not shipped)"
fi

# write_manifests: winget's multi-file manifest for the setup and the MSI,
# and Scoop's for the zip, in manifests/ beside the packages, with the
# packages' own hashes (taken after signing, from the files published).
write_manifests() {
    local dir=$OUT/manifests id=Brennick.Quorvel schema=1.9.0 note=""
    local setup_sha msi_sha zip_sha
    setup_sha=$(sha256sum "$SETUP" | cut -d' ' -f1)
    msi_sha=$(sha256sum "$MSI" | cut -d' ' -f1)
    zip_sha=$(sha256sum "$ZIP" | cut -d' ' -f1)
    rm -rf "$dir"
    mkdir -p "$dir/winget" "$dir/scoop"
    if [ "$PLACEHOLDER" = yes ]; then
        note="The download addresses are placeholders (placeholder.invalid): package.sh was run without QUORVEL_RELEASE_URL."
    fi
    # winget: schema 1.9.0, one the community repository's validation
    # accepts, and one that winget clients from 1.9 on can read.
    {
        echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.$schema.schema.json"
        [ -z "$note" ] || echo "# $note"
        echo "PackageIdentifier: $id"
        echo "PackageVersion: '$VERSION'"
        echo "DefaultLocale: en-AU"
        echo "ManifestType: version"
        echo "ManifestVersion: $schema"
    } >"$dir/winget/$id.yaml"
    {
        echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.$schema.schema.json"
        [ -z "$note" ] || echo "# $note"
        echo "PackageIdentifier: $id"
        echo "PackageVersion: '$VERSION'"
        echo "PackageLocale: en-AU"
        echo "Publisher: Brennick"
        echo "PublisherUrl: http://quorvel.example.org/"
        echo "PackageName: Quorvel"
        echo "PackageUrl: http://quorvel.example.org/"
        echo "License: MIT"
        echo "Copyright: Copyright (c) 2026 Brennick"
        echo "ShortDescription: Keeps the right printer as the default, wherever the computer is."
        echo "Description: A tray program that makes the printer picked from its menu the default at once, and lets the default follow the computer from network to network by up to ten address ranges."
        echo "Tags:"
        echo "- printer"
        echo "- default-printer"
        echo "- tray"
        echo "ManifestType: defaultLocale"
        echo "ManifestVersion: $schema"
    } >"$dir/winget/$id.locale.en-AU.yaml"
    # The MSI is found again by its ProductCode and, across builds, by its
    # upgrade code; the setup by its uninstall entry's name, "Quorvel".
    {
        echo "# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.$schema.schema.json"
        [ -z "$note" ] || echo "# $note"
        echo "PackageIdentifier: $id"
        echo "PackageVersion: '$VERSION'"
        echo "InstallerLocale: en-AU"
        echo "Installers:"
        echo "- Architecture: x86"
        echo "  InstallerType: msi"
        echo "  Scope: machine"
        echo "  InstallerUrl: $RELEASE_URL/${MSI##*/}"
        echo "  InstallerSha256: ${msi_sha^^}"
        echo "  ProductCode: '$PRODUCT_CODE'"
        echo "  AppsAndFeaturesEntries:"
        echo "  - DisplayName: Quorvel"
        echo "    Publisher: Brennick"
        echo "    ProductCode: '$PRODUCT_CODE'"
        echo "    UpgradeCode: '$upgrade_code'"
        echo "- Architecture: x86"
        echo "  InstallerType: nullsoft"
        echo "  Scope: user"
        echo "  InstallerUrl: $RELEASE_URL/${SETUP##*/}"
        echo "  InstallerSha256: ${setup_sha^^}"
        echo "  InstallerSwitches:"
        echo "    Silent: /S"
        echo "    SilentWithProgress: /S"
        echo "  ProductCode: Quorvel"
        echo "  AppsAndFeaturesEntries:"
        echo "  - DisplayName: Quorvel"
        echo "    Publisher: Brennick"
        echo "    ProductCode: Quorvel"
        echo "ManifestType: installer"
        echo "ManifestVersion: $schema"
    } >"$dir/winget/$id.installer.yaml"
    # Scoop: the zip unpacked as it is; "##" is the manifest's comment field.
    {
        echo "{"
        [ -z "$note" ] || echo "    \"##\": \"$note\","
        echo "    \"version\": \"$VERSION\","
        echo "    \"description\": \"Keeps the right printer as the default, wherever the computer is.\","
        echo "    \"homepage\": \"http://quorvel.example.org/\","
        echo "    \"license\": \"MIT\","
        echo "    \"url\": \"$RELEASE_URL/${ZIP##*/}\","
        echo "    \"hash\": \"$zip_sha\","
        echo "    \"bin\": \"Quorvel.exe\","
        echo "    \"shortcuts\": ["
        echo "        ["
        echo "            \"Quorvel.exe\","
        echo "            \"Quorvel\""
        echo "        ]"
        echo "    ]"
        echo "}"
    } >"$dir/scoop/quorvel.json"
    if [ "$PLACEHOLDER" = yes ]; then
        echo "package.sh: manifests/ name placeholder download addresses (set QUORVEL_RELEASE_URL)"
    else
        echo "package.sh: manifests/ name downloads under $RELEASE_URL/"
    fi
}

# Checksums of everything users download, for sha256sum -c (or
# certutil -hashfile FILE SHA256 on Windows).
(cd "$OUT" && sha256sum readme.txt "${SETUP##*/}" "${MSI##*/}" "${ZIP##*/}" "${POLICY_ZIP##*/}" \
    >"$SUMS")

write_manifests

if [ "$SIGN" = yes ]; then
    echo "package.sh: signed Quorvel.exe, the setup, its uninstaller and the MSI"
else
    echo "package.sh: unsigned (set QUORVEL_SIGN_CERT and QUORVEL_SIGN_KEY to sign)"
fi
for f in "$OUT/readme.txt" "$SETUP" "$MSI" "$ZIP" "$POLICY_ZIP" "$SUMS"; do
    printf 'package.sh: %-36s %8d bytes\n' "${f##*/}" "$(stat -c %s "$f")"
done
# Each build of the MSI has a ProductCode of its own: publish it with the
# release for detection rules that go by ProductCode.
echo "package.sh: ${MSI##*/} ProductCode $PRODUCT_CODE (this build's own)"
