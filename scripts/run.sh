#!/usr/bin/env bash
# Builds the tool, plugs a demo handset into the bench beside it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

bin="$PWD/build/bin"
handset=("$bin/handset" --bench "$bin/bench")
if ! "${handset[@]}" show USB1 >/dev/null 2>&1; then
    "${handset[@]}" plug USB1 --station CALIBRATION=pass
    echo "Plugged a demo handset on USB1 (bench: $bin/bench). Unplug it with: ${handset[*]} unplug USB1"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: starting under Xvfb (xvfb-run); set DISPLAY to see the window."
    exec xvfb-run -a "$bin/doverariz" "$@"
fi
exec "$bin/doverariz" "$@"
