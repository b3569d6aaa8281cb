#!/usr/bin/env bash
# Installs the Debian packages Quorvela needs. Safe to run again: only what is missing is installed.
#   ./setup.sh          what building and running the program need (./run.sh, ./package.sh)
#   ./setup.sh --test   that plus what the tests, the format check and the developer tools need (./test.sh)
# Without root and without sudo it prints the apt-get line to run as root and stops.
set -euo pipefail

# Building: the compiler, CMake, the libraries' development packages (they bring the shared libraries the
# program links), and what CPack's Debian generator uses to find the package's library dependencies.
BUILD_PACKAGES=(
    build-essential cmake pkg-config dpkg-dev file
    qt6-base-dev libsqlcipher-dev libpq-dev libgsf-1-dev libicu-dev libcups2-dev
    mdbtools-dev
)

# Running: what the installed program needs besides the libraries it links: fonts, translations, data.
# The Debian package (./package.sh) depends on exactly these, read from here, plus the linked libraries.
RUN_PACKAGES=(
    fonts-arphic-uming fonts-wqy-zenhei fonts-noto-cjk
    qt6-translations-l10n
)

# Testing only: independent readers of our output (and of the Windows program's Jet files: mdbtools, with xz to
# unpack the test's copy of one), the virtual X server, the sanitizer compiler, the style,
# metadata and package checkers, and what the generators in tools/ read and run (Unihan data, the SVG rasteriser).
# The print system the printing tests start their own throw-away instance of: CUPS with a virtual PDF printer
# (cups-pdf turns the job into a PDF with Ghostscript, which both bring along).
TEST_PACKAGES=(
    sqlcipher postgresql openssl poppler-utils python3-xlrd mdbtools xz-utils
    cups printer-driver-cups-pdf
    xvfb xauth xdotool imagemagick openbox
    clang libclang-rt-14-dev
    clang-format-14 desktop-file-utils appstream lintian
    unicode-data librsvg2-bin
)

wanted=("${BUILD_PACKAGES[@]}" "${RUN_PACKAGES[@]}")
case "${1:-}" in
    --test) wanted+=("${TEST_PACKAGES[@]}") ;;
    "") ;;
    *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "setup.sh: apt-get not found; this script knows Debian's package names only. Missing:" >&2
    echo "    ${missing[*]}" >&2
    exit 1
fi
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then
        SUDO=(sudo)
    else
        echo "setup.sh: these Debian packages are missing and installing them needs root (there is no sudo):" >&2
        echo "    apt-get install --no-install-recommends ${missing[*]}" >&2
        echo "Run that as root, then run this again." >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
