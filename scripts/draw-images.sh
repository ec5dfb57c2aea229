#!/usr/bin/env bash
# Redraws the images of resources/images/ from resources/drawer/; commit what it writes.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(mktemp -d)
trap 'rm -rf "$build"' EXIT
cmake -S resources/drawer -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/draw_images" resources/images
ls -l resources/images
