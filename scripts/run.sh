#!/usr/bin/env bash
# Builds the tool, plugs a demo handset into the bench beside it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

bin="$PWD/build/bin"
if [ ! -e "$bin/cfg/ImeiSN.ini" ]; then
    mkdir -p "$bin/cfg"
    cp scripts/demo-ImeiSN.ini "$bin/cfg/ImeiSN.ini"
    echo "No settings yet: put a demo configuration in $bin/cfg/ImeiSN.ini (every identity produced by the tool)."
fi
handset=("$bin/handset" --bench "$bin/bench")
if ! "${handset[@]}" show USB1 >/dev/null 2>&1; then
    "${handset[@]}" plug USB1 --station CALIBRATION=pass
    echo "Plugged a demo handset on USB1 (bench: $bin/bench). Unplug it with: ${handset[*]} unplug USB1"
fi
echo "After a write, put the next handset on the fixture with: ${handset[*]} swap USB1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting under Xvfb (xvfb-run); set DISPLAY to see the window."
    exec xvfb-run -a "$bin/doverariz" "$@"
fi
exec "$bin/doverariz" "$@"
