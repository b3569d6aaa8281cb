#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test Quorvela. Safe to run again.
set -euo pipefail
PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-translations-l10n libsqlcipher-dev sqlcipher libgsf-1-dev
  libicu-dev unicode-data fonts-noto-cjk poppler-utils python3-xlrd xvfb xauth xdotool imagemagick
  fonts-arphic-uming fonts-wqy-zenhei
  clang libclang-rt-14-dev)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
