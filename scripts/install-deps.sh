#!/usr/bin/env bash
# Installs what building and testing Quorvel needs on Debian 12 (as root).
# Idempotent: when every package is already there it touches nothing, not
# even the package lists.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: run as root" >&2
    exit 1
fi

PACKAGES=(
    wine wine32:i386                                # runs the 32-bit program
    fonts-wine                                      # Wine's own fonts: Marlett draws the caption buttons
    g++-mingw-w64-i686 binutils-mingw-w64-i686      # builds it
    xvfb xdotool x11-utils imagemagick              # display, input, screenshots
    cups cups-client cups-bsd                       # private print server
    googletest cmake make g++ python3               # unit tests, build
    python3-yaml                                    # reads the winget manifests back
    iproute2                                        # network namespaces
    nsis wixl osslsigncode zip                      # packages: setup, MSI, signing, zip
    msitools unzip openssl                          # MSI tables, package checks, test certificate
    clang libclang-rt-14-dev cppcheck clang-tidy    # fuzzing, second compiler, analysis
)

export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package; a new architecture needs fresh package lists.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    NEED_UPDATE=1
else
    NEED_UPDATE=0
fi

# install_missing PACKAGE...: installs those not yet installed.
install_missing() {
    local p status missing=()
    for p in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        if [ "$status" != "install ok installed" ]; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -eq 0 ] && [ "$NEED_UPDATE" -eq 0 ]; then
        return 0
    fi
    echo "install-deps.sh: installing ${missing[*]}"
    if [ "$UPDATED" -eq 0 ]; then
        apt-get update
        UPDATED=1
        NEED_UPDATE=0
    fi
    apt-get install -y "${missing[@]}"
}
UPDATED=0

install_missing "${PACKAGES[@]}"

# A host whose kernel cannot run 32-bit code runs the Windows tests as
# 64-bit twins under Wine's 64-bit loader (tests/fixture/wine-arch.sh);
# QUORVEL_WINE_ARCH=win64 asks for them on any host.
if [ "${QUORVEL_WINE_ARCH:-}" = win64 ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "install-deps.sh: the Windows tests run as 64-bit twins here; adding 64-bit Wine and compilers"
    install_missing wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
fi
echo "install-deps.sh: all packages present"
