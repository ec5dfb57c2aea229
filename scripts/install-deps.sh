#!/usr/bin/env bash
# Installs the Debian packages one use of the project needs; does nothing when all are there.
#   install-deps.sh [run]   building and running the tool (scripts/run.sh, scripts/screenshot.sh)
#   install-deps.sh package that, and building the Debian package (scripts/package.sh)
#   install-deps.sh test    everything: the suite, its PostgreSQL server and headless browser, the manuals'
#                           checks, fuzzing, the package and its checks (scripts/test.sh, scripts/fuzz.sh,
#                           scripts/bench.sh)
#   install-deps.sh windows that, and the Windows build and its check: mingw-w64, wine64, NSIS, the tools that
#                           build Debian's sources (scripts/windows.sh)
set -euo pipefail
use=${1:-run}
# qt6-httpserver-dev serves the ledger's line view; Debian 12's package needs qt6-websockets-dev beside it for
# its CMake files, without depending on it.
run=(cmake ninja-build g++ qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
     qt6-httpserver-dev qt6-websockets-dev libfreexl-dev libzip-dev libpq-dev libgl-dev xvfb xauth fonts-wqy-microhei)
package=("${run[@]}" dpkg-dev fonts-dejavu-core)
test=("${package[@]}" postgresql libqt6sql6-psql ccache clang libclang-rt-14-dev python3-openpyxl python3-xlwt
      poppler-utils shellcheck chromium openssl)
windows=("${test[@]}" g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
         wine64 nsis autoconf automake libtool pkg-config bison flex xz-utils)
case "$use" in
run) packages=("${run[@]}") ;;
package) packages=("${package[@]}") ;;
test) packages=("${test[@]}") ;;
windows) packages=("${windows[@]}") ;;
*) echo "usage: $0 [run|package|test|windows]" >&2; exit 2 ;;
esac
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
