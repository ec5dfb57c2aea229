#!/usr/bin/env bash
# Builds the tool, handset, ledger and xlscells for 64-bit Windows into build-windows/, makes the NSIS installer,
# and checks the build under wine: the suites that run there, and the tool itself writing a bench handset while
# a second copy is refused. The toolchain (Qt for Windows) is installed from ../shared/toolchains when absent;
# the C libraries are cross-built from Debian's own sources by scripts/windows-deps.sh. Both are kept between
# runs in the cache folder beside the clone (DOVERARIZ_WINDOWS_CACHE to choose another).
# Use: scripts/windows.sh [--no-check]
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
check=1
[ "${1:-}" = "--no-check" ] && check=0

scripts/install-deps.sh windows
cache=${DOVERARIZ_WINDOWS_CACHE:-$(dirname "$source_dir")/doverariz-windows-cache}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

qt=/opt/qt6-mingw64
if [ ! -x "$qt/bin/qt-cmake" ]; then
    toolchain=$(dirname "$source_dir")/shared/toolchains/qt6.4.2-mingw64-posix.tar.xz
    [ -f "$toolchain" ] || { echo "No Qt for Windows at $qt and no $toolchain to install it from" >&2; exit 1; }
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo tar -C /opt -xJf "$toolchain"
fi

export WINEPREFIX=$cache/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
deps=$cache/deps
scripts/windows-deps.sh "$deps"

runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
dll_dirs="$qt/bin;$deps/bin;$runtime;/usr/x86_64-w64-mingw32/lib"
# Only the Windows libraries' pkg-config files, never the machine's own.
export PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH=
# What the programs load at run time under wine: Qt, the libraries, the compiler's runtime.
export WINEPATH="Z:${qt}/bin;Z:${deps}/bin;Z:${runtime};Z:/usr/x86_64-w64-mingw32/lib"

build="build-windows"
"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$source_dir/tests/support/wine-run.sh" \
    -DDOVERARIZ_BUILD_BENCH=OFF -DDOVERARIZ_WINDOWS_DEPS="$deps" -DDOVERARIZ_WINDOWS_DLL_DIRS="$dll_dirs"
cmake --build "$build" -j"$(nproc)"

# The Linux build (configured as scripts/test.sh does) renders the manuals, pictures of the window and PDF made
# there, and has the agent that starts the ledger suites' PostgreSQL servers for the check.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVERARIZ_BUILD_MANUALS=ON -DDOVERARIZ_BUILD_TESTS=ON
cmake --build build -j"$(nproc)" --target doverariz_manuals PgServerAgent
for manuals in DOC doc; do
    if [ -d build/bin/$manuals ]; then
        rm -rf "${build:?}/bin/$manuals"
        cp -r build/bin/$manuals "$build/bin/$manuals"
    fi
done
(cd "$build" && cpack -G NSIS)

[ $check -eq 1 ] || exit 0
# One wine server for the whole check, started apart from the tests: a server started by a test would keep that
# test's output open, and ctest would wait for it.
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
agent_pid=""
trap '/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true; [ -z "$agent_pid" ] || kill "$agent_pid" 2>/dev/null || true' EXIT
# The first start of wine makes its prefix; later runs reuse it.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
# Temporary folders on drive Z:, where the build's Unix paths resolve: the tests name their files by those paths
# relative to a current folder inside a temporary one.
# Emptied first: a test that a killed program could not clean up after leaves its folder here.
rm -rf "$cache/temp"
mkdir -p "$cache/temp"
for variable in TEMP TMP; do
    /usr/lib/wine/wine64 reg add 'HKCU\Environment' /v $variable /t REG_EXPAND_SZ /d "Z:${cache//\//\\}\\temp" /f >/dev/null
done
# Wine passes no QT_ variable of the machine's on to its programs: the checks' platform is set in its prefix.
/usr/lib/wine/wine64 reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null
# The offscreen platform of Qt for Windows reads its fonts from one folder and has none of its own: the Linux
# build's fonts (DejaVu, and WenQuanYi for Chinese), so that the suites that measure text have glyphs to measure.
mkdir -p "$cache/fonts"
ln -sf /usr/share/fonts/truetype/dejavu/*.ttf /usr/share/fonts/truetype/wqy/*.tt? "$cache/fonts/"
/usr/lib/wine/wine64 reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:${cache//\//\\}\\fonts" /f >/dev/null
# The ledger suites' servers: Linux ones on the loopback port, each started for a suite by the agent and removed
# when the suite ends (a missing server is a failure here, not a skip).
agent_out=$cache/temp/pg-agent.out
build/tests/PgServerAgent >"$agent_out" 2>&1 &
agent_pid=$!
for _ in $(seq 100); do
    grep -q '^listening ' "$agent_out" && break
    kill -0 "$agent_pid" 2>/dev/null || { cat "$agent_out" >&2; exit 1; }
    sleep 0.1
done
agent_port=$(sed -n 's/^listening //p' "$agent_out")
export DOVERARIZ_PG_AGENT="127.0.0.1:$agent_port" DOVERARIZ_REQUIRE_POSTGRESQL=1
# Under wine a suite may fail for wine's own sake (in one CI run a second copy of the tool that the suite started
# was never seen to run); a suite that fails runs once more, both runs in the log, and a fault that fails every
# run still fails the check.
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --repeat until-pass:2
python3 tests/windows_station_check.py "$build"
