#!/usr/bin/env bash
# Installs the Debian packages the tool needs to build, test and run; does nothing when all are there.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
          qt6-translations-l10n libfreexl-dev libzip-dev libpq-dev libqt6sql6-psql postgresql
          libgl-dev xvfb xauth fonts-wqy-microhei ccache clang libclang-rt-14-dev
          python3-openpyxl python3-xlwt poppler-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
